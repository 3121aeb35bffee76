#include "source/pagepatch.h"

#include <QSet>
#include <algorithm>

#include "source/htmlvocabulary.h"
#include "source/pagemap.h"

using namespace Qt::StringLiterals;

namespace source {

namespace {

using Kind = PageToken::Kind;
using html::isRawText;
using html::isSpace;
using html::isVoid;
using html::lowered;

// Elements whose place the tree builder decides from what is open around them, or that change
// more than their own place: never parsed apart from the whole page.
std::optional<Reload> refused(const QString &name)
{
    static const QSet<QString> kHead{u"html"_s, u"head"_s,     u"body"_s, u"base"_s,
                                     u"meta"_s, u"frameset"_s, u"frame"_s};
    static const QSet<QString> kPlaced{u"form"_s,  u"template"_s, u"plaintext"_s,
                                       u"image"_s, u"isindex"_s,  u"nobr"_s};
    if (name == u"script")
        return Reload::Script;
    if (kHead.contains(name))
        return Reload::Head;
    if (html::isTablePart(name) || html::isSelectPart(name) || kPlaced.contains(name))
        return Reload::Element;
    return std::nullopt;
}

// Reads the page's tokens one at a time, as a browser's tokenizer does, skipping text.
class Reader {
public:
    Reader(QStringView text, qsizetype from, quint8 foreign, quint16 formatting = 0)
        : m_text(text), m_pos(from), m_foreign(foreign), m_formatting(formatting, QString())
    {
    }
    enum class Step { Token, Done, Open };
    quint8 foreign() const { return m_foreign; }

