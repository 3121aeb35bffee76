#include "source/htmlsource.h"

#include <tree_sitter/api.h>
#include <QVarLengthArray>
#include <algorithm>

#include "source/highlightquery.h"
#include "source/htmltokenizer.h"
#include "source/languages.h"

using namespace Qt::StringLiterals;

namespace source {

namespace {

// Made once, on whichever thread asks first; a query is only read afterwards.
struct Queries {
    Query html{Language::Html, highlightsQuery(Language::Html)};
    Query injections{Language::Html, injectionsQuery()};
    Query css{Language::Css, highlightsQuery(Language::Css)};
    Query javaScript{Language::JavaScript, highlightsQuery(Language::JavaScript)};
};

const Queries &queries()
{
    static const Queries made;
    return made;
}

// Tree-sitter counts UTF-16 text in bytes.
quint32 bytes(qsizetype position)
{
    return quint32(position * 2);
}

TSPoint advance(TSPoint from, const QString &text)
{
    const qsizetype newline = text.lastIndexOf(u'\n');
    if (newline < 0)
        return {from.row, from.column + bytes(text.size())};
    return {from.row + quint32(text.count(u'\n')), bytes(text.size() - newline - 1)};
}

TSPoint shifted(TSPoint point, const TSInputEdit &edit)
{
    if (point.row == edit.old_end_point.row)
        return {edit.new_end_point.row,
                edit.new_end_point.column + (point.column - edit.old_end_point.column)};
    return {point.row + edit.new_end_point.row - edit.old_end_point.row, point.column};
}

// The range as the edit leaves it; false when the edit falls within it.
bool shift(TSRange &range, const TSInputEdit &edit)
{
    if (range.end_byte <= edit.start_byte)
        return true;
    if (range.start_byte < edit.old_end_byte)
        return false;
    range.start_byte = range.start_byte - edit.old_end_byte + edit.new_end_byte;
    range.end_byte = range.end_byte - edit.old_end_byte + edit.new_end_byte;
    range.start_point = shifted(range.start_point, edit);
    range.end_point = shifted(range.end_point, edit);
    return true;
}

bool overlaps(const TSRange &range, quint32 start, quint32 end)
{
    return range.start_byte < end && range.end_byte > start;
}

// Where a range of the text before the edit lies after it; one the edit falls within grows to
// take in what was inserted.
TextRange moved(TextRange range, const TSInputEdit &edit)
{
    const qsizetype start = edit.start_byte / 2, oldEnd = edit.old_end_byte / 2,
                    newEnd = edit.new_end_byte / 2;
    const auto at = [&](qsizetype position, bool isEnd) {
        if (position <= start)
            return position;
        if (position >= oldEnd)
            return position - oldEnd + newEnd;
        return isEnd ? newEnd : start;
    };
    return {at(range.start, false), at(range.end, true)};
}

TextRange textRange(const TSRange &range)
{
    return {qsizetype(range.start_byte / 2), qsizetype(range.end_byte / 2)};
}

QString injectionName(Language language)
{
    return language == Language::Css ? u"css"_s : u"javascript"_s;
}

const Query &highlights(Language language)
{
    switch (language) {
    case Language::Css:
        return queries().css;
    case Language::JavaScript:
        return queries().javaScript;
    case Language::Html:
        break;
    }
    return queries().html;
}

}  // namespace

// One language's parser and tree; the embedded ones read only their ranges of the page.
struct HtmlSource::Layer {
    explicit Layer(Language language) : language(language), parser(ts_parser_new())
    {
        ts_parser_set_language(parser, grammar(language));
    }
    ~Layer()
    {
        if (tree)
            ts_tree_delete(tree);
        ts_parser_delete(parser);
    }
    Q_DISABLE_COPY_MOVE(Layer)

