#include "source/pagepatch.h"

#include <QSet>
#include <algorithm>

#include "source/htmltokenizer.h"
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
std::optional<Reload> refused(const QString &name, bool ofBody)
{
    static const QSet<QString> kHead{u"html"_s, u"head"_s,     u"body"_s, u"base"_s,
                                     u"meta"_s, u"frameset"_s, u"frame"_s};
    static const QSet<QString> kPlaced{u"form"_s,  u"template"_s, u"plaintext"_s,
                                       u"image"_s, u"isindex"_s,  u"nobr"_s};
    if (name == u"script")
        return Reload::Script;
    if (kHead.contains(name))
        return Reload::Head;
    // In a slice of the body's own children, a table or select is read whole, as a load does.
    if (kPlaced.contains(name) ||
        (!ofBody && (html::isTablePart(name) || html::isSelectPart(name))))
        return Reload::Element;
    return std::nullopt;
}

// The source as the page reads it: a browser takes CR LF and CR alone for LF.
QString asRead(QStringView text)
{
    QString read = text.toString();
    read.replace(u"\r\n"_s, u"\n"_s);
    read.replace(u'\r', u'\n');
    return read;
}

// The preview file ends in a line end after the text, which the page reads into what is open.
constexpr QStringView kFileEnd = u"\n";

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
        "not shown", "large",      "encoding", "head", "script", "structure",
        "element",   "unfinished", "same",     "page", "used"};
    return kNames[int(reason)];
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
    QStringList tags;
    QList<qsizetype> starts;
    for (qsizetype i = 0; i < m_tokens.size(); ++i) {
        if (m_tokens[i].kind != Kind::Start)
            continue;
        tags.append(m_tokens[i].name);
        starts.append(i);
    }
    const QList<int> pages = matchElements(tags, names);
    for (qsizetype i = 0; i < starts.size(); ++i)
        m_tokens[starts[i]].page = pages[i];
    m_ready = true;
}

namespace {

// How two texts differ: they are alike up to from, and alike over their last endsAlike
// characters (which may reach back into the prefix).
struct Change {
    qsizetype from = 0;
    qsizetype endsAlike = 0;
    qsizetype oldEnd = 0;  // where the part of the old text that changed ends
    qsizetype delta = 0;   // the new text's length less the old one's
    qsizetype newLength = 0;
    bool wasOpenAtEnd = false;  // the old text ends in a token still open: after its last one
};

Change changeBetween(QStringView was, QStringView text)
{
    const qsizetype n0 = was.size(), n1 = text.size(), shorter = std::min(n0, n1);
    Change change;
    change.from =
        std::mismatch(was.cbegin(), was.cbegin() + shorter, text.cbegin()).first - was.cbegin();
    // A token may be both in the prefix and in the end alike, as in "<p></p>" after
    // "<p><i></i></p>".
    change.endsAlike =
        std::mismatch(was.crbegin(), was.crbegin() + shorter, text.crbegin()).first - was.crbegin();
    change.oldEnd = n0 - std::min(change.endsAlike, shorter - change.from);
    change.delta = n1 - n0;
    change.newLength = n1;
    return change;
}

// The elements a run of tokens opens and closes, as the tree builder nests them.
class Nesting {
public:
    explicit Nesting(quint8 foreign) : m_foreignBefore(foreign) {}

