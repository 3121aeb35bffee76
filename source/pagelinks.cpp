#include "source/pagelinks.h"

#include <QDir>
#include <QRegularExpression>
#include <QUrl>

using namespace Qt::StringLiterals;

namespace source {

std::optional<QString> linkAt(QStringView text, qsizetype position)
{
    // A tag is looked for this far around: a longer one is not a person's link.
    constexpr qsizetype kReach = 8192;
    const qsizetype from = std::max<qsizetype>(0, position - kReach);
    const qsizetype open = text.sliced(from, position - from).lastIndexOf(u'<');
    if (open < 0 || text.sliced(from + open, position - from - open).contains(u'>'))
        return std::nullopt;
    const qsizetype start = from + open;
    const qsizetype close = text.sliced(start, std::min(kReach, text.size() - start)).indexOf(u'>');
    const QString tag =
        text.sliced(start, close < 0 ? std::min(kReach, text.size() - start) : close).toString();
    static const QRegularExpression kLink(
        u"\\s(?:href|src)\\s*=\\s*(?:\"([^\"]*)\"|'([^']*)'|([^\\s\"'=<>`]+))"_s,
        QRegularExpression::CaseInsensitiveOption);
    for (auto it = kLink.globalMatch(tag); it.hasNext();) {
        const QRegularExpressionMatch match = it.next();
        for (int k = 1; k <= 3; ++k) {
            if (match.capturedStart(k) < 0)
                continue;
            const qsizetype at = start + match.capturedStart(k);
            if (position >= at && position <= at + match.capturedLength(k))
                return match.captured(k).replace(u"&amp;"_s, u"&"_s).trimmed();
        }
    }
    return std::nullopt;
}

QStringList linksOf(QStringView html)
{
    static const QRegularExpression kTag(u"<[A-Za-z][^>]*>"_s);
    static const QRegularExpression kLink(
        u"\\s(?:href|src)\\s*=\\s*(?:\"([^\"]*)\"|'([^']*)'|([^\\s\"'=<>`]+))"_s,
        QRegularExpression::CaseInsensitiveOption);
    QStringList links;
    for (auto tag = kTag.globalMatch(html); tag.hasNext();) {
        const QString text = tag.next().captured();
        for (auto it = kLink.globalMatch(text); it.hasNext();) {
            const QRegularExpressionMatch match = it.next();
            QString link = match.captured(1) + match.captured(2) + match.captured(3);
            links.append(link.replace(u"&amp;"_s, u"&"_s).trimmed());
        }
    }
    return links;
}

std::optional<QString> linkedFile(const QString &link, const QString &folder)
{
    const QUrl url(link);
    if (!url.isValid() || link.startsWith(u'#'))
        return std::nullopt;
    if (url.scheme() == u"file")
        return url.toLocalFile().isEmpty() ? std::nullopt : std::optional(url.toLocalFile());
    if (!url.scheme().isEmpty() || link.startsWith(u"//"))
        return std::nullopt;
    const QString path = url.path(QUrl::FullyDecoded);
    if (path.isEmpty())
        return std::nullopt;
    if (QDir::isAbsolutePath(path))
        return QDir::cleanPath(path);
    if (folder.isEmpty())
        return std::nullopt;
    return QDir::cleanPath(QDir(QDir::fromNativeSeparators(folder)).filePath(path));
}

}  // namespace source
