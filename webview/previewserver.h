#pragma once

#include <QByteArray>
#include <QHash>
#include <QString>
#include <QTcpServer>
#include <QUrl>

namespace webview {

// Serves the preview as a web server would, on the loopback only, so that the browser keeps
// every file apart as it keeps sites apart:
// - the document's folder is one origin, http://f<the folder's hash>.localhost:<port>, under
//   whose path the folder's own path stands, so that "../" leads where it does on disk;
// - the preview file is served as the document, in the folder, under its own name;
// - any other file is an origin of its own, o<the file's hash>.localhost, which a page may show
//   (images, stylesheets, fonts, scripts) but never read;
// - every address starts with a secret of this run, so nothing else on the machine can ask.
class PreviewServer : public QTcpServer {
    Q_OBJECT

public:
    explicit PreviewServer(QObject *parent = nullptr);

    void setPreview(const QString &previewFile, const QString &encoding);
    void setDocumentFolder(const QString &folder);
    // The address the view loads for the preview file.
    QUrl previewUrl();

protected:
    void incomingConnection(qintptr socketDescriptor) override;

private:
    struct Answer {
        int status = 404;
        QString file;
        QByteArray type;
        QUrl location;  // for a redirect
    };
    Answer answer(const QString &host, const QString &path) const;
    QUrl urlFor(const QString &host, const QString &path) const;
    QString folder() const;
    QString folderHost() const;

    QString m_secret;
    QString m_previewFile;  // '/' separators
    QString m_encoding;
    QString m_documentFolder;
    // Every folder shown, by its origin's host: history can go back to an earlier one.
    QHash<QString, QString> m_folders;
};

}  // namespace webview
