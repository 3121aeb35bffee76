#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QLineEdit>
#include <QListWidget>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpression>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include "form1.h"
#include "form1layout.h"
#include "form2.h"
#include "form3.h"
#include "previewfile.h"
#include "previewpane.h"
#include "sourceedit.h"
#include "testsupport.h"
#include "textfile.h"
#include "twipsgeometry.h"

using namespace Qt::StringLiterals;
using platform::TwipsRect;
using testsupport::readAll;
using testsupport::writeAll;
using windows::Form1;
using windows::Form2;
using windows::SourceEdit;

// The three windows as a person uses them: keys, mouse clicks, and what ends up on disk and in
// the preview pane.
class WindowsTest : public QObject {
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> m_dir;
    platform::RecordingPane m_pane;
    std::unique_ptr<engine::PreviewFile> m_preview;
    std::unique_ptr<Form1> m_form1;

    QString path(const QString &name = {}) const
    {
        return QDir::toNativeSeparators(name.isEmpty() ? m_dir->path() : m_dir->filePath(name));
    }
    QString previewFile() const { return path(u"program/一時.html"_s); }
    void type(const QString &keys) { QTest::keyClicks(&m_form1->Text1(), keys); }
    static void click(QWidget &window, const QString &name)
    {
        QTest::mouseClick(window.findChild<QPushButton *>(name, Qt::FindDirectChildrenOnly),
                          Qt::LeftButton);
    }
    QRadioButton *option(int index)
    {
        return m_form1->form3().findChild<QRadioButton *>(u"Option(%1)"_s.arg(index));
    }
    QCheckBox *check1() { return m_form1->form3().findChild<QCheckBox *>(u"Check1"_s); }
    void chooseMode(int index)
    {
        click(*m_form1, u"cmd"_s);
        QCOMPARE(m_form1->form3().windowTitle(), u"設定"_s);
        // On the caption, where a person clicks.
        QTest::mouseClick(option(index), Qt::LeftButton, {},
                          QPoint(6, option(index)->height() / 2));
        click(m_form1->form3(), u"Command1"_s);
        QVERIFY(!m_form1->form3().isVisible());
        QCOMPARE(m_form1->form3().windowTitle(), QString::number(index));
    }

    // Shown by its button when first asked for.
    Form2 &form2()
    {
        if (!m_form1->form2())
            click(*m_form1, u"cmdsave"_s);
        return *m_form1->form2();
    }
    QListWidget *list(const QString &name) { return form2().findChild<QListWidget *>(name); }
    QLineEdit *nameBox() { return form2().findChild<QLineEdit *>(u"Text1"_s); }
    static QStringList texts(const QListWidget *list)
    {
        QStringList result;
        for (int row = 0; row < list->count(); ++row)
            result.append(list->item(row)->text().trimmed());
        return result;
    }
    // With the mouse: the item becomes current before it is selected.
    void select(const QString &file)
    {
        QListWidget *file1 = list(u"File1"_s);
        QListWidgetItem *item = file1->findItems(file, Qt::MatchExactly).value(0);
        QVERIFY(item);
        file1->scrollToItem(item);
        QTest::mouseClick(file1->viewport(), Qt::LeftButton, {},
                          file1->visualItemRect(item).center());
        QCOMPARE(nameBox()->text(), file);
    }
    // The messages shown since the last call, each closed by its OK.
    QStringList takeMessages()
    {
        QStringList messages;
        for (QMessageBox *box : form2().findChildren<QMessageBox *>()) {
            messages.append(box->text());
            box->button(QMessageBox::Ok)->click();
        }
        // Closed, each is gone.
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        if (!form2().findChildren<QMessageBox *>().isEmpty())
            messages.append(u"<a message box stays after OK>"_s);
        return messages;
    }

