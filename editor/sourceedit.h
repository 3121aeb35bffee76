#pragma once

#include <QPlainTextEdit>
#include <QSet>
#include <QTextBlock>
#include <QTextCursor>
#include <functional>
#include <optional>

#include "editor/editorview.h"
#include "editor/writtencolours.h"
#include "engine/background.h"
#include "engine/textsnapshot.h"
#include "source/colour.h"
#include "source/pagecheck.h"

class QPainter;

namespace editor {

class FindBar;
class LineNumbers;
class SourceColours;
class SourceDocument;
class WritingAids;

// The HTML source box: the view of a SourceDocument. It colours the source from its parse,
// numbers the lines in a gutter inside its rectangle, finds and replaces in a bar at its foot,
// and marks the caret's line and the tag under the caret with its partner.
class SourceEdit : public QPlainTextEdit, private EditorView {
    Q_OBJECT

public:
    // Shows document; without one, a document of its own.
    explicit SourceEdit(SourceDocument &document, QWidget *parent = nullptr);
    explicit SourceEdit(QWidget *parent = nullptr);
    ~SourceEdit() override = default;
    Q_DISABLE_COPY_MOVE(SourceEdit)

    SourceDocument &source() const override { return *m_source; }
    // The text box's own text, as its document keeps it.
    QString text() const;
    void setText(const QString &text);

    SourceColours &colours() const { return *m_colours; }
    // The context menu's command that checks the page's accessibility: off until a page's
    // check is linked to it.
    QAction &checkAccessibilityCommand() const { return *m_checkAccessibility; }
    // The completion list, Emmet's abbreviations and the linked tag names.
    WritingAids &aids() const { return *m_aids; }
    // Whether the ">" of a start tag puts its end tag after the caret: not while the settings'
    // line break after ">" is on, whose caret goes to the end.
    void setClosingStartTags(std::function<bool()> closing) { m_closing = std::move(closing); }
    // The encoding the document is kept in, as a page names it: what "!" declares.
    void setPageEncoding(const QString &encoding);
    void moveCaretToEnd();

    // Ctrl+F, Ctrl+H, Ctrl+G: also in the context menu.
    void find();
    void replace();
    void goToLine();
    // Shift+Alt+F: the selection's lines indented anew, or the whole page without one, as one
    // change; off the UI thread, and nothing if the text changes meanwhile.
    void formatSource();
    // The caret to line (from 1, as the gutter numbers them) at column (from 1), shown, with the
    // focus.
    void goToLine(int line, int column = 1);
    // The caret to position, shown, with the focus.
    void goToPosition(qsizetype position);

    // The page's problems as HTML5, until the next: underlined where they are, with a mark in the
    // gutter beside their lines and a tip on hover. An edit that touches one takes it away.
    void setProblems(QList<source::Problem> problems);
    const QList<source::Problem> &problems() const { return m_problems; }

signals:
    // What the person should know of a command that could not be carried out, in Japanese.
    void failed(const QString &why);
    // A command off the UI thread has done what it does.
    void formatted();
    // A Ctrl+click on the value of an href or src: the link as written, and its line (from 1).
    void linkClicked(const QString &link, int line);

protected:
    bool event(QEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void focusOutEvent(QFocusEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void inputMethodEvent(QInputMethodEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void contextMenuEvent(QContextMenuEvent *event) override;
    void paintEvent(QPaintEvent *event) override;
    void insertFromMimeData(const QMimeData *source) override;
    QMimeData *createMimeDataFromSelection() const override;

private:
    // What the gutter, the find bar and the colours see of the view.
    QPlainTextEdit &edit() override { return *this; }
    QTextBlock firstShownBlock() const override { return firstVisibleBlock(); }
    QTextBlock lastShownBlock() const override;
    QRectF shownGeometry(const QTextBlock &block) const override;
    void setFoundMarks(const QList<source::TextRange> &marks) override;
    void placeMargins() override;
    bool hasProblem(int line) const override;

    void aboutToReplace();
    void problemsMoved(qsizetype position, qsizetype removed, qsizetype added);
    void replaced();
    void markCaret();
    void showMarks();
    void placeMarks();
    // The colours' swatches drawn last: where, and the colour written in the text document.
    struct Swatch {
        QRectF box;
        int position = 0;
        WrittenColour written;
    };
    void drawSpaces(QPainter &painter, const QRect &area);
    void drawSwatches(QPainter &painter, const QRect &area);
    void chooseColour(const Swatch &swatch);
    void typeKey(QKeyEvent *event);
    void completeEndTag();
    void completeStartTag();
    bool typeOverCloser(const QString &typed);
    QAction *addCommand(const QString &name, const QString &caption, const QKeySequence &keys);

    struct Marked {
        int line = -1;
        source::TextRange tag, partner;
        friend bool operator==(const Marked &, const Marked &) = default;
    };
    SourceDocument *m_source = nullptr;
    Marked m_marked;
    QList<source::TextRange> m_foundMarks;
    QList<source::Problem> m_problems;
    mutable std::optional<QSet<int>> m_problemLines;  // nothing until asked again
    QList<QAction *> m_commands;                      // for the context menu, separators among them
    QAction *m_checkAccessibility = nullptr;
    QAction *m_showSpaces = nullptr;  // full-width spaces and tabs marked where they are
    QList<Swatch> m_swatches;
    engine::Background m_formatter;
    SourceColours *m_colours = nullptr;
    LineNumbers *m_lineNumbers = nullptr;
    FindBar *m_findBar = nullptr;
    WritingAids *m_aids = nullptr;
    // What was completed, for the keys that type it over: a person typing the end tag out in
    // full gets it once.
    QString m_typeOver;
    int m_typeOverAt = -1;
    // The end tags put after start tags, the innermost last: each as it was put, and how much of
    // it has been typed over.
    struct Closer {
        QTextCursor range;
        QString text;
        int typed = 0;
    };
    QList<Closer> m_closers;
    std::function<bool()> m_closing = [] { return true; };
    // While a text is set, what is known of the old one does not hold.
    bool m_replacing = false;
    bool m_showingMarks = false;
    bool m_marksDue = false;
};

}  // namespace editor
