#pragma once

#include <QObject>
#include <QTimer>

#include "engine/background.h"
#include "source/pagecheck.h"

namespace engine {
class PreviewPane;
}

namespace editor {
class SourceEdit;
}

namespace forms {

// Checks the page as HTML5 after a pause in typing, off the UI thread, and shows what is wrong
// where it is in the source and in a row for each beside the page.
class ProblemWatch : public QObject {
    Q_OBJECT

public:
    ProblemWatch(editor::SourceEdit &edit, engine::PreviewPane &pane);
    ~ProblemWatch() override = default;
    Q_DISABLE_COPY_MOVE(ProblemWatch)

    // How long typing must pause before the page is checked.
    static constexpr int kAfterTyping = 500;

signals:
    // What a check found is shown.
    void checked();

private:
    void check();
    void show(const QList<source::Problem> &problems, const QString &note);

    editor::SourceEdit &m_edit;
    engine::PreviewPane &m_pane;
    QTimer m_pause{this};  // a child, so that it can be found
    engine::Background m_checker;
};

}  // namespace forms
