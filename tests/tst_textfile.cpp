#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>
#include <cerrno>

#include "systemerror.h"
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

QByteArray utf16(const QString &text, bool bigEndian)
{
    QByteArray bytes;
    for (const QChar ch : text) {
        const char high = char(ch.unicode() >> 8), low = char(ch.unicode() & 0xff);
        bytes.append(bigEndian ? high : low).append(bigEndian ? low : high);
    }
    return bytes;
}

enum class Trouble { None, FileSizeLimit, FullDisk, ReadOnlyDisk };

}  // namespace

Q_DECLARE_METATYPE(Trouble)

class TextFileTest : public QObject {
    Q_OBJECT

private slots:
    void joinPath_data();
    void joinPath();
    void write_data();
    void write();
    void read_data();
    void read();
    void encodingsRoundTrip_data();
    void encodingsRoundTrip();
    void readFailures_data();
    void readFailures();
    void writeFailures_data();
    void writeFailures();
    void specialFileIsWrittenNotReplaced();
    void reasonsAreJapanese_data();
    void reasonsAreJapanese();

private:
    QTemporaryDir m_dir;
};

void TextFileTest::joinPath_data()
{
    QTest::addColumn<QString>("folder");
    QTest::addColumn<QString>("expected");
    QTest::addRow("separator added") << native(u"/web"_s) << native(u"/web/a.html"_s);
    QTest::addRow("root keeps its one separator") << native(u"/"_s) << native(u"/a.html"_s);
    QTest::addRow("empty folder still gets one") << QString() << native(u"/a.html"_s);
}

void TextFileTest::joinPath()
{
    QFETCH(QString, folder);
    QFETCH(QString, expected);
    QCOMPARE(engine::JoinPath(folder, u"a.html"_s), expected);
}

void TextFileTest::write_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QByteArray>("bytes");
    QTest::addRow("empty text is CR LF alone") << QString() << QByteArray("\r\n");
    QTest::addRow("text ending in CR LF gets another") << u"a\r\n"_s << QByteArray("a\r\n\r\n");
    QTest::addRow("lone LF written as is") << u"x\ny"_s << QByteArray("x\ny\r\n");
    QTest::addRow("Japanese, no byte-order mark")
        << u"<p>日本語</p>"_s << QByteArray("<p>\xe6\x97\xa5\xe6\x9c\xac\xe8\xaa\x9e</p>\r\n");
    // Beyond one encoding slice, with a surrogate pair across its edge.
    QTest::addRow("long text") << QString(256 * 1024 - 1, u'a') + u"😀"_s
                               << QByteArray(256 * 1024 - 1, 'a') + "\xf0\x9f\x98\x80\r\n";
}

