#pragma once

#include <QAction>
#include <QObject>
#include <QPointer>
#include <QTimer>

#include "engine/previewpane.h"

namespace editor {
class SourceEdit;
}

namespace forms {

// Checks the page's accessibility after a pause in typing and in the page's updates, or at once
// from the editor's context menu (a large page only then), and shows each finding in a row
// beside the page on the line of its element.
class AccessibilityWatch : public QObject {
    Q_OBJECT

public:
    AccessibilityWatch(editor::SourceEdit &edit, engine::PreviewPane &pane);
    ~AccessibilityWatch() override;
    Q_DISABLE_COPY_MOVE(AccessibilityWatch)

    // How long typing and the page's updates must pause before the page is checked.
    static constexpr int kAfterTyping = 1000;

signals:
    // What a check found is shown.
    void checked();

private:
    void paused();
    void found(const QList<engine::Finding> &findings, const QString &note);

    editor::SourceEdit &m_edit;
    engine::PreviewPane &m_pane;
    QTimer m_pause{this};         // a child, so that it can be found
    bool m_asked = false;         // by the person, until it is told
    QPointer<QAction> m_command;  // the edit's, which may go first
};

}  // namespace forms