    // Parses text again, from the edited tree where there is one; the ranges whose syntax
    // changed, or nothing when the parse was cancelled.
    std::optional<QList<TextRange>> reparse(const ChunkedText &text)
    {
        QList<TextRange> changed;
        if (language != Language::Html) {
            // Without ranges the parser would read the whole page.
            if (ranges.isEmpty() || !ts_parser_set_included_ranges(parser, ranges.constData(),
                                                                   quint32(ranges.size()))) {
                if (tree) {
                    ts_tree_delete(tree);
                    tree = nullptr;
                }
                ranges.clear();
                return changed;
            }
        }
        TSTree *old = tree;
        const TSInput input{const_cast<ChunkedText *>(&text), &read, TSInputEncodingUTF16};
        tree = ts_parser_parse(parser, old, input);
        if (!tree) {
            ts_parser_reset(parser);
            tree = old;
            return std::nullopt;
        }
        if (old) {
            quint32 count = 0;
            TSRange *found = ts_tree_get_changed_ranges(old, tree, &count);
            for (quint32 i = 0; i < count; ++i)
                changed.append(textRange(found[i]));
            free(found);
            ts_tree_delete(old);
        } else {
            for (const TSRange &range : std::as_const(ranges))
                changed.append(textRange(range));
        }
        return changed;
    }

    TSTree *take() { return std::exchange(tree, nullptr); }

    static const char *read(void *text, quint32 byte, TSPoint, quint32 *length)
    {
        const QStringView run = static_cast<const ChunkedText *>(text)->runAt(byte / 2);
        *length = bytes(run.size());
        return reinterpret_cast<const char *>(run.utf16());
    }

