#include <QCheckBox>
#include <QCoreApplication>
#include <QDir>
#include <QPushButton>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include "form1.h"
#include "form1layout.h"
#include "form3.h"
#include "previewfile.h"
#include "previewpane.h"
#include "sourceedit.h"
#include "testsupport.h"
#include "textfile.h"

using namespace Qt::StringLiterals;
using testsupport::readAll;
using windows::Form1;
using windows::Form3;

class Form1Test : public QObject {
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void freshStartAndTyping();
    void modesChosenInTheDialog_data();
    void modesChosenInTheDialog();
    void lineBreakAfterClosingBracket_data();
    void lineBreakAfterClosingBracket();
    void cancelRestoresTheModeInForce_data();
    void cancelRestoresTheModeInForce();
    void resizeFollowsTheLayoutRule();
    void failedRefreshLeavesTheTextAlone();
    void quitEndsTheProgram_data();
    void quitEndsTheProgram();

private:
    QString previewFile() const
    {
        return engine::JoinPath(QDir::toNativeSeparators(m_dir->path()), u"一時.html"_s);
    }
    void type(const QString &keys) { QTest::keyClicks(&m_form1->Text1(), keys); }
    QPushButton *button(QWidget &window, const QString &name)
    {
        return window.findChild<QPushButton *>(name, Qt::FindDirectChildrenOnly);
    }
    QRadioButton *option(int index)
    {
        return m_form1->form3().findChild<QRadioButton *>(u"Option(%1)"_s.arg(index));
    }
    QCheckBox *check1() { return m_form1->form3().findChild<QCheckBox *>(u"Check1"_s); }
    void chooseMode(int index);

    std::unique_ptr<QTemporaryDir> m_dir;
    platform::RecordingPane m_pane;
    std::unique_ptr<engine::PreviewFile> m_preview;
    std::unique_ptr<Form1> m_form1;
};

void Form1Test::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    m_pane = {};
    m_preview = std::make_unique<engine::PreviewFile>(
        m_pane, QDir::toNativeSeparators(m_dir->path()), m_dir->filePath(u"private"_s));
    m_form1 = std::make_unique<Form1>(*m_preview, nullptr);
    m_form1->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_form1.get()));
}

void Form1Test::cleanup()
{
    m_form1.reset();
    m_preview.reset();
}

void Form1Test::chooseMode(int index)
{
    QTest::mouseClick(button(*m_form1, u"cmd"_s), Qt::LeftButton);
    QVERIFY(m_form1->form3().isVisible());
    QCOMPARE(m_form1->form3().windowTitle(), u"設定"_s);
    // On the caption, where a person clicks.
    QTest::mouseClick(option(index), Qt::LeftButton, {}, QPoint(6, option(index)->height() / 2));
    QCOMPARE(m_form1->form3().iii, index);
    QTest::mouseClick(button(m_form1->form3(), u"Command1"_s), Qt::LeftButton);
    QVERIFY(!m_form1->form3().isVisible());
    QCOMPARE(m_form1->form3().windowTitle(), QString::number(index));
}

void Form1Test::freshStartAndTyping()
{
    QCOMPARE(m_form1->windowTitle(), u"Quorvane"_s);
    QCOMPARE(button(*m_form1, u"cmdsave"_s)->text(), u"読み込み&&保存"_s);
    QCOMPARE(m_form1->Text1().text(), QString());
    QCOMPARE(readAll(previewFile()), QByteArray("\r\n"));
    QCOMPARE(m_pane.navigations, QStringList{previewFile()});
    QCOMPARE(m_form1->form3().windowTitle(), u"7"_s);
    QVERIFY(!m_form1->form3().isVisible());
    QVERIFY(!m_form1->Timer1().isActive());

    type(u"<i"_s);
    QTest::keyClick(&m_form1->Text1(), Qt::Key_Backspace);
    QCOMPARE(m_pane.navigations.size(), 4);
    QCOMPARE(readAll(previewFile()), QByteArray("<\r\n"));
    QFile::remove(previewFile());
    QTest::mouseClick(button(*m_form1, u"Command1"_s), Qt::LeftButton);  // reflect now
    QCOMPARE(readAll(previewFile()), QByteArray("<\r\n"));
    QCOMPARE(m_pane.navigations.size(), 5);
}

void Form1Test::modesChosenInTheDialog_data()
{
    QTest::addColumn<int>("index");
    QTest::addColumn<int>("every");     // edits per refresh, 0: edits do not refresh
    QTest::addColumn<int>("interval");  // of the timer, 0: stopped
    QTest::addRow("５文字毎") << 6 << 5 << 0;
    QTest::addRow("１０文字毎") << 5 << 10 << 0;
    QTest::addRow("１文字毎") << 7 << 1 << 0;
    QTest::addRow("１０秒毎") << 1 << 0 << 10000;
    QTest::addRow("４秒毎") << 2 << 0 << 4000;
    QTest::addRow("２秒毎") << 3 << 0 << 2000;
    QTest::addRow("1秒毎") << 4 << 0 << 1000;
    QTest::addRow("自動反映しない") << 0 << 0 << 0;
}

void Form1Test::modesChosenInTheDialog()
{
    QFETCH(int, index);
    QFETCH(int, every);
    QFETCH(int, interval);
    chooseMode(4);   // a timer left running must stop in the modes without one
    type(u"abc"_s);  // a count left over must not carry into the new mode
    chooseMode(index);
    QCOMPARE(m_form1->Timer1().interval(), interval);
    QCOMPARE(m_form1->Timer1().isActive(), interval > 0);
    const qsizetype before = m_pane.navigations.size();
    for (int i = 1; i <= 20; ++i) {
        type(u"x"_s);
        QCOMPARE(m_pane.navigations.size() - before, every ? i / every : 0);
    }
    if (interval) {
        m_form1->Timer1_Timer();
        m_form1->Timer1_Timer();  // the text has not changed since
        QCOMPARE(m_pane.navigations.size() - before, 1);
    }
    if (every || interval)
        QCOMPARE(readAll(previewFile()), "abc" + QByteArray(20, 'x') + "\r\n");
}