void TextFileTest::write()
{
    QFETCH(QString, text);
    QFETCH(QByteArray, bytes);
    const QString path = m_dir.filePath(u"out.html"_s);
    QVERIFY(!engine::WriteTextFile(path, text, u"UTF-8"_s));
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
    QTest::addRow("empty lines kept") << QByteArray("\r\n\r\n") << u"\r\n\r\n"_s;
    QTest::addRow("CR then CR LF") << QByteArray("a\r\r\nb") << u"a\r\n\r\nb\r\n"_s;
    QTest::addRow("LF CR") << QByteArray("a\n\rb") << u"a\n\r\nb\r\n"_s;
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

void TextFileTest::encodingsRoundTrip_data()
{
    QTest::addColumn<QByteArray>("bytes");  // a page ending in CR LF
    QTest::addColumn<QString>("encoding");
    QTest::addColumn<QString>("text");
    const QString page = u"<p>日本語</p>\r\n"_s;
    QTest::addRow("UTF-8") << page.toUtf8() << u"UTF-8"_s << page;
    QTest::addRow("UTF-8 with its mark")
        << "\xef\xbb\xbf" + page.toUtf8() << u"UTF-8"_s << u"\ufeff"_s + page;
    QTest::addRow("UTF-16LE with its mark")
        << utf16(u"\ufeff"_s + page, false) << u"UTF-16LE"_s << u"\ufeff"_s + page;
    QTest::addRow("UTF-16BE with its mark")
        << utf16(u"\ufeff"_s + page, true) << u"UTF-16BE"_s << u"\ufeff"_s + page;
    // Wave dash, NEC row 13, IBM extensions as Windows writes them, and the other look-alikes
    // where CP932 and plain Shift_JIS part ways.
    QTest::addRow("CP932 without a declaration")
        << QByteArray("<p>\x81\x60\x87\x40\x87\x8a\xfb\xfc\xfa\x40\x81\xca\x81\x5f\x81\x7c</p>\r\n")
        << u"Shift_JIS"_s << u"<p>～①㈱髙ⅰ￢＼－</p>\r\n"_s;
    QTest::addRow("CP932 declaring Shift_JIS")
        << QByteArray("<meta charset=\"Shift_JIS\">\x93\xfa\x96\x7b\r\n") << u"Shift_JIS"_s
        << u"<meta charset=\"Shift_JIS\">日本\r\n"_s;
    QTest::addRow("EUC-JP declared by http-equiv")
        << QByteArray(
               "<meta http-equiv=\"Content-Type\" content=\"text/html; charset=EUC-JP\">"
               "\xc6\xfc\xcb\xdc\r\n")
        << u"EUC-JP"_s
        << u"<meta http-equiv=\"Content-Type\" content=\"text/html; charset=EUC-JP\">日本\r\n"_s;
    QTest::addRow("ISO-2022-JP, all ASCII, declared")
        << QByteArray("<meta charset=iso-2022-jp>\x1b$BF|K\\\x1b(B\r\n") << u"ISO-2022-JP"_s
        << u"<meta charset=iso-2022-jp>日本\r\n"_s;
}

// Opened and saved again, a document gives back its bytes plus the CR LF the format adds.
void TextFileTest::encodingsRoundTrip()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QString, encoding);
    QFETCH(QString, text);
    const QString path = m_dir.filePath(u"page.html"_s);
    QVERIFY(writeAll(path, bytes));
    const engine::ReadText read = engine::ReadTextFile(path);
    QVERIFY(!read.error);
    QCOMPARE(read.encoding, encoding);
    QCOMPARE(read.text, text);
    QVERIFY(!engine::WriteTextFile(path, read.text, read.encoding));
    const QByteArray lineBreak = encoding.startsWith(u"UTF-16"_s)
                                     ? utf16(u"\r\n"_s, encoding.endsWith(u"BE"_s))
                                     : QByteArray("\r\n");
    QCOMPARE(readAll(path), bytes + lineBreak);
}

void TextFileTest::readFailures_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<int>("kind");
    QTest::addColumn<QString>("reason");
    QTest::addRow("missing file") << u"missing.html"_s << QByteArray() << int(FileError::Kind::Open)
                                  << u"見つかりません"_s;
    QTest::addRow("a folder") << u"."_s << QByteArray() << int(FileError::Kind::Open)
                              << u"フォルダーです"_s;
    QTest::addRow("no encoding reads it") << u"bad.html"_s << QByteArray("ok\x81\x20\xff")
                                          << int(FileError::Kind::Decode) << QString();
    QTest::addRow("invalid after a UTF-8 mark")
        << u"bom.html"_s << QByteArray("\xef\xbb\xbf\x93\xfa") << int(FileError::Kind::Decode)
        << QString();
    QTest::addRow("odd byte after a UTF-16 mark") << u"odd.html"_s << QByteArray("\xff\xfe<\0p", 5)
                                                  << int(FileError::Kind::Decode) << QString();
    QTest::addRow("lone surrogate in UTF-16") << u"lone.html"_s << QByteArray("\xff\xfe\x00\xd8", 4)
                                              << int(FileError::Kind::Decode) << QString();
    QTest::addRow("declared, but invalid in it")
        << u"euc.html"_s << QByteArray("<meta charset=euc-jp>\xc6\xfc\xcb\xff")
        << int(FileError::Kind::Decode) << QString();
    QTest::addRow("larger than the editor takes")
        << u"huge.html"_s << QByteArray() << int(FileError::Kind::TooLarge) << u"64 MB"_s;
}

