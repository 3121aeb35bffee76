#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QGroupBox>
#include <QInputMethodEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QMessageBox>
#include <QMimeData>
#include <QProgressDialog>
#include <QPushButton>
#include <QRadioButton>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTextBlock>
#include <QTextLayout>
#include <QTimer>

#include "app/japanese.h"
#include "app/program.h"
#include "editor/findbar.h"
#include "editor/gotoline.h"
#include "editor/linenumbers.h"
#include "editor/sourcecolours.h"
#include "editor/sourceedit.h"
#include "engine/textfile.h"
#include "forms/design.h"
#include "forms/form1layout.h"
#include "forms/form2.h"
#include "forms/form3.h"
#include "forms/twipsgeometry.h"
#include "tests/fixture.h"

using editor::SourceEdit;
using testsupport::readAll;
using testsupport::writeAll;

// The three windows as a person uses them: keys, mouse clicks, and what ends up on disk and in
// the preview pane.
class WindowsTest : public QObject, public testsupport::Fixture {
    Q_OBJECT

    QByteArray preview() const { return readAll(previewFile()); }
    qsizetype loads() const { return recording.navigations.size(); }
    SourceEdit &text1() { return form1->Text1(); }
    forms::Form3 &form3() { return form1->form3(); }
    void type(const QString &keys) { QTest::keyClicks(&text1(), keys); }
    static void click(QWidget &window, const QString &name)
    {
        QTest::mouseClick(window.findChild<QPushButton *>(name, Qt::FindDirectChildrenOnly),
                          Qt::LeftButton);
    }
    QRadioButton *option(int index)
    {
        return form3().findChild<QRadioButton *>(u"Option(%1)"_s.arg(index));
    }
    QCheckBox *check1() { return form3().findChild<QCheckBox *>(u"Check1"_s); }
    // On the option's caption, where a person clicks, then OK.
    void chooseMode(int index)
    {
        click(*form1, u"cmd"_s);
        QCOMPARE(form3().windowTitle(), u"設定"_s);
        QTest::mouseClick(option(index), Qt::LeftButton, {},
                          QPoint(6, option(index)->height() / 2));
        click(form3(), u"Command1"_s);
        QVERIFY(!form3().isVisible());
        QCOMPARE(form3().windowTitle(), QString::number(index));
    }

