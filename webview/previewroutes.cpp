#include "webview/previewroutes.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFileInfo>
#include <QMimeDatabase>

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

}  // namespace

PreviewRoutes::PreviewRoutes(QString secret, quint16 port)
    : m_secret(std::move(secret)), m_port(port)
{
}

void PreviewRoutes::setPreview(const QString &previewFile, const QString &encoding)
{
    m_previewFile = QDir::cleanPath(QDir::fromNativeSeparators(previewFile));
    m_encoding = encoding;
}

void PreviewRoutes::setDocumentFolder(const QString &folder)
{
    m_documentFolder =
        folder.isEmpty() ? QString() : QDir::cleanPath(QDir::fromNativeSeparators(folder));
}

QString PreviewRoutes::folder() const
{
    return m_documentFolder.isEmpty() ? QFileInfo(m_previewFile).path() : m_documentFolder;
}

QString PreviewRoutes::folderHost() const
{
    // A new document has no folder of its own: its origin holds nothing but itself.
    return m_documentFolder.isEmpty() ? u"new"_s : u"f"_s + hashOf(m_documentFolder);
}

QUrl PreviewRoutes::urlFor(const QString &host, const QString &path) const
{
    QUrl url;
    url.setScheme(u"http"_s);
    url.setHost(host + u".localhost"_s);
    url.setPort(m_port);
    url.setPath(u'/' + m_secret + path);
    return url;
}

QUrl PreviewRoutes::previewUrl()
{
    m_folders.insert(folderHost(), folder());
    return urlFor(folderHost(), folder() + u'/' + QFileInfo(m_previewFile).fileName());
}

PreviewRoutes::Answer PreviewRoutes::answer(const QString &host, const QString &asked) const
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
        if (origin == folderHost() &&
            path == folder() + u'/' + QFileInfo(m_previewFile).fileName()) {
            answer.preview = true;
            return served(m_previewFile, "text/html;charset=" + m_encoding.toLatin1());
        }
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

RequestHead readRequestHead(QByteArrayView bytes)
{
    RequestHead request;
    const qsizetype end = bytes.indexOf("\r\n\r\n");
    const QList<QByteArray> lines =
        bytes.first(end < 0 ? bytes.size() : end).toByteArray().split('\n');
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

}  // namespace webview
