#pragma once

#include <QPlainTextEdit>
#include <QTextBlock>

#include "editor/editorview.h"
#include "engine/textsnapshot.h"
#include "source/colour.h"

namespace editor {

class FindBar;
class LineNumbers;
class SourceColours;
class SourceDocument;

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
    void moveCaretToEnd();

    // Ctrl+F, Ctrl+H, Ctrl+G: also in the context menu.
    void find();
    void replace();
    void goToLine();
    // The caret to the start of line (from 1, as the gutter numbers them), shown, with the focus.
    void goToLine(int line);
    // The caret to position, shown, with the focus.
    void goToPosition(qsizetype position);

protected:
    void keyPressEvent(QKeyEvent *event) override;
    void inputMethodEvent(QInputMethodEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void contextMenuEvent(QContextMenuEvent *event) override;
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

    void aboutToReplace();
    void replaced();
    void markCaret();
    void showMarks();
    void placeMarks();
    void completeEndTag();
    QAction *addCommand(const QString &name, const QString &caption, const QKeySequence &keys);

    struct Marked {
        int line = -1;
        source::TextRange tag, partner;
        friend bool operator==(const Marked &, const Marked &) = default;
    };
    SourceDocument *m_source = nullptr;
    Marked m_marked;
    QList<source::TextRange> m_foundMarks;
    QList<QAction *> m_commands;  // for the context menu, separators among them
    SourceColours *m_colours = nullptr;
    LineNumbers *m_lineNumbers = nullptr;
    FindBar *m_findBar = nullptr;
    // What was completed, for the keys that type it over: a person typing the end tag out in
    // full gets it once.
    QString m_typeOver;
    int m_typeOverAt = -1;
    // While a text is set, what is known of the old one does not hold.
    bool m_replacing = false;
    bool m_showingMarks = false;
    bool m_marksDue = false;
};

}  // namespace editor