    // Shown by its button when first asked for.
    forms::Form2 &form2()
    {
        if (!form1->form2())
            click(*form1, u"cmdsave"_s);
        return *form1->form2();
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
    // With the mouse, which makes the item current before it selects it.
    void select(const QString &file)
    {
        QListWidget *file1 = list(u"File1"_s);
        QListWidgetItem *item = file1->findItems(file, Qt::MatchExactly).value(0);
        QVERIFY(item);
        QTest::mouseClick(file1->viewport(), Qt::LeftButton, {},
                          file1->visualItemRect(item).center());
        QCOMPARE(nameBox()->text(), file);
    }
    // The one message shown, closed by its OK, after which it is gone.
    QString takeMessage()
    {
        const QList<QMessageBox *> boxes = form2().findChildren<QMessageBox *>();
        if (boxes.size() != 1)
            return u"<%1 messages>"_s.arg(boxes.size());
        const QString text = boxes.first()->text();
        boxes.first()->button(QMessageBox::Ok)->click();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        return form2().findChildren<QMessageBox *>().isEmpty() ? text : u"<stays after OK>"_s;
    }

    template <typename T>
    T *bar(const QString &name)
    {
        return text1().findBar().findChild<T *>(name);
    }
    QString findStatus() { return bar<QLabel>(u"findStatus"_s)->text(); }
    // As a Japanese input method types it.
    static void commit(QWidget *widget, const QString &text)
    {
        QInputMethodEvent typed;
        typed.setCommitString(text);
        QApplication::sendEvent(widget, &typed);
    }
    int foundMarks()
    {
        int found = 0;
        for (const QTextEdit::ExtraSelection &mark : text1().extraSelections())
            found += mark.format.background().color() == QColor(0xff, 0xc8, 0x6b);
        return found;
    }
    QStringList tagMarks()
    {
        QStringList marked;
        for (const QTextEdit::ExtraSelection &mark : text1().extraSelections())
            if (mark.format.background().color() == QColor(0xff, 0xe8, 0x8a))
                marked.append(mark.cursor.selectedText());
        return marked;
    }
private slots:
    void initTestCase() { QVERIFY(app::useJapanese(*qApp)); }

    void init()
    {
        // A mark placed from a parse of another text.
        QTest::failOnWarning(QRegularExpression(u"out of range"_s));
        start();
        for (const QString &name : {u"b.html"_s, u"A.HTML"_s, u"c.htm"_s, u"page"_s})
            QVERIFY(writeAll(path(name), "<p>" + name.toUtf8() + "</p>\r\n"));
        for (const QString &folder : {u"sub"_s, u".hidden"_s, u"folder.html"_s})
            QVERIFY(QDir(path()).mkpath(folder));
        QVERIFY(writeAll(path(u"sub/inner.html"_s), "<p>inner</p>"));
        QVERIFY(writeAll(path(u"plain.txt"_s), "plain"));
        QVERIFY(QTest::qWaitForWindowExposed(form1.get()));
    }
    void cleanup() { stop(); }

    void startsAsDesigned()
    {
        QCOMPARE(form1->windowTitle(), u"Quorvane"_s);
        QCOMPARE(preview(), QByteArray("\r\n"));
        QCOMPARE(loads(), 1);
        QCOMPARE(form3().windowTitle(), u"7"_s);
        QVERIFY(!form3().isVisible() && !form1->Timer1().isActive() && !form1->form2());
        QVERIFY(text1().lineWrapMode() == SourceEdit::NoWrap &&
                text1().verticalScrollBar()->isVisible() &&
                text1().horizontalScrollBar()->isVisible());
        QCOMPARE(form2().windowTitle(), u"read&write"_s);
        QCOMPARE(form1->findChild<QTimer *>(u"Timer1"_s), &form1->Timer1());
        // Every window at its designed size (the dialogs' fixed), and every control where the
        // design puts it, with its caption, in the designed tab order. The halves of the main
        // window follow its size instead, as the layout test checks.
        namespace design = forms::design;
        for (const auto &[window, table] :
             {std::pair<QWidget *, design::Window>{form1.get(), design::kForm1},
              {&form2(), design::kForm2},
              {&form3(), design::kForm3}}) {
            const QSize size = forms::twipsSize(window, table.width, table.height);
            QCOMPARE(window->objectName(), QString::fromUtf16(table.name));
            QCOMPARE(window->size(), size);
            QCOMPARE(window->maximumSize() == size, window != form1.get());
            std::vector<QString> order(table.controls.size());
            for (const design::Control &control : table.controls) {
                const QString name = QString::fromUtf16(control.name);
                auto *widget = window->findChild<QWidget *>(name);
                QVERIFY2(widget, qPrintable(name));
                order.at(size_t(control.tab)) = name;
                if (control.caption) {
                    auto *button = qobject_cast<QAbstractButton *>(widget);
                    auto *frame = qobject_cast<QGroupBox *>(widget);
                    QCOMPARE(button ? button->text() : frame->title(),
                             QString::fromUtf16(control.caption));
                }
                if (window == form1.get() && control.tab < 2)
                    continue;
                const QRect want = forms::twipsToPixels(control.rect, window->logicalDpiX());
                const QRect got = widget->geometry();
                QVERIFY2(
                    got.x() == want.x() && got.width() == want.width() &&
                        (control.legible ? got.height() >= want.height() &&
                                               qAbs(got.center().y() - want.center().y()) <= 1
                                         : got.y() == want.y() && got.height() == want.height()),
                    qPrintable(name));
            }
            // Tab visits the controls that take the focus (frames take none) in that order.
            QStringList tabbed;
            for (const QString &name : order)
                if (window->findChild<QWidget *>(name)->focusPolicy() & Qt::TabFocus)
                    tabbed.append(name);
            QStringList visited;
            QWidget *widget = window->findChild<QWidget *>(tabbed.first());
            for (int step = 0; step < 200 && visited.size() < tabbed.size(); ++step) {
                if (tabbed.contains(widget->objectName()) && widget->window() == window &&
                    !visited.contains(widget->objectName()))
                    visited.append(widget->objectName());
                widget = widget->nextInFocusChain();
            }
            QCOMPARE(visited, tabbed);
        }
    }

    void typingRefreshesByTheModeChosen_data()
    {
        QTest::addColumn<int>("index");
        QTest::addColumn<int>("every");     // edits per refresh, 0: edits do not refresh
        QTest::addColumn<int>("interval");  // of the timer, 0: stopped
        const char *captions[] = {"自動反映しない", "１０秒毎",   "４秒毎",   "２秒毎",
                                  "1秒毎",          "１０文字毎", "５文字毎", "１文字毎"};
        const int every[] = {0, 0, 0, 0, 0, 10, 5, 1}, seconds[] = {0, 10, 4, 2, 1, 0, 0, 0};
        for (int index = 0; index < 8; ++index)
            QTest::newRow(captions[index]) << index << every[index] << seconds[index] * 1000;
    }
    void typingRefreshesByTheModeChosen()
    {
        QFETCH(int, index);
        QFETCH(int, every);
        QFETCH(int, interval);
        QCOMPARE(option(index)->text(), QString::fromUtf8(QTest::currentDataTag()));
        chooseMode(4);   // a timer left running must stop in the modes without one
        type(u"abc"_s);  // a count left over must not carry into the new mode
        chooseMode(index);
        QCOMPARE(form1->Timer1().isActive() ? form1->Timer1().interval() : 0, interval);
        const qsizetype before = loads();
        for (int i = 1; i <= 20; ++i) {
            type(u"x"_s);
            QCOMPARE(loads() - before, every ? i / every : 0);
        }
        if (interval) {
            // Ticks as the timer gives them, without waiting seconds for them.
            QVERIFY(QMetaObject::invokeMethod(&form1->Timer1(), "timeout"));
            QVERIFY(QMetaObject::invokeMethod(&form1->Timer1(), "timeout"));  // text unchanged
            QCOMPARE(loads() - before, 1);
        }
        // Backspace is an edit too; "reflect now" writes the file again whatever the mode.
        QTest::keyClick(&text1(), Qt::Key_Backspace);
        QVERIFY(QFile::remove(previewFile()));
        click(*form1, u"Command1"_s);
        QCOMPARE(preview(), "abc" + QByteArray(19, 'x') + "\r\n");
        // Tab is a character of the source, not a move to the next control.
        QTest::keyClick(&text1(), Qt::Key_Tab);
        QVERIFY(text1().text().endsWith(u"x\t"_s));
    }

    void lineBreakAfterClosingBracket_data()
    {
        QTest::addColumn<QString>("before");  // typed with the box off, the caret then at 0
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
        text1().moveCursor(QTextCursor::Start);
        check1()->click();  // takes effect without OK
        QSignalSpy seen(&text1(), &SourceEdit::changed);
        const qsizetype refreshes = loads();
        type(typed);
        QCOMPARE(text1().text(), text);
        QCOMPARE(seen.size(), changes);  // the line break's own change refreshes in mode 7 too
        QCOMPARE(loads() - refreshes, changes);
        QVERIFY(text1().textCursor().atEnd());
    }

    // Cancelled by its button, the title bar or Escape, the dialog leaves the mode in force.
    void cancelKeepsTheModeInForce()
    {
        chooseMode(6);
        for (int how = 0; how < 3; ++how) {
            click(*form1, u"cmd"_s);  // shows the mode in force, not the one cancelled
            QVERIFY(option(6)->isChecked());
            option(0)->click();
            check1()->click();
            // Not modal: the window takes edits, which count nothing while the title is "設定".
            const qsizetype before = loads();
            type(u"yyyyyy"_s);
            QCOMPARE(loads(), before);
            // Pressed again while open: the mode to go back to must survive. A key that means
            // nothing there leaves the dialog open.
            click(*form1, u"cmd"_s);
            QTest::keyClick(&form3(), Qt::Key_A);
            QVERIFY(form3().isVisible());
            if (how == 0)
                click(form3(), u"Command2"_s);
            else if (how == 1)
                QVERIFY(form3().close());
            else
                QTest::keyClick(&form3(), Qt::Key_Escape);
            QVERIFY(!form3().isVisible() && form1->isEnabled());
            QCOMPARE(form3().windowTitle(), u"6"_s);
            QCOMPARE(check1()->isChecked(), how != 1);  // a change of the box stands
        }
    }

    // Both halves are as wide and as high, below the buttons at 720 twips; the window applies
    // that as it is resized.
    void layout()
    {
        // In: client width, height and outer width. Out: width, height, the pane's left.
        const float cases[][6] = {{8490, 8310, 8610, 4235, 7210, 4305},  // a frame widens the gap
                                  {8495, 2000, 8495, 4237.5, 900, 4247.5},  // single precision
                                  {15, 1099, 135, 0, 0, 67.5}};  // narrow and low: never negative
        for (const auto &c : cases) {
            const forms::Form1Layout result = forms::layoutForm1(c[0], c[1], c[2]);
            QVERIFY(result.text1 == (forms::TwipsRect{0, 720, c[3], c[4]}));
            QVERIFY(result.webBrowser1 == (forms::TwipsRect{c[5], 720, c[3], c[4]}));
        }
        const double dpi = form1->logicalDpiX();
        form1->resize(forms::twipsToPixels(10490, dpi), forms::twipsToPixels(8310, dpi));
        const forms::Form1Layout applied = forms::layoutForm1(
            forms::pixelsToTwips(form1->width(), dpi), forms::pixelsToTwips(form1->height(), dpi),
            forms::pixelsToTwips(form1->frameGeometry().width(), dpi));
        QCOMPARE(form1->findChild<QWidget *>(u"WebBrowser1"_s)->geometry(),
                 forms::twipsToPixels(applied.webBrowser1, dpi));
        QCOMPARE(text1().geometry(), forms::twipsToPixels(applied.text1, dpi));
    }

    // By 終了, and by the title bar's close with the dialogs open.
    void quitEndsTheProgram()
    {
        form1->cmd_Click();
        form1->cmdsave_Click();
        for (const bool byTitleBar : {false, true}) {
            QObject guard;  // the fallback goes with it
            QTimer::singleShot(0, &guard, [&] {
                byTitleBar ? (void)form1->close() : click(*form1, u"Command2"_s);
            });
            QTimer::singleShot(5000, &guard, [] { QCoreApplication::exit(1); });
            QCOMPARE(QCoreApplication::exec(), 0);
        }
    }

    // The source box gives back exactly the string set, typed into and undone, and tells of
    // each change once.
    void editorKeepsTheString_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addRow("CR LF lines") << u"<p>\r\n</p>\r\n"_s;
        QTest::addRow("lone LF, as from Unix") << u"a\nb\nc\r\n"_s;
        QTest::addRow("lone LF at the very end") << u"a\n"_s;
        QTest::addRow("no-break space and tab") << u"a\u00a0\tb&nbsp;"_s;
        QTest::addRow("line separator of its own") << u"a\u2028b\nc\u2028\r\n"_s;
        QTest::addRow("beyond 32767 characters") << QString(40000, u'x') + u">"_s;
    }
    void editorKeepsTheString()
    {
        QFETCH(QString, text);
        SourceEdit edit;
        QSignalSpy changed(&edit, &SourceEdit::changed);
        edit.setText(text);
        QCOMPARE(edit.text(), text);
        QCOMPARE(changed.size(), 1);
        edit.moveCaretToEnd();
        QTest::keyClick(&edit, Qt::Key_Return, Qt::ShiftModifier);
        QCOMPARE(edit.text(), text + u"\r\n"_s);
        QCOMPARE(changed.size(), 2);
        edit.undo();
        edit.undo();  // more than was typed: the text set stays as it was
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

    // The source is coloured from its parse, and colours are no change: a page set, typed into
    // and composed into with an input method counts and refreshes exactly as plain text does.
    void coloursAreNoChange()
    {
        const QString page =
            u"<style>p { color: red; }</style>\r\n<!-- 注 -->\r\n"
            u"<p class=\"x\">text</p>\r\n<script>if (a) {}</script>\r\n"_s;
        QSignalSpy changes(&text1(), &SourceEdit::changed);
        text1().setText(page);
        QCOMPARE(changes.size(), 1);
        const auto colourAt = [&](const QString &word) {
            const qsizetype index = page.indexOf(word);
            const int position = int(index - page.first(index).count(u"\r\n"_s));
            const QTextBlock block = text1().document()->findBlock(position);
            const int at = position - block.position();
            for (const QTextLayout::FormatRange &range : block.layout()->formats())
                if (range.start <= at && at < range.start + range.length)
                    return range.format.foreground().color();
            return QColor();
        };
        using source::Colour;
        for (const auto &[word, colour] :
             {std::pair{u"color"_s, Colour::CssProperty}, std::pair{u"注"_s, Colour::Comment},
              std::pair{u"x\""_s, Colour::String}, std::pair{u"if"_s, Colour::Keyword}})
            QCOMPARE(colourAt(word), editor::SourceColours::format(colour).foreground().color());
        text1().selectAll();
        text1().copy();
        QVERIFY(!QApplication::clipboard()->mimeData()->hasHtml());
        // Without colours (the benchmark's other half) the box is plain text again.
        text1().colours().setEnabled(false);
        QCOMPARE(colourAt(u"color"_s), QColor());
        text1().colours().setEnabled(true);
        QCOMPARE(colourAt(u"color"_s),
                 editor::SourceColours::format(Colour::CssProperty).foreground().color());
        QCOMPARE(changes.size(), 1);

        // Composing shows the text being composed but changes nothing; the commit is one change.
        text1().moveCaretToEnd();
        const qsizetype before = loads();
        for (const QString &preedit : {u"に"_s, u"にほ"_s, u"にほん"_s}) {
            QInputMethodEvent composing(preedit, {});
            QApplication::sendEvent(&text1(), &composing);
        }
        QCOMPARE(text1().textCursor().block().layout()->preeditAreaText(), u"にほん"_s);
        QCOMPARE(loads(), before);
        QInputMethodEvent commit;
        commit.setCommitString(u"日本"_s);
        QApplication::sendEvent(&text1(), &commit);
        QCOMPARE(loads(), before + 1);
        QCOMPARE(changes.size(), 2);
        QVERIFY(preview().endsWith("日本\r\n"));
    }

    // A page too large to parse on the spot is parsed aside while it stays in use; the lines
    // scrolled to are coloured, the lines are numbered in the gutter inside Text1's rectangle,
    // and the tag at the caret is marked with its partner.
    void largePageColoursLinesAndTags()
    {
        QString page;
        for (int i = 0; i < 1500; ++i)
            page += u"<div class=\"row\"><b>%1</b> 日本語</div>\r\n"_s.arg(i);
        text1().setText(page);
        editor::SourceColours &colours = text1().colours();
        QVERIFY(!colours.isCurrent());
        QTRY_VERIFY(colours.isCurrent());
        text1().moveCaretToEnd();
        QTest::keyClicks(&text1(), u"<p>end</p>"_s);
        QTRY_VERIFY(colours.isCurrent());
        const QTextBlock last = text1().document()->lastBlock();
        QTRY_VERIFY(!last.layout()->formats().isEmpty());
        QCOMPARE(last.layout()->formats().first().format.foreground().color(),
                 editor::SourceColours::format(source::Colour::TagName).foreground().color());

        // A change above the view colours the lines there once they are scrolled to: after an
        // unclosed <script> the page below is script.
        const QTextBlock second = text1().document()->firstBlock().next();
        const QList<QTextLayout::FormatRange> before = second.layout()->formats();
        QTextCursor(text1().document()).insertText(u"<script>"_s);
        QTRY_VERIFY(colours.isCurrent());
        text1().verticalScrollBar()->setValue(0);
        QVERIFY(!before.isEmpty() && second.layout()->formats() != before);
        text1().document()->undo();
        QTRY_VERIFY(colours.isCurrent());
        text1().moveCaretToEnd();

        // The gutter: as wide as the largest number needs, and numbers drawn on its lines.
        QWidget &gutter = text1().lineNumbers();
        QCOMPARE(gutter.geometry().left(), text1().contentsRect().left());
        QCOMPARE(text1().viewport()->geometry().left(), gutter.geometry().right() + 1);
        QVERIFY(gutter.width() > gutter.fontMetrics().horizontalAdvance(u"1500"_s));
        const QImage image = gutter.grab().toImage();
        int ink = 0;
        for (int y = 0; y < image.height(); ++y)
            for (int x = 0; x < image.width() - 2; ++x)
                ink += qGray(image.pixel(x, y)) < 160;
        QVERIFY(ink > 100);
        QCOMPARE(editor::LineNumbers::lineOf(text1(), text1().textCursor().position()), 1501);

        // The caret inside "<b" marks "<b" and its "</b".
        QTextCursor cursor(last.previous());
        cursor.setPosition(last.previous().position() + int(last.previous().text().indexOf(u"<b")) +
                           1);
        text1().setTextCursor(cursor);
        QStringList marked;
        for (const QTextEdit::ExtraSelection &mark : text1().extraSelections())
            if (mark.cursor.hasSelection())
                marked.append(
                    mark.cursor.selectedText() +
                    (mark.format.background().style() == Qt::NoBrush ? u" unmarked"_s : QString()));
        QCOMPARE(marked, (QStringList{u"<b"_s, u"</b"_s}));
    }

    // A page too large to parse whole is parsed around the view: its end is coloured when shown,
    // and an edit above moves the parsed part along.
    void hugePageColoursAroundTheView()
    {
        text1().setText(u"<p class=\"a\">x</p>\r\n"_s.repeated(240000) + u"<b>end</b>"_s);
        QVERIFY(text1().colours().isWindowed());
        text1().moveCursor(QTextCursor::End);
        const QTextBlock last = text1().document()->lastBlock();
        QTRY_VERIFY(!last.layout()->formats().isEmpty());
        QTextCursor(text1().document()).insertText(u"<i>"_s);
        QTRY_VERIFY(text1().colours().isCurrent());
        const auto pair = text1().colours().tagPairAt(last.position() + 1);
        QVERIFY(pair && pair->partner);
        QCOMPARE(pair->tag.start, last.position());
        QCOMPARE(pair->partner->start, last.position() + 6);
    }

    // A large file is read on a thread of its own: the program stays in use, a second open is
    // refused meanwhile, and the editor takes the document in one change.
    void largeFileOpensAside()
    {
        const QByteArray content = "<html>\r\n<p>一\nつ\xc2\xa0</p>\r\n" +
                                   QByteArray("<p>日本語の段落</p>\r\n").repeated(50000);
        QVERIFY(writeAll(path(u"large.html"_s), content));
        QVERIFY(writeAll(path(u"other.html"_s), "<p>other</p>"));
        QVERIFY(form2().setDirPath(path()));
        select(u"large.html"_s);
        QSignalSpy changes(&text1(), &SourceEdit::changed);
        // Cancelled, it changes nothing and says nothing.
        click(form2(), u"Command1"_s);
        form2()
            .findChild<QProgressDialog *>(u"openProgress"_s)
            ->findChild<QPushButton *>()
            ->click();
        QTRY_VERIFY_WITH_TIMEOUT(!form1->isOpening(), 20000);
        QVERIFY(changes.isEmpty() && form2().isVisible() &&
                form2().findChildren<QMessageBox *>().isEmpty());
        click(form2(), u"Command1"_s);
        QVERIFY(form1->isOpening() && form2().isVisible());
        QCOMPARE(form2().cursor().shape(), Qt::BusyCursor);  // it shows it is working
        select(u"other.html"_s);
        click(form2(), u"Command1"_s);
        QVERIFY2(takeMessage().contains(u"読み込んでいる"_s), "a second open is refused");
        QTRY_VERIFY_WITH_TIMEOUT(!form1->isOpening(), 20000);
        QVERIFY(!form2().isVisible() && form2().cursor().shape() == Qt::ArrowCursor);
        QCOMPARE(changes.size(), 1);
        QCOMPARE(text1().text(), engine::ReadTextFile(path(u"large.html"_s)).text);
        QTRY_COMPARE(tagMarks(), QStringList{u"<html"_s});
        // The editor goes on with the document it took.
        text1().moveCursor(QTextCursor::End);
        type(u"<b>"_s);
        QTRY_COMPARE_WITH_TIMEOUT(preview(), text1().text().toUtf8() + "\r\n", 20000);
    }

    void fileDialogBrowses()
    {
        QVERIFY(form2().setDirPath(path()));
        QCOMPARE(texts(list(u"File1"_s)), (QStringList{u"A.HTML"_s, u"b.html"_s}));
        // The folder's chain from the root, each a step further in, then its own subfolders.
        QListWidget *dir1 = list(u"Dir1"_s);
        const QStringList entries = texts(dir1);
        const QStringList chain = platform::folderChain(path());
        QStringList shown{u"/"_s};
        for (qsizetype i = 1; i < chain.size(); ++i)
            shown.append(QString(2 * i, u' ') + QFileInfo(chain[i]).fileName());
        for (const QString &sub : {u"folder.html"_s, u"program"_s, u"sub"_s})
            shown.append(QString(2 * chain.size(), u' ') + sub);
        QStringList raw;
        for (int row = 0; row < dir1->count(); ++row)
            raw.append(dir1->item(row)->text());
        QCOMPARE(raw, shown);
        emit dir1->itemActivated(dir1->findItems(u"sub"_s, Qt::MatchEndsWith).first());
        QCOMPARE(form2().dirPath(), path(u"sub"_s));
        QCOMPARE(texts(list(u"File1"_s)), QStringList{u"inner.html"_s});
        emit dir1->itemActivated(dir1->item(dir1->count() - 2));  // its parent, above it
        QCOMPARE(form2().dirPath(), path());
        // A folder gone since: said, and the lists stay on the last good one, and the drive
        // list on its drive.
        auto *drive1 = form2().findChild<QComboBox *>(u"Drive1"_s);
        drive1->setCurrentIndex(drive1->findData(QDir::homePath()));
        QVERIFY(!form2().setDirPath(path(u"gone"_s)));
        QCOMPARE(drive1->currentData().toString(), u"/"_s);
        QCOMPARE(form2().dirPath(), path());
        QCOMPARE(texts(dir1), entries);
        QVERIFY(takeMessage().contains(path(u"gone"_s)));
        // The drive list holds the root and home, and picks the one of the folder shown.
        drive1->setCurrentIndex(drive1->findData(QDir::homePath()));
        QVERIFY(drive1->currentIndex() > 0);
        emit drive1->activated(drive1->currentIndex());
        QCOMPARE(form2().dirPath(), QDir::homePath());
        QTest::keyClick(&form2(), Qt::Key_A);
        QVERIFY(form2().isVisible());
        QTest::keyClick(&form2(), Qt::Key_Escape);
        QVERIFY(!form2().isVisible());
    }

    // Opened into the editor (a refresh like an edit, from the document's own folder), then
    // saved under the clicked name, in the document's encoding.
    void openAndSaveACp932Page()
    {
        const QByteArray bytes = "<p>\x93\xfa\x96\x7b\x81\x60\x87\x40</p>\r\n";
        QVERIFY(writeAll(path(u"doc.html"_s), bytes));
        QVERIFY(form2().setDirPath(path()));
        select(u"doc.html"_s);
        click(form2(), u"Command1"_s);
        QVERIFY(!form2().isVisible());
        QCOMPARE(text1().text(), u"<p>日本～①</p>\r\n"_s);
        QCOMPARE(loads(), 2);
        QCOMPARE(preview(), bytes + "\r\n");
        QCOMPARE(recording.documentFolder, path());
        click(*form1, u"cmdsave"_s);
        click(form2(), u"Command2"_s);
        QVERIFY(!form2().isVisible());
        QCOMPARE(readAll(path(u"doc.html"_s)), bytes + "\r\n");
    }

    // Named on the command line: the first file opens as the dialog opens it, and the others
    // are named in a message; one file alone needs no message.
    void filesFromTheCommandLine()
    {
        app::openFromCommandLine(*form1, {path(u"b.html"_s)});
        QCOMPARE(text1().text(), u"<p>b.html</p>\r\n"_s);
        QVERIFY(form1->findChildren<QMessageBox *>().isEmpty());
        app::openFromCommandLine(*form1, {path(u"A.HTML"_s), u"other.html"_s});
        QCOMPARE(text1().text(), u"<p>A.HTML</p>\r\n"_s);
        QCOMPARE(form1->documentFolder(), path());
        const QList<QMessageBox *> boxes = form1->findChildren<QMessageBox *>();
        QVERIFY(boxes.size() == 1 && boxes.first()->text().endsWith(u"\nother.html"_s));
    }

    void saveUsesTheNameAsTyped()
    {
        QVERIFY(form2().setDirPath(path(u"sub"_s)));
        text1().setText(u"<p>新しい</p>"_s);
        for (const QString &name : {QString(), forms::Form2::namePrompt()}) {
            nameBox()->setText(name);
            click(form2(), u"Command2"_s);
            QCOMPARE(nameBox()->text(), u"ファイル名を入れてください"_s);
            QVERIFY(form2().isVisible());
        }
        QCOMPARE(QDir(path(u"sub"_s)).entryList(QDir::Files), QStringList{u"inner.html"_s});
        nameBox()->setText(u"page2"_s);
        QTest::keyClick(nameBox(), Qt::Key_Return);
        QCOMPARE(readAll(path(u"sub/page2"_s)), "<p>新しい</p>\r\n"_ba);
        QCOMPARE(recording.documentFolder, path(u"sub"_s));
        // Replaced without asking; the list is not read again.
        nameBox()->setText(u"inner.html"_s);
        click(form2(), u"Command2"_s);
        QCOMPARE(readAll(path(u"sub/inner.html"_s)), "<p>新しい</p>\r\n"_ba);
        QCOMPARE(texts(list(u"File1"_s)), QStringList{u"inner.html"_s});
    }

    // A failure says why, in Japanese, and changes nothing: not the text, not the folder, and
    // the dialog stays open.
    void failuresChangeNothingAndSayWhy()
    {
        QVERIFY(writeAll(path(u"gone.html"_s), "x"));
        QVERIFY(form2().setDirPath(path()));
        QVERIFY(QFile::remove(path(u"gone.html"_s)));
        text1().setText(u"<p>unsaved</p>"_s);
        const QStringList before = QDir(path()).entryList(QDir::AllEntries | QDir::Hidden);
        QStringList messages;
        click(form2(), u"Command1"_s);
        messages << takeMessage();
        select(u"gone.html"_s);
        click(form2(), u"Command1"_s);
        messages << takeMessage();
        nameBox()->setText(u"plain.txt/x.html"_s);
        click(form2(), u"Command2"_s);
        messages << takeMessage();
        QCOMPARE(messages.size(), 3);
        QVERIFY2(messages[0].contains(u"選ばれていません"_s) &&
                     messages[1].contains(u"gone.html」を開けません。\n理由: 見つかりません"_s) &&
                     messages[2].contains(u"x.html」に書き込めません。\n理由: パスの途中"_s) &&
                     !messages.join(u'\n').contains(QRegularExpression(u"理由: [^\n]*[A-Za-z]"_s)),
                 qPrintable(messages.join(u'\n')));
        QCOMPARE(text1().text(), u"<p>unsaved</p>"_s);
        QVERIFY(form2().isVisible());
        QCOMPARE(QDir(path()).entryList(QDir::AllEntries | QDir::Hidden), before);
        QCOMPARE(readAll(path(u"plain.txt"_s)), "plain");
    }

    // The text kept edit by edit is the text read whole, after any edits: lone LF, no-break
    // spaces, marked separators, undo, pastes and a new text among them.
    void snapshotFollowsEveryEdit()
    {
        QRandomGenerator random(20);
        const QStringList pieces{u"x"_s,      u"日本"_s, u"😀"_s,  u"\u00a0"_s,
                                 u"\u2028"_s, u"<b>"_s,  u"\r"_s, u"\t"_s};
        auto *pasted = new QMimeData;  // the clipboard takes it
        pasted->setText(u"a\r\nb\nc\u00a0"_s);
        QApplication::clipboard()->setMimeData(pasted);
        for (int step = 0; step < 400; ++step) {
            QTextCursor cursor(text1().document());
            const int size = text1().document()->characterCount() - 1;
            cursor.setPosition(random.bounded(size + 1));
            text1().setTextCursor(cursor);
            const int what = random.bounded(12);
            if (what == 0)
                text1().undo();
            else if (what == 1)
                text1().redo();
            else if (what == 2)
                text1().paste();
            else if (what == 3)
                cursor.insertBlock();
            else if (what == 4 && step % 50 == 4)
                text1().setText(step % 100 == 4 ? u"a\nb\r\n\u2028c"_s : u"<p>\n</p>"_s);
            else if (what == 5) {
                cursor.setPosition(random.bounded(size + 1), QTextCursor::KeepAnchor);
                cursor.removeSelectedText();
            } else
                cursor.insertText(pieces[random.bounded(int(pieces.size()))]);
            QCOMPARE(text1().snapshot().toString(), text1().text());
        }
    }

    // Right-clicked through the window, as the toolkit opens a context menu.
    void contextMenuIsJapanese()
    {
        QTest::mouseClick(form1->windowHandle(), Qt::RightButton, {},
                          text1().viewport()->mapTo(form1.get(), QPoint(40, 40)));
        QMenu *menu = nullptr;
        QTRY_VERIFY((menu = text1().findChild<QMenu *>()) && menu->isVisible());
        QStringList texts;
        for (QAction *action : menu->actions()) {
            QString text = action->text() + u' ' + action->shortcut().toString();
            text = text.remove(QRegularExpression(u"\\(&.\\)|&"_s)).simplified();
            if (!action->isSeparator())
                texts.append(text);
            QVERIFY2(!text.section(u' ', 0, 0).contains(QRegularExpression(u"[A-Za-z]"_s)),
                     qPrintable(text));
        }
        delete menu;
        QVERIFY2(texts.contains(u"元に戻す Ctrl+Z"_s) && texts.contains(u"検索... Ctrl+F"_s) &&
                     texts.contains(u"置換... Ctrl+H"_s) && texts.contains(u"行へ移動... Ctrl+G"_s),
                 qPrintable(texts.join(u", "_s)));
    }

    // A real page with multibyte text: found as typed, wrapping round, and marked.
    void findAndReplace()
    {
        const QRect designed = text1().viewport()->geometry();
        text1().setText(u"<p>日本語</p>\r\n<p>にほん</p>\r\n<p>日本😀</p>\r\n<p>日本</p>"_s);
        text1().moveCursor(QTextCursor::Start);
        form1->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(form1.get()));
        text1().setFocus();
        QTest::keyClick(&text1(), Qt::Key_F, Qt::ControlModifier);
        QVERIFY(text1().findBar().isVisible() && !bar<QLineEdit>(u"replaceText"_s)->isVisible());
        commit(QApplication::focusWidget(), u"日本"_s);
        QTRY_COMPARE(findStatus(), u"1 / 3 件"_s);
        QCOMPARE(foundMarks(), 3);
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
        QCOMPARE(findStatus(), u"2 / 3 件"_s);
        // Tab goes round the bar's own controls; it types nothing into the page.
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        QCOMPARE(QApplication::focusWidget(), bar<QPushButton>(u"findPrevious"_s));
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Backtab, Qt::ShiftModifier);
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_F3);
        QCOMPARE(findStatus(), u"1 / 3 件"_s);  // round to the first
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return, Qt::ShiftModifier);
        QCOMPARE(findStatus(), u"3 / 3 件"_s);  // and back round to the last
        // A change in the page is searched again.
        QTextCursor elsewhere(text1().document());
        elsewhere.insertText(u"日本"_s);
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);  // before the pause
        QCOMPARE(findStatus(), u"1 / 4 件"_s);
        text1().undo();
        const int caret = text1().textCursor().position();
        bar<QCheckBox>(u"regularExpression"_s)->click();
        QTest::keyClicks(bar<QLineEdit>(u"findText"_s), u"(["_s);
        QTRY_VERIFY2(findStatus().startsWith(u"正規表現が正しくありません"_s) &&
                         !findStatus().contains(QRegularExpression(u"[A-Za-z]"_s)),
                     qPrintable(findStatus()));
        QCOMPARE(text1().textCursor().position(), caret);
        QCOMPARE(foundMarks(), 0);

        // Replace all: one change, one refresh, one undo step.
        QTest::keyClick(bar<QLineEdit>(u"findText"_s), Qt::Key_H, Qt::ControlModifier);
        bar<QLineEdit>(u"findText"_s)->setText(u"日本(.?)"_s);
        QTest::keyClicks(bar<QLineEdit>(u"replaceText"_s), u"[\\1]"_s);
        QSignalSpy changes(&text1(), &SourceEdit::changed);
        const qsizetype refreshes = loads();
        QTest::mouseClick(bar<QPushButton>(u"replaceAll"_s), Qt::LeftButton);
        QCOMPARE(text1().text(), u"<p>[語]</p>\r\n<p>にほん</p>\r\n<p>[😀]</p>\r\n<p>[<]/p>"_s);
        QCOMPARE(changes.size(), 1);
        QCOMPARE(loads() - refreshes, 1);
        QCOMPARE(findStatus(), u"3 件を置換しました"_s);
        QTest::keyClick(bar<QLineEdit>(u"findText"_s), Qt::Key_Escape);
        QVERIFY(!text1().findBar().isVisible() && text1().hasFocus());
        QCOMPARE(text1().viewport()->geometry(), designed);
        text1().undo();
        QVERIFY(text1().text().startsWith(u"<p>日本語</p>"_s) &&
                text1().text().endsWith(u"<p>日本</p>"_s));
    }

    void goToLine()
    {
        text1().find();  // and closed while the window is not active
        text1().findBar().close();
        text1().setText(u"<p>x</p>"_s);  // the caret's tag is marked at once
        QCOMPARE(tagMarks(), (QStringList{u"<p"_s, u"</p"_s}));
        text1().setText(u"<p>x</p>\r\n"_s.repeated(200) + u"<p>"_s);  // no mark outlives it
        text1().moveCursor(QTextCursor::End);
        text1().setText(u"a\r\nb\nc\r\nd"_s);  // a lone LF ends a line too
        for (const QString &typed : {u"x"_s, u"0"_s, u"5"_s, u"３"_s}) {
            QTest::keyClick(&text1(), Qt::Key_G, Qt::ControlModifier);
            auto *dialog = text1().findChild<editor::GoToLine *>();
            QVERIFY(dialog && dialog->isVisible());
            QCOMPARE(dialog->findChild<QLabel *>(u"lineRange"_s)->text(), u"行番号 (1 - 4):"_s);
            auto *line = dialog->findChild<QLineEdit *>(u"lineNumber"_s);
            line->clear();
            commit(line, typed);
            QTest::keyClick(line, Qt::Key_Return);
            if (typed != u"３"_s) {
                QVERIFY(!dialog->findChild<QLabel *>(u"lineProblem"_s)->text().isEmpty());
                QCOMPARE(text1().textCursor().position(), 0);
                dialog->reject();
            }
            QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        }
        QCOMPARE(text1().textCursor().position(), 4);
        QVERIFY(!text1().findChild<editor::GoToLine *>());
    }

    // "</" closes the innermost element open at the caret: one change more, one undo step.
    void endTagCompletion_data()
    {
        QTest::addColumn<QString>("before");  // "|": the caret
        QTest::addColumn<QString>("after");
        QTest::addColumn<QString>("typed");
        QTest::addRow("nested") << u"<ul>\r\n<li><b>x</b>|\r\n</ul>"_s << u"</li>"_s << u"</"_s;
        QTest::addRow("typed out in full") << u"<p>a|"_s << u"</p>"_s << u"</P>"_s;
    }
    void endTagCompletion()
    {
        QFETCH(QString, before);
        QFETCH(QString, after);
        QFETCH(QString, typed);
        const qsizetype at = before.indexOf(u'|');
        text1().setText(before.remove(at, 1));
        QTextCursor caret = text1().textCursor();
        const int position = int(at - before.left(at).count(u"\r\n"_s));
        caret.setPosition(position);
        text1().setTextCursor(caret);
        QSignalSpy changes(&text1(), &SourceEdit::changed);
        type(typed);
        QCOMPARE(text1().text(), before.insert(at, after));
        QCOMPARE(changes.size(), 3);
        QCOMPARE(text1().textCursor().position(), position + after.size());
        text1().undo();
        QCOMPARE(text1().text(), before.replace(at, after.size(), u"</"_s));
    }
};

QTEST_MAIN(WindowsTest)
#include "tst_windows.moc"
