#include "source/stylesheetrules.h"

#include <QVarLengthArray>
#include <algorithm>

namespace source {

namespace {

bool isNewline(QChar c)
{
    return c == u'\n' || c == u'\r' || c == u'\f';
}

bool isWhitespace(QChar c)
{
    return c == u' ' || c == u'\t' || isNewline(c);
}

bool isNameChar(QChar c)
{
    const char16_t u = c.unicode();
    return u >= 0x80 || (u >= u'a' && u <= u'z') || (u >= u'A' && u <= u'Z') ||
           (u >= u'0' && u <= u'9') || u == u'-' || u == u'_';
}

int hexValue(QChar c)
{
    const char16_t u = c.unicode();
    return u >= u'0' && u <= u'9'   ? u - u'0'
           : u >= u'a' && u <= u'f' ? u - u'a' + 10
           : u >= u'A' && u <= u'F' ? u - u'A' + 10
                                    : -1;
}

char32_t lower(char32_t code)
{
    return code >= U'A' && code <= U'Z' ? code + 32 : code;
}

// A backslash that escapes what follows: not one before a line break or the end.
bool isEscape(QStringView text, qsizetype at)
{
    return at + 1 < text.size() && text[at] == u'\\' && !isNewline(text[at + 1]);
}

// Past the escape at at; its character's code, lower-cased when ASCII.
qsizetype skipEscape(QStringView text, qsizetype at, char32_t *code)
{
    qsizetype i = at + 1;
    if (hexValue(text[i]) < 0) {
        *code = lower(text[i].unicode());
        return i + 1;
    }
    char32_t value = 0;
    for (int n = 0; n < 6 && i < text.size() && hexValue(text[i]) >= 0; ++n, ++i)
        value = value * 16 + char32_t(hexValue(text[i]));
    if (i < text.size() && isWhitespace(text[i]))
        i += text.mid(i, 2) == u"\r\n" ? 2 : 1;
    *code = lower(value);
    return i;
}

// Past the run of name characters and escapes at at; whether the run is the word url.
qsizetype skipName(QStringView text, qsizetype at, bool *isUrl)
{
    static constexpr char16_t kUrl[] = u"url";
    qsizetype i = at;
    int matched = 0;
    bool url = true;
    while (i < text.size()) {
        char32_t code = 0;
        if (isEscape(text, i))
            i = skipEscape(text, i, &code);
        else if (isNameChar(text[i]))
            code = lower(text[i++].unicode());
        else
            break;
        url = url && matched < 3 && code == kUrl[matched];
        ++matched;
    }
    *isUrl = url && matched == 3;
    return i;
}

// Past a string whose quote is at at: to its closing quote, or before a line break, which ends
// it unclosed.
qsizetype skipString(QStringView text, qsizetype at)
{
    const QChar quote = text[at];
    qsizetype i = at + 1;
    while (i < text.size()) {
        const QChar c = text[i];
        if (c == quote)
            return i + 1;
        if (isNewline(c))
            return i;
        // A backslash before CR LF escapes both.
        i += c != u'\\' ? 1 : text.mid(i + 1, 2) == u"\r\n" ? 3 : 2;
    }
    return text.size();
}

qsizetype skipComment(QStringView text, qsizetype at)
{
    const qsizetype end = text.indexOf(u"*/", at + 2);
    return end < 0 ? text.size() : end + 2;
}

}  // namespace

namespace {

// The end of the rule that starts at start, and where its block's content begins (-1 for none);
// whether its block or ';' ends it, rather than the end of the text.
struct RuleEnd {
    qsizetype end = 0;
    qsizetype content = -1;
    bool closed = false;
};
RuleEnd ruleEnd(QStringView text, qsizetype start)
{
    QVarLengthArray<char16_t, 16> open;  // the closing bracket each open block waits for
    const bool atRule = text[start] == u'@';
    RuleEnd rule;
    qsizetype i = start;
    while (i < text.size()) {
        const QChar c = text[i];
        if (c == u'/' && i + 1 < text.size() && text[i + 1] == u'*') {
            i = skipComment(text, i);
        } else if (c == u'"' || c == u'\'') {
            i = skipString(text, i);
        } else if (c == u'@' || c == u'#') {
            bool isUrl = false;
            i = skipName(text, i + 1, &isUrl);
        } else if (isEscape(text, i) || isNameChar(c)) {
            bool isUrl = false;
            i = skipName(text, i, &isUrl);
            if (i < text.size() && text[i] == u'(') {
                ++i;
                qsizetype j = i;
                while (j < text.size() && isWhitespace(text[j]))
                    ++j;
                if (!isUrl || (j < text.size() && (text[j] == u'"' || text[j] == u'\''))) {
                    open.append(u')');
                } else {
                    // An unquoted url( holds brackets and quotes as its own characters.
                    while (j < text.size() && text[j] != u')')
                        j += isEscape(text, j) ? 2 : 1;
                    i = std::min(j + 1, text.size());
                }
            }
        } else if (c == u'{' || c == u'(' || c == u'[') {
            if (c == u'{' && open.isEmpty())
                rule.content = i + 1;
            open.append(c == u'{' ? u'}' : c == u'(' ? u')' : u']');
            ++i;
        } else if (!open.isEmpty() && c == open.back()) {
            open.removeLast();
            ++i;
            if (open.isEmpty() && c == u'}')
                return {i, rule.content, true};
        } else if (c == u';' && open.isEmpty() && atRule) {
            return {i + 1, -1, true};
        } else {
            ++i;
        }
    }
    return {text.size(), rule.content, false};
}

}  // namespace

namespace {

// Past what lies between rules at at.
qsizetype skipBetween(QStringView text, qsizetype at)
{
    qsizetype i = at;
    while (i < text.size()) {
        if (text.mid(i, 2) == u"/*")
            i = skipComment(text, i);
        else if (isWhitespace(text[i]))
            ++i;
        else if (text.mid(i, 4) == u"<!--")
            i += 4;
        else if (text.mid(i, 3) == u"-->")
            i += 3;
        else
            break;
    }
    return i;
}

}  // namespace

QList<QStringView> stylesheetRules(QStringView text)
{
    QList<QStringView> rules;
    for (qsizetype i = skipBetween(text, 0); i < text.size();) {
        const qsizetype end = ruleEnd(text, i).end;
        rules.append(text.mid(i, end - i));
        i = skipBetween(text, end);
    }
    return rules;
}

SheetRules stylesheetRules(const SheetRules &before, QString text)
{
    SheetRules after{std::move(text), {}};
    const QStringView old = before.text, now = after.text;
    const qsizetype most = std::min(old.size(), now.size());
    qsizetype same = 0;
    while (same < most && old[same] == now[same])
        ++same;
    qsizetype sameAtEnd = 0;
    while (sameAtEnd < most - same &&
           old[old.size() - 1 - sameAtEnd] == now[now.size() - 1 - sameAtEnd])
        ++sameAtEnd;
    const qsizetype moved = now.size() - old.size();
    const auto endOf = [&](QStringView rule) { return rule.data() + rule.size() - old.data(); };
    // The rules that end before the first change are read as they were.
    qsizetype kept = 0;
    while (kept < before.rules.size() && endOf(before.rules[kept]) < same)
        ++kept;
    qsizetype i = kept ? endOf(before.rules[kept - 1]) : 0;
    for (qsizetype k = 0; k < kept; ++k)
        after.rules.append(now.mid(before.rules[k].data() - old.data(), before.rules[k].size()));
    for (i = skipBetween(now, i); i < now.size();) {
        const qsizetype end = ruleEnd(now, i).end;
        after.rules.append(now.mid(i, end - i));
        // Past the change, a rule that ends where one ended before: the rest reads as it did.
        if (end >= now.size() - sameAtEnd && end > same) {
            const auto found =
                std::lower_bound(before.rules.cbegin() + kept, before.rules.cend(), end - moved,
                                 [&](QStringView rule, qsizetype at) { return endOf(rule) < at; });
            if (found != before.rules.cend() && endOf(*found) == end - moved) {
                for (auto rest = found + 1; rest != before.rules.cend(); ++rest)
                    after.rules.append(now.mid(rest->data() - old.data() + moved, rest->size()));
                return after;
            }
        }
        i = skipBetween(now, end);
    }
    return after;
}

std::optional<QStringView> declarationsOf(QStringView rule)
{
    if (rule.isEmpty() || rule[0] == u'@')
        return std::nullopt;
    const RuleEnd end = ruleEnd(rule, 0);
    if (!end.closed || end.end != rule.size() || end.content < 0)
        return std::nullopt;
    return rule.mid(end.content, end.end - 1 - end.content);
}

RuleChange ruleChange(const QList<QStringView> &before, const QList<QStringView> &after)
{
    const qsizetype most = std::min(before.size(), after.size());
    qsizetype first = 0;
    while (first < most && before[first] == after[first])
        ++first;
    qsizetype last = 0;
    while (last < most - first &&
           before[before.size() - 1 - last] == after[after.size() - 1 - last])
        ++last;
    RuleChange change{first, before.size() - first - last, {}};
    for (qsizetype i = first; i < after.size() - last; ++i)
        change.inserted.append(after[i].toString());
    return change;
}

}  // namespace source
