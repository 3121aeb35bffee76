#include "source/search.h"

#include <QRegularExpression>
#include <optional>

using namespace Qt::StringLiterals;

namespace source {

namespace {

QRegularExpression expressionFor(const SearchPattern &pattern)
{
    QRegularExpression::PatternOptions options =
        QRegularExpression::MultilineOption | QRegularExpression::UseUnicodePropertiesOption;
    if (!pattern.matchCase)
        options |= QRegularExpression::CaseInsensitiveOption;
    const QString source =
        pattern.regularExpression ? pattern.text : QRegularExpression::escape(pattern.text);
    return QRegularExpression(source, options);
}

// The lines as the expression sees them: same length, so positions carry over.
QString withLineFeeds(QStringView text)
{
    QString out = text.toString();
    for (QChar &c : out)
        if (c == QChar::ParagraphSeparator || c == QChar::LineSeparator || c == u'\r')
            c = u'\n';
    return out;
}

QString expanded(const QRegularExpressionMatch &match, const QString &replacement)
{
    QString out;
    for (qsizetype i = 0; i < replacement.size(); ++i) {
        const QChar c = replacement[i];
        if (c != u'\\' || i + 1 == replacement.size()) {
            out += c;
            continue;
        }
        const QChar next = replacement[++i];
        if (next.isDigit())
            out += match.captured(next.digitValue());
        else if (next == u'n')
            out += u'\n';
        else
            out += next;
    }
    return out;
}

template <typename Found>
std::optional<QString> scan(QStringView text, const SearchPattern &pattern, Found found)
{
    if (pattern.text.isEmpty())
        return std::nullopt;
    if (!pattern.regularExpression) {
        const Qt::CaseSensitivity cs = pattern.matchCase ? Qt::CaseSensitive : Qt::CaseInsensitive;
        for (qsizetype at = text.indexOf(pattern.text, 0, cs); at >= 0;
             at = text.indexOf(pattern.text, at + pattern.text.size(), cs))
            found(Match{at, pattern.text.size()}, nullptr);
        return std::nullopt;
    }
    const QRegularExpression expression = expressionFor(pattern);
    if (!expression.isValid())
        return u"正規表現が正しくありません（%1 文字目）: %2"_s
            .arg(expression.patternErrorOffset() + 1)
            .arg(expression.errorString());
    const QString lines = withLineFeeds(text);
    qsizetype from = 0;
    while (from <= lines.size()) {
        const QRegularExpressionMatch match = expression.match(lines, from);
        if (!match.hasMatch())
            break;
        const qsizetype start = match.capturedStart();
        const qsizetype length = match.capturedLength();
        // An empty match ("^", "a*") is nothing to find or replace.
        if (length > 0)
            found(Match{start, length}, &match);
        from = start + qMax<qsizetype>(length, 1);
    }
    return std::nullopt;
}

}  // namespace

std::variant<QList<Match>, QString> findAll(QStringView text, const SearchPattern &pattern)
{
    QList<Match> matches;
    if (std::optional<QString> error =
            scan(text, pattern, [&](const Match &match, auto) { matches.append(match); }))
        return *error;
    return matches;
}

QList<Replacement> replaceAll(QStringView text, const SearchPattern &pattern,
                              const QString &replacement)
{
    QList<Replacement> out;
    const std::optional<QString> error =
        scan(text, pattern, [&](const Match &match, const QRegularExpressionMatch *captures) {
            out.append({match, captures ? expanded(*captures, replacement) : replacement});
        });
    return error ? QList<Replacement>() : out;
}

}  // namespace source
