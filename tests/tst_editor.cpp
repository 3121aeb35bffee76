#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QColorDialog>
#include <QInputMethodEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMimeData>
#include <QPushButton>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTest>
#include <QTextBlock>
#include <QTextLayout>
#include <memory>

#include "app/japanese.h"
#include "editor/completionpopup.h"
#include "editor/findbar.h"
#include "editor/gotoline.h"
#include "editor/lineends.h"
#include "editor/linenumbers.h"
#include "editor/palette.h"
#include "editor/sourcecolours.h"
#include "editor/sourcedocument.h"
#include "editor/sourceedit.h"
#include "editor/writingaids.h"
#include "editor/writtencolours.h"
#include "source/pagecheck.h"

using namespace Qt::StringLiterals;
using editor::SourceDocument;
using editor::SourceEdit;

// The source box as a person uses it, on its own: keys, the input method, the clipboard, its
// menu, and the text it gives back.
class EditorTest : public QObject {
    Q_OBJECT

    std::unique_ptr<SourceEdit> m_edit;

    SourceEdit &text1() { return *m_edit; }
    void type(const QString &keys) { QTest::keyClicks(&text1(), keys); }
    // As a keyboard types it: Shift pressed on its own before the characters it makes.
    void typeAsAKeyboard(const QString &keys)
    {
        for (const QChar c : keys) {
            const bool shift = c.isUpper() || u"<>?:\"{}|~!@#$%^&*()_+"_s.contains(c);
            if (shift)
                QTest::keyPress(&text1(), Qt::Key_Shift);
            if (c.unicode() >= 128)
                QTest::sendKeyEvent(QTest::KeyAction::Click, &text1(), Qt::Key_unknown, c,
                                    Qt::NoModifier);
            else
                QTest::keyClick(&text1(), c.toLatin1(), shift ? Qt::ShiftModifier : Qt::NoModifier);
            if (shift)
                QTest::keyRelease(&text1(), Qt::Key_Shift, Qt::ShiftModifier);
        }
    }
    // Keys as a person presses them: ↑ ↓ ⇟ ⏎ ⇥ ⎋ ⌫ stand for Up, Down, Page Down, Return, Tab,
    // Escape and Backspace, the rest is typed as a keyboard types it.
    void press(const QString &keys)
    {
        static const QHash<QChar, Qt::Key> named{{u'↑', Qt::Key_Up},      {u'↓', Qt::Key_Down},
                                                 {u'⏎', Qt::Key_Return},  {u'⇥', Qt::Key_Tab},
                                                 {u'⎋', Qt::Key_Escape},  {u'⌫', Qt::Key_Backspace},
                                                 {u'⇟', Qt::Key_PageDown}};
        for (const QChar c : keys) {
            if (named.contains(c))
                QTest::keyClick(&text1(), named[c]);
            else
                typeAsAKeyboard(c);
        }
    }
    // A text of LF-ended lines with the caret where "|" stands, and back.
    void setMarked(QString marked)
    {
        const qsizetype at = marked.indexOf(u'|');
        text1().setText(marked.remove(at, 1));
        QTextCursor caret = text1().textCursor();
        caret.setPosition(int(at));
        text1().setTextCursor(caret);
    }
    QString marked() { return text1().text().insert(text1().textCursor().position(), u'|'); }
    editor::CompletionPopup &popup() { return text1().aids().popup(); }
    editor::FindBar &findBar() { return *text1().findChild<editor::FindBar *>(); }
    template <typename T>
    T *bar(const QString &name)
    {
        return findBar().findChild<T *>(name);
    }
    QString findStatus() { return bar<QLabel>(u"findStatus"_s)->text(); }
    // As a Japanese input method types it.
    static void commit(QWidget *widget, const QString &text)
    {
        QInputMethodEvent typed;
        typed.setCommitString(text);
        QApplication::sendEvent(widget, &typed);
    }
    QStringList marks(editor::Mark kind)
    {
        QStringList marked;
        for (const QTextEdit::ExtraSelection &mark : text1().extraSelections())
            if (mark.format.intProperty(editor::kMarkKind) == int(kind))
                marked.append(mark.cursor.selectedText());
        return marked;
    }
    int foundMarks() { return int(marks(editor::Mark::Found).size()); }
    QStringList tagMarks() { return marks(editor::Mark::Tag); }

private slots:
    // Each line end of a text is one kept character, its kind counted; the clipboard and the
    // parse see every one as LF. "P" below stands for U+2029, "L" for U+2028.
    void lineEnds_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("kept");
        QTest::addColumn<int>("usual");
        QTest::addColumn<bool>("ambiguous");
        QTest::addColumn<QString>("withLineFeeds");
        const auto crLf = int(editor::LineEnd::CrLf), lf = int(editor::LineEnd::Lf),
                   cr = int(editor::LineEnd::Cr);
        QTest::addRow("CR LF") << u"a\r\nb\r\n"_s << u"aPbP"_s << crLf << false << u"a\nb\n"_s;
        QTest::addRow("LF alone") << u"a\nb\n"_s << u"a\nb\n"_s << lf << false << u"a\nb\n"_s;
        QTest::addRow("CR alone") << u"a\rb"_s << u"a\rb"_s << cr << false << u"a\nb"_s;
        QTest::addRow("mixed, LF the most")
            << u"a\nb\nc\r\nd\re"_s << u"a\nb\ncPd\re"_s << lf << false << u"a\nb\nc\nd\ne"_s;
        QTest::addRow("a U+2029 of the text's own")
            << u"aPb\r\n"_s << u"aPbP"_s << crLf << true << u"a\nb\n"_s;
        QTest::addRow("a line separator stays in its line")
            << u"aLb"_s << u"aLb"_s << crLf << false << u"a\nb"_s;
    }
    void lineEnds()
    {
        QFETCH(QString, text);
        QFETCH(QString, kept);
        QFETCH(QString, withLineFeeds);
        const auto marked = [](QString t) {
            return t.replace(u'P', QChar::ParagraphSeparator).replace(u'L', QChar::LineSeparator);
        };
        QString keeping = marked(text);
        const editor::LineEnds ends = editor::keep(keeping);
        QCOMPARE(keeping, marked(kept));
        QTEST(int(ends.usual), "usual");
        QTEST(ends.ambiguous(), "ambiguous");
        QCOMPARE(editor::withLineFeeds(keeping), marked(withLineFeeds));
    }

    void initTestCase() { QVERIFY(app::useJapanese(*qApp)); }

    void init()
    {
        // A mark placed from a parse of another text.
        QTest::failOnWarning(QRegularExpression(u"out of range"_s));
        // As large as the main window shows it.
        m_edit = std::make_unique<SourceEdit>();
        m_edit->resize(529, 593);
        m_edit->show();
        QVERIFY(QTest::qWaitForWindowExposed(m_edit.get()));
    }
    void cleanup() { m_edit.reset(); }

    // A problem of the page's is underlined where it is and marked in the gutter; it moves with
    // the text before it, and goes once it is typed into.
    void problemsUnderlinedWhereTheyAre()
    {
        text1().setText(u"<p>日本語</p>\n<p><img src=\"a.png\"></p>\n"_s);
        text1().setProblems(source::checkPage(text1().text()));
        QCOMPARE(marks(editor::Mark::Problem), QStringList{u"<img src=\"a.png\">"_s});
        const auto gutterMarked = [this] {
            const QImage gutter = text1().findChild<editor::LineNumbers *>()->grab().toImage();
            for (int y = 0; y < gutter.height(); ++y)
                for (int x = 0; x < 8; ++x)
                    if (gutter.pixel(x, y) == editor::palette::kPageProblem)
                        return y / text1().fontMetrics().height() + 1;
            return 0;
        };
        QCOMPARE(gutterMarked(), 2);
        text1().moveCaretToEnd();
        QTest::keyClick(&text1(), Qt::Key_Home, Qt::ControlModifier);
        QTest::keyClick(&text1(), Qt::Key_Return);
        QCOMPARE(marks(editor::Mark::Problem), QStringList{u"<img src=\"a.png\">"_s});
        QCOMPARE(gutterMarked(), 3);
        text1().goToLine(3, 8);
        type(u" alt=\"\""_s);
        QCOMPARE(marks(editor::Mark::Problem), QStringList{});
        QCOMPARE(gutterMarked(), 0);
    }

    // 整形 (Shift+Alt+F) indents the page, or the lines of the selection where they stand, as
    // one change that one undo takes back; its lines end as the page's do.
    void formatIsOneChange_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("selected");  // lines from the first, 0 for none
        QTest::addColumn<QString>("expected");
        QTest::addRow("the page, LF") << u"<div><p>a</p>\n<ul><li>b</li></ul></div>\n"_s << 0
                                      << u"<div>\n  <p>a</p>\n  <ul>\n    <li>b</li>\n  </ul>\n"
                                         u"</div>\n"_s;
        QTest::addRow("a part, CR LF")
            << u"<body>\r\n  <div><p>a</p></div>\r\n</body>"_s << 2
            << u"<body>\r\n  <div>\r\n    <p>a</p>\r\n  </div>\r\n</body>"_s;
    }
    void formatIsOneChange()
    {
        QFETCH(QString, text);
        QFETCH(int, selected);
        QFETCH(QString, expected);
        text1().setText(text);
        if (selected) {
            text1().goToLine(selected);
            QTest::keyClick(&text1(), Qt::Key_End, Qt::ShiftModifier);
        }
        QSignalSpy changes(&text1().source(), &SourceDocument::changed);
        QSignalSpy formatted(&text1(), &SourceEdit::formatted);
        QTest::keyClick(&text1(), Qt::Key_F, Qt::ShiftModifier | Qt::AltModifier);
        QCOMPARE(text1().viewport()->cursor().shape(), Qt::BusyCursor);
        QVERIFY(formatted.wait());
        QCOMPARE(text1().viewport()->cursor().shape(), Qt::IBeamCursor);
        QCOMPARE(text1().text(), expected);
        QCOMPARE(changes.size(), 1);
        QTest::keyClick(&text1(), Qt::Key_Z, Qt::ControlModifier);
        QCOMPARE(text1().text(), text);
    }

    // The source box gives back exactly the string set, typed into and undone, and tells of
    // each change once.
    void editorKeepsTheString_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addRow("lone LF at the very end") << u"a\n"_s;
        QTest::addRow("no-break space and tab") << u"a\u00a0\tb&nbsp;"_s;
        QTest::addRow("line separator of its own") << u"a\u2028b\nc\u2028\r\n"_s;
        QTest::addRow("paragraph separator and frame marks of its own")
            << u"a\u2029b\r\nc\ufdd0d\ufdd1\n"_s;
        QTest::addRow("beyond 32767 characters") << QString(40000, u'x') + u">"_s;
    }
    void editorKeepsTheString()
    {
        QFETCH(QString, text);
        SourceEdit edit;
        QSignalSpy changed(&edit.source(), &SourceDocument::changed);
        edit.setText(text);
        QCOMPARE(edit.text(), text);
        QCOMPARE(edit.source().snapshot().toString(), text);
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
        // Copied out: a no-break space stays one, and lines end in LF as the clipboard wants.
        edit.setText(u"a\u00a0b\nc\r\nd"_s);
        edit.selectAll();
        edit.copy();
        QCOMPARE(QApplication::clipboard()->text(), u"a\u00a0b\nc\nd"_s);
        // The line break after ">" is an edit of its own, undone apart from the typing; while it is
        // on, no end tag is put after a start tag's ">".
        edit.setClosingStartTags([] { return false; });
        edit.clear();
        QTest::keyClicks(&edit, u"<b>"_s);
        edit.source().appendLineBreak();
        QCOMPARE(edit.text(), u"<b>\r\n"_s);
        edit.undo();
        QCOMPARE(edit.text(), u"<b>"_s);
    }

    // A full-width space and a tab are marked faintly, drawn over the text and never part of it;
    // the context menu turns the marks off.
    void spacesMarked()
    {
        setMarked(u"a\u3000b\tc|"_s);
        const auto cell = [&](int position) {
            QTextCursor at(text1().document());
            at.setPosition(position);
            const QRect left = text1().cursorRect(at);
            at.setPosition(position + 1);
            return QRect(left.topLeft(), text1().cursorRect(at).bottomLeft()).adjusted(1, 0, -1, 0);
        };
        const auto drawn = [&](const QRect &area) {
            return text1().viewport()->grab().toImage().copy(area);
        };
        const QImage space = drawn(cell(1)), tab = drawn(cell(3)), letter = drawn(cell(0));
        auto *marks = text1().findChild<QAction *>(u"showSpaces"_s);
        QVERIFY(marks->isChecked());
        marks->trigger();
        QVERIFY(drawn(cell(1)) != space);
        QVERIFY(drawn(cell(3)) != tab);
        QCOMPARE(drawn(cell(0)), letter);
        QCOMPARE(text1().text(), u"a\u3000b\tc"_s);
        marks->trigger();
    }

    // CSS colours as they are written, and another written in the same notation.
    void writtenColours_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("colour");     // as Qt names it, #aarrggbb; "-" for none
        QTest::addColumn<QString>("rewritten");  // as red would be written in its place
        QTest::addRow("hex") << u"color: #3a7bd5;"_s << u"#ff3a7bd5"_s << u"#ff0000"_s;
        QTest::addRow("short hex") << u"#abc"_s << u"#ffaabbcc"_s << u"#ff0000"_s;
        QTest::addRow("hex, alpha last") << u"#11223380"_s << u"#80112233"_s << u"#ff0000"_s;
        QTest::addRow("rgb()") << u"rgb(1, 2, 3)"_s << u"#ff010203"_s << u"rgb(255, 0, 0)"_s;
        QTest::addRow("rgba(), spaces and a slash")
            << u"rgba(255 0 0 / 50%)"_s << u"#80ff0000"_s << u"rgb(255, 0, 0)"_s;
        QTest::addRow("hsl()") << u"hsl(120, 100%, 25%)"_s << u"#ff008000"_s
                               << u"hsl(0, 100%, 50%)"_s;
        QTest::addRow("a name") << u"border: 1px solid Navy"_s << u"#ff000080"_s << u"red"_s;
        QTest::addRow("not a colour: a word of a property, a class, five digits")
            << u"white-space: nowrap; .red; #12345"_s << u"-"_s << QString();
    }
    void writtenColours()
    {
        QFETCH(QString, text);
        QFETCH(QString, colour);
        QFETCH(QString, rewritten);
        const QList<editor::WrittenColour> found = editor::writtenColours(text);
        if (colour == u"-") {
            QVERIFY(found.isEmpty());
            return;
        }
        QCOMPARE(found.size(), 1);
        QCOMPARE(found[0].colour.name(QColor::HexArgb), colour);
        QCOMPARE(text.mid(found[0].start + found[0].length).indexOf(u';'),
                 text.endsWith(u';') ? 0 : -1);
        QCOMPARE(editor::writeColour(Qt::red, found[0]), rewritten);
    }

    // A swatch beside a colour in a style sheet, clicked: the colour chosen takes the text's place
    // in its notation, as one change.
    void swatchChosen()
    {
        setMarked(u"<style>\np { color: rgb(1, 2, 3); }\n</style>\n<p style=\"color:#abc\">|"_s);
        QTRY_VERIFY(text1().colours().isCurrent());
        text1().viewport()->repaint();
        QTextCursor at(text1().document());
        at.setPosition(int(text1().toPlainText().indexOf(u"rgb")));
        const QRect value = text1().cursorRect(at);
        QSignalSpy changes(&text1().source(), &SourceDocument::changed);
        // In the space before it.
        QTest::mouseClick(text1().viewport(), Qt::LeftButton, {},
                          value.center() - QPoint(value.height() / 3, 0));
        auto *dialog = text1().findChild<QColorDialog *>(u"colourDialog"_s);
        QVERIFY(dialog);
        dialog->setCurrentColor(QColor(0, 128, 255));
        dialog->accept();
        QCOMPARE(text1().text(),
                 u"<style>\np { color: rgb(0, 128, 255); }\n</style>\n<p style=\"color:#abc\">"_s);
        QCOMPARE(changes.size(), 1);
        QTRY_VERIFY(!text1().findChild<QColorDialog *>());
        // In a style attribute, with no space before it: a bar under it.
        text1().viewport()->repaint();
        at.setPosition(int(text1().toPlainText().indexOf(u"#abc")));
        const QRect hex = text1().cursorRect(at);
        QTest::mouseClick(text1().viewport(), Qt::LeftButton, {},
                          QPoint(hex.left() + 3, hex.bottom() - 1));
        dialog = text1().findChild<QColorDialog *>(u"colourDialog"_s);
        QVERIFY(dialog);
        dialog->setCurrentColor(Qt::white);
        dialog->accept();
        QVERIFY(text1().text().endsWith(u"<p style=\"color:#ffffff\">"_s));
        text1().undo();
        QVERIFY(text1().text().endsWith(u"<p style=\"color:#abc\">"_s));
    }

    // The source is coloured from its parse, and colours are no change: a page set, typed into
    // and composed into with an input method counts and refreshes exactly as plain text does.
    void coloursAreNoChange()
    {
        const QString page =
            u"<style>p { color: red; }</style>\r\n<!-- 注 -->\r\n"
            u"<p class=\"x\">text</p>\r\n<script>if (a) {}</script>\r\n"_s;
        QSignalSpy changes(&text1().source(), &SourceDocument::changed);
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
        const qsizetype before = changes.size();
        for (const QString &preedit : {u"に"_s, u"にほ"_s, u"にほん"_s}) {
            QInputMethodEvent composing(preedit, {});
            QApplication::sendEvent(&text1(), &composing);
        }
        QCOMPARE(text1().textCursor().block().layout()->preeditAreaText(), u"にほん"_s);
        QCOMPARE(changes.size(), before);
        QInputMethodEvent commit;
        commit.setCommitString(u"日本"_s);
        QApplication::sendEvent(&text1(), &commit);
        QCOMPARE(changes.size(), before + 1);
        QVERIFY(text1().source().snapshot().toString().endsWith(u"</script>\r\n日本"_s));
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
        QWidget &gutter = *text1().findChild<editor::LineNumbers *>();
        QCOMPARE(gutter.geometry().left(), text1().contentsRect().left());
        QCOMPARE(text1().viewport()->geometry().left(), gutter.geometry().right() + 1);
        QVERIFY(gutter.width() > gutter.fontMetrics().horizontalAdvance(u"1500"_s));
        const QImage image = gutter.grab().toImage();
        int ink = 0;
        for (int y = 0; y < image.height(); ++y)
            for (int x = 0; x < image.width() - 2; ++x)
                ink += qGray(image.pixel(x, y)) < 160;
        QVERIFY(ink > 100);
        QCOMPARE(text1().source().lineOf(text1().textCursor().position()), 1501);

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
        // A stylesheet's tree holds a node for each token: it is parsed around the view sooner.
        text1().colours().setLanguage(source::Language::Css);
        text1().setText(u"p { color: red; }\n"_s.repeated(20000));
        QVERIFY(!text1().colours().isWindowed());
        text1().setText(u"p { color: red; }\n"_s.repeated(40000));
        QVERIFY(text1().colours().isWindowed());
        text1().colours().setLanguage(source::Language::Html);
    }

    // Random edits of every size on texts that end their lines in LF, CR LF and CR, and hold a
    // line long enough to be shown in pieces: after each, the text is what the same edit makes of
    // a plain string, and the text kept edit by edit is the text read whole. Undone and redone,
    // it is one of the texts it was. Places are chosen in the text's positions.
    void editsAsOnAPlainString()
    {
        QRandomGenerator random(29);
        const QStringList pieces{u"x"_s,      u"日本"_s, u"😀"_s, u"\u00a0"_s,
                                 u"\u2028"_s, u"<b>"_s,  u"\t"_s};
        const QString longLine = u"<i>長い行😀</i>"_s.repeated(700);
        const QString small = u"<p>\n</p>\r\n"_s + longLine + u"<b>\r</b>\n"_s;
        const QString large = u"<p>日本語😀</p>\n"_s.repeated(700) + longLine + u"\r\n<b>\r"_s;
        // Where a position of the text stands in the string, in which CR LF takes two.
        const auto inString = [](const QString &text, qsizetype position) {
            qsizetype at = 0;
            for (; position > 0 && at < text.size(); --position)
                at += QStringView(text).sliced(at).startsWith(u"\r\n") ? 2 : 1;
            return at;
        };
        // A key there edits the name of its partner too. (The text may hold half a surrogate
        // pair, which a regular expression refuses.)
        const auto inTagName = [](const QString &before) {
            qsizetype name = before.size();
            while (name > 0 && before[name - 1].isLetter() && before[name - 1].unicode() < 128)
                --name;
            return name < before.size() && (before.sliced(0, name).endsWith(u'<') ||
                                            before.sliced(0, name).endsWith(u"</"));
        };
        SourceDocument &source = text1().source();
        QString expected = small;
        text1().setText(expected);
        QStringList seen{expected};
        for (int step = 0; step < 600; ++step) {
            QTextCursor cursor(text1().document());
            // Between two pieces, at the end of the first or the start of the second.
            const auto place = [&](QTextCursor::MoveMode mode) {
                const auto size = int(source.size());
                cursor.setPosition(source.documentPosition(random.bounded(size + 1)), mode);
                if (cursor.atBlockEnd() && SourceDocument::continues(cursor.block().next()) &&
                    random.bounded(2))
                    cursor.movePosition(QTextCursor::NextCharacter, mode);
            };
            place(QTextCursor::MoveAnchor);
            const qsizetype at = inString(expected, source.textPosition(cursor.position()));
            text1().setTextCursor(cursor);
            const int what = random.bounded(14);
            if (what <= 1) {
                what == 0 ? text1().undo() : text1().redo();
                QVERIFY2(seen.contains(text1().text()), "not a text it was");
                expected = text1().text();
            } else if (what == 2) {
                // Every kind of line break in what is pasted makes CR LF.
                const QString pasted = step % 5 ? u"a\r\nb\nc\rd\u2028e"_s : large;
                QApplication::clipboard()->setText(pasted);
                text1().paste();
                expected.insert(at, QString(pasted)
                                        .replace(u"\r\n"_s, u"\n"_s)
                                        .replace(u'\r', u'\n')
                                        .replace(QChar::LineSeparator, u'\n')
                                        .replace(u"\n"_s, u"\r\n"_s));
            } else if (what == 3) {
                QTest::keyClick(&text1(), Qt::Key_Return);
                expected.insert(at, u"\r\n"_s);
            } else if (what == 4 && step % 40 == 4) {
                expected = step % 80 == 4 ? large : small;
                text1().setText(expected);
                seen = QStringList{expected};
            } else if (what == 5) {
                place(QTextCursor::KeepAnchor);
                const qsizetype from =
                    inString(expected, source.textPosition(cursor.selectionStart()));
                expected.remove(
                    from, inString(expected, source.textPosition(cursor.selectionEnd())) - from);
                cursor.removeSelectedText();
            } else if (what == 6 && at > 0 && !inTagName(expected.left(at))) {
                // A whole character goes, CR LF with its LF.
                QTest::keyClick(&text1(), Qt::Key_Backspace);
                const qsizetype length = expected.sliced(0, at).endsWith(u"\r\n"_s) ||
                                                 (at > 1 && expected[at - 1].isLowSurrogate() &&
                                                  expected[at - 2].isHighSurrogate())
                                             ? 2
                                             : 1;
                expected.remove(at - length, length);
            } else {
                const QString piece = pieces[random.bounded(int(pieces.size()))];
                cursor.insertText(piece);
                expected.insert(at, piece);
            }
            QCOMPARE(text1().text(), expected);
            QCOMPARE(source.snapshot().toString(), expected);
            seen.append(expected);
        }
    }

    // Right-clicked through the window, as the toolkit opens a context menu.
    void contextMenuIsJapanese()
    {
        QTest::mouseClick(text1().windowHandle(), Qt::RightButton, {},
                          text1().viewport()->mapTo(&text1(), QPoint(40, 40)));
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
        text1().activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&text1()));
        text1().setFocus();
        QTest::keyClick(&text1(), Qt::Key_F, Qt::ControlModifier);
        QVERIFY(findBar().isVisible() && !bar<QLineEdit>(u"replaceText"_s)->isVisible());
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
        QSignalSpy changes(&text1().source(), &SourceDocument::changed);
        QTest::mouseClick(bar<QPushButton>(u"replaceAll"_s), Qt::LeftButton);
        QCOMPARE(text1().text(), u"<p>[語]</p>\r\n<p>にほん</p>\r\n<p>[😀]</p>\r\n<p>[<]/p>"_s);
        QCOMPARE(changes.size(), 1);
        QCOMPARE(findStatus(), u"3 件を置換しました"_s);
        QTest::keyClick(bar<QLineEdit>(u"findText"_s), Qt::Key_F3);  // nothing left to find
        QCOMPARE(findStatus(), u"見つかりません"_s);
        QTest::keyClick(bar<QLineEdit>(u"findText"_s), Qt::Key_Escape);
        QVERIFY(!findBar().isVisible() && text1().hasFocus());
        QCOMPARE(text1().viewport()->geometry(), designed);
        text1().undo();
        QVERIFY(text1().text().startsWith(u"<p>日本語</p>"_s) &&
                text1().text().endsWith(u"<p>日本</p>"_s));
    }

    void goToLine()
    {
        text1().find();  // and closed while the window is not active
        findBar().close();
        text1().setText(u"<p>x</p>"_s);  // the caret's tag is marked at once
        QCOMPARE(tagMarks(), (QStringList{u"<p"_s, u"</p"_s}));
        text1().setText(u"<p>x</p>\r\n"_s.repeated(200) + u"<p>"_s);  // no mark outlives it
        text1().moveCursor(QTextCursor::End);
        // A lone LF ends a line too; a line too long to lay out at once is shown in pieces, and
        // is still one line, numbered once, found, copied and gone to as one.
        const QString line = QString(997, u'c') + u"needle"_s + QString(4997, u'c');
        text1().setText(u"a\r\nb\n"_s + line + u"\r\nd"_s);
        QVERIFY(text1().document()->blockCount() > 4);
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
        SourceDocument &source = text1().source();
        QCOMPARE(source.lineOf(text1().document()->lastBlock().previous().position()), 3);
        text1().find();
        commit(bar<QLineEdit>(u"findText"_s), u"needle"_s);
        QTRY_COMPARE(findStatus(), u"1 / 1 件"_s);
        text1().copy();
        QCOMPARE(QApplication::clipboard()->text(), u"needle"_s);
        text1().goToLine(4);
        QCOMPARE(source.textPosition(text1().textCursor().position()), 6005);
    }

    // "</" closes the innermost element open at the caret: one change more, one undo step.
    void endTagCompletion_data()
    {
        QTest::addColumn<QString>("before");  // "|": the caret
        QTest::addColumn<QString>("after");
        QTest::addColumn<QString>("typed");
        QTest::addRow("nested") << u"<ul>\r\n<li><b>x</b>|\r\n</ul>"_s << u"</li>"_s << u"</"_s;
        QTest::addRow("typed out in full, Shift for its \">\"")
            << u"<p>a|"_s << u"</p>"_s << u"</p>"_s;
        QTest::addRow("typed out in capitals") << u"<p>a|"_s << u"</p>"_s << u"</P>"_s;
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
        QSignalSpy changes(&text1().source(), &SourceDocument::changed);
        typeAsAKeyboard(typed);
        QCOMPARE(text1().text(), before.insert(at, after));
        QCOMPARE(changes.size(), 3);
        QCOMPARE(text1().textCursor().position(), position + after.size());
        text1().undo();
        QCOMPARE(text1().text(), before.replace(at, after.size(), u"</"_s));
    }

    // The completion list, Emmet's abbreviations and linked tag names, by the keys a person
    // presses: what the text becomes, the caret at "|", and whether the list is left open.
    void writingAids_data()
    {
        QTest::addColumn<QString>("before");
        QTest::addColumn<QString>("keys");
        QTest::addColumn<QString>("after");
        QTest::addColumn<QStringList>("offered");  // the list left open, or none

        const auto row = [](const char *name, const QString &before, const QString &keys,
                            const QString &after, const QStringList &offered = {}) {
            QTest::addRow("%s", name) << before << keys << after << offered;
        };
        row("the list opens on '<' and filters", u"<p>|</p>"_s, u"<ta"_s, u"<p><ta|</p>"_s,
            {u"table"_s});
        row("an element by Down and Return", u"|"_s, u"<se↓⏎"_s, u"<section|"_s);
        row("an element by Tab", u"|"_s, u"<art⇥"_s, u"<article|"_s);
        row("Page Down moves down the list", u"|"_s, u"<t⇟⏎"_s, u"<time|"_s);
        row("Escape closes the list, and the text stays", u"|"_s, u"<ta⎋"_s, u"<ta|"_s);
        row("typed past the list", u"|"_s, u"<tablex"_s, u"<tablex|"_s);
        row("Backspace filters again", u"|"_s, u"<tab⌫⌫"_s, u"<t|"_s,
            {u"table"_s, u"tbody"_s, u"td"_s, u"template"_s, u"textarea"_s, u"tfoot"_s, u"th"_s,
             u"thead"_s, u"time"_s, u"title"_s, u"tr"_s, u"track"_s});
        row("an attribute, its quotes, and its values", u"<a |>x</a>"_s, u"tar⇥"_s,
            u"<a target=\"|\">x</a>"_s, {u"_self"_s, u"_blank"_s, u"_parent"_s, u"_top"_s});
        row("a value chosen", u"<a |>x</a>"_s, u"tar⇥↓⏎"_s, u"<a target=\"_blank|\">x</a>"_s);
        row("a boolean attribute bare", u"<input |>"_s, u"disab⏎"_s, u"<input disabled|>"_s);
        row("a CSS property and a keyword", u"<style>p { | }</style>"_s, u"font-sty⏎it⏎"_s,
            u"<style>p { font-style: italic| }</style>"_s);
        row("text content offers nothing", u"<p>|</p>"_s, u"table"_s, u"<p>table|</p>"_s);
        row("a space in a tag opens nothing", u"<p|>"_s, u" "_s, u"<p |>"_s);
        row("a list, its fields visited by Tab", u"<body>\n|\n</body>"_s, u"ul>li*3⇥a⇥b⇥c⇥"_s,
            u"<body>\n<ul>\n  <li>a</li>\n  <li>b</li>\n  <li>c</li>\n</ul>|\n</body>"_s);
        row("Japanese text in a link", u"  |"_s, u"a[href=#top]{上へ}⇥"_s,
            u"  <a href=\"#top\">上へ</a>|"_s);
        row("classes and siblings, indented", u"\t|\n"_s, u"div.card>h2+p⇥見出し⇥"_s,
            u"\t<div class=\"card\">\n\t\t<h2>見出し</h2>\n\t\t<p>|</p>\n\t</div>\n"_s);
        row("a plain word and Tab", u"<p>word|</p>"_s, u"⇥"_s, u"<p>word\t|</p>"_s);
        row("a mistyped abbreviation is left", u"|"_s, u"div[title⇥"_s, u"div[title\t|"_s);
        row("in a style sheet", u"<style>\np { | }\n</style>"_s, u"m10⇥"_s,
            u"<style>\np { margin: 10px;| }\n</style>"_s);
        row("in a script, nothing", u"<script>|</script>"_s, u"ul>li⇥"_s,
            u"<script>ul>li\t|</script>"_s);
        row("a start tag renamed", u"<div|>x</div>"_s, u"⌫⌫⌫section"_s, u"<section|>x</section>"_s);
        row("an end tag renamed", u"<b>x</b|>"_s, u"⌫strong"_s, u"<strong>x</strong|>"_s);
        row("the inner of two of a name", u"<div><div|>x</div></div>"_s, u"⌫⌫⌫p⎋"_s,
            u"<div><p|>x</p></div>"_s);
        row("attributes stay", u"<a| href=\"x\">y</a>"_s, u"bbr"_s,
            u"<abbr| href=\"x\">y</abbr>"_s);
        row("a space ends the name", u"<p|>x</p>"_s, u" id"_s, u"<p id|>x</p>"_s);
        row("in capitals", u"<DIV|>x</div>"_s, u"⌫⌫⌫SPAN"_s, u"<SPAN|>x</SPAN>"_s);
        row("an element left open has no partner", u"<div|>x"_s, u"⌫⌫⌫p⎋"_s, u"<p|>x"_s);
        row("end tag of another name: no pair", u"<b|>x</i>"_s, u"⌫u⎋"_s, u"<u|>x</i>"_s);
        row("a void element", u"<br|><br>"_s, u"⌫⌫hr"_s, u"<hr|><br>"_s);
        // A start tag's ">" puts its end tag after the caret; typed out in full, it is typed over.
        row("a start tag's end tag", u"<p>|</p>"_s, u"<b>"_s, u"<p><b>|</b></p>"_s);
        row("a tag within, and both typed over", u"|"_s, u"<div class=\"a>b\"><i>x</i></div>"_s,
            u"<div class=\"a>b\"><i>x</i></div>|"_s);
        row("no end tag in a comment or a script's text", u"<!-- |\n<script>\n"_s, u"<b>↓<em>"_s,
            u"<!-- <b>\n<script><em>|\n"_s);
        row("a void element's", u"|"_s, u"<br>"_s, u"<br>|"_s);
        row("nor where it follows already", u"|</b>"_s, u"<b>"_s, u"<b>|</b>"_s);
        // A stylesheet or a script of its own, by its file's name.
        row("a stylesheet's property and keyword", u"s.css:p { | }"_s, u"font-sty⏎it⏎"_s,
            u"p { font-style: italic| }"_s);
        row("a stylesheet's abbreviation", u"s.css:p { | }"_s, u"m10⇥"_s,
            u"p { margin: 10px;| }"_s);
        row("no tags in a stylesheet", u"s.css:|"_s, u"<ta"_s, u"<ta|"_s);
        row("no tags in a script", u"s.js:|"_s, u"<ta"_s, u"<ta|"_s);
    }

    void writingAids()
    {
        QFETCH(QString, before);
        QFETCH(QString, keys);
        QFETCH(QString, after);
        QFETCH(QStringList, offered);
        const qsizetype file = before.startsWith(u"s."_s) ? before.indexOf(u':') : -1;
        text1().colours().setLanguage(
            source::languageOf(before.left(std::max<qsizetype>(0, file))));
        setMarked(before.sliced(file + 1));
        press(keys);
        QCOMPARE(marked(), after);
        QCOMPARE(popup().isVisible(), !offered.isEmpty());
        if (!offered.isEmpty())
            QCOMPARE(popup().names(), offered);
    }

    // Opening and filtering the list is no change; what it puts in, an expansion and a name
    // carried to its partner are one change and one undo step, as a paste is.
    void writingAidsAreOneChange()
    {
        setMarked(u"<p>|</p>"_s);
        QSignalSpy changes(&text1().source(), &SourceDocument::changed);
        press(u"<ta"_s);
        QCOMPARE(changes.size(), 3);
        QCOMPARE(popup().findChild<QLabel *>(u"completionNote"_s)->text(), u"表"_s);
        press(u"⏎"_s);
        QCOMPARE(changes.size(), 4);
        text1().undo();
        QCOMPARE(marked(), u"<p><ta|</p>"_s);

        setMarked(u"<body>\n|\n</body>"_s);
        changes.clear();
        press(u"ul>li*2⇥"_s);
        QCOMPARE(changes.size(), 8);
        text1().undo();
        QCOMPARE(text1().text(), u"<body>\nul>li*2\n</body>"_s);

        setMarked(u"<div|>x</div>"_s);
        changes.clear();
        press(u"v"_s);
        QCOMPARE(changes.size(), 1);
        QCOMPARE(text1().text(), u"<divv>x</divv>"_s);
        text1().undo();
        QCOMPARE(text1().text(), u"<div>x</div>"_s);

        // The end tag put after a start tag, as "</" completion's is.
        setMarked(u"|"_s);
        changes.clear();
        press(u"<i>"_s);
        QCOMPARE(changes.size(), 4);
        QCOMPARE(marked(), u"<i>|</i>"_s);
        text1().undo();
        QCOMPARE(marked(), u"<i>|"_s);
    }

    // "!" declares the document's own encoding and Japanese; composing with an input method
    // never opens the list nor takes a key from it.
    void pageEncodingAndInputMethod()
    {
        text1().setPageEncoding(u"Shift_JIS"_s);
        setMarked(u"|"_s);
        press(u"!⇥"_s);
        QVERIFY(text1().text().contains(
            u"<html lang=\"ja\">\r\n<head>\r\n  <meta charset=\"Shift_JIS\">"_s));
        QCOMPARE(text1().textCursor().selectedText(), u"device-width"_s);

        setMarked(u"<p>|</p>"_s);
        press(u"<t"_s);
        QVERIFY(popup().isVisible());
        QInputMethodEvent composing(u"ひょう"_s, {});
        QApplication::sendEvent(&text1(), &composing);
        QVERIFY(!popup().isVisible());
        commit(&text1(), u"表"_s);
        QVERIFY(!popup().isVisible());
        press(u"⏎"_s);
        QCOMPARE(text1().text(), u"<p><t表\r\n</p>"_s);
    }
};

QTEST_MAIN(EditorTest)
#include "tst_editor.moc"
