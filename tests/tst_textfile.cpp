#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include "testsupport.h"
#include "textfile.h"

using namespace Qt::StringLiterals;
using engine::FileError;
using testsupport::readAll;
using testsupport::writeAll;

namespace {

QString native(QString path)
{
    return path.replace(u'/', QDir::separator());
}

}  // namespace

class TextFileTest : public QObject {
    Q_OBJECT

private slots:
    void joinPath_data();
    void joinPath();
    void write_data();
    void write();
    void read_data();
    void read();
    void readFailures_data();
    void readFailures();
    void writeFailures_data();
    void writeFailures();
    void failedWriteKeepsEarlierFile();

private:
    QTemporaryDir m_dir;
};

void TextFileTest::joinPath_data()
{
    QTest::addColumn<QString>("folder");
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("expected");
    QTest::addRow("separator added")
        << native(u"/web"_s) << u"a.html"_s << native(u"/web/a.html"_s);
    QTest::addRow("root keeps its one separator")
        << native(u"/"_s) << u"a.html"_s << native(u"/a.html"_s);
    QTest::addRow("trailing separator kept")
        << native(u"/web/"_s) << u"a.html"_s << native(u"/web/a.html"_s);
    QTest::addRow("empty folder still gets one")
        << QString() << u"a.html"_s << native(u"/a.html"_s);
    QTest::addRow("name used as typed") << native(u"/web"_s) << u"page"_s << native(u"/web/page"_s);
    QTest::addRow("preview file name")
        << native(u"/opt/tools"_s) << u"一時.html"_s << native(u"/opt/tools/一時.html"_s);
}

void TextFileTest::joinPath()
{
    QFETCH(QString, folder);
    QFETCH(QString, name);
    QFETCH(QString, expected);
    QCOMPARE(engine::JoinPath(folder, name), expected);
}

void TextFileTest::write_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QByteArray>("bytes");
    QTest::addRow("empty text is CR LF alone") << QString() << QByteArray("\r\n");
    QTest::addRow("one letter") << u"a"_s << QByteArray("a\r\n");
    QTest::addRow("text ending in CR LF gets another") << u"a\r\n"_s << QByteArray("a\r\n\r\n");
    QTest::addRow("lone LF written as is") << u"x\ny"_s << QByteArray("x\ny\r\n");
    QTest::addRow("Japanese in the system encoding")
        << u"<p>日本語</p>"_s << QByteArray("<p>\xe6\x97\xa5\xe6\x9c\xac\xe8\xaa\x9e</p>\r\n");
    QTest::addRow("tab and no-break space kept") << u"a\t\u00a0b"_s
                                                 << QByteArray(
                                                        "a\t\xc2\xa0"
                                                        "b\r\n");
    QTest::addRow("no byte-order mark added") << u"<html>"_s << QByteArray("<html>\r\n");
}

void TextFileTest::write()
{
    QFETCH(QString, text);
    QFETCH(QByteArray, bytes);
    const QString path = m_dir.filePath(u"out.html"_s);
    QVERIFY(!engine::WriteTextFile(path, text));
    QCOMPARE(readAll(path), bytes);
}

void TextFileTest::read_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("text");
    QTest::addRow("empty file gives empty text") << QByteArray() << QString();
    QTest::addRow("last line without terminator") << QByteArray("a\r\nb") << u"a\r\nb\r\n"_s;
    QTest::addRow("lone LF stays inside the line") << QByteArray("x\ny") << u"x\ny\r\n"_s;
    QTest::addRow("lone CR ends a line") << QByteArray("a\rb") << u"a\r\nb\r\n"_s;
    QTest::addRow("terminated last line") << QByteArray("a\r\n") << u"a\r\n"_s;
    QTest::addRow("empty lines kept") << QByteArray("\r\n\r\n") << u"\r\n\r\n"_s;
    QTest::addRow("CR then CR LF") << QByteArray("a\r\r\nb") << u"a\r\n\r\nb\r\n"_s;
    QTest::addRow("LF CR") << QByteArray("a\n\rb") << u"a\n\r\nb\r\n"_s;
    QTest::addRow("byte-order mark kept as text")
        << QByteArray("\xef\xbb\xbf<p>") << u"\ufeff<p>\r\n"_s;
    QTest::addRow("Japanese") << QByteArray("\xe4\xb8\x80\xe6\x99\x82") << u"一時\r\n"_s;
}

void TextFileTest::read()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QString, text);
    const QString path = m_dir.filePath(u"in.html"_s);
    QVERIFY(writeAll(path, bytes));
    const engine::ReadText result = engine::ReadTextFile(path);
    QVERIFY(!result.error);
    QCOMPARE(result.text, text);
}