    // The names in the order Tab visits them.
    static QStringList tabOrder(QWidget *first, const QStringList &names)
    {
        QStringList order{first->objectName()};
        for (QWidget *w = first->nextInFocusChain(); w != first; w = w->nextInFocusChain())
            if (names.contains(w->objectName()))
                order.append(w->objectName());
        return order;
    }

private slots:
    void init()
    {
        m_dir = std::make_unique<QTemporaryDir>();
        for (const QString &name : {u"b.html"_s, u"A.HTML"_s, u"c.htm"_s, u"page"_s})
            QVERIFY(writeAll(path(name), "<p>" + name.toUtf8() + "</p>\r\n"));
        for (const QString &folder : {u"sub"_s, u".hidden"_s, u"folder.html"_s, u"program"_s})
            QVERIFY(QDir(path()).mkpath(folder));
        QVERIFY(writeAll(path(u"sub/inner.html"_s), "<p>inner</p>"));
        QVERIFY(writeAll(path(u"plain.txt"_s), "plain"));
        m_pane = {};
        m_preview =
            std::make_unique<engine::PreviewFile>(m_pane, path(u"program"_s), path(u"private"_s));
        m_form1 = std::make_unique<Form1>(*m_preview, nullptr);
        m_form1->show();
        QVERIFY(QTest::qWaitForWindowExposed(m_form1.get()));
    }
    void cleanup()
    {
        m_form1.reset();
        m_preview.reset();
    }

    void freshStartAndTyping()
    {
        QCOMPARE(m_form1->windowTitle(), u"Quorvane"_s);
        QCOMPARE(m_form1->findChild<QPushButton *>(u"cmdsave"_s)->text(), u"読み込み&&保存"_s);
        QCOMPARE(readAll(previewFile()), QByteArray("\r\n"));
        QCOMPARE(m_pane.navigations, QStringList{previewFile()});
        QCOMPARE(m_form1->form3().windowTitle(), u"7"_s);
        QVERIFY(!m_form1->form3().isVisible() && !m_form1->Timer1().isActive());
        QVERIFY(!m_form1->form2());  // made when first shown
        SourceEdit &text1 = m_form1->Text1();
        QVERIFY(text1.lineWrapMode() == SourceEdit::NoWrap &&
                text1.verticalScrollBar()->isVisible() && text1.horizontalScrollBar()->isVisible());
        const QStringList form1Tabs{u"Text1"_s, u"WebBrowser1"_s, u"cmdsave"_s,
                                    u"cmd"_s,   u"Command1"_s,    u"Command2"_s};
        QCOMPARE(tabOrder(&text1, form1Tabs), form1Tabs);
        QStringList form3Tabs{u"Frame2"_s};
        for (int index : {4, 3, 2, 1, 7, 6, 5, 0})
            form3Tabs.append(u"Option(%1)"_s.arg(index));
        form3Tabs << u"Frame3"_s << u"Check1"_s << u"Command1"_s << u"Command2"_s;
        QCOMPARE(tabOrder(m_form1->form3().findChild<QWidget *>(u"Frame2"_s), form3Tabs),
                 form3Tabs);
        // The dialogs have their designed size, which the user cannot change.
        windows::Form3 &form3 = m_form1->form3();
        QCOMPARE(form3.maximumSize(), windows::twipsSize(&form3, 6525, 5805));
        QCOMPARE(form3.minimumSize(), form3.maximumSize());
        QCOMPARE(form2().maximumSize(), windows::twipsSize(&form2(), 9135, 5295));
        QCOMPARE(form2().minimumSize(), form2().maximumSize());
        // The options stand from top to bottom as the modes go from fastest to none.
        int top = -1;
        for (int index : {7, 6, 5, 4, 3, 2, 1, 0}) {
            const int y = option(index)->mapTo(&m_form1->form3(), QPoint()).y();
            QVERIFY(y > top);
            top = y;
        }

        type(u"<i"_s);
        QTest::keyClick(&m_form1->Text1(), Qt::Key_Backspace);
        QCOMPARE(m_pane.navigations.size(), 4);
        QCOMPARE(readAll(previewFile()), QByteArray("<\r\n"));
        QFile::remove(previewFile());
        click(*m_form1, u"Command1"_s);  // reflect now
        QCOMPARE(readAll(previewFile()), QByteArray("<\r\n"));
        QCOMPARE(m_pane.navigations.size(), 5);
        // Tab is a character of the source, not a move to the next control.
        QTest::keyClick(&m_form1->Text1(), Qt::Key_Tab);
        QCOMPARE(m_form1->Text1().text(), u"<\t"_s);
    }

    void modesChosenInTheDialog_data()
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
    void modesChosenInTheDialog()
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

