#pragma once

#include <QTimer>
#include <QWebEngineView>

#include "loadgate.h"
#include "previewpane.h"

namespace platform {

class PreviewRequests;

// The preview pane as a web view: loads the preview file by its local path, and shows it as a
// browser would show the document from the document's own folder.
class WebPreviewPane : public QWebEngineView, public PreviewPane {
    Q_OBJECT

public:
    explicit WebPreviewPane(QWidget *parent = nullptr);
    ~WebPreviewPane() override;
    Q_DISABLE_COPY_MOVE(WebPreviewPane)

    void navigate(const QString &localPath, const QString &encoding) override;
    void showFailure(const FileError &error) override;
    void setDocumentFolder(const QString &folder) override;

    // How long a load may take before later refreshes stop waiting for it.
    static constexpr int kLoadTimeoutMs = 5000;

private:
    void startLoad();
    void loadEnded();

    PreviewRequests *m_requests = nullptr;
    LoadGate m_gate;
    QTimer m_timeout;
    QUrl m_url;
};

}  // namespace platform