void TextFileTest::readFailures_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<int>("kind");
    QTest::addRow("missing file") << u"missing.html"_s << QByteArray()
                                  << int(FileError::Kind::Open);
    QTest::addRow("a folder") << u"."_s << QByteArray() << int(FileError::Kind::Open);
    QTest::addRow("invalid byte") << u"bad.html"_s << QByteArray("ok\xff\xfe")
                                  << int(FileError::Kind::Decode);
    QTest::addRow("cut multibyte character")
        << u"cut.html"_s << QByteArray("\xe6\x97") << int(FileError::Kind::Decode);
    QTest::addRow("Shift_JIS bytes")
        << u"sjis.html"_s << QByteArray("\x93\xfa\x96\x7b") << int(FileError::Kind::Decode);
    QTest::addRow("larger than the editor takes")
        << u"huge.html"_s << QByteArray() << int(FileError::Kind::TooLarge);
}

void TextFileTest::readFailures()
{
    QFETCH(QString, name);
    QFETCH(QByteArray, bytes);
    QFETCH(int, kind);
    const QString path = m_dir.filePath(name);
    if (!bytes.isEmpty())
        QVERIFY(writeAll(path, bytes));
    if (kind == int(FileError::Kind::TooLarge)) {
        QFile huge(path);
        QVERIFY(huge.open(QIODevice::WriteOnly));
        QVERIFY(huge.resize(65 * 1024 * 1024));  // sparse, costs no disk
    }
    const engine::ReadText result = engine::ReadTextFile(path);
    QVERIFY(result.error);
    QCOMPARE(int(result.error->kind), kind);
    QCOMPARE(result.error->path, QDir::toNativeSeparators(path));
    QVERIFY(result.text.isEmpty());
}

void TextFileTest::writeFailures_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("kind");
    // Root writes into read-only folders, so the failures are made by paths that cannot exist.
    QTest::addRow("below a regular file")
        << u"plain.txt/a.html"_s << u"x"_s << int(FileError::Kind::Write);
    QTest::addRow("missing folder") << u"nowhere/a.html"_s << u"x"_s << int(FileError::Kind::Write);
    QTest::addRow("name of a folder") << u"folder"_s << u"x"_s << int(FileError::Kind::Write);
    QTest::addRow("full device") << u"/dev/full"_s << u"x"_s << int(FileError::Kind::Write);
    QTest::addRow("unpaired surrogate")
        << u"enc.html"_s << (u"a"_s + QChar(0xd800)) << int(FileError::Kind::Encode);
}

void TextFileTest::writeFailures()
{
    QFETCH(QString, path);
    QFETCH(QString, text);
    QFETCH(int, kind);
    QVERIFY(writeAll(m_dir.filePath(u"plain.txt"_s), "keep"));
    QVERIFY(QDir(m_dir.path()).mkpath(u"folder"_s));
    const QStringList before = QDir(m_dir.path()).entryList(QDir::AllEntries | QDir::Hidden);
    const QString full = path.startsWith(u'/') ? path : m_dir.filePath(path);

    const std::optional<FileError> error = engine::WriteTextFile(full, text);
    QVERIFY(error);
    QCOMPARE(int(error->kind), kind);
    QCOMPARE(error->path, QDir::toNativeSeparators(full));
    QCOMPARE(QDir(m_dir.path()).entryList(QDir::AllEntries | QDir::Hidden), before);
    QCOMPARE(readAll(m_dir.filePath(u"plain.txt"_s)), QByteArray("keep"));
}

// The earlier file must survive whole, and no temporary file may be left beside it.
void TextFileTest::failedWriteKeepsEarlierFile()
{
    const QString path = m_dir.filePath(u"keep.html"_s);
    QVERIFY(writeAll(path, "<p>earlier</p>\r\n"));
    const QStringList before = QDir(m_dir.path()).entryList(QDir::Files | QDir::Hidden);

    std::optional<FileError> error;
    {
        const testsupport::FullDisk full;
        error = engine::WriteTextFile(path, QString(100000, u'x'));
    }

    QVERIFY(error);
    QCOMPARE(int(error->kind), int(FileError::Kind::Write));
    QVERIFY(!error->reason.isEmpty());
    QCOMPARE(readAll(path), QByteArray("<p>earlier</p>\r\n"));
    QCOMPARE(QDir(m_dir.path()).entryList(QDir::Files | QDir::Hidden), before);
}

QTEST_GUILESS_MAIN(TextFileTest)
#include "tst_textfile.moc"
