#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include "previewfile.h"
#include "previewpane.h"
#include "refreshpolicy.h"
#include "testsupport.h"

using namespace Qt::StringLiterals;
using engine::RefreshPolicy;
using testsupport::readAll;

class RefreshPolicyTest : public QObject {
    Q_OBJECT

private slots:
    void init();
    void editsInMode_data();
    void editsInMode();
    void ticksRefreshOnlyOnChangedText();
    void failedTickRefreshIsRetried();
    void reflectNowRestartsTheCount();

private:
    std::unique_ptr<QTemporaryDir> m_dir;
    platform::RecordingPane m_pane;
    std::unique_ptr<engine::PreviewFile> m_preview;
    std::unique_ptr<RefreshPolicy> m_policy;
};

void RefreshPolicyTest::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    m_pane = {};
    m_preview =
        std::make_unique<engine::PreviewFile>(m_pane, m_dir->path(), m_dir->filePath(u"private"_s));
    m_policy = std::make_unique<RefreshPolicy>(*m_preview);
}

void RefreshPolicyTest::editsInMode_data()
{
    QTest::addColumn<QString>("mode");
    QTest::addColumn<int>("edits");
    QTest::addColumn<int>("refreshes");
    QTest::addColumn<int>("count");
    QTest::addRow("7: every change") << u"7"_s << 3 << 3 << 0;
    QTest::addRow("6: four changes do nothing") << u"6"_s << 4 << 0 << 4;
    QTest::addRow("6: the fifth refreshes") << u"6"_s << 5 << 1 << 0;
    QTest::addRow("6: and the tenth") << u"6"_s << 10 << 2 << 0;
    QTest::addRow("5: nine changes do nothing") << u"5"_s << 9 << 0 << 9;
    QTest::addRow("5: the tenth refreshes") << u"5"_s << 10 << 1 << 0;
    for (const QString &mode : {u"0"_s, u"1"_s, u"2"_s, u"3"_s, u"4"_s})
        QTest::addRow("timer or no mode %s", qPrintable(mode)) << mode << 12 << 0 << 0;
    QTest::addRow("dialog open") << u"設定"_s << 12 << 0 << 0;
    QTest::addRow("leading zero is no mode") << u"07"_s << 12 << 0 << 0;
    QTest::addRow("space is no mode") << u" 7"_s << 12 << 0 << 0;
    QTest::addRow("full-width digit is no mode") << u"７"_s << 12 << 0 << 0;
}

void RefreshPolicyTest::editsInMode()
{
    QFETCH(QString, mode);
    QFETCH(int, edits);
    QFETCH(int, refreshes);
    QFETCH(int, count);
    for (int i = 0; i < edits; ++i)
        QVERIFY(!m_policy->OnEdit(QString(i + 1, u'a'), mode));
    QCOMPARE(m_pane.navigations.size(), refreshes);
    QCOMPARE(m_policy->changeCount(), count);
}

void RefreshPolicyTest::ticksRefreshOnlyOnChangedText()
{
    // Both start empty, so ticks before the first edit do nothing.
    QVERIFY(!m_policy->OnTick(QString()));
    QCOMPARE(m_pane.navigations.size(), 0);
    QVERIFY(!m_policy->OnTick(u"<p>"_s));
    QCOMPARE(m_pane.navigations.size(), 1);
    QCOMPARE(m_policy->lastPreviewText(), u"<p>"_s);
    QVERIFY(!m_policy->OnTick(u"<p>"_s));
    QCOMPARE(m_pane.navigations.size(), 1);
    QVERIFY(!m_policy->OnTick(u"<P>"_s));
    QCOMPARE(m_pane.navigations.size(), 2);
    QCOMPARE(readAll(m_preview->previewPath()), QByteArray("<P>\r\n"));
    // A refresh from elsewhere leaves the tick's snapshot alone.
    QVERIFY(!m_policy->ReflectNow(u"<i>"_s));
    QCOMPARE(m_policy->lastPreviewText(), u"<P>"_s);
    QVERIFY(!m_policy->OnTick(u"<P>"_s));
    QCOMPARE(m_pane.navigations.size(), 3);
}

void RefreshPolicyTest::failedTickRefreshIsRetried()
{
    const QString bad = u"x"_s + QChar(0xd800);
    QVERIFY(m_policy->OnTick(bad));
    QVERIFY(m_policy->lastPreviewText().isEmpty());
    QVERIFY(m_policy->OnTick(bad));
    QCOMPARE(m_pane.failures.size(), 2);
}

void RefreshPolicyTest::reflectNowRestartsTheCount()
{
    for (int i = 0; i < 7; ++i)
        m_policy->OnEdit(u"a"_s, u"5"_s);
    QCOMPARE(m_policy->changeCount(), 7);
    QVERIFY(!m_policy->ReflectNow(u"a"_s));
    QCOMPARE(m_pane.navigations.size(), 1);
    QCOMPARE(m_policy->changeCount(), 0);
    for (int i = 0; i < 9; ++i)
        m_policy->OnEdit(u"a"_s, u"5"_s);
    QCOMPARE(m_pane.navigations.size(), 1);
    m_policy->OnEdit(u"a"_s, u"5"_s);
    QCOMPARE(m_pane.navigations.size(), 2);
}

QTEST_GUILESS_MAIN(RefreshPolicyTest)
#include "tst_refreshpolicy.moc"