void TextFileTest::readFailures()
{
    QFETCH(QString, name);
    QFETCH(QByteArray, bytes);
    QFETCH(int, kind);
    QFETCH(QString, reason);
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
    QVERIFY2(result.error->reason.contains(reason), qPrintable(result.error->reason));
    QVERIFY(result.text.isEmpty());
}

void TextFileTest::writeFailures_data()
{
    QTest::addColumn<QString>("name");  // below the test's folder
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("encoding");
    QTest::addColumn<Trouble>("trouble");
    QTest::addColumn<QString>("says");
    // Root writes into read-only folders, so failures come from paths that cannot exist, a file
    // size limit, or a small file system of the test's own.
    const Trouble none = Trouble::None;
    QTest::addRow("below a regular file")
        << u"plain.txt/a.html"_s << u"x"_s << u"UTF-8"_s << none << u"フォルダーではないもの"_s;
    QTest::addRow("missing folder")
        << u"nowhere/a.html"_s << u"x"_s << u"UTF-8"_s << none << u"見つかりません"_s;
    QTest::addRow("name of a folder")
        << u"folder"_s << u"x"_s << u"UTF-8"_s << none << u"フォルダーです"_s;
    QTest::addRow("unpaired surrogate")
        << u"keep.html"_s << u"a"_s + QChar(0xd800) << u"UTF-8"_s << none << u"1 行目"_s;
    QTest::addRow("emoji in a CP932 page")
        << u"keep.html"_s << u"<p>日本</p>\r\n<p>😀</p>"_s << u"Shift_JIS"_s << none
        << u"2 行目の文字「😀」は文字コード Shift_JIS で表せない"_s;
    QTest::addRow("file size limit") << u"keep.html"_s << QString(100000, u'x') << u"UTF-8"_s
                                     << Trouble::FileSizeLimit << u"大きすぎます"_s;
    QTest::addRow("full disk") << u"disk/keep.html"_s << QString(100000, u'x') << u"UTF-8"_s
                               << Trouble::FullDisk << u"空き容量が足りません"_s;
    QTest::addRow("read-only file system") << u"disk/keep.html"_s << u"x"_s << u"UTF-8"_s
                                           << Trouble::ReadOnlyDisk << u"読み取り専用"_s;
}

// Every failure names the file and its reason, and leaves the earlier file whole with nothing
// beside it.
void TextFileTest::writeFailures()
{
    QFETCH(QString, name);
    QFETCH(QString, text);
    QFETCH(QString, encoding);
    QFETCH(Trouble, trouble);
    QFETCH(QString, says);
    QTemporaryDir dir;
    QVERIFY(writeAll(dir.filePath(u"plain.txt"_s), "keep"));
    QVERIFY(QDir(dir.path()).mkpath(u"folder"_s));
    std::optional<testsupport::SmallDisk> disk;
    if (trouble == Trouble::FullDisk || trouble == Trouble::ReadOnlyDisk) {
        disk.emplace(dir.filePath(u"disk"_s), 32);
        if (!disk->error().isEmpty())
            QSKIP(qPrintable(u"no file system of the test's own here: "_s + disk->error()));
    }
    const QString path = dir.filePath(name);
    const QString folder = QFileInfo(path).path();
    if (QFileInfo(folder).isDir())
        QVERIFY(writeAll(engine::JoinPath(folder, u"keep.html"_s), "<p>earlier</p>\r\n"));
    if (trouble == Trouble::ReadOnlyDisk)
        QVERIFY(disk->makeReadOnly());
    const QStringList before = QDir(folder).entryList(QDir::AllEntries | QDir::Hidden);

    std::optional<FileError> error;
    if (trouble == Trouble::FileSizeLimit) {
        const testsupport::FullDisk limit;
        error = engine::WriteTextFile(path, text, encoding);
    } else {
        error = engine::WriteTextFile(path, text, encoding);
    }
    QVERIFY(error);
    QCOMPARE(error->path, QDir::toNativeSeparators(path));
    QVERIFY2(error->message().contains(says), qPrintable(error->message()));
    QCOMPARE(QDir(folder).entryList(QDir::AllEntries | QDir::Hidden), before);
    if (QFileInfo(folder).isDir())
        QCOMPARE(readAll(engine::JoinPath(folder, u"keep.html"_s)), "<p>earlier</p>\r\n");
    QCOMPARE(readAll(dir.filePath(u"plain.txt"_s)), QByteArray("keep"));
}

