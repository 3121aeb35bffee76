#pragma once

#include <QTimer>
#include <QWebEngineView>
#include <chrono>

#include "engine/loadgate.h"
#include "engine/previewpane.h"

namespace webview {

class PreviewServer;

// The preview pane as a web view: loads the preview file by its local path, and shows it as a
// browser would show the document from the document's own folder.
class WebPreviewPane : public QWebEngineView, public engine::PreviewPane {
    Q_OBJECT

public:
    // How long a load may take before later refreshes stop waiting for it.
    static constexpr std::chrono::milliseconds kLoadTimeout{5000};

    explicit WebPreviewPane(QWidget *parent = nullptr,
                            std::chrono::milliseconds loadTimeout = kLoadTimeout);
    ~WebPreviewPane() override;
    Q_DISABLE_COPY_MOVE(WebPreviewPane)

    void navigate(const QString &localPath, const QString &encoding) override;
    void showFailure(const engine::FileError &error) override;
    void setDocumentFolder(const QString &folder) override;

protected:
    // The engine's own menu, in Japanese, without what does nothing in a preview.
    void contextMenuEvent(QContextMenuEvent *event) override;

private:
    void startLoad();
    void loadEnded();

    PreviewServer *m_server = nullptr;
    engine::LoadGate m_gate;
    QTimer m_timeout;
    QUrl m_url;
};

}  // namespace webview
