#pragma once

#include <QPlainTextEdit>
#include <QTextBlock>

#include "engine/chunkedtext.h"
#include "engine/textsnapshot.h"
#include "source/colour.h"

namespace editor {

struct DocumentStyle;
struct LoadedDocument;
class FindBar;
class LineNumbers;
class SourceColours;

// The HTML source box: a plain text box whose text is exactly the string that was set, with
// CR LF between lines, and which notifies once per change, typed or set. It colours the source
// from its parse, numbers the lines in a gutter inside its rectangle, and marks the caret's line
// and the tag under the caret with its partner.
class SourceEdit : public QPlainTextEdit {
    Q_OBJECT

public:
    explicit SourceEdit(QWidget *parent = nullptr);
    ~SourceEdit() override = default;
    Q_DISABLE_COPY_MOVE(SourceEdit)

    QString text() const;
    void setText(const QString &text);
    // The same text, kept up to date edit by edit: taking it costs about nothing, whatever the
    // size of the page.
    engine::TextSnapshot snapshot() const;
    // Whether the text ends in c.
    bool endsWith(QChar c) const;

    // A document loaded elsewhere, taken whole as setText takes a text: one change.
    void adoptDocument(LoadedDocument &&loaded);
    DocumentStyle style() const;
    // Marks the line separators at positions as characters of the text.
    static void markLiteralSeparators(QTextDocument &document, const QList<qsizetype> &positions);

    // Appends CR LF at the very end as one edit of its own, keeping undo history and scrolling.
    void appendLineBreak();
    void moveCaretToEnd();

    SourceColours &colours() const { return *m_colours; }
    // The first block in view, and where a block stands in the viewport.
    QTextBlock firstShownBlock() const { return firstVisibleBlock(); }
    QRectF shownGeometry(const QTextBlock &block) const
    {
        return blockBoundingGeometry(block).translated(contentOffset());
    }
    LineNumbers &lineNumbers() const { return *m_lineNumbers; }
    FindBar &findBar() const { return *m_findBar; }

    // The matches the find bar marks, in view.
    void setFoundMarks(const QList<source::TextRange> &marks);
    // The gutter on the left and the find bar at the foot, inside the box's rectangle.
    void placeMargins();

    // Ctrl+F, Ctrl+H, Ctrl+G: also in the context menu.
    void find();
    void replace();
    void goToLine();
    // The caret to the start of line (from 1, as the gutter numbers them), shown, with the focus.
    void goToLine(int line);
    // The caret to position, shown, with the focus.
    void goToPosition(qsizetype position);

signals:
    void changed();
    // Another document is in place: what follows the old one's changes follows this one's.
    void documentReplaced();

protected:
    void keyPressEvent(QKeyEvent *event) override;
    void inputMethodEvent(QInputMethodEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void contextMenuEvent(QContextMenuEvent *event) override;
    void insertFromMimeData(const QMimeData *source) override;
    QMimeData *createMimeDataFromSelection() const override;

private:
    QString textWithMarkedSeparators() const;
    void followChange(int position, int removed, int added);
    void markCaret();
    void showMarks();
    void completeEndTag();
    QAction *addCommand(const QString &name, const QString &caption, const QKeySequence &keys);

    struct Marked {
        int line = -1;
        source::TextRange tag, partner;
        friend bool operator==(const Marked &, const Marked &) = default;
    };
    Marked m_marked;
    QList<QTextEdit::ExtraSelection> m_foundMarks;
    QList<QAction *> m_commands;  // for the context menu
    SourceColours *m_colours = nullptr;
    LineNumbers *m_lineNumbers = nullptr;
    FindBar *m_findBar = nullptr;
    // What was completed, for the keys that type it over: a person typing the end tag out in
    // full gets it once.
    QString m_typeOver;
    int m_typeOverAt = -1;
    // The document's characters, paragraph and line separators as they stand in it.
    engine::ChunkedText m_mirror;
    bool m_settingText = false;
    // Composing text with an input method shows it, but the text is unchanged until commit.
    bool m_composing = false;
    // Whether the text set last held line separators of its own, which only a slower reading
    // tells from those that stand for a LF.
    bool m_hasMarkedSeparators = false;
};

}  // namespace editor