    // False for an end tag of an element the run did not open.
    bool take(const PageToken &t)
    {
        const quint8 before = std::exchange(m_foreignBefore, t.foreign);
        if (t.kind == Kind::Start && !closesItself(t, before))
            m_open.append(t.name);
        if (t.kind != Kind::End)
            return true;
        if (m_open.isEmpty() || m_open.last() != t.name)
            return false;
        m_open.removeLast();
        return true;
    }
    bool isClosed() const { return m_open.isEmpty(); }
    quint8 foreignBefore() const { return m_foreignBefore; }

private:
    QStringList m_open;
    quint8 m_foreignBefore;
};

// The start tag of the element the end tag at j closes, of the same name, nested or not; -1
// for none.
qsizetype matchingStart(const QList<PageToken> &tokens, qsizetype j)
{
    const PageToken &t = tokens[j];
    int depth = 1;
    for (qsizetype k = j - 1; k >= 0; --k) {
        if (tokens[k].name != t.name || tokens[k].kind == Kind::Comment)
            continue;
        depth += tokens[k].kind == Kind::End ? 1 : -1;
        if (depth == 0)
            return tokens[k].kind == Kind::Start ? k : -1;
    }
    return -1;
}

// Back from the token the edit touches to the element before it, or to the start tag of the
// one it is in: the token the slice starts after.
std::variant<qsizetype, Reload> anchorBefore(const QList<PageToken> &tokens, qsizetype touched,
                                             PagePatch &patch)
{
    for (qsizetype j = touched - 1; j >= 0; --j) {
        const PageToken &t = tokens[j];
        if (t.kind == Kind::Comment || t.kind == Kind::Other)
            continue;
        if (t.kind == Kind::End) {
            const qsizetype k = matchingStart(tokens, j);
            if (k < 0)
                return Reload::Structure;
            patch.before = tokens[k].page;
            patch.beforeName = t.name;
        } else if (closesItself(t, j > 0 ? tokens[j - 1].foreign : 0)) {
            patch.before = t.page;
            patch.beforeName = t.name;
        } else {
            if (t.name == u"html" || t.name == u"head")
                return Reload::Head;
            // Its text is not read as tags: the edit reaches its end tag.
            if (t.foreign == 0 && isRawText(t.name))
                return t.name == u"script"  ? Reload::Script
                       : t.name == u"title" ? Reload::Head
                                            : Reload::Element;
            patch.parent = t.page;
            patch.parentName = t.name;
        }
        if (patch.before < 0 && patch.parent < 0)
            return Reload::Structure;
        return j;
    }
    return Reload::Head;
}

// Up from the edit to the body's child that holds it: the token a slice of the body's own
// children starts after, the element before that child or the body's start tag.
std::variant<qsizetype, Reload> anchorInBody(const QList<PageToken> &tokens, qsizetype touched,
                                             PagePatch &patch)
{
    std::optional<std::pair<qsizetype, PagePatch>> first;  // the first step on this level
    for (qsizetype from = touched;;) {
        PagePatch step;
        const auto anchored = anchorBefore(tokens, from, step);
        if (const auto *why = std::get_if<Reload>(&anchored))
            return *why;
        const qsizetype j = std::get<qsizetype>(anchored);
        if (!first)
            first.emplace(j, step);
        if (step.parentName.isEmpty()) {
            // An element before: on past it, on the same level.
            from = tokens[j].kind == Kind::End ? matchingStart(tokens, j) : j;
            continue;
        }
        if (step.parentName == u"body") {
            patch = std::move(first->second);
            return first->first;
        }
        from = j;  // up to the level of the one around
        first.reset();
    }
}

// A token's count of formatting elements open after it, from those open before it, by name.
void reformat(PageToken &t, QStringList &open)
{
    if (t.foreign == 0 && html::isFormatting(t.name)) {
        if (t.kind == Kind::Start)
            open.append(t.name);
        else if (t.kind == Kind::End && open.lastIndexOf(t.name) >= 0)
            open.remove(open.lastIndexOf(t.name));
    }
    t.formatting = quint16(std::min<qsizetype>(open.size(), 65535));
}

// On through the new text from the anchor until its tokens are the old ones again: the first
// old token from there on.
std::variant<qsizetype, Reload> readUntilResumed(QStringView text, const QList<PageToken> &tokens,
                                                 qsizetype anchored, const Change &change,
                                                 PagePatch &patch, Nesting &nesting,
                                                 bool nested = true,
                                                 QStringList *formattingAfter = nullptr)
{
    // The slice starts after the anchor.
    const PageToken &anchor = tokens[anchored];
    patch.from = anchor.end;
    patch.firstToken = anchored + 1;
    patch.formatting = anchor.formatting;
    Tokenizer reader(text, anchor.end, anchor.foreign, anchor.formatting);
    // By name, so that an end tag in the slice closes what was opened before it.
    if (anchor.formatting > 0)
        reader.setOpenFormatting(openFormatting(tokens, anchored + 1));
    quint16 formatting = anchor.formatting;  // open after the last token read
    for (;;) {
        // Open before the token read next, which the old tokens may take over from.
        const QStringList open = reader.openFormatting();
        PageToken t;
        const Tokenizer::Step step = reader.next(t);
        if (step == Tokenizer::Step::Open)
            return Reload::Unfinished;
        // Where the two texts are alike to their ends and the old one has a token starting at
        // the same place, with nothing of an old token over it, the old tokens from there on
        // are the new ones.
        const qsizetype at = step == Tokenizer::Step::Done ? change.newLength : t.start;
        const qsizetype old = at - change.delta;
        if (change.newLength - at <= change.endsAlike && old >= anchor.end) {
            const qsizetype k = firstStartingFrom(tokens, old);
            // Past the old text's last token lies what was still open there, not nothing.
            if (((k == tokens.size() && !change.wasOpenAtEnd) ||
                 (k < tokens.size() && tokens[k].start == old)) &&
                (k == 0 || tokens[k - 1].end <= old) &&
                (k > 0 ? tokens[k - 1].foreign : 0) == nesting.foreignBefore() &&
                // Inside one element, the formatting the parser makes anew after the slice is the
                // same too, by name; the rest of the body is read again all the same.
                (!nested || ((k > 0 ? tokens[k - 1].formatting : 0) == formatting &&
                             (formatting == 0 || openFormatting(tokens, k) == open)))) {
                if (formattingAfter)
                    *formattingAfter = open;
                return k;
            }
        }
        if (step == Tokenizer::Step::Done || (!nesting.take(t) && nested))
            return Reload::Structure;
        formatting = t.formatting;
        patch.tokens.append(std::move(t));
    }
}

// On through the old tokens, moved by the edit, to the element after the slice or the end of
// the one it is in: the first token after the slice.
std::variant<qsizetype, Reload> readToTheEnd(const QList<PageToken> &tokens, qsizetype resumed,
                                             qsizetype delta, PagePatch &patch, Nesting &nesting)
{
    qsizetype k = resumed;
    for (; k < tokens.size(); ++k) {
        const PageToken &t = tokens[k];
        if (t.kind == Kind::Comment || t.kind == Kind::Other) {
        } else if (nesting.isClosed() && t.kind == Kind::Start) {
            patch.after = t.page;
            patch.afterName = t.name;
            if (patch.after < 0)
                return Reload::Structure;
            break;
        } else if (nesting.isClosed()) {
            // The end tag of the element the slice is in, or of one that closes it.
            patch.closedBy = t.name;
            break;
        } else if (!nesting.take(t)) {
            return Reload::Structure;
        }
        PageToken moved = t;
        moved.start += delta;
        moved.end += delta;
        patch.tokens.append(std::move(moved));
    }
    if (!nesting.isClosed())
        return Reload::Structure;
    return k;
}

// At the body's end, what follows it in the file that is white space goes into the body too.
std::optional<Reload> takeBodyEnd(QStringView was, const QList<PageToken> &tokens, qsizetype k,
                                  PagePatch &patch)
{
    if (k >= tokens.size() || tokens[k].kind != Kind::End ||
        (tokens[k].name != u"body" && tokens[k].name != u"html"))
        return std::nullopt;
    qsizetype at = patch.oldEnd;
    for (qsizetype m = k; m < tokens.size(); ++m) {
        const PageToken &t = tokens[m];
        const bool closing = t.kind == Kind::End && (t.name == u"body" || t.name == u"html");
        const QStringView between = was.sliced(at, t.start - at);
        if (!closing || !std::all_of(between.cbegin(), between.cend(), isSpace))
            return Reload::Head;
        patch.tail += between.toString();
        at = t.end;
    }
    const QStringView rest = was.sliced(at);
    if (!std::all_of(rest.cbegin(), rest.cend(), isSpace))
        return Reload::Head;
    patch.tail = asRead(patch.tail + rest.toString()) + kFileEnd.toString();
    patch.toBodyEnd = true;
    return std::nullopt;
}

// What the old slice had and the new one has, and the names the new one makes. The old one
// closed what it opened, and no more: an end tag taken out may close an element elsewhere now.
std::optional<Reload> checkSlices(const QList<PageToken> &tokens, const PageToken &anchor,
                                  PagePatch &patch, bool ofBody = false)
{
    Nesting old(anchor.foreign);
    for (qsizetype m = patch.firstToken; m < patch.endToken; ++m) {
        if (tokens[m].handler || tokens[m].name == u"script")
            return Reload::Script;
        if (!old.take(tokens[m]) && !ofBody)
            return Reload::Structure;
    }
    if (!old.isClosed() && !ofBody)
        return Reload::Structure;
    QSet<QString> names;
    for (const PageToken &t : std::as_const(patch.tokens)) {
        if (t.handler)
            return Reload::Script;
        if (t.kind != Kind::Start)
            continue;
        if (const std::optional<Reload> reason = refused(t.name, ofBody))
            return *reason;
        names.insert(t.name);
    }
    patch.names = QStringList(names.cbegin(), names.cend());
    patch.names.sort();
    return std::nullopt;
}

// The slices end before the token at end: they are checked, and taken from both texts.
std::optional<Reload> endSlices(const QString &was, const QList<PageToken> &tokens,
                                const QString &text, const Change &change, qsizetype end,
                                const PageToken &anchor, PagePatch &patch, bool ofBody = false)
{
    patch.endToken = end;
    patch.oldEnd = end < tokens.size() ? tokens[end].start : was.size();
    // To the text's end, the slices run on into the line end the file adds.
    if (end == tokens.size())
        patch.tail = kFileEnd.toString();
    patch.newEnd = patch.oldEnd + change.delta;
    if (const std::optional<Reload> why = takeBodyEnd(was, tokens, end, patch))
        return why;
    if (const std::optional<Reload> why = checkSlices(tokens, anchor, patch, ofBody))
        return why;
    patch.old = asRead(QStringView(was).sliced(patch.from, patch.oldEnd - patch.from));
    patch.now = asRead(QStringView(text).sliced(patch.from, patch.newEnd - patch.from));
    return std::nullopt;
}

// The children of one element between two of them, read again.
std::variant<PagePatch, Reload> sliceOfElement(const QString &was, const QList<PageToken> &tokens,
                                               const QString &text, const Change &change,
                                               qsizetype touched)
{
    PagePatch patch;
    const auto anchored = anchorBefore(tokens, touched, patch);
    if (const auto *why = std::get_if<Reload>(&anchored))
        return *why;
    const PageToken &anchor = tokens[std::get<qsizetype>(anchored)];
    Nesting nesting(anchor.foreign);
    const auto resumed =
        readUntilResumed(text, tokens, std::get<qsizetype>(anchored), change, patch, nesting);
    if (const auto *why = std::get_if<Reload>(&resumed))
        return *why;
    const auto ended =
        readToTheEnd(tokens, std::get<qsizetype>(resumed), change.delta, patch, nesting);
    if (const auto *why = std::get_if<Reload>(&ended))
        return *why;
    if (const std::optional<Reload> why =
            endSlices(was, tokens, text, change, std::get<qsizetype>(ended), anchor, patch))
        return *why;
    return patch;
}

// The body's children from the one that holds the edit to the body's end, read again.
std::variant<PagePatch, Reload> restOfBody(const QString &was, const QList<PageToken> &tokens,
                                           const QString &text, const Change &change,
                                           qsizetype touched)
{
    PagePatch patch;
    const auto anchored = anchorInBody(tokens, touched, patch);
    if (const auto *why = std::get_if<Reload>(&anchored))
        return *why;
    const PageToken &anchor = tokens[std::get<qsizetype>(anchored)];
    Nesting nesting(anchor.foreign);
    QStringList formatting;
    const auto resumed = readUntilResumed(text, tokens, std::get<qsizetype>(anchored), change,
                                          patch, nesting, /*nested=*/false, &formatting);
    if (const auto *why = std::get_if<Reload>(&resumed))
        return *why;
    const auto endsBody = [](const PageToken &t) {
        return t.kind == Kind::End && (t.name == u"body" || t.name == u"html");
    };
    if (std::any_of(patch.tokens.cbegin(), patch.tokens.cend(), endsBody))
        return Reload::Head;
    qsizetype k = std::get<qsizetype>(resumed);
    for (; k < tokens.size() && !endsBody(tokens[k]); ++k) {
        PageToken moved = tokens[k];
        moved.start += change.delta;
        moved.end += change.delta;
        // What the edit left open or closed is open or closed after it too.
        reformat(moved, formatting);
        patch.tokens.append(std::move(moved));
    }
    if (const std::optional<Reload> why =
            endSlices(was, tokens, text, change, k, anchor, patch, /*ofBody=*/true))
        return *why;
    return patch;
}

}  // namespace

