#pragma once

#include <QObject>
#include <QTimer>

namespace engine {
class PreviewPane;
}

namespace editor {
class SourceEdit;
}

namespace forms {

// Links the source and its page: the element at the caret is outlined in the page, a Ctrl+click
// on the page puts the caret on the element's start tag, and a message of the page's on its line.
// A person's scroll of either side brings the other to the same element.
// The preview knows which start tag made each of its elements, so the page's bytes stay the
// editor's own.
class PageLink : public QObject {
    Q_OBJECT

public:
    PageLink(editor::SourceEdit &edit, engine::PreviewPane &pane);

    // How long typing must pause before the outline follows: the page is then loaded again too.
    static constexpr int kAfterTyping = 150;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void caretMoved();
    void follow();
    void picked(const QList<int> &elements);
    void sourceScrolled(int topLine);
    void pageScrolled(const QList<int> &elements);

    editor::SourceEdit &m_edit;
    engine::PreviewPane &m_pane;
    QTimer m_soon;
    QTimer m_typing;
    QTimer m_scrolled;  // Page Up and Down: after the key has scrolled
};

}  // namespace forms
