#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>

#include "loadgate.h"
#include "previewfile.h"
#include "previewpane.h"
#include "testsupport.h"
#include "textfile.h"

using namespace Qt::StringLiterals;
using engine::FileError;
using engine::PreviewFile;
using testsupport::readAll;

class PreviewFileTest : public QObject {
    Q_OBJECT

private slots:
    void init();
    void unwritableProgramFolderFallsBackToPrivateFolder();
    void fallbackFolderMustNotBeALink();
    void failureOfBothIsReported();
    void unencodableTextIsNotRetriedElsewhere();
    void loadsWaitForTheOneInFlight_data();
    void loadsWaitForTheOneInFlight();

private:
    QString programFolder() const { return QDir::toNativeSeparators(m_dir->path()); }
    QString privateFolder() const { return m_dir->filePath(u"private/preview"_s); }
    // A folder that cannot exist, since a regular file stands in its path.
    QString blockedFolder() const { return m_dir->filePath(u"plain.txt/sub"_s); }

    std::unique_ptr<QTemporaryDir> m_dir;
    platform::RecordingPane m_pane;
};

void PreviewFileTest::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
    QFile plain(m_dir->filePath(u"plain.txt"_s));
    QVERIFY(plain.open(QIODevice::WriteOnly));
    m_pane = {};
}

void PreviewFileTest::unwritableProgramFolderFallsBackToPrivateFolder()
{
    PreviewFile preview(m_pane, blockedFolder(), privateFolder());
    QVERIFY(!preview.RefreshPreview(u"<p>x</p>"_s));
    const QString fallback = engine::JoinPath(privateFolder(), u"一時.html"_s);
    QCOMPARE(preview.previewPath(), fallback);
    QCOMPARE(readAll(fallback), QByteArray("<p>x</p>\r\n"));
    QCOMPARE(m_pane.navigations, QStringList{fallback});
    const QFile::Permissions permissions = QFileInfo(privateFolder()).permissions();
    QCOMPARE(permissions & 0x7077, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
}

void PreviewFileTest::fallbackFolderMustNotBeALink()
{
    QVERIFY(QDir(m_dir->path()).mkpath(u"elsewhere"_s));
    QVERIFY(QDir(m_dir->path()).mkpath(u"private"_s));
    QVERIFY(QFile::link(m_dir->filePath(u"elsewhere"_s), privateFolder()));
    PreviewFile preview(m_pane, blockedFolder(), privateFolder());
    const std::optional<FileError> error = preview.RefreshPreview(u"x"_s);
    QVERIFY(error);
    QCOMPARE(int(error->kind), int(FileError::Kind::Folder));
    QVERIFY(QDir(m_dir->filePath(u"elsewhere"_s)).isEmpty());
}

void PreviewFileTest::failureOfBothIsReported()
{
    PreviewFile preview(m_pane, blockedFolder(), m_dir->filePath(u"plain.txt/private"_s));
    QVERIFY(preview.RefreshPreview(u"ok"_s));
    QVERIFY(m_pane.navigations.isEmpty());
    QCOMPARE(m_pane.failures.size(), 1);
    QVERIFY(m_pane.failures.first().contains(u"plain.txt"_s));
    QVERIFY(preview.previewPath().isEmpty());
}

void PreviewFileTest::unencodableTextIsNotRetriedElsewhere()
{
    PreviewFile preview(m_pane, programFolder(), privateFolder());
    QVERIFY(!preview.RefreshPreview(u"good"_s));
    const QString good = preview.previewPath();
    const std::optional<FileError> error = preview.RefreshPreview(u"bad"_s + QChar(0xdc00));
    QVERIFY(error);
    QCOMPARE(int(error->kind), int(FileError::Kind::Encode));
    QVERIFY(!QFileInfo::exists(privateFolder()));
    QCOMPARE(preview.previewPath(), good);
    QCOMPARE(readAll(good), QByteArray("good\r\n"));
    QCOMPARE(m_pane.navigations.size(), 1);
    QCOMPARE(m_pane.failures.size(), 1);
}

void PreviewFileTest::loadsWaitForTheOneInFlight_data()
{
    QTest::addColumn<QString>("events");  // R refresh, E load ended (any way), X failure page
    QTest::addColumn<QString>("loads");   // after each event: L a load starts, . none
    QTest::addRow("first refresh loads at once") << u"R"_s << u"L"_s;
    QTest::addRow("refreshes in flight wait") << u"RRR"_s << u"L.."_s;
    QTest::addRow("one more load for all of them") << u"RRRE"_s << u"L..L"_s;
    QTest::addRow("then nothing is due") << u"RRREE"_s << u"L..L."_s;
    QTest::addRow("idle again: loads at once") << u"RREER"_s << u"L.L.L"_s;
    QTest::addRow("no refresh meanwhile, no load") << u"RE"_s << u"L."_s;
    QTest::addRow("a failure page ends the wait") << u"RRXR"_s << u"L..L"_s;
}

void PreviewFileTest::loadsWaitForTheOneInFlight()
{
    QFETCH(QString, events);
    QFETCH(QString, loads);
    platform::LoadGate gate;
    QString started;
    for (const QChar event : events) {
        bool load = false;
        if (event == u'R')
            load = gate.refresh();
        else if (event == u'E')
            load = gate.finished();
        else
            gate.reset();
        started += load ? u'L' : u'.';
    }
    QCOMPARE(started, loads);
}

QTEST_GUILESS_MAIN(PreviewFileTest)
#include "tst_previewfile.moc"