std::variant<PagePatch, Reload> PageIndex::plan(const QString &text) const
{
    if (!m_ready)
        return Reload::NotShown;
    if (text.size() > kLargest || m_text.size() > kLargest)
        return Reload::Large;
    const QList<PageToken> &tokens = m_tokens;
    Change change = changeBetween(m_text, text);
    change.wasOpenAtEnd = m_openAtEnd;
    if (change.from == m_text.size() && change.delta == 0) {
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
    if (m_openAtEnd && (tokens.isEmpty() || change.from >= tokens.last().end))
        return Reload::Unfinished;
    // An edit inside a style sheet or another text element, and no further.
    const qsizetype touched = firstEndingAfter(tokens, change.from);
    if (touched > 0 && touched < tokens.size()) {
        const PageToken &open = tokens[touched - 1], &close = tokens[touched];
        if (open.kind == Kind::Start && open.foreign == 0 && isRawText(open.name) &&
            close.kind == Kind::End && close.start >= change.oldEnd)
            return planStyle(text, touched - 1, change.delta);
    }

    // An edit that leaves elements open or closes others changes how the parser reads all
    // that follows: the rest of the body is read again.
    auto planned = sliceOfElement(m_text, tokens, text, change, touched);
    if (const auto *why = std::get_if<Reload>(&planned); why && *why == Reload::Structure)
        return restOfBody(m_text, tokens, text, change, touched);
    return planned;
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
    Tokenizer reader(text, open.start, 0);
    PageToken t;
    if (reader.next(t) != Tokenizer::Step::Token || reader.next(t) != Tokenizer::Step::Token ||
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
    // Each start tag of the slice made the element of its name, in order; where the page made
    // others besides (a formatting element made anew in each paragraph), they are passed over.
    const QList<int> pages = made == added ? QList<int>() : matchElements(made, added);
    qsizetype next = 0;
    for (PageToken &t : patch.tokens) {
        if (t.kind != Kind::Start)
            continue;
        const qsizetype at = next++;
        const int page = pages.isEmpty() ? int(at) : pages[at];
        t.page = page >= 0 && first >= 0 ? first + page : -1;
    }
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
    const qsizetype after = patch.firstToken + patch.tokens.size();
    m_tokens.insert(patch.firstToken, patch.tokens.size(), PageToken());
    std::move(patch.tokens.begin(), patch.tokens.end(), m_tokens.begin() + patch.firstToken);
    // A slice to the body's end may leave other formatting open after it.
    if (patch.toBodyEnd && after < m_tokens.size()) {
        QStringList open = openFormatting(m_tokens, after);
        for (qsizetype i = after; i < m_tokens.size(); ++i)
            reformat(m_tokens[i], open);
    }
}

namespace {

// Where two texts are alike: up to from, and over their last endsAlike characters (which may
// overlap the first part). A tag wholly in either is the same tag in both.
struct Alike {
    qsizetype from = 0, endsAlike = 0, delta = 0;

    Alike(QStringView was, QStringView text) : delta(text.size() - was.size())
    {
        const qsizetype shorter = std::min(was.size(), text.size());
        from =
            std::mismatch(was.cbegin(), was.cbegin() + shorter, text.cbegin()).first - was.cbegin();
        endsAlike = std::mismatch(was.crbegin(), was.crbegin() + shorter, text.crbegin()).first -
                    was.crbegin();
    }
    // Where a place of the new text is in the old; one in what changed, where the change starts.
    qsizetype toOld(qsizetype at, qsizetype size) const
    {
        return at <= from ? at : at >= size - endsAlike ? at - delta : from;
    }
    // Where a tag of the old text, from start to end, is in the new.
    std::optional<qsizetype> toNew(qsizetype start, qsizetype end, qsizetype wasSize) const
    {
        if (end <= from)
            return start;
        if (start >= wasSize - endsAlike)
            return start + delta;
        return std::nullopt;
    }
};

}  // namespace

int PageIndex::elementOf(QStringView text, const QList<qsizetype> &starts) const
{
    const Alike alike(m_text, text);
    const auto tokenAt = [&](qsizetype position) -> const PageToken * {
        const auto at =
            std::lower_bound(m_tokens.cbegin(), m_tokens.cend(), position,
                             [](const PageToken &t, qsizetype p) { return t.start < p; });
        return at != m_tokens.cend() && at->start == position && at->kind == Kind::Start ? &*at
                                                                                         : nullptr;
    };
    for (const qsizetype start : starts) {
        // The same tag in the page's text, as the prefix or the end they have alike holds it.
        const PageToken *t = start < alike.from ? tokenAt(start) : nullptr;
        if (!t || t->end > alike.from) {
            t = start >= text.size() - alike.endsAlike ? tokenAt(start - alike.delta) : nullptr;
            if (t && t->start < m_text.size() - alike.endsAlike)
                t = nullptr;
        }
        if (t && t->page >= 0)
            return t->page;
    }
    return -1;
}

std::optional<qsizetype> PageIndex::startOf(QStringView text, const QList<int> &elements) const
{
    const Alike alike(m_text, text);
    for (const int element : elements) {
        const auto at = std::find_if(m_tokens.cbegin(), m_tokens.cend(), [&](const PageToken &t) {
            return t.kind == Kind::Start && t.page == element;
        });
        if (at == m_tokens.cend())
            continue;
        if (const std::optional<qsizetype> start = alike.toNew(at->start, at->end, m_text.size()))
            return start;
    }
    return std::nullopt;
}

int PageIndex::elementOfLine(QStringView text, qsizetype lineStart, qsizetype lineEnd) const
{
    const Alike alike(m_text, text);
    const qsizetype from = alike.toOld(lineStart, text.size());
    const qsizetype to = std::max(from, alike.toOld(lineEnd, text.size()));
    const auto isElement = [](const PageToken &t) { return t.kind == Kind::Start && t.page >= 0; };
    const auto at = std::lower_bound(m_tokens.cbegin(), m_tokens.cend(), from,
                                     [](const PageToken &t, qsizetype p) { return t.start < p; });
    const auto on = std::find_if(at, m_tokens.cend(),
                                 [&](const PageToken &t) { return t.start >= to || isElement(t); });
    if (on != m_tokens.cend() && on->start < to)
        return on->page;
    const auto before = std::find_if(std::make_reverse_iterator(at), m_tokens.crend(), isElement);
    if (before != m_tokens.crend())
        return before->page;
    const auto first = std::find_if(m_tokens.cbegin(), m_tokens.cend(), isElement);
    return first != m_tokens.cend() ? first->page : -1;
}

}  // namespace source
