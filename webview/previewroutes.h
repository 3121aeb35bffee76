#pragma once

#include <QByteArray>
#include <QHash>
#include <QString>
#include <QUrl>

namespace webview {

// A request's head as the server reads it: its method, the path asked for (percent-decoded,
// without query or fragment) and the host it was asked of, without the port.
struct RequestHead {
    bool valid = false;  // a GET or HEAD that names its host
    bool head = false;
    bool font = false;  // asked for as a font, which a browser loads only with CORS
    QString path;
    QString host;
};
// Reads the first request of bytes; what follows it, a request sent after it, is not read.
RequestHead readRequestHead(QByteArrayView bytes);

// What the preview's server answers to an address: which file it serves, and where it sends a
// request for a file that belongs to another origin. This is where a page is kept from reading
// what lies outside its folder, so it needs nothing of the browser, and is tested without one:
// - the document's folder is one origin, http://f<the folder's hash>.localhost:<port>, under
//   whose path the folder's own path stands, so that "../" leads where it does on disk;
// - the preview file is served as the document, in the folder, under its own name;
// - any other file is an origin of its own, o<the file's hash>.localhost, which a page may show
//   (images, stylesheets, fonts, scripts) but never read;
// - a new document's origin, "new", holds nothing but the preview file;
// - every path starts with a secret of this run, so nothing else on the machine can ask.
class PreviewRoutes {
public:
    PreviewRoutes(QString secret, quint16 port);

    void setPreview(const QString &previewFile, const QString &encoding);
    void setDocumentFolder(const QString &folder);
    // The address the view loads for the preview file; the folder it stands in is served from
    // then on, so that history can go back to it.
    QUrl previewUrl();

    struct Answer {
        int status = 404;      // 200, 307 or 404
        QString file;          // for 200
        QByteArray type;       // for 200
        QUrl location;         // for 307
        bool preview = false;  // the file is the preview's
    };
    // The host without its port; the path as asked, percent-decoded.
    Answer answer(const QString &host, const QString &path) const;

private:
    QUrl urlFor(const QString &host, const QString &path) const;
    QString folder() const;
    QString folderHost() const;

    QString m_secret;
    quint16 m_port;
    QString m_previewFile;  // '/' separators
    QString m_encoding;
    QString m_documentFolder;
    // Every folder shown, by its origin's host.
    QHash<QString, QString> m_folders;
};

}  // namespace webview