    void lineBreakAfterClosingBracket_data()
    {
        QTest::addColumn<QString>("before");  // typed with the box off, the caret then at the start
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("changes");
        QTest::addRow("after the tag") << QString() << u"<b>"_s << u"<b>\r\n"_s << 4;
        QTest::addRow("the end counts, not the caret") << u"<i>"_s << u"x"_s << u"x<i>\r\n"_s << 2;
        QTest::addRow("no bracket at the end") << QString() << u"<b>x"_s << u"<b>\r\nx"_s << 5;
    }
    void lineBreakAfterClosingBracket()
    {
        QFETCH(QString, before);
        QFETCH(QString, typed);
        QFETCH(QString, text);
        QFETCH(int, changes);
        type(before);
        m_form1->Text1().moveCursor(QTextCursor::Start);
        check1()->click();  // takes effect without OK
        QSignalSpy seen(&m_form1->Text1(), &SourceEdit::changed);
        const qsizetype navigations = m_pane.navigations.size();
        type(typed);
        QCOMPARE(m_form1->Text1().text(), text);
        QCOMPARE(seen.size(), changes);  // the line break's own change counts in mode 7 too
        QCOMPARE(m_pane.navigations.size() - navigations, changes);
        if (text.endsWith(u"\r\n"_s))
            QVERIFY(m_form1->Text1().textCursor().atEnd());
    }

    void cancelRestoresTheModeInForce_data()
    {
        QTest::addColumn<QString>("how");
        QTest::addRow("キャンセル") << u"button"_s;
        QTest::addRow("title-bar close") << u"close"_s;
        QTest::addRow("Escape") << u"escape"_s;
    }
    void cancelRestoresTheModeInForce()
    {
        QFETCH(QString, how);
        chooseMode(6);
        windows::Form3 &form3 = m_form1->form3();
        click(*m_form1, u"cmd"_s);
        QVERIFY(option(6)->isChecked());
        option(0)->click();
        check1()->click();
        // Not modal: the main window takes edits, which count nothing while the title is "設定".
        const qsizetype before = m_pane.navigations.size();
        type(u"yyyyyy"_s);
        QCOMPARE(m_pane.navigations.size(), before);
        // Pressed again while open: the mode to go back to must survive.
        click(*m_form1, u"cmd"_s);
        if (how == u"close"_s)
            QVERIFY(form3.close());
        else if (how == u"escape"_s)
            QTest::keyClick(&form3, Qt::Key_Escape);
        else
            click(form3, u"Command2"_s);
        QVERIFY(!form3.isVisible());
        QCOMPARE(form3.windowTitle(), u"6"_s);
        QVERIFY(check1()->isChecked() && m_form1->isEnabled());
        click(*m_form1, u"cmd"_s);  // shows the mode in force again, not the one cancelled
        QVERIFY(option(6)->isChecked());
    }

    void layout_data()
    {
        // Both halves are as wide and as high, below the buttons at 720 twips.
        for (const char *column :
             {"clientWidth", "clientHeight", "outerWidth", "width", "height", "paneLeft"})
            QTest::addColumn<float>(column);
        QTest::addRow("frame widens the gap")
            << 8490.f << 8310.f << 8610.f << 4235.f << 7210.f << 4305.f;
        QTest::addRow("odd width, single precision")
            << 8495.f << 2000.f << 8495.f << 4237.5f << 900.f << 4247.5f;
        QTest::addRow("2000 twips wider: halves 1000 wider, pane 1000 right")
            << 10490.f << 8310.f << 10610.f << 5235.f << 7210.f << 5305.f;
        QTest::addRow("narrow and low: no negative sizes")
            << 15.f << 1099.f << 135.f << 0.f << 0.f << 67.5f;
    }
    void layout()
    {
        QFETCH(float, clientWidth);
        QFETCH(float, clientHeight);
        QFETCH(float, outerWidth);
        QFETCH(float, width);
        QFETCH(float, height);
        QFETCH(float, paneLeft);
        const windows::Form1Layout result =
            windows::layoutForm1(clientWidth, clientHeight, outerWidth);
        QVERIFY(result.text1 == (TwipsRect{0, 720, width, height}));
        QVERIFY(result.webBrowser1 == (TwipsRect{paneLeft, 720, width, height}));
        // The window applies it as it is resized.
        const double dpi = m_form1->logicalDpiX();
        m_form1->resize(platform::twipsToPixels(clientWidth, dpi),
                        platform::twipsToPixels(clientHeight, dpi));
        const windows::Form1Layout applied =
            windows::layoutForm1(platform::pixelsToTwips(m_form1->width(), dpi),
                                 platform::pixelsToTwips(m_form1->height(), dpi),
                                 platform::pixelsToTwips(m_form1->frameGeometry().width(), dpi));
        QCOMPARE(m_form1->findChild<QWidget *>(u"WebBrowser1"_s)->geometry(),
                 platform::twipsToPixels(applied.webBrowser1, dpi));
        QCOMPARE(m_form1->Text1().geometry(), platform::twipsToPixels(applied.text1, dpi));
    }

