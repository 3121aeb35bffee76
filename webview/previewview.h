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

signals:
    // The widget the page is drawn in comes and goes with the page's process: it may be
    // another now.
    void drawnWidgetChanged();

protected:
    void contextMenuEvent(QContextMenuEvent *event) override;
    void childEvent(QChildEvent *event) override;
};

}  // namespace webview
