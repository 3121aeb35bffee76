#pragma once

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
};

}  // namespace platform
