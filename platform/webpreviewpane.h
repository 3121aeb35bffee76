#pragma once

#include <QPointF>
#include <QUrl>
#include <QWebEngineView>

#include "previewpane.h"

namespace platform {

// The preview pane as a web view: loads the preview file by its local path.
class WebPreviewPane : public QWebEngineView, public PreviewPane {
    Q_OBJECT

public:
    explicit WebPreviewPane(QWidget *parent = nullptr);
    ~WebPreviewPane() override = default;
    Q_DISABLE_COPY_MOVE(WebPreviewPane)

    void navigate(const QString &localPath) override;
    void showFailure(const FileError &error) override;

private:
    void restoreScroll(bool ok);

    // Every refresh reloads the same file; the reader keeps their place in the page.
    std::optional<QPointF> m_scrollToRestore;
};

}  // namespace platform
