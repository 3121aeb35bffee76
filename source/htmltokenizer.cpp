#include "source/htmltokenizer.h"

#include <algorithm>

namespace source {

namespace {

using Kind = PageToken::Kind;
using html::isSpace;
using html::lowered;

}  // namespace

Tokenizer::Tokenizer(QStringView text, qsizetype from, quint8 foreign, quint16 formatting,
                     html::Scripting scripting)
    : m_text(text),
      m_pos(from),
      m_foreign(foreign),
      m_scripting(scripting),
      m_formatting(formatting, QString())
{
}

Tokenizer::Step Tokenizer::next(PageToken &token)
{
    if (!m_raw.isEmpty())
        return rawEnd(token);
    for (;;) {
        const qsizetype at = m_text.indexOf(u'<', m_pos);
        if (at < 0) {
            m_pos = m_text.size();
            return Step::Done;
        }
        const qsizetype end = read(at, token);
        if (end < 0) {
            m_openAt = at;
            m_openKind = token.kind;
            return Step::Open;
        }
        if (end == 0) {
            m_pos = at + 1;
            continue;
        }
        token.start = at;
        token.end = end;
        m_pos = end;
        if (token.kind == Kind::Start && m_foreign == 0 &&
            html::isRawText(token.name, m_scripting)) {
            m_raw = token.name;
        } else if ((token.name == u"svg" || token.name == u"math") && !token.selfClosing) {
            if (token.kind == Kind::Start && m_foreign < 255)
                ++m_foreign;
            else if (token.kind == Kind::End && m_foreign > 0)
                --m_foreign;
        }
        format(token);
        return Step::Token;
    }
}

// The end tag of the text element open: the first "</name" that a space, "/" or ">" ends.
Tokenizer::Step Tokenizer::rawEnd(PageToken &token)
{
    m_openAt = m_pos;
    m_openKind = Kind::Other;
    if (m_raw == u"plaintext")
        return Step::Open;
    qsizetype from = m_pos;
    for (;;) {
        const qsizetype at = m_text.indexOf(u"</", from);
        if (at < 0)
            return Step::Open;
        const qsizetype after = at + 2 + m_raw.size();
        const bool ended =
            after < m_text.size() &&
            (isSpace(m_text[after]) || m_text[after] == u'/' || m_text[after] == u'>');
        if (ended && m_text.sliced(at + 2, m_raw.size()).compare(m_raw, Qt::CaseInsensitive) == 0) {
            const qsizetype end = read(at, token);
            if (end <= 0)
                return Step::Open;
            token.start = at;
            token.end = end;
            format(token);
            m_pos = end;
            m_raw.clear();
            return Step::Token;
        }
        from = at + 2;
    }
}

// The token whose "<" is at at: its end, 0 when the "<" is text, -1 when the text ends in it.
qsizetype Tokenizer::read(qsizetype at, PageToken &token)
{
    const QStringView t = m_text;
    const qsizetype n = t.size();
    token = PageToken();
    if (at + 1 >= n)
        return 0;
    const QChar c = t[at + 1];
    if (html::isAsciiLetter(c))
        return tag(at + 1, Kind::Start, token);
    if (c == u'/') {
        token.kind = Kind::Other;
        if (at + 2 >= n)
            return -1;
        if (html::isAsciiLetter(t[at + 2]))
            return tag(at + 2, Kind::End, token);
        if (t[at + 2] == u'>')
            return at + 3;
        return bogus(at + 2);
    }
    if (c == u'!') {
        if (t.sliced(at).startsWith(u"<!--"))
            return comment(at + 4, token);
        token.kind = Kind::Other;
        if (m_foreign > 0 && t.sliced(at).startsWith(u"<![CDATA[")) {
            const qsizetype close = t.indexOf(u"]]>", at + 9);
            return close < 0 ? -1 : close + 3;
        }
        return bogus(at + 2);
    }
    if (c == u'?') {
        token.kind = Kind::Comment;
        return bogus(at + 2);
    }
    return 0;
}

qsizetype Tokenizer::bogus(qsizetype from) const
{
    const qsizetype close = m_text.indexOf(u'>', from);
    return close < 0 ? -1 : close + 1;
}

qsizetype Tokenizer::comment(qsizetype from, PageToken &token) const
{
    token.kind = Kind::Comment;
    const QStringView t = m_text;
    if (t.sliced(from).startsWith(u'>'))
        return from + 1;
    if (t.sliced(from).startsWith(u"->"))
        return from + 2;
    for (qsizetype at = from;;) {
        const qsizetype dashes = t.indexOf(u"--", at);
        if (dashes < 0)
            return -1;
        const QStringView rest = t.sliced(dashes + 2);
        if (rest.startsWith(u'>'))
            return dashes + 3;
        if (rest.startsWith(u"!>"))
            return dashes + 4;
        at = dashes + 1;
    }
}

// A start or end tag from its name's first letter: its name, attributes and end. Where the text
// ends first, how far it was read is kept.
qsizetype Tokenizer::tag(qsizetype from, Kind kind, PageToken &token)
{
    using State = OpenTag::State;
    const QStringView t = m_text;
    const qsizetype n = t.size();
    token.kind = kind;
    m_tag = OpenTag();
    m_tag.name = from;
    const auto left = [&](State state) {
        m_tag.state = state;
        m_tag.element = token.name;
        return qsizetype(-1);
    };
    qsizetype i = from;
    while (i < n && !isSpace(t[i]) && t[i] != u'/' && t[i] != u'>')
        ++i;
    if (i >= n)
        return left(State::Name);
    token.name = lowered(t.sliced(from, i - from));
    for (State after = State::BeforeAttribute;;) {
        while (i < n && isSpace(t[i]))
            ++i;
        if (i >= n)
            return left(after);
        if (t[i] == u'>')
            return i + 1;
        if (t[i] == u'/') {
            if (i + 1 < n && t[i + 1] == u'>') {
                token.selfClosing = true;
                return i + 2;
            }
            ++i;
            after = State::BeforeAttribute;
            continue;
        }
        const qsizetype name = i++;
        while (i < n && !isSpace(t[i]) && t[i] != u'/' && t[i] != u'>' && t[i] != u'=')
            ++i;
        m_tag.attributeStart = name;
        m_tag.attribute = lowered(t.sliced(name, i - name));
        if (i >= n)
            return left(State::Attribute);
        if (kind == Kind::Start && i - name > 2 &&
            t.sliced(name, 2).compare(u"on", Qt::CaseInsensitive) == 0)
            token.handler = true;
        const bool spaced = isSpace(t[i]);
        while (i < n && isSpace(t[i]))
            ++i;
        after = spaced ? State::AfterAttribute : State::BeforeAttribute;
        if (i >= n || t[i] != u'=')
            continue;
        ++i;
        while (i < n && isSpace(t[i]))
            ++i;
        if (i >= n)
            return left(State::BeforeValue);
        m_tag.quote = t[i] == u'"' || t[i] == u'\'' ? t[i] : QChar();
        m_tag.valueStart = m_tag.quote.isNull() ? i : i + 1;
        if (!m_tag.quote.isNull()) {
            const qsizetype close = t.indexOf(t[i], i + 1);
            if (close < 0)
                return left(State::Value);
            i = close + 1;
        } else {
            while (i < n && !isSpace(t[i]) && t[i] != u'>')
                ++i;
            if (i >= n)
                return left(State::Value);
        }
        after = State::BeforeAttribute;
    }
}

// Which formatting elements are open after the token, as the parser keeps them to make them
// anew after a block closed them.
QStringList openFormatting(const QList<PageToken> &tokens, qsizetype end)
{
    QStringList open;
    for (qsizetype i = 0; i < end; ++i) {
        const PageToken &t = tokens[i];
        if (t.foreign != 0 || !html::isFormatting(t.name))
            continue;
        if (t.kind == PageToken::Kind::Start)
            open.append(t.name);
        else if (t.kind == PageToken::Kind::End && open.lastIndexOf(t.name) >= 0)
            open.remove(open.lastIndexOf(t.name));
    }
    return open;
}

void Tokenizer::format(PageToken &token)
{
    token.foreign = m_foreign;
    if (m_foreign == 0 && html::isFormatting(token.name)) {
        if (token.kind == Kind::Start) {
            m_formatting.append(token.name);
        } else if (token.kind == Kind::End) {
            const qsizetype open = m_formatting.lastIndexOf(token.name);
            if (open >= 0)
                m_formatting.remove(open);
        }
    }
    token.formatting = quint16(std::min<qsizetype>(m_formatting.size(), 65535));
}

bool readTokens(QStringView text, qsizetype from, quint8 foreign, QList<PageToken> &out,
                html::Scripting scripting)
{
    Tokenizer tokenizer(text, from, foreign, 0, scripting);
    PageToken token;
    for (;;) {
        switch (tokenizer.next(token)) {
        case Tokenizer::Step::Token:
            out.append(std::move(token));
            break;
        case Tokenizer::Step::Done:
            return true;
        case Tokenizer::Step::Open:
            return false;
        }
    }
}

std::optional<QString> elementToClose(QStringView text)
{
    Tokenizer tokenizer(text, 0, 0);
    PageToken t;
    QStringList open, written;
    quint8 foreignBefore = 0;
    Tokenizer::Step step;
    while ((step = tokenizer.next(t)) == Tokenizer::Step::Token) {
        if (t.kind == Kind::Start) {
            if (foreignBefore == 0) {
                const qsizetype closed = html::closedBy(t.name, open);
                open.resize(open.size() - closed);
                written.resize(open.size());
            }
            if (!html::isVoid(t.name) && !(t.selfClosing && foreignBefore > 0)) {
                open.append(t.name);
                written.append(text.sliced(t.start + 1, t.name.size()).toString());
            }
        } else if (t.kind == Kind::End) {
            const qsizetype k = open.lastIndexOf(t.name);
            if (k >= 0) {
                open.resize(k);
                written.resize(k);
            }
        }
        foreignBefore = t.foreign;
    }
    if (step == Tokenizer::Step::Open || written.isEmpty())
        return std::nullopt;
    return written.last();
}

std::optional<QString> startTagEnded(QStringView text)
{
    if (!text.endsWith(u'>'))
        return std::nullopt;
    Tokenizer tokenizer(text, 0, 0);
    PageToken t, last;
    Tokenizer::Step step;
    while ((step = tokenizer.next(t)) == Tokenizer::Step::Token)
        last = t;
    // A script's or style's start tag leaves its text open, with nothing in it yet.
    const bool ended = step == Tokenizer::Step::Done ||
                       (!tokenizer.rawText().isEmpty() && tokenizer.openAt() == text.size());
    if (!ended || last.kind != Kind::Start || last.end != text.size() || last.selfClosing ||
        html::isVoid(last.name))
        return std::nullopt;
    return text.sliced(last.start + 1, last.name.size()).toString();
}

}  // namespace source
