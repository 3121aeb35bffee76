#pragma once

#include <QTcpServer>
#include <QUrl>
#include <optional>

#include "webview/previewroutes.h"

namespace webview {

// The preview is served by the program itself, on the loopback only, as a web server would
// serve a site, so that the browser keeps the document's folder and every other file apart as
// it keeps sites apart (PreviewRoutes says how). Why a server, and not a scheme of the
// program's own through QWebEngineUrlSchemeHandler: Qt 6.4 cannot let a page fetch() from
// such a scheme (QWebEngineUrlScheme::FetchApiAllowed came in 6.6), so a page could not read
// its own JSON, and file: addresses would let fetch and XMLHttpRequest read any file.
class PreviewServer : public QTcpServer {
    Q_OBJECT

public:
    explicit PreviewServer(QObject *parent = nullptr);

    void setPreview(const QString &previewFile, const QString &encoding);
    void setDocumentFolder(const QString &folder);
    // The address the view loads for the preview file.
    QUrl previewUrl();
    // What is served for a file instead of its bytes on disk: a document open here with changes
    // not saved. Nothing: the file's own bytes again.
    void setUnsaved(const QString &file, const std::optional<QByteArray> &bytes);

signals:
    // The preview file is being served: which file it is on disk, when that can be told.
    void previewServed(std::optional<quint64> file);

protected:
    void incomingConnection(qintptr socketDescriptor) override;

private:
    std::optional<PreviewRoutes> m_routes;  // made once the port is known
    QHash<QString, QByteArray> m_unsaved;   // by the file's absolute path, '/' separators
};

}  // namespace webview
