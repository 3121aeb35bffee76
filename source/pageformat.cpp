#include "source/pageformat.h"

#include "source/htmltokenizer.h"
#include "source/htmlvocabulary.h"

using namespace Qt::StringLiterals;

namespace source {

namespace {

using Kind = PageToken::Kind;

const QString kIndent = u"  "_s;

// A tag that stands on a line of its own: a block's, a comment, a doctype.
bool standsAlone(const PageToken &token)
{
    return token.kind == Kind::Comment || token.kind == Kind::Other ||
           (token.foreign == 0 && html::isBlock(token.name));
}

bool isBlank(QStringView text)
{
    for (const QChar c : text)
        if (!html::isSpace(c))
            return false;
    return true;
}

qsizetype indentationOf(QStringView line)
{
    qsizetype n = 0;
    while (n < line.size() && (line[n] == u' ' || line[n] == u'\t'))
        ++n;
    return n;
}

// A script's or style's lines given the indentation of its element's content, each keeping what
// it had beyond the least of them; the line of its end tag, that of the element. Nothing where a
// line may be within a token that holds line ends (a template string, an escaped line end).
std::optional<QString> indentBody(QStringView body, const QString &inner, const QString &outer)
{
    if (!body.contains(u'\n') || body.contains(u'`') || body.contains(u"\\\n"))
        return std::nullopt;
    const QList<QStringView> lines = body.split(u'\n');
    qsizetype least = -1;
    for (qsizetype i = 1; i < lines.size(); ++i)
        if (!isBlank(lines[i]))
            least = least < 0 ? indentationOf(lines[i]) : std::min(least, indentationOf(lines[i]));
    QString out = lines[0].toString();
    for (qsizetype i = 1; i < lines.size(); ++i) {
        out += u'\n';
        if (i == lines.size() - 1 && isBlank(lines[i]))
            out += outer;
        else if (!isBlank(lines[i]))
            out += inner + lines[i].mid(least).toString();
    }
    return out;
}

}  // namespace

std::optional<QString> formatPage(QStringView text, QString *failure)
{
    (void)failure;
    const QString base = text.left(indentationOf(text)).toString();
    QList<PageToken> tokens;
    readTokens(text, 0, 0, tokens);
    QString out;
    out.reserve(text.size() + text.size() / 4);
    QStringList open;                // the elements open, innermost last
    qsizetype blocks = 0, kept = 0;  // of them, blocks, and those whose text is kept (pre)
    const auto depthIndent = [&](qsizetype depth) { return base + kIndent.repeated(depth); };
    const auto close = [&](qsizetype count) {
        for (qsizetype i = 0; i < count; ++i) {
            const QString &name = open.last();
            blocks -= html::isBlock(name);
            kept -= name == u"pre"_s || name == u"listing"_s;
            open.removeLast();
        }
    };
    qsizetype at = 0;
    const PageToken *before = nullptr;
    for (const PageToken &token : std::as_const(tokens)) {
        const QStringView between = text.sliced(at, token.start - at);
        const bool endsRaw = before && before->kind == Kind::Start && token.kind == Kind::End &&
                             before->name == token.name && html::isRawText(token.name);
        if (token.kind == Kind::End && token.foreign == 0 && open.contains(token.name) && !endsRaw)
            close(open.size() - open.lastIndexOf(token.name));
        if (endsRaw) {
            const std::optional<QString> body =
                token.name == u"script"_s || token.name == u"style"_s
                    ? indentBody(between, depthIndent(blocks), depthIndent(blocks - 1))
                    : std::nullopt;
            out += body.value_or(between.toString());
            close(1);
        } else if (before && kept == 0 && isBlank(between) &&
                   ((standsAlone(*before) && standsAlone(token)) ||
                    ((standsAlone(*before) || standsAlone(token)) && between.contains(u'\n')))) {
            // A blank line between blocks stays one.
            out += (between.count(u'\n') > 1 ? u"\n\n"_s : u"\n"_s) + depthIndent(blocks);
        } else {
            out += between;
        }
        out += text.sliced(token.start, token.end - token.start);
        if (token.kind == Kind::Start && token.foreign == 0) {
            close(html::closedBy(token.name, open));
            if (!html::isVoid(token.name) && !token.selfClosing) {
                open.append(token.name);
                blocks += html::isBlock(token.name);
                kept += token.name == u"pre"_s || token.name == u"listing"_s;
            }
        }
        at = token.end;
        before = &token;
    }
    const QStringView rest = text.sliced(at);
    if (before && isBlank(rest) && standsAlone(*before))
        out += rest.contains(u'\n') ? u"\n"_s : QString();
    else
        out += rest;
    return out;
}

}  // namespace source