    void failedRefreshLeavesTheTextAlone()
    {
        const QString blocked = path(u"plain.txt/x"_s);
        platform::RecordingPane pane;
        engine::PreviewFile preview(pane, blocked, blocked);
        Form1 form1(preview, nullptr);
        QTest::keyClicks(&form1.Text1(), u"<p>keep</p>"_s);
        QCOMPARE(form1.Text1().text(), u"<p>keep</p>"_s);
        QCOMPARE(pane.failures.size(), 1 + 11);
        QVERIFY(pane.navigations.isEmpty());
    }

    void quitEndsTheProgram_data()
    {
        QTest::addColumn<bool>("byTitleBar");
        QTest::addRow("終了") << false;
        QTest::addRow("title-bar close, with the dialogs open") << true;
    }
    void quitEndsTheProgram()
    {
        QFETCH(bool, byTitleBar);
        m_form1->cmd_Click();
        m_form1->cmdsave_Click();
        QTimer::singleShot(0, this, [&] {
            if (byTitleBar)
                m_form1->close();
            else
                m_form1->findChild<QPushButton *>(u"Command2"_s)->click();
        });
        QTimer::singleShot(5000, this, [] { QCoreApplication::exit(1); });
        QCOMPARE(QCoreApplication::exec(), 0);
    }

