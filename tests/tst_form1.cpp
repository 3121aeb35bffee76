#include <QButtonGroup>
#include <QCheckBox>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
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
#include "textfile.h"

using namespace Qt::StringLiterals;
using windows::Form1;
using windows::Form3;

namespace {

QByteArray readAll(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return "<missing>";
    return file.readAll();
}

template <typename T>
T *control(QWidget &window, const QString &name)
{
    T *found = window.findChild<T *>(name, Qt::FindDirectChildrenOnly);
    if (!found)
        found = window.findChild<T *>(name);
    return found;
}

}  // namespace

class Form1Test : public QObject {
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void freshStart();
    void everyKeystrokeRefreshesInTheStartMode();
    void countModes_data();
    void countModes();
    void lineBreakAfterClosingBracket();
    void lineBreakLooksAtTheEndNotTheCaret();
    void lineBreakOnLongText();
    void timerModes_data();
    void timerModes();
    void ticksRefreshOnlyChangedText();
    void reflectNowRewritesUnchangedText();
    void dialogIsNotModalAndStopsCountingWhileOpen();
    void cancelRestoresTheModeInForce_data();
    void cancelRestoresTheModeInForce();
    void okWithoutAClickKeepsTheMode();
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
    void chooseMode(int index, bool ok = true);
    QPushButton *button(QWidget &window, const QString &name)
    {
        return control<QPushButton>(window, name);
    }
    QCheckBox *check1() { return control<QCheckBox>(m_form1->form3(), u"Check1"_s); }

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

void Form1Test::chooseMode(int index, bool ok)
{
    QTest::mouseClick(button(*m_form1, u"cmd"_s), Qt::LeftButton);
    Form3 &form3 = m_form1->form3();
    QVERIFY(form3.isVisible());
    QCOMPARE(form3.windowTitle(), u"設定"_s);
    auto *option = control<QRadioButton>(form3, u"Option(%1)"_s.arg(index));
    QVERIFY(option);
    QTest::mouseClick(option, Qt::LeftButton, {}, QPoint(6, option->height() / 2));
    QCOMPARE(form3.iii, index);
    QTest::mouseClick(button(form3, ok ? u"Command1"_s : u"Command2"_s), Qt::LeftButton);
    QVERIFY(!form3.isVisible());
}

void Form1Test::freshStart()
{
    QCOMPARE(m_form1->windowTitle(), u"Quorvane"_s);
    QCOMPARE(m_form1->Text1().text(), QString());
    QCOMPARE(readAll(previewFile()), QByteArray("\r\n"));
    QCOMPARE(m_pane.navigations, QStringList{previewFile()});
    QCOMPARE(m_form1->previewPath(), previewFile());
    QCOMPARE(m_form1->form3().windowTitle(), u"7"_s);
    QVERIFY(!m_form1->form3().isVisible());
    QVERIFY(!m_form1->Timer1().isActive());
    QCOMPARE(m_form1->Timer1().interval(), 0);
    const QStringList captions{
        button(*m_form1, u"cmdsave"_s)->text(), button(*m_form1, u"cmd"_s)->text(),
        button(*m_form1, u"Command1"_s)->text(), button(*m_form1, u"Command2"_s)->text()};
    QCOMPARE(captions,
             (QStringList{u"読み込み&&保存"_s, u"反映設定"_s, u"今すぐ反映"_s, u"終了"_s}));
    QVERIFY(!check1()->isChecked());
}

void Form1Test::everyKeystrokeRefreshesInTheStartMode()
{
    type(u"<i"_s);
    QCOMPARE(m_pane.navigations.size(), 3);
    QCOMPARE(readAll(previewFile()), QByteArray("<i\r\n"));
    QTest::keyClick(&m_form1->Text1(), Qt::Key_Backspace);
    QCOMPARE(m_pane.navigations.size(), 4);
    QCOMPARE(readAll(previewFile()), QByteArray("<\r\n"));
}

void Form1Test::countModes_data()
{
    QTest::addColumn<int>("index");
    QTest::addColumn<int>("every");
    QTest::addRow("５文字毎") << 6 << 5;
    QTest::addRow("１０文字毎") << 5 << 10;
    QTest::addRow("１文字毎") << 7 << 1;
}

void Form1Test::countModes()
{
    QFETCH(int, index);
    QFETCH(int, every);
    type(u"abc"_s);  // left over from mode 7: must not carry into the new mode
    chooseMode(index);
    QCOMPARE(m_form1->form3().windowTitle(), QString::number(index));
    const qsizetype before = m_pane.navigations.size();
    for (int i = 1; i <= 2 * every; ++i) {
        type(u"x"_s);
        QCOMPARE(m_pane.navigations.size() - before, i / every);
    }
    QCOMPARE(readAll(previewFile()), QByteArray("abc") + QByteArray(2 * every, 'x') + "\r\n");
}

void Form1Test::lineBreakAfterClosingBracket()
{
    check1()->click();
    int changes = 0;
    connect(&m_form1->Text1(), &windows::SourceEdit::changed, this, [&] { ++changes; });
    type(u"<b>"_s);
    QCOMPARE(m_form1->Text1().text(), u"<b>\r\n"_s);
    QCOMPARE(m_form1->Text1().textCursor().position(), 4);  // the very end
    QCOMPARE(changes, 4);  // three keys, and the nested change of the line break
    QCOMPARE(m_pane.navigations.size(), 1 + 4);
    QCOMPARE(readAll(previewFile()), QByteArray("<b>\r\n\r\n"));
}

void Form1Test::lineBreakLooksAtTheEndNotTheCaret()
{
    type(u"<i>"_s);
    QTextCursor start = m_form1->Text1().textCursor();
    start.movePosition(QTextCursor::Start);
    m_form1->Text1().setTextCursor(start);
    check1()->click();
    type(u"x"_s);
    QCOMPARE(m_form1->Text1().text(), u"x<i>\r\n"_s);
    QVERIFY(m_form1->Text1().textCursor().atEnd());
    // A grayed box is not on.
    check1()->setTristate(true);
    check1()->setCheckState(Qt::PartiallyChecked);
    type(u">"_s);
    QCOMPARE(m_form1->Text1().text(), u"x<i>\r\n>"_s);
}

void Form1Test::lineBreakOnLongText()
{
    check1()->click();
    m_form1->Text1().setText(QString(40000, u'a') + u">"_s);
    QCOMPARE(m_form1->Text1().text().size(), 40003);
    QVERIFY(m_form1->Text1().text().endsWith(u">\r\n"_s));
    QVERIFY(m_form1->Text1().textCursor().atEnd());
}

void Form1Test::timerModes_data()
{
    QTest::addColumn<int>("index");
    QTest::addColumn<int>("interval");
    QTest::addRow("１０秒毎") << 1 << 10000;
    QTest::addRow("４秒毎") << 2 << 4000;
    QTest::addRow("２秒毎") << 3 << 2000;
    QTest::addRow("1秒毎") << 4 << 1000;
}

void Form1Test::timerModes()
{
    QFETCH(int, index);
    QFETCH(int, interval);
    chooseMode(index);
    QCOMPARE(m_form1->Timer1().interval(), interval);
    QVERIFY(m_form1->Timer1().isActive());
    const qsizetype before = m_pane.navigations.size();
    type(u"abc"_s);  // edits neither count nor refresh in a timer mode
    QCOMPARE(m_pane.navigations.size(), before);
    QCOMPARE(m_form1->policy().changeCount(), 0);
    // No automatic refresh, or a count mode, stops the timer.
    chooseMode(index == 1 ? 0 : 6);
    QVERIFY(!m_form1->Timer1().isActive());
    QCOMPARE(m_form1->Timer1().interval(), 0);
}

void Form1Test::ticksRefreshOnlyChangedText()
{
    chooseMode(1);
    const qsizetype before = m_pane.navigations.size();
    m_form1->Timer1_Timer();  // text and snapshot both empty
    QCOMPARE(m_pane.navigations.size(), before);
    type(u"<p>"_s);
    m_form1->Timer1_Timer();
    QCOMPARE(m_pane.navigations.size(), before + 1);
    QCOMPARE(readAll(previewFile()), QByteArray("<p>\r\n"));
    m_form1->Timer1_Timer();
    QCOMPARE(m_pane.navigations.size(), before + 1);
}

void Form1Test::reflectNowRewritesUnchangedText()
{
    type(u"a"_s);
    QFile::remove(previewFile());
    QTest::mouseClick(button(*m_form1, u"Command1"_s), Qt::LeftButton);
    QCOMPARE(readAll(previewFile()), QByteArray("a\r\n"));
    QCOMPARE(m_pane.navigations.size(), 3);
}

void Form1Test::dialogIsNotModalAndStopsCountingWhileOpen()
{
    QTest::mouseClick(button(*m_form1, u"cmd"_s), Qt::LeftButton);
    QVERIFY(m_form1->form3().isVisible());
    QVERIFY(m_form1->isEnabled());
    QVERIFY(!m_form1->form3().isModal());
    const qsizetype before = m_pane.navigations.size();
    type(u"ab"_s);
    QCOMPARE(m_form1->Text1().text(), u"ab"_s);
    QCOMPARE(m_pane.navigations.size(), before);
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
    QVERIFY(control<QRadioButton>(form3, u"Option(6)"_s)->isChecked());
    control<QRadioButton>(form3, u"Option(0)"_s)->click();
    check1()->click();
    // Pressed again while open: the mode to go back to must survive.
    QTest::mouseClick(button(*m_form1, u"cmd"_s), Qt::LeftButton);
    QCOMPARE(form3.windowTitle(), u"設定"_s);
    if (byTitleBar)
        QVERIFY(form3.close());
    else
        QTest::mouseClick(button(form3, u"Command2"_s), Qt::LeftButton);
    QVERIFY(!form3.isVisible());
    QCOMPARE(form3.windowTitle(), u"6"_s);
    QVERIFY(check1()->isChecked());
    QVERIFY(m_form1->isEnabled());
}

void Form1Test::okWithoutAClickKeepsTheMode()
{
    QTest::mouseClick(button(*m_form1, u"cmd"_s), Qt::LeftButton);
    QCOMPARE(m_form1->form3().iii, 7);
    QVERIFY(control<QRadioButton>(m_form1->form3(), u"Option(7)"_s)->isChecked());
    QTest::mouseClick(button(m_form1->form3(), u"Command1"_s), Qt::LeftButton);
    QCOMPARE(m_form1->form3().windowTitle(), u"7"_s);
    const qsizetype before = m_pane.navigations.size();
    type(u"a"_s);
    QCOMPARE(m_pane.navigations.size(), before + 1);
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
        QCOMPARE(control<QWidget>(*m_form1, u"WebBrowser1"_s)->geometry(),
                 platform::twipsToPixels(layout.webBrowser1, dpi));
    }
    QCOMPARE(m_form1->Text1().height(), 0);  // clamped, not negative
}

void Form1Test::failedRefreshLeavesTheTextAlone()
{
    QFile blocker(m_dir->filePath(u"plain.txt"_s));
    QVERIFY(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    const QString blocked = QDir::toNativeSeparators(m_dir->filePath(u"plain.txt/x"_s));
    platform::RecordingPane pane;
    engine::PreviewFile preview(pane, blocked, blocked);
    Form1 form1(preview, nullptr);
    QCOMPARE(pane.failures.size(), 1);
    QTest::keyClicks(&form1.Text1(), u"<p>keep</p>"_s);
    QCOMPARE(form1.Text1().text(), u"<p>keep</p>"_s);
    QCOMPARE(pane.failures.size(), 12);
    QVERIFY(pane.navigations.isEmpty());
}

void Form1Test::quitEndsTheProgram_data()
{
    QTest::addColumn<bool>("byTitleBar");
    QTest::addRow("終了") << false;
    QTest::addRow("title-bar close, with the dialogs alive") << true;
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
