#include "webview/previewserver.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMimeDatabase>
#include <QRandomGenerator>
#include <QTcpSocket>

using namespace Qt::StringLiterals;

namespace webview {

namespace {

QString canonical(const QString &path)
{
    const QString real = QFileInfo(path).canonicalFilePath();
    return real.isEmpty() ? QDir::cleanPath(path) : real;
}

bool isBelow(const QString &path, const QString &folder)
{
    return path.startsWith(folder.endsWith(u'/') ? folder : folder + u'/');
}

QString hashOf(const QString &path)
{
    return QString::fromLatin1(
        QCryptographicHash::hash(canonical(path).toUtf8(), QCryptographicHash::Sha256)
            .toHex()
            .left(24));
}

// A request's head: its path and the host it was asked of, without the port.
struct Request {
    bool valid = false;
    bool head = false;
    bool font = false;  // asked for as a font, which a browser loads only with CORS
    QString path;
    QString host;
};

Request parse(const QByteArray &head)
{
    Request request;
    const QList<QByteArray> lines = head.split('\n');
    const QList<QByteArray> first = lines.value(0).trimmed().split(' ');
    if (first.size() < 2 || (first[0] != "GET" && first[0] != "HEAD"))
        return request;
    request.head = first[0] == "HEAD";
    request.path = QUrl::fromPercentEncoding(first[1].split('?').first().split('#').first());
    for (const QByteArray &line : lines) {
        const QByteArray lower = line.toLower();
        if (lower.startsWith("host:"))
            request.host = QString::fromLatin1(lower.mid(5).trimmed().split(':').first());
        else if (lower.startsWith("sec-fetch-dest:"))
            request.font = lower.mid(15).trimmed() == "font";
    }
    request.valid = !request.host.isEmpty();
    return request;
}

// Streams a file to the socket as the socket takes it, then closes.
void send(QTcpSocket *socket, int status, const QByteArray &headers, QFile *body)
{
    static const QHash<int, QByteArray> kReasons{
        {200, "OK"}, {307, "Temporary Redirect"}, {400, "Bad Request"}, {404, "Not Found"}};
    socket->write("HTTP/1.1 " + QByteArray::number(status) + ' ' + kReasons.value(status) + "\r\n" +
                  headers + "Cache-Control: no-store\r\nConnection: close\r\n\r\n");
    if (!body) {
        socket->disconnectFromHost();
        return;
    }
    body->setParent(socket);
    const auto more = [socket, body] {
        if (socket->bytesToWrite() > 256 * 1024)
            return;
        const QByteArray chunk = body->read(256 * 1024);
        if (chunk.isEmpty())
            socket->disconnectFromHost();
        else
            socket->write(chunk);
    };
    QObject::connect(socket, &QTcpSocket::bytesWritten, socket, more);
    more();
}

}  // namespace

PreviewServer::PreviewServer(QObject *parent) : QTcpServer(parent)
{
    const quint64 words[2] = {QRandomGenerator::system()->generate64(),
                              QRandomGenerator::system()->generate64()};
    m_secret = QString::fromLatin1(QByteArray(reinterpret_cast<const char *>(words), 16).toHex());
    listen(QHostAddress::LocalHost);
}

void PreviewServer::setPreview(const QString &previewFile, const QString &encoding)
{
    m_previewFile = QDir::cleanPath(QDir::fromNativeSeparators(previewFile));
    m_encoding = encoding;
}

void PreviewServer::setDocumentFolder(const QString &folder)
{
    m_documentFolder =
        folder.isEmpty() ? QString() : QDir::cleanPath(QDir::fromNativeSeparators(folder));
}

QString PreviewServer::folder() const
{
    return m_documentFolder.isEmpty() ? QFileInfo(m_previewFile).path() : m_documentFolder;
}

QString PreviewServer::folderHost() const
{
    // A new document has no folder of its own: its origin holds nothing but itself.
    return m_documentFolder.isEmpty() ? u"new"_s : u"f"_s + hashOf(m_documentFolder);
}

QUrl PreviewServer::urlFor(const QString &host, const QString &path) const
{
    QUrl url;
    url.setScheme(u"http"_s);
    url.setHost(host + u".localhost"_s);
    url.setPort(serverPort());
    url.setPath(u'/' + m_secret + path);
    return url;
}

QUrl PreviewServer::previewUrl()
{
    m_folders.insert(folderHost(), folder());
    return urlFor(folderHost(), folder() + u'/' + QFileInfo(m_previewFile).fileName());
}

PreviewServer::Answer PreviewServer::answer(const QString &host, const QString &asked) const
{
    Answer answer;
    const QString prefix = u'/' + m_secret + u'/';
    if (!asked.startsWith(prefix) || !host.endsWith(u".localhost"_s))
        return answer;
    const QString path = QDir::cleanPath(asked.sliced(prefix.size() - 1));
    const QString origin = host.chopped(QStringLiteral(".localhost").size());
    const auto served = [&](const QString &file, QByteArray type) {
        answer.status = 200;
        answer.file = file;
        answer.type = type.isEmpty() ? QMimeDatabase()
                                           .mimeTypeForFile(file, QMimeDatabase::MatchExtension)
                                           .name()
                                           .toLatin1()
                                     : type;
        return answer;
    };
    const auto known = m_folders.constFind(origin);
    if (known != m_folders.cend()) {
        if (origin == folderHost() && path == folder() + u'/' + QFileInfo(m_previewFile).fileName())
            return served(m_previewFile, "text/html;charset=" + m_encoding.toLatin1());
        if (origin != u"new"_s && isBelow(canonical(path), canonical(*known)))
            return served(path, {});
    } else if (origin == u'o' + hashOf(path)) {
        return served(path, {});
    }
    // Anywhere else is another origin: the file's own.
    answer.status = 307;
    answer.location = urlFor(u'o' + hashOf(path), path);
    return answer;
}

void PreviewServer::incomingConnection(qintptr socketDescriptor)
{
    auto *socket = new QTcpSocket(this);
    socket->setSocketDescriptor(socketDescriptor);
    connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
    connect(socket, &QTcpSocket::readyRead, socket, [this, socket] {
        // One request per connection; its head is all that is read.
        if (socket->property("answered").toBool() || !socket->canReadLine())
            return;
        QByteArray head = socket->peek(64 * 1024);
        if (!head.contains("\r\n\r\n") && head.size() < 64 * 1024)
            return;
        socket->setProperty("answered", true);
        const Request request = parse(head);
        if (!request.valid) {
            send(socket, 400, {}, nullptr);
            return;
        }
        const Answer found = answer(request.host, request.path);
        if (found.status == 307) {
            send(socket, 307, "Location: " + found.location.toEncoded() + "\r\n", nullptr);
            return;
        }
        auto *file = new QFile(found.file);
        if (found.status != 200 || QFileInfo(found.file).isDir() ||
            !file->open(QIODevice::ReadOnly)) {
            delete file;
            send(socket, 404, "Content-Length: 0\r\n", nullptr);
            return;
        }
        QByteArray headers = "Content-Type: " + found.type +
                             "\r\nContent-Length: " + QByteArray::number(file->size()) + "\r\n";
        // A font applies from anywhere, as on the web; a script's own request is never one.
        if (request.font)
            headers += "Access-Control-Allow-Origin: *\r\n";
        if (request.head) {
            delete file;
            send(socket, 200, headers, nullptr);
            return;
        }
        send(socket, 200, headers, file);
    });
}

}  // namespace webview
