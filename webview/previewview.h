#pragma once

#include <QWebEngineView>

namespace webview {

// The web view the preview's page is drawn in: the engine's own context menu in Japanese,
// without what does nothing in a preview.
class PreviewView : public QWebEngineView {
    Q_OBJECT

public:
    explicit PreviewView(QWidget *parent = nullptr);
    ~PreviewView() override = default;
    Q_DISABLE_COPY_MOVE(PreviewView)

    // The program's own entries, after the engine's.
    void setOwnActions(const QList<QAction *> &actions) { m_own = actions; }

signals:
    // The widget the page is drawn in comes and goes with the page's process: it may be
    // another now.
    void drawnWidgetChanged();

protected:
    void contextMenuEvent(QContextMenuEvent *event) override;
    void childEvent(QChildEvent *event) override;

private:
    QList<QAction *> m_own;
};

}  // namespace webview
