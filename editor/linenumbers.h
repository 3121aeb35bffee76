#pragma once

#include <QWidget>

namespace editor {

class EditorView;

// The gutter at the left of the source box, inside its rectangle: a number for every line, the
// caret's line in stronger ink; the pieces a long line is shown in after its first are marked
// as its own.
class LineNumbers : public QWidget {
    Q_OBJECT

public:
    explicit LineNumbers(EditorView &view);
    ~LineNumbers() override = default;
    Q_DISABLE_COPY_MOVE(LineNumbers)

    // Wide enough for the largest line number, with a margin either side.
    int neededWidth() const;

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    EditorView &m_view;
};

}  // namespace editor
