#pragma once

#include <QFrame>
#include <QList>
#include <optional>

#include "source/completion.h"

class QLabel;
class QListWidget;

namespace editor {

// The list of what may go at the caret, shown beside it over the window (the editor alone is
// too narrow for it), and the Japanese note on the line chosen. It never takes the focus: the
// editor hands it the keys that move in it, and every other key still types.
class CompletionPopup : public QFrame {
    Q_OBJECT

public:
    explicit CompletionPopup(QWidget *editor);
    ~CompletionPopup() override = default;
    Q_DISABLE_COPY_MOVE(CompletionPopup)

    // Shows suggestions below the caret's rectangle (on the screen), or above it where there is
    // no room, the first one chosen.
    void offer(const QList<source::Suggestion> &suggestions, const QRect &caret);
    // The line chosen moves by rows, kept inside the list.
    void move(int rows);
    // Hidden, and what it offered forgotten.
    void dismiss();
    std::optional<source::Suggestion> chosen() const;
    QStringList names() const;

signals:
    // A line was clicked twice: put it in.
    void accepted();

private:
    void showNote();

    QListWidget *m_list = nullptr;
    QLabel *m_note = nullptr;
    QWidget *m_editor = nullptr;
    QList<source::Suggestion> m_suggestions;
};

}  // namespace editor
