#include "source/pagewidths.h"

#include <QRegularExpression>
#include <algorithm>
#include <cmath>

using namespace Qt::StringLiterals;

namespace source {

namespace {

const QRegularExpression &cssComment()
{
    static const QRegularExpression kComment(u"/\\*.*?(\\*/|$)"_s,
                                             QRegularExpression::DotMatchesEverythingOption);
    return kComment;
}

// An attribute's value in a tag's text, its character references for & undone.
QString attribute(const QString &tag, const QString &name)
{
    const QRegularExpression value(
        u"[\\s\"'/]%1\\s*=\\s*(?:\"([^\"]*)\"|'([^']*)'|([^\\s>]+))"_s.arg(name),
        QRegularExpression::CaseInsensitiveOption);
    const QRegularExpressionMatch match = value.match(tag);
    if (!match.hasMatch())
        return {};
    QString found = match.captured(1) + match.captured(2) + match.captured(3);
    return found.replace(u"&amp;"_s, u"&"_s, Qt::CaseInsensitive).trimmed();
}

}  // namespace

QList<int> mediaWidths(QStringView css)
{
    // (min-width: 600px), (max-width: 40em), (width >= 600px), (400px < width)
    static const QRegularExpression kWidth(
        u"\\(\\s*(?:(?:min|max)-width\\s*:\\s*|width\\s*[<>]=?\\s*)(\\d*\\.?\\d+)(px|r?em)\\b"
        u"|(\\d*\\.?\\d+)(px|r?em)\\s*[<>]=?\\s*width\\b"_s,
        QRegularExpression::CaseInsensitiveOption);
    const QString text = css.toString().remove(cssComment());
    QList<int> widths;
    for (auto it = kWidth.globalMatch(text); it.hasNext();) {
        const QRegularExpressionMatch match = it.next();
        const int at = match.capturedLength(1) ? 1 : 3;
        const double number = match.captured(at).toDouble();
        const bool em = match.captured(at + 1).compare(u"px"_s, Qt::CaseInsensitive) != 0;
        const long width = std::lround(em ? number * 16 : number);
        if (width > 0 && width <= 10000)
            widths.append(int(width));
    }
    std::sort(widths.begin(), widths.end());
    widths.erase(std::unique(widths.begin(), widths.end()), widths.end());
    return widths;
}

QStringList stylesheetLinks(QStringView html)
{
    static const QRegularExpression kLink(u"<link\\b[^>]*>"_s,
                                          QRegularExpression::CaseInsensitiveOption);
    QStringList links;
    for (auto it = kLink.globalMatch(html); it.hasNext();) {
        const QString tag = it.next().captured();
        const QStringList rel = attribute(tag, u"rel"_s)
                                    .toLower()
                                    .split(QRegularExpression(u"\\s+"_s), Qt::SkipEmptyParts);
        const QString href = attribute(tag, u"href"_s);
        if (rel.contains(u"stylesheet"_s) && !rel.contains(u"alternate"_s) && !href.isEmpty())
            links.append(href);
    }
    return links;
}

QStringList cssImports(QStringView css)
{
    static const QRegularExpression kImport(
        u"@import\\s+(?:url\\(\\s*)?(?:\"([^\"]+)\"|'([^']+)'|([^\"'\\s;)]+))"_s,
        QRegularExpression::CaseInsensitiveOption);
    const QString text = css.toString().remove(cssComment());
    QStringList imports;
    for (auto it = kImport.globalMatch(text); it.hasNext();) {
        const QRegularExpressionMatch match = it.next();
        imports.append(match.captured(1) + match.captured(2) + match.captured(3));
    }
    return imports;
}

}  // namespace source
