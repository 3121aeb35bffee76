#pragma once

#include <QList>
#include <QRectF>
#include <QTextBlock>

#include "source/colour.h"

class QPlainTextEdit;

namespace editor {

class SourceDocument;

// What the parts inside the editor's rectangle (the gutter, the find bar, the colours) see of
// the view they are part of, beyond a text box's own public face.
class EditorView {
public:
    virtual QPlainTextEdit &edit() = 0;
    virtual SourceDocument &source() const = 0;

    // The first and the last block at least partly in view.
    virtual QTextBlock firstShownBlock() const = 0;
    virtual QTextBlock lastShownBlock() const = 0;
    // Where a block stands in the viewport.
    virtual QRectF shownGeometry(const QTextBlock &block) const = 0;

    // The matches the find bar marks, those in view.
    virtual void setFoundMarks(const QList<source::TextRange> &marks) = 0;
    // Whether the page has a problem on line (from 1).
    virtual bool hasProblem(int line) const = 0;
    // The gutter's width or the find bar's height may have changed.
    virtual void placeMargins() = 0;

protected:
    EditorView() = default;
    ~EditorView() = default;
    Q_DISABLE_COPY_MOVE(EditorView)
};

}  // namespace editor