// A pipe (like a device) cannot be replaced by a file: it is written to, and stays a pipe.
void TextFileTest::specialFileIsWrittenNotReplaced()
{
    const QByteArray fifo = QFile::encodeName(m_dir.filePath(u"pipe"_s));
    QCOMPARE(::mkfifo(fifo.constData(), 0600), 0);
    const int reader = ::open(fifo.constData(), O_RDONLY | O_NONBLOCK);
    QVERIFY(reader >= 0);
    const std::optional<FileError> error =
        engine::WriteTextFile(QFile::decodeName(fifo), u"<p>"_s, u"UTF-8"_s);
    char bytes[16] = {};
    const ssize_t got = ::read(reader, bytes, sizeof bytes);
    ::close(reader);
    QVERIFY(!error);
    QCOMPARE(QByteArray(bytes, int(std::max<ssize_t>(got, 0))), QByteArray("<p>\r\n"));
    struct stat status {};
    QCOMPARE(::lstat(fifo.constData(), &status), 0);
    QVERIFY(S_ISFIFO(status.st_mode));
}

void TextFileTest::reasonsAreJapanese_data()
{
    QTest::addColumn<int>("code");
    QTest::addColumn<QString>("says");
    QTest::addRow("ENOSPC") << ENOSPC << u"空き容量"_s;
    QTest::addRow("EDQUOT") << EDQUOT << u"空き容量"_s;
    QTest::addRow("EROFS") << EROFS << u"読み取り専用"_s;
    QTest::addRow("EACCES") << EACCES << u"権限"_s;
    QTest::addRow("EPERM") << EPERM << u"権限"_s;
    QTest::addRow("ENOENT") << ENOENT << u"見つかりません"_s;
    QTest::addRow("ENOTDIR") << ENOTDIR << u"フォルダーではない"_s;
    QTest::addRow("EISDIR") << EISDIR << u"フォルダーです"_s;
    QTest::addRow("ENAMETOOLONG") << ENAMETOOLONG << u"名前が長すぎ"_s;
    QTest::addRow("EMFILE") << EMFILE << u"ファイルが多すぎ"_s;
    QTest::addRow("ENFILE") << ENFILE << u"ファイルが多すぎ"_s;
    QTest::addRow("EIO") << EIO << u"読み書きでエラー"_s;
    QTest::addRow("EFBIG") << EFBIG << u"大きすぎ"_s;
    QTest::addRow("unknown") << 4321 << u"エラー番号 4321"_s;
}

void TextFileTest::reasonsAreJapanese()
{
    QFETCH(int, code);
    QFETCH(QString, says);
    const QString reason = platform::systemErrorReason(code);
    QVERIFY2(reason.contains(says), qPrintable(reason));
    QVERIFY2(!reason.contains(QRegularExpression(u"[A-Za-z]"_s)), qPrintable(reason));
}

QTEST_GUILESS_MAIN(TextFileTest)
#include "tst_textfile.moc"
