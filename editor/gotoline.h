#pragma once

#include <QDialog>

class QLabel;
class QLineEdit;

namespace editor {

class SourceEdit;

// Go to line: a line number within the page's lines, or a word on why not, and nothing moves.
class GoToLine : public QDialog {
    Q_OBJECT

public:
    explicit GoToLine(SourceEdit &edit);
    ~GoToLine() override = default;
    Q_DISABLE_COPY_MOVE(GoToLine)

    void accept() override;

private:
    SourceEdit &m_edit;
    QLineEdit *m_line = nullptr;
    QLabel *m_problem = nullptr;
};

}  // namespace editor