    const Language language;
    TSParser *const parser;
    TSTree *tree = nullptr;
    QList<TSRange> ranges;  // for an embedded language: where in the page it is written
};

HtmlSource::HtmlSource()
    : m_html(std::make_unique<Layer>(Language::Html)),
      m_css(std::make_unique<Layer>(Language::Css)),
      m_javaScript(std::make_unique<Layer>(Language::JavaScript))
{
}

HtmlSource::~HtmlSource() = default;

void HtmlSource::setText(QStringView text)
{
    m_text = ChunkedText(text);
    m_rowMark = {};
    for (Layer *layer : {m_html.get(), m_css.get(), m_javaScript.get()}) {
        if (layer->tree)
            ts_tree_delete(layer->take());
        layer->ranges.clear();
    }
    m_due = TextRange{0, text.size()};
    m_sinceCopy.reset();
    ++m_ticket;
}

void HtmlSource::setLanguage(Language language)
{
    m_language = language;
    setText(m_text.mid(0, m_text.size()));
}

HtmlSource::Layer &HtmlSource::ownLayer() const
{
    return m_language == Language::Css          ? *m_css
           : m_language == Language::JavaScript ? *m_javaScript
                                                : *m_html;
}

bool HtmlSource::isParsed() const
{
    return ownLayer().tree != nullptr;
}

bool HtmlSource::isCurrent() const
{
    return isParsed() && !m_due;
}

quint32 HtmlSource::rowAt(qsizetype position)
{
    const qsizetype from = m_rowMark.position;
    quint32 row = m_rowMark.row;
    if (position >= from)
        row += quint32(m_text.count(u'\n', from, position));
    else
        row -= quint32(m_text.count(u'\n', position, from));
    m_rowMark = {position, row};
    return row;
}

QList<TextRange> HtmlSource::edit(qsizetype position, qsizetype removed, QStringView inserted,
                                  Parse when)
{
    position = std::clamp<qsizetype>(position, 0, m_text.size());
    removed = std::clamp<qsizetype>(removed, 0, m_text.size() - position);
    const qsizetype lineStart = m_text.lastIndexOf(u'\n', position) + 1;
    const TSPoint start{rowAt(position), bytes(position - lineStart)};
    const TSPoint oldEnd = advance(start, m_text.mid(position, removed));
    const TSPoint newEnd = advance(start, inserted.toString());
    m_text.replace(position, removed, inserted);
    const TSInputEdit edit{bytes(position),
                           bytes(position + removed),
                           bytes(position + inserted.size()),
                           start,
                           oldEnd,
                           newEnd};
    move(edit);
    if (m_sinceCopy)
        m_sinceCopy->append(edit);
    QList<TextRange> changed{{position, position + inserted.size()}};
    if (when == Parse::Now)
        changed += parse();
    return changed;
}

void HtmlSource::move(const TSInputEdit &edit)
{
    for (Layer *layer : {m_html.get(), m_css.get(), m_javaScript.get()}) {
        if (layer->tree)
            ts_tree_edit(layer->tree, &edit);
        QList<TSRange> kept;
        for (TSRange range : std::as_const(layer->ranges))
            if (shift(range, edit))
                kept.append(range);
        layer->ranges = kept;
    }
    const TextRange edited{edit.start_byte / 2, edit.new_end_byte / 2};
    m_due = m_due ? moved(*m_due, edit) : edited;
    m_due->start = std::min(m_due->start, edited.start);
    m_due->end = std::max(m_due->end, edited.end);
    for (TextRange &range : m_changed)
        range = moved(range, edit);
    m_rowMark = {edited.start, edit.start_point.row};
}

QList<TextRange> HtmlSource::parse(const size_t *cancel)
{
    if (!m_due)
        return {};
    const bool whole = !isParsed();
    for (Layer *layer : {m_html.get(), m_css.get(), m_javaScript.get()})
        ts_parser_set_cancellation_flag(layer->parser, cancel);
    QList<TextRange> changed{*m_due};
    if (m_language != Language::Html) {
        // A stylesheet or a script of its own: its language reads all of it.
        ownLayer().ranges = {{{0, 0}, {UINT32_MAX, UINT32_MAX}, 0, UINT32_MAX}};
        const std::optional<QList<TextRange>> parsed = ownLayer().reparse(m_text);
        if (!parsed)
            return {};
        changed += *parsed;
        m_due.reset();
        m_changed = changed;
        return changed;
    }
    if (const std::optional<QList<TextRange>> html = m_html->reparse(m_text))
        changed += *html;
    else
        return {};  // cancelled: still due
    // Embedded text is looked for again only where the page changed, one character wider so
    // that a range touching the change is found whole.
    qsizetype from = m_due->start, to = m_due->end;
    for (const TextRange &range : std::as_const(changed)) {
        from = std::min(from, range.start);
        to = std::max(to, range.end);
    }
    from = std::max<qsizetype>(0, from - 1);
    to = std::min(m_text.size(), to + 1);
    const TSNode root = ts_tree_root_node(m_html->tree);
    for (Layer *layer : {m_css.get(), m_javaScript.get()}) {
        QList<TSRange> kept;
        if (!whole)
            for (const TSRange &range : std::as_const(layer->ranges))
                if (!overlaps(range, bytes(from), bytes(to)))
                    kept.append(range);
        const QList<TSRange> found = queries().injections.injections(
            root, m_text, {from, to}, injectionName(layer->language));
        for (const TSRange &range : found) {
            kept.removeIf(
                [&](const TSRange &k) { return overlaps(k, range.start_byte, range.end_byte); });
            kept.append(range);
        }
        std::sort(kept.begin(), kept.end(),
                  [](const TSRange &a, const TSRange &b) { return a.start_byte < b.start_byte; });
        const QList<TSRange> before = layer->ranges;
        const bool hadTree = layer->tree != nullptr;
        layer->ranges = kept;
        const std::optional<QList<TextRange>> embedded = layer->reparse(m_text);
        if (!embedded)
            return {};
        changed += *embedded;
        if (hadTree && !layer->tree)
            for (const TSRange &range : before)
                changed.append(textRange(range));
    }
    m_due.reset();
    m_changed = changed;
    return changed;
}

std::unique_ptr<HtmlSource> HtmlSource::copyToParse()
{
    auto copy = std::make_unique<HtmlSource>();
    copy->m_text = m_text;
    copy->m_due = m_due;
    copy->m_ticket = m_ticket;
    copy->m_rowMark = m_rowMark;
    copy->m_language = m_language;
    const Layer *from[] = {m_html.get(), m_css.get(), m_javaScript.get()};
    Layer *to[] = {copy->m_html.get(), copy->m_css.get(), copy->m_javaScript.get()};
    for (int i = 0; i < 3; ++i) {
        to[i]->tree = from[i]->tree ? ts_tree_copy(from[i]->tree) : nullptr;
        to[i]->ranges = from[i]->ranges;
    }
    m_sinceCopy.emplace();
    return copy;
}

std::optional<QList<TextRange>> HtmlSource::takeParsed(HtmlSource &parsed)
{
    if (parsed.m_ticket != m_ticket || !parsed.isParsed() || !m_sinceCopy)
        return std::nullopt;
    const QList<TSInputEdit> edits = *std::exchange(m_sinceCopy, std::nullopt);
    parsed.m_due.reset();
    for (const TSInputEdit &edit : edits)
        parsed.move(edit);
    Layer *from[] = {parsed.m_html.get(), parsed.m_css.get(), parsed.m_javaScript.get()};
    Layer *to[] = {m_html.get(), m_css.get(), m_javaScript.get()};
    // The trees given up go with the copy, whose owner may free them on another thread.
    for (int i = 0; i < 3; ++i) {
        std::swap(to[i]->tree, from[i]->tree);
        to[i]->ranges = from[i]->ranges;
    }
    m_due = parsed.m_due;
    return parsed.m_changed;
}

QList<ColourSpan> HtmlSource::colours(TextRange range) const
{
    range.start = std::clamp<qsizetype>(range.start, 0, m_text.size());
    range.end = std::clamp<qsizetype>(range.end, range.start, m_text.size());
    QList<ColourSpan> result;
    if (!isParsed() || range.start == range.end)
        return result;
    QList<ColourSpan> spans;
    if (m_language != Language::Html)
        highlights(m_language).colours(ts_tree_root_node(ownLayer().tree), m_text, range, spans);
    else
        queries().html.colours(ts_tree_root_node(m_html->tree), m_text, range, spans);
    for (const Layer *layer : {m_css.get(), m_javaScript.get()})
        if (m_language == Language::Html)
            if (layer->tree)
                highlights(layer->language)
                    .colours(ts_tree_root_node(layer->tree), m_text, range, spans);
    // Later captures paint over earlier ones: an inner node over its parent, a later pattern
    // over an earlier one for the same node, the embedded languages over the page.
    QVarLengthArray<Colour, 256> paint(range.end - range.start, Colour::None);
    for (const ColourSpan &span : std::as_const(spans)) {
        const qsizetype start = std::max(span.start, range.start) - range.start;
        const qsizetype end = std::min(span.start + span.length, range.end) - range.start;
        for (qsizetype i = start; i < end; ++i)
            paint[i] = span.colour;
    }
    for (qsizetype i = 0; i < paint.size();) {
        qsizetype j = i + 1;
        while (j < paint.size() && paint[j] == paint[i])
            ++j;
        if (paint[i] != Colour::None)
            result.append({range.start + i, j - i, paint[i]});
        i = j;
    }
    return result;
}

std::optional<TagPair> HtmlSource::tagPairAt(qsizetype position) const
{
    if (!m_html->tree)
        return std::nullopt;
    const TSNode root = ts_tree_root_node(m_html->tree);
    const auto tagAt = [&](qsizetype at) -> TSNode {
        if (at < 0 || at >= m_text.size())
            return {};
        for (TSNode node = ts_node_descendant_for_byte_range(root, bytes(at), bytes(at + 1));
             !ts_node_is_null(node); node = ts_node_parent(node)) {
            const std::string_view type = ts_node_type(node);
            if (type == "start_tag" || type == "end_tag" || type == "self_closing_tag" ||
                type == "erroneous_end_tag")
                return node;
        }
        return {};
    };
    TSNode tag = tagAt(position);
    if (ts_node_is_null(tag))
        tag = tagAt(position - 1);
    if (ts_node_is_null(tag))
        return std::nullopt;
    // From the "<" to the end of the name: the whole tag can run over many lines.
    const auto marked = [](TSNode node) {
        const TSNode name = ts_node_named_child(node, 0);
        const quint32 end = ts_node_is_null(name) ? ts_node_end_byte(node) : ts_node_end_byte(name);
        return TextRange{qsizetype(ts_node_start_byte(node) / 2), qsizetype(end / 2)};
    };
    TagPair pair{marked(tag), std::nullopt};
    const std::string_view type = ts_node_type(tag);
    const TSNode element = ts_node_parent(tag);
    if (ts_node_is_null(element) || (type != "start_tag" && type != "end_tag"))
        return pair;
    const std::string_view wanted = type == "start_tag" ? "end_tag" : "start_tag";
    for (quint32 i = 0; i < ts_node_child_count(element); ++i) {
        const TSNode child = ts_node_child(element, i);
        if (ts_node_type(child) == wanted && !ts_node_is_missing(child) &&
            ts_node_end_byte(child) > ts_node_start_byte(child))
            pair.partner = marked(child);
    }
    return pair;
}

std::optional<QString> HtmlSource::elementToClose(qsizetype position) const
{
    if (m_language != Language::Html || position < 0 || position > m_text.size())
        return std::nullopt;
    return source::elementToClose(m_text.mid(0, position));
}

bool HtmlSource::isStyle(qsizetype position) const
{
    if (m_language != Language::Html)
        return m_language == Language::Css;
    const quint32 at = bytes(position);
    return std::any_of(m_css->ranges.cbegin(), m_css->ranges.cend(), [at](const TSRange &range) {
        return range.start_byte <= at && at < range.end_byte;
    });
}

std::optional<QString> HtmlSource::startTagEnded(qsizetype position) const
{
    if (m_language != Language::Html || position < 0 || position > m_text.size())
        return std::nullopt;
    return source::startTagEnded(m_text.mid(0, position));
}

QList<qsizetype> HtmlSource::elementsAt(qsizetype position) const
{
    QList<qsizetype> found;
    if (!m_html->tree || position < 0 || position > m_text.size())
        return found;
    const TSNode root = ts_tree_root_node(m_html->tree);
    const quint32 at = bytes(position);
    TSNode node = ts_node_descendant_for_byte_range(root, at, at);
    // At the end of the text, no node holds the position: the last character's does, unless it
    // ends an element's end tag.
    if (at > 0 && position == m_text.size()) {
        node = ts_node_descendant_for_byte_range(root, at - 2, at);
        for (TSNode up = node; !ts_node_is_null(up); up = ts_node_parent(up)) {
            if (std::string_view(ts_node_type(up)) == "end_tag") {
                node = ts_node_parent(ts_node_parent(up));
                break;
            }
        }
    }
    // Just before an end tag is the end of what it closes, or of what closed before it.
    for (TSNode up = node; at > 0 && !ts_node_is_null(up); up = ts_node_parent(up)) {
        if (std::string_view(ts_node_type(up)) == "end_tag" && ts_node_start_byte(up) == at) {
            node = ts_node_descendant_for_byte_range(root, at - 2, at);
            break;
        }
    }
    for (; !ts_node_is_null(node); node = ts_node_parent(node)) {
        const std::string_view type = ts_node_type(node);
        if (type != "element" && type != "script_element" && type != "style_element")
            continue;
        const TSNode start = ts_node_child(node, 0);
        const std::string_view startType = ts_node_type(start);
        if ((startType == "start_tag" || startType == "self_closing_tag") &&
            !ts_node_is_missing(start))
            found.append(qsizetype(ts_node_start_byte(start) / 2));
    }
    return found;
}

}  // namespace source
