#include "webview/previewserver.h"

#include "platform/fileio.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QTcpSocket>

using namespace Qt::StringLiterals;

namespace webview {

namespace {

// Streams a file (or the bytes of one) to the socket as the socket takes it, then closes.
void send(QTcpSocket *socket, int status, const QByteArray &headers, QIODevice *body)
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
    listen(QHostAddress::LocalHost);
    m_routes.emplace(
        QString::fromLatin1(QByteArray(reinterpret_cast<const char *>(words), 16).toHex()),
        serverPort());
}

void PreviewServer::setPreview(const QString &previewFile, const QString &encoding)
{
    m_routes->setPreview(previewFile, encoding);
}

void PreviewServer::setUnsaved(const QString &file, const std::optional<QByteArray> &bytes)
{
    const QString key = QDir::cleanPath(QFileInfo(file).absoluteFilePath());
    if (bytes)
        m_unsaved.insert(key, *bytes);
    else
        m_unsaved.remove(key);
}

void PreviewServer::setDocumentFolder(const QString &folder)
{
    m_routes->setDocumentFolder(folder);
}

QUrl PreviewServer::previewUrl()
{
    return m_routes->previewUrl();
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
        const RequestHead request = readRequestHead(head);
        if (!request.valid) {
            send(socket, 400, {}, nullptr);
            return;
        }
        const PreviewRoutes::Answer found = m_routes->answer(request.host, request.path);
        if (found.status == 307) {
            send(socket, 307, "Location: " + found.location.toEncoded() + "\r\n", nullptr);
            return;
        }
        // A document open here is served as the editor has it, not as it was last saved.
        const auto unsaved = found.status == 200 && !found.preview
                                 ? m_unsaved.constFind(QDir::cleanPath(found.file))
                                 : m_unsaved.cend();
        if (unsaved != m_unsaved.cend()) {
            auto *bytes = new QBuffer;
            bytes->setData(*unsaved);
            bytes->open(QIODevice::ReadOnly);
            const QByteArray headers = "Content-Type: " + found.type +
                                       "\r\nContent-Length: " + QByteArray::number(bytes->size()) +
                                       "\r\n";
            if (request.head)
                delete std::exchange(bytes, nullptr);
            send(socket, 200, headers, bytes);
            return;
        }
        auto *file = new QFile(found.file);
        if (found.status != 200 || QFileInfo(found.file).isDir() ||
            !file->open(QIODevice::ReadOnly)) {
            delete file;
            send(socket, 404, "Content-Length: 0\r\n", nullptr);
            return;
        }
        // Which text the page is of: the file is replaced whole at each refresh.
        if (found.preview)
            emit previewServed(platform::fileIdentity(int(file->handle())));
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