void Form1Test::lineBreakAfterClosingBracket_data()
{
    QTest::addColumn<QString>("before");  // typed with the box off, the caret left at the start
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("changes");
    QTest::addRow("after the tag") << QString() << u"<b>"_s << u"<b>\r\n"_s << 4;
    QTest::addRow("the end counts, not the caret") << u"<i>"_s << u"x"_s << u"x<i>\r\n"_s << 2;
    QTest::addRow("no bracket at the end") << QString() << u"<b>x"_s << u"<b>\r\nx"_s << 5;
}

void Form1Test::lineBreakAfterClosingBracket()
{
    QFETCH(QString, before);
    QFETCH(QString, typed);
    QFETCH(QString, text);
    QFETCH(int, changes);
    type(before);
    m_form1->Text1().moveCursor(QTextCursor::Start);
    check1()->click();  // takes effect without OK
    int seen = 0;
    connect(&m_form1->Text1(), &windows::SourceEdit::changed, this, [&] { ++seen; });
    const qsizetype navigations = m_pane.navigations.size();
    type(typed);
    QCOMPARE(m_form1->Text1().text(), text);
    QCOMPARE(seen, changes);  // the line break's own change counts in mode 7 too
    QCOMPARE(m_pane.navigations.size() - navigations, changes);
    if (text.endsWith(u"\r\n"_s))
        QVERIFY(m_form1->Text1().textCursor().atEnd());
}

void Form1Test::cancelRestoresTheModeInForce_data()
{
    QTest::addColumn<bool>("byTitleBar");
    QTest::addRow("キャンセル") << false;
    QTest::addRow("title-bar close") << true;
}

void Form1Test::cancelRestoresTheModeInForce()
{
    QFETCH(bool, byTitleBar);
    chooseMode(6);
    Form3 &form3 = m_form1->form3();
    QTest::mouseClick(button(*m_form1, u"cmd"_s), Qt::LeftButton);
    QVERIFY(option(6)->isChecked());
    QCOMPARE(form3.iii, 6);
    option(0)->click();
    check1()->click();
    // Not modal: the main window takes edits, which count nothing while the title is "設定".
    const qsizetype before = m_pane.navigations.size();
    for (int i = 0; i < 6; ++i)
        type(u"y"_s);
    QCOMPARE(m_pane.navigations.size(), before);
    // Pressed again while open: the mode to go back to must survive.
    QTest::mouseClick(button(*m_form1, u"cmd"_s), Qt::LeftButton);
    if (byTitleBar)
        QVERIFY(form3.close());
    else
        QTest::mouseClick(button(form3, u"Command2"_s), Qt::LeftButton);
    QVERIFY(!form3.isVisible());
    QCOMPARE(form3.windowTitle(), u"6"_s);
    QVERIFY(check1()->isChecked());
    QVERIFY(m_form1->isEnabled());
}

void Form1Test::resizeFollowsTheLayoutRule()
{
    const double dpi = m_form1->logicalDpiX();
    for (const QSize size : {QSize(900, 600), QSize(40, 30)}) {
        m_form1->resize(size);
        const windows::Form1Layout layout = windows::layoutForm1(
            platform::pixelsToTwips(size.width(), dpi), platform::pixelsToTwips(size.height(), dpi),
            platform::pixelsToTwips(m_form1->frameGeometry().width(), dpi));
        QCOMPARE(m_form1->Text1().geometry(), platform::twipsToPixels(layout.text1, dpi));
        QCOMPARE(m_form1->findChild<QWidget *>(u"WebBrowser1"_s)->geometry(),
                 platform::twipsToPixels(layout.webBrowser1, dpi));
    }
    QCOMPARE(m_form1->Text1().height(), 0);  // clamped, not negative
}

void Form1Test::failedRefreshLeavesTheTextAlone()
{
    QVERIFY(testsupport::writeAll(m_dir->filePath(u"plain.txt"_s), ""));
    const QString blocked = QDir::toNativeSeparators(m_dir->filePath(u"plain.txt/x"_s));
    platform::RecordingPane pane;
    engine::PreviewFile preview(pane, blocked, blocked);
    Form1 form1(preview, nullptr);
    QTest::keyClicks(&form1.Text1(), u"<p>keep</p>"_s);
    QCOMPARE(form1.Text1().text(), u"<p>keep</p>"_s);
    QCOMPARE(pane.failures.size(), 1 + 11);
    QVERIFY(pane.navigations.isEmpty());
}

void Form1Test::quitEndsTheProgram_data()
{
    QTest::addColumn<bool>("byTitleBar");
    QTest::addRow("終了") << false;
    QTest::addRow("title-bar close, with the dialogs open") << true;
}

void Form1Test::quitEndsTheProgram()
{
    QFETCH(bool, byTitleBar);
    m_form1->cmd_Click();
    m_form1->cmdsave_Click();
    QTimer::singleShot(0, this, [&] {
        if (byTitleBar)
            m_form1->close();
        else
            button(*m_form1, u"Command2"_s)->click();
    });
    QTimer::singleShot(5000, this, [] { QCoreApplication::exit(1); });
    QCOMPARE(QCoreApplication::exec(), 0);
}

QTEST_MAIN(Form1Test)
#include "tst_form1.moc"