    Step next(PageToken &token)
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
            if (end < 0)
                return Step::Open;
            if (end == 0) {
                m_pos = at + 1;
                continue;
            }
            token.start = at;
            token.end = end;
            m_pos = end;
            if (token.kind == Kind::Start && m_foreign == 0 && isRawText(token.name)) {
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

private:
    // The end tag of the text element open: the first "</name" that a space, "/" or ">" ends.
    Step rawEnd(PageToken &token)
    {
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
            if (ended &&
                m_text.sliced(at + 2, m_raw.size()).compare(m_raw, Qt::CaseInsensitive) == 0) {
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
    qsizetype read(qsizetype at, PageToken &token)
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
            if (at + 2 >= n)
                return -1;
            if (html::isAsciiLetter(t[at + 2]))
                return tag(at + 2, Kind::End, token);
            token.kind = Kind::Other;
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

    qsizetype bogus(qsizetype from) const
    {
        const qsizetype close = m_text.indexOf(u'>', from);
        return close < 0 ? -1 : close + 1;
    }

    qsizetype comment(qsizetype from, PageToken &token) const
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

    // A start or end tag from its name's first letter: its name, attributes and end.
    qsizetype tag(qsizetype from, Kind kind, PageToken &token) const
    {
        const QStringView t = m_text;
        const qsizetype n = t.size();
        token.kind = kind;
        qsizetype i = from;
        while (i < n && !isSpace(t[i]) && t[i] != u'/' && t[i] != u'>')
            ++i;
        token.name = lowered(t.sliced(from, i - from));
        for (;;) {
            while (i < n && isSpace(t[i]))
                ++i;
            if (i >= n)
                return -1;
            if (t[i] == u'>')
                return i + 1;
            if (t[i] == u'/') {
                if (i + 1 < n && t[i + 1] == u'>') {
                    token.selfClosing = true;
                    return i + 2;
                }
                ++i;
                continue;
            }
            const qsizetype name = i++;
            while (i < n && !isSpace(t[i]) && t[i] != u'/' && t[i] != u'>' && t[i] != u'=')
                ++i;
            if (kind == Kind::Start && i - name > 2 &&
                t.sliced(name, 2).compare(u"on", Qt::CaseInsensitive) == 0)
                token.handler = true;
            while (i < n && isSpace(t[i]))
                ++i;
            if (i >= n || t[i] != u'=')
                continue;
            ++i;
            while (i < n && isSpace(t[i]))
                ++i;
            if (i >= n)
                return -1;
            if (t[i] == u'"' || t[i] == u'\'') {
                const qsizetype close = t.indexOf(t[i], i + 1);
                if (close < 0)
                    return -1;
                i = close + 1;
            } else {
                while (i < n && !isSpace(t[i]) && t[i] != u'>')
                    ++i;
            }
        }
    }

    // Which formatting elements are open after the token, as the parser keeps them to make
    // them anew after a block closed them.
    void format(PageToken &token)
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

    QStringView m_text;
    qsizetype m_pos;
    quint8 m_foreign;
    QStringList m_formatting;  // names, or empty for those open before the text read
    QString m_raw;             // the text element whose end tag is due
};

// The source as the page reads it: a browser takes CR LF and CR alone for LF.
QString asRead(QStringView text)
{
    QString read = text.toString();
    read.replace(u"\r\n"_s, u"\n"_s);
    read.replace(u'\r', u'\n');
    return read;
}

qsizetype firstEndingAfter(const QList<PageToken> &tokens, qsizetype position)
{
    return std::partition_point(tokens.cbegin(), tokens.cend(),
                                [&](const PageToken &t) { return t.end <= position; }) -
           tokens.cbegin();
}

qsizetype firstStartingFrom(const QList<PageToken> &tokens, qsizetype position)
{
    return std::partition_point(tokens.cbegin(), tokens.cend(),
                                [&](const PageToken &t) { return t.start < position; }) -
           tokens.cbegin();
}

// Whether a start tag makes an element that it closes itself.
bool closesItself(const PageToken &token, quint8 foreignBefore)
{
    return isVoid(token.name) || (token.selfClosing && foreignBefore > 0);
}

}  // namespace

const char *reloadName(Reload reason)
{
    static const char *const kNames[kReloadReasons] = {
        "not shown", "large",   "encoding",   "head", "script",
        "structure", "element", "unfinished", "same", "page"};
    return kNames[int(reason)];
}

bool readTokens(QStringView text, qsizetype from, quint8 foreign, QList<PageToken> &out)
{
    Reader reader(text, from, foreign);
    PageToken token;
    for (;;) {
        switch (reader.next(token)) {
        case Reader::Step::Token:
            out.append(std::move(token));
            break;
        case Reader::Step::Done:
            return true;
        case Reader::Step::Open:
            return false;
        }
    }
}

void PageIndex::clear()
{
    m_text.clear();
    m_tokens.clear();
    m_openAtEnd = false;
    m_ready = false;
}

void PageIndex::setText(QString text)
{
    clear();
    m_text = std::move(text);
    if (m_text.size() <= kLargest)
        m_openAtEnd = !readTokens(m_text, 0, 0, m_tokens);
}

void PageIndex::setElements(const QStringList &names)
{
    QList<StartTag> tags;
    QList<qsizetype> starts;
    for (qsizetype i = 0; i < m_tokens.size(); ++i) {
        if (m_tokens[i].kind != Kind::Start)
            continue;
        tags.append({m_tokens[i].start, m_tokens[i].name});
        starts.append(i);
    }
    const QList<int> pages = PageMap(std::move(tags), names).pageOfTags();
    for (qsizetype i = 0; i < starts.size(); ++i)
        m_tokens[starts[i]].page = pages[i];
    m_ready = true;
}

std::variant<PagePatch, Reload> PageIndex::plan(const QString &text) const
{
    if (!m_ready)
        return Reload::NotShown;
    if (text.size() > kLargest || m_text.size() > kLargest)
        return Reload::Large;
    const QString &was = m_text;
    const qsizetype n0 = was.size(), n1 = text.size(), shorter = std::min(n0, n1);
    const QList<PageToken> &tokens = m_tokens;
    const qsizetype from =
        std::mismatch(was.cbegin(), was.cbegin() + shorter, text.cbegin()).first - was.cbegin();
    if (from == n0 && n0 == n1) {
        // Asked for again, a page is shown as loaded: only its scripts may have changed it.
        const bool scripted = std::any_of(tokens.cbegin(), tokens.cend(), [](const PageToken &t) {
            return t.handler || (t.kind == Kind::Start && t.name == u"script");
        });
        if (scripted)
            return Reload::Same;
        PagePatch patch;
        patch.unchanged = true;
        patch.firstToken = patch.endToken = tokens.size();
        return patch;
    }
    // The text the two end in alike, and the part of it after the prefix: a token may be
    // both, as in "<p></p>" after "<p><i></i></p>".
    const qsizetype endsAlike =
        std::mismatch(was.crbegin(), was.crbegin() + shorter, text.crbegin()).first - was.crbegin();
    const qsizetype same = std::min(endsAlike, shorter - from);
    const qsizetype oldEnd = n0 - same, delta = n1 - n0;
    if (m_openAtEnd && (tokens.isEmpty() || from >= tokens.last().end))
        return Reload::Unfinished;

    // Back from the edit to the element before it, or to the start tag of the one it is in.
    const qsizetype touched = firstEndingAfter(tokens, from);
    if (touched > 0 && touched < tokens.size()) {
        const PageToken &open = tokens[touched - 1], &close = tokens[touched];
        if (open.kind == Kind::Start && open.foreign == 0 && isRawText(open.name) &&
            close.kind == Kind::End && close.start >= oldEnd)
            return planStyle(text, touched - 1, delta);
    }
    PagePatch patch;
    qsizetype j = touched - 1;
    for (; j >= 0; --j) {
        const PageToken &t = tokens[j];
        if (t.kind == Kind::Comment || t.kind == Kind::Other)
            continue;
        if (t.kind == Kind::End) {
            // The element this end tag closes: its start tag, of the same name, nested or not.
            int depth = 1;
            qsizetype k = j - 1;
            for (; k >= 0; --k) {
                if (tokens[k].name != t.name || tokens[k].kind == Kind::Comment)
                    continue;
                depth += tokens[k].kind == Kind::End ? 1 : -1;
                if (depth == 0)
                    break;
            }
            if (k < 0 || tokens[k].kind != Kind::Start)
                return Reload::Structure;
            patch.before = tokens[k].page;
            patch.beforeName = t.name;
        } else if (closesItself(t, j > 0 ? tokens[j - 1].foreign : 0)) {
            patch.before = t.page;
            patch.beforeName = t.name;
        } else {
            if (t.name == u"html" || t.name == u"head")
                return Reload::Head;
            patch.parent = t.page;
            patch.parentName = t.name;
        }
        if (patch.before < 0 && patch.parent < 0)
            return Reload::Structure;
        break;
    }
    if (j < 0)
        return Reload::Head;
    const qsizetype sliceStart = tokens[j].end;
    patch.from = sliceStart;
    patch.firstToken = j + 1;

    // On through the new text until its tokens are the old ones again, then to the element
    // after the edit, or the end of the one it is in.
    Reader reader(text, sliceStart, tokens[j].foreign, tokens[j].formatting);
    patch.formatting = tokens[j].formatting;
    QStringList open;
    quint8 foreignBefore = tokens[j].foreign;
    // False for an end tag of an element the slice did not open.
    const auto nest = [&](const PageToken &t) {
        const quint8 before = std::exchange(foreignBefore, t.foreign);
        if (t.kind == Kind::Start && !closesItself(t, before))
            open.append(t.name);
        if (t.kind != Kind::End)
            return true;
        if (open.isEmpty() || open.last() != t.name)
            return false;
        open.removeLast();
        return true;
    };
    qsizetype resumed = -1;
    for (;;) {
        PageToken t;
        const Reader::Step step = reader.next(t);
        if (step == Reader::Step::Open)
            return Reload::Unfinished;
        // Where the two texts are alike to their ends and the old one has a token starting at
        // the same place, with nothing of an old token over it, the old tokens from there on
        // are the new ones.
        const qsizetype at = step == Reader::Step::Done ? n1 : t.start;
        if (n1 - at <= endsAlike && at - delta >= sliceStart) {
            const qsizetype k = firstStartingFrom(tokens, at - delta);
            if ((k == tokens.size() || tokens[k].start == at - delta) &&
                (k == 0 || tokens[k - 1].end <= at - delta) &&
                (k > 0 ? tokens[k - 1].foreign : 0) == foreignBefore) {
                resumed = k;
                break;
            }
        }
        if (step == Reader::Step::Done || !nest(t))
            return Reload::Structure;
        patch.tokens.append(std::move(t));
    }
    qsizetype k = resumed;
    for (; k < tokens.size(); ++k) {
        const PageToken &t = tokens[k];
        if (t.kind == Kind::Comment || t.kind == Kind::Other) {
        } else if (open.isEmpty() && t.kind == Kind::Start) {
            patch.after = t.page;
            patch.afterName = t.name;
            if (patch.after < 0)
                return Reload::Structure;
            break;
        } else if (open.isEmpty()) {
            break;  // the end tag of the element the slice is in, or of one that closes it
        } else if (!nest(t)) {
            return Reload::Structure;
        }
        PageToken moved = t;
        moved.start += delta;
        moved.end += delta;
        patch.tokens.append(std::move(moved));
    }
    if (!open.isEmpty())
        return Reload::Structure;
    patch.endToken = k;
    const qsizetype sliceEnd = k < tokens.size() ? tokens[k].start : n0;
    patch.oldEnd = sliceEnd;
    patch.newEnd = sliceEnd + delta;

    // The body's end: what follows it in the file that is white space goes into the body too.
    if (k < tokens.size() && tokens[k].kind == Kind::End &&
        (tokens[k].name == u"body" || tokens[k].name == u"html")) {
        qsizetype at = sliceEnd;
        for (qsizetype m = k; m < tokens.size(); ++m) {
            const PageToken &t = tokens[m];
            const bool closing = t.kind == Kind::End && (t.name == u"body" || t.name == u"html");
            const QStringView between = QStringView(was).sliced(at, t.start - at);
            if (!closing || !std::all_of(between.cbegin(), between.cend(), isSpace))
                return Reload::Head;
            patch.tail += between.toString();
            at = t.end;
        }
        const QStringView rest = QStringView(was).sliced(at);
        if (!std::all_of(rest.cbegin(), rest.cend(), isSpace))
            return Reload::Head;
        patch.tail = asRead(patch.tail + rest.toString());
        patch.toBodyEnd = true;
    }

    // What the old slice had and the new one has. The old one closed what it opened, and no
    // more: an end tag taken out may close an element elsewhere now.
    foreignBefore = tokens[j].foreign;
    for (qsizetype m = patch.firstToken; m < k; ++m) {
        if (tokens[m].handler || tokens[m].name == u"script")
            return Reload::Script;
        if (!nest(tokens[m]))
            return Reload::Structure;
    }
    if (!open.isEmpty())
        return Reload::Structure;
    QSet<QString> names;
    for (const PageToken &t : std::as_const(patch.tokens)) {
        if (t.handler)
            return Reload::Script;
        if (t.kind != Kind::Start)
            continue;
        if (const std::optional<Reload> reason = refused(t.name))
            return *reason;
        names.insert(t.name);
    }
    patch.names = QStringList(names.cbegin(), names.cend());
    patch.names.sort();
    patch.old = asRead(QStringView(was).sliced(sliceStart, sliceEnd - sliceStart));
    patch.now = asRead(QStringView(text).sliced(sliceStart, patch.newEnd - sliceStart));
    return patch;
}

std::variant<PagePatch, Reload> PageIndex::planStyle(const QString &text, qsizetype token,
                                                     qsizetype delta) const
{
    const PageToken &open = m_tokens[token], &close = m_tokens[token + 1];
    if (open.name == u"script")
        return Reload::Script;
    if (open.name != u"style")
        return open.name == u"title" ? Reload::Head : Reload::Element;
    PagePatch patch;
    patch.style = true;
    patch.parent = open.page;
    patch.parentName = open.name;
    if (patch.parent < 0)
        return Reload::Structure;
    patch.from = open.end;
    patch.oldEnd = close.start;
    patch.newEnd = close.start + delta;
    patch.firstToken = patch.endToken = token + 1;
    // The new text must end where the old did: at this end tag.
    Reader reader(text, open.start, 0);
    PageToken t;
    if (reader.next(t) != Reader::Step::Token || reader.next(t) != Reader::Step::Token ||
        t.start != patch.newEnd)
        return Reload::Unfinished;
    patch.old = asRead(QStringView(m_text).sliced(patch.from, patch.oldEnd - patch.from));
    patch.now = asRead(QStringView(text).sliced(patch.from, patch.newEnd - patch.from));
    return patch;
}

void PageIndex::applied(PagePatch patch, const QString &text, int first, int removed,
                        const QStringList &added)
{
    const qsizetype delta = text.size() - m_text.size();
    m_text = text;
    QStringList made;
    for (const PageToken &t : std::as_const(patch.tokens))
        if (t.kind == Kind::Start)
            made.append(t.name);
    // Each start tag of the slice made the element of its name, in order, or the page made
    // otherwise and those are not known.
    const bool known = made == added;
    int next = first;
    for (PageToken &t : patch.tokens)
        if (t.kind == Kind::Start)
            t.page = known ? next++ : -1;
    const int shift = int(added.size()) - removed;
    const auto moved = [&](PageToken &t) {
        if (t.page >= first + removed)
            t.page += shift;
        else if (t.page >= first && first >= 0)
            t.page = -1;
    };
    for (qsizetype i = 0; i < patch.firstToken; ++i)
        moved(m_tokens[i]);
    for (qsizetype i = patch.endToken; i < m_tokens.size(); ++i) {
        moved(m_tokens[i]);
        m_tokens[i].start += delta;
        m_tokens[i].end += delta;
    }
    m_tokens.remove(patch.firstToken, patch.endToken - patch.firstToken);
    m_tokens.insert(patch.firstToken, patch.tokens.size(), PageToken());
    std::move(patch.tokens.begin(), patch.tokens.end(), m_tokens.begin() + patch.firstToken);
}

}  // namespace source