    void editorGivesBackTheStringSet_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addRow("CR LF lines") << u"<p>\r\n</p>\r\n"_s;
        QTest::addRow("lone LF, as from Unix") << u"a\nb\nc\r\n"_s;
        QTest::addRow("lone LF at the very end") << u"a\n"_s;
        QTest::addRow("no-break space and tab") << u"a\u00a0\tb&nbsp;"_s;
        QTest::addRow("line separator of its own") << u"a\u2028b\nc\u2028\r\n"_s;
        QTest::addRow("beyond 32767 characters") << QString(40000, u'x') + u">"_s;
    }
    void editorGivesBackTheStringSet()
    {
        QFETCH(QString, text);
        SourceEdit edit;
        QSignalSpy changed(&edit, &SourceEdit::changed);
        edit.setText(text);
        QCOMPARE(edit.text(), text);
        QCOMPARE(changed.size(), 1);
        // Typed and undone, a line separator of its own stays one.
        edit.moveCaretToEnd();
        QTest::keyClick(&edit, Qt::Key_Return, Qt::ShiftModifier);
        QCOMPARE(edit.text(), text + u"\r\n"_s);
        QCOMPARE(changed.size(), 2);
        edit.undo();
        QCOMPARE(edit.text(), text);
    }

    void editorClipboard()
    {
        SourceEdit edit;
        QApplication::clipboard()->setText(u"1\n2\r\n3\r4\u20285"_s);
        edit.paste();
        QCOMPARE(edit.text(), u"1\r\n2\r\n3\r\n4\r\n5"_s);
        // Copied out: a no-break space stays one, and lines end in LF as the clipboard wants.
        edit.setText(u"a\u00a0b\nc\r\nd"_s);
        edit.selectAll();
        edit.copy();
        QCOMPARE(QApplication::clipboard()->text(), u"a\u00a0b\nc\nd"_s);
        // The line break after ">" is an edit of its own, undone apart from the typing.
        edit.clear();
        QTest::keyClicks(&edit, u"<b>"_s);
        edit.appendLineBreak();
        QCOMPARE(edit.text(), u"<b>\r\n"_s);
        edit.undo();
        QCOMPARE(edit.text(), u"<b>"_s);
    }

    void fileDialogBrowses()
    {
        QVERIFY(form2().isVisible());
        QCOMPARE(form2().windowTitle(), u"read&write"_s);
        const QStringList tabs{u"Dir1"_s,  u"Drive1"_s,   u"File1"_s,
                               u"Text1"_s, u"Command1"_s, u"Command2"_s};
        QCOMPARE(tabOrder(list(u"Dir1"_s), tabs), tabs);
        QVERIFY(form2().setDirPath(path()));
        QCOMPARE(texts(list(u"File1"_s)), (QStringList{u"A.HTML"_s, u"b.html"_s}));
        QListWidget *dir1 = list(u"Dir1"_s);
        const QStringList entries = texts(dir1);
        QCOMPARE(entries.mid(entries.size() - 4),
                 (QStringList{QDir(path()).dirName(), u"folder.html"_s, u"program"_s, u"sub"_s}));
        emit dir1->itemActivated(dir1->findItems(u"sub"_s, Qt::MatchEndsWith).first());
        QCOMPARE(form2().dirPath(), path(u"sub"_s));
        QCOMPARE(texts(list(u"File1"_s)), QStringList{u"inner.html"_s});
        emit dir1->itemActivated(dir1->item(dir1->count() - 2));  // its parent, above it
        QCOMPARE(form2().dirPath(), path());
        // A folder gone since: said, and the lists stay on the last good one.
        QVERIFY(!form2().setDirPath(path(u"gone"_s)));
        QCOMPARE(form2().dirPath(), path());
        QCOMPARE(texts(dir1), entries);
        QVERIFY(takeMessages().value(0).contains(path(u"gone"_s)));

        // The drive list holds the root and home, and picks the one of the folder shown.
        auto *drive1 = form2().findChild<QComboBox *>(u"Drive1"_s);
        QCOMPARE(drive1->currentData().toString(), u"/"_s);
        QVERIFY(drive1->findData(QDir::toNativeSeparators(QDir::homePath())) > 0);
        drive1->setCurrentIndex(drive1->findData(QDir::toNativeSeparators(QDir::homePath())));
        emit drive1->activated(drive1->currentIndex());
        QCOMPARE(form2().dirPath(), QDir::toNativeSeparators(QDir::homePath()));
        QTest::keyClick(&form2(), Qt::Key_Escape);
        QVERIFY(!form2().isVisible());
    }

    void openAndSaveByTheFormat_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("text");
        QTest::addRow("three lines") << QByteArray("<p>1</p>\r\n<p>2</p>\r\n<p>3</p>")
                                     << u"<p>1</p>\r\n<p>2</p>\r\n<p>3</p>\r\n"_s;
        QTest::addRow("lone LF, as from Unix") << QByteArray("x\ny") << u"x\ny\r\n"_s;
        QTest::addRow("CP932 from Windows")
            << QByteArray("<p>\x93\xfa\x96\x7b\x81\x60\x87\x40</p>\r\n") << u"<p>日本～①</p>\r\n"_s;
    }
    // Opened into the editor (a refresh like an edit, from the document's own folder), then
    // saved under the clicked name, in the document's encoding.
    void openAndSaveByTheFormat()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QString, text);
        QVERIFY(writeAll(path(u"doc.html"_s), bytes));
        QVERIFY(form2().setDirPath(path()));
        QVERIFY(m_pane.documentFolder.isEmpty());
        select(u"doc.html"_s);
        click(form2(), u"Command1"_s);
        QVERIFY(!form2().isVisible());
        QCOMPARE(m_form1->Text1().text(), text);
        QCOMPARE(m_pane.navigations.size(), 2);
        QCOMPARE(readAll(previewFile()), bytes + (bytes.endsWith("\r\n") ? "\r\n" : "\r\n\r\n"));
        QCOMPARE(m_pane.documentFolder, path());
        click(*m_form1, u"cmdsave"_s);
        click(form2(), u"Command2"_s);
        QVERIFY(!form2().isVisible());
        QCOMPARE(readAll(path(u"doc.html"_s)), readAll(previewFile()));
    }

    void saveUsesTheNameAsTyped()
    {
        QVERIFY(form2().setDirPath(path(u"sub"_s)));
        m_form1->Text1().setText(u"<p>新しい</p>"_s);
        for (const QString &name : {QString(), Form2::namePrompt()}) {
            nameBox()->setText(name);
            click(form2(), u"Command2"_s);
            QCOMPARE(nameBox()->text(), u"ファイル名を入れてください"_s);
            QVERIFY(form2().isVisible());
        }
        QCOMPARE(QDir(path(u"sub"_s)).entryList(QDir::Files), QStringList{u"inner.html"_s});
        nameBox()->setText(u"page2"_s);
        QTest::keyClick(nameBox(), Qt::Key_Return);
        QCOMPARE(readAll(path(u"sub/page2"_s)), "<p>\xe6\x96\xb0\xe3\x81\x97\xe3\x81\x84</p>\r\n");
        QCOMPARE(m_pane.documentFolder, path(u"sub"_s));
        // Replaced without asking; the list is not read again.
        nameBox()->setText(u"inner.html"_s);
        click(form2(), u"Command2"_s);
        QCOMPARE(readAll(path(u"sub/inner.html"_s)), "<p>新しい</p>\r\n"_ba);
        QCOMPARE(texts(list(u"File1"_s)), QStringList{u"inner.html"_s});
    }

    void failuresChangeNothingAndSayWhy_data()
    {
        QTest::addColumn<QString>("action");  // "open" a listed file, or "save" under a name
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("says");
        QTest::addRow("open with nothing selected")
            << u"open"_s << QString() << u"選ばれていません"_s;
        QTest::addRow("open a file gone since listing")
            << u"open"_s << u"gone.html"_s << u"開けません。\n理由: 見つかりません"_s;
        QTest::addRow("open bytes in no encoding")
            << u"open"_s << u"bad.html"_s << u"文字コードを判別できません"_s;
        QTest::addRow("save below a regular file")
            << u"save"_s << u"plain.txt/x.html"_s << u"書き込めません。\n理由: パスの途中"_s;
        QTest::addRow("save under a folder's name")
            << u"save"_s << u"sub"_s << u"理由: ファイルではなくフォルダーです"_s;
        QTest::addRow("save a character the encoding lacks")
            << u"save"_s << u"sjis.html"_s << u"「😀」は文字コード Shift_JIS で表せない"_s;
        QTest::addRow("save onto a full disk") << u"save"_s << u"b.html"_s << u"大きすぎます"_s;
    }
    void failuresChangeNothingAndSayWhy()
    {
        QFETCH(QString, action);
        QFETCH(QString, name);
        QFETCH(QString, says);
        QVERIFY(writeAll(path(u"gone.html"_s), "x"));
        QVERIFY(writeAll(path(u"bad.html"_s), "<p>\x81\x20\xff</p>"));
        QVERIFY(writeAll(path(u"sjis.html"_s), "<p>\x93\xfa</p>"));
        if (name == u"sjis.html"_s) {
            QVERIFY(form2().setDirPath(path()));
            select(name);
            click(form2(), u"Command1"_s);
            click(*m_form1, u"cmdsave"_s);
        }
        QVERIFY(form2().setDirPath(path()));
        QVERIFY(QFile::remove(path(u"gone.html"_s)));
        const QString unsaved = name == u"b.html"_s ? QString(100000, u'x') : u"<p>😀</p>"_s;
        m_form1->Text1().setText(unsaved);
        const QStringList before = QDir(path()).entryList(QDir::AllEntries | QDir::Hidden);
        const QByteArray earlier = readAll(path(name));

        if (action == u"open"_s) {
            if (!name.isEmpty())
                select(name);
            click(form2(), u"Command1"_s);
        } else {
            nameBox()->setText(name);
            std::optional<testsupport::FullDisk> full;
            if (name == u"b.html"_s)
                full.emplace();
            click(form2(), u"Command2"_s);
        }
        const QStringList messages = takeMessages();
        QCOMPARE(messages.size(), 1);
        QVERIFY2(messages.first().contains(says), qPrintable(messages.first()));
        QVERIFY(messages.first().contains(name.section(u'/', 0, 0)));
        // The reason is in Japanese, never the system's English.
        QVERIFY(
            !messages.first().section(u"理由: "_s, 1).contains(QRegularExpression(u"[A-Za-z]"_s)));
        QCOMPARE(m_form1->Text1().text(), unsaved);
        QVERIFY(form2().isVisible());
        QCOMPARE(QDir(path()).entryList(QDir::AllEntries | QDir::Hidden), before);
        QCOMPARE(readAll(path(name)), earlier);
    }
};

QTEST_MAIN(WindowsTest)
#include "tst_windows.moc"
