#include "source/highlightquery.h"

#include <QHash>

using namespace Qt::StringLiterals;

namespace source {

namespace {

// Capture names as the grammars' queries give them, to the editor's few colours. Only the first
// part of a dotted name counts unless a longer one is listed.
Colour colourFor(Language language, const QString &name)
{
    static const QHash<QString, Colour> common{
        {u"comment"_s, Colour::Comment},         {u"tag"_s, Colour::TagName},
        {u"attribute"_s, Colour::AttributeName}, {u"string"_s, Colour::String},
        {u"keyword"_s, Colour::Keyword},         {u"number"_s, Colour::Number},
        {u"entity"_s, Colour::Entity},           {u"constant.builtin"_s, Colour::Keyword},
    };
    if (language == Language::Html && name == u"constant")  // the doctype
        return Colour::Keyword;
    if (language == Language::Css) {
        if (name == u"property" || name == u"variable")
            return Colour::CssProperty;
        if (name == u"string.special" || name == u"type")  // colours and units
            return Colour::Number;
    }
    if (const auto it = common.constFind(name); it != common.cend())
        return *it;
    return common.value(name.section(u'.', 0, 0), Colour::None);
}

QString nodeText(TSNode node, const ChunkedText &text)
{
    const qsizetype start = ts_node_start_byte(node) / 2, end = ts_node_end_byte(node) / 2;
    return text.mid(start, end - start);
}

QString stringValue(const TSQuery *query, quint32 id)
{
    quint32 length = 0;
    const char *value = ts_query_string_value_for_id(query, id, &length);
    return QString::fromUtf8(value, qsizetype(length));
}

}  // namespace

Query::Query(Language language, const QByteArray &source)
{
    quint32 errorOffset = 0;
    TSQueryError error = TSQueryErrorNone;
    m_query = ts_query_new(grammar(language), source.constData(), quint32(source.size()),
                           &errorOffset, &error);
    if (!m_query)
        return;
    for (quint32 id = 0; id < ts_query_capture_count(m_query); ++id) {
        quint32 length = 0;
        const char *name = ts_query_capture_name_for_id(m_query, id, &length);
        const QString capture = QString::fromUtf8(name, qsizetype(length));
        m_colourOfCapture.append(colourFor(language, capture));
        if (capture == u"injection.content")
            m_injectionContent = id;
    }
    for (quint32 index = 0; index < ts_query_pattern_count(m_query); ++index) {
        Pattern pattern;
        quint32 count = 0;
        const TSQueryPredicateStep *steps = ts_query_predicates_for_pattern(m_query, index, &count);
        for (quint32 first = 0; first < count;) {
            quint32 end = first;
            while (end < count && steps[end].type != TSQueryPredicateStepTypeDone)
                ++end;
            const TSQueryPredicateStep *step = steps + first;
            const quint32 arguments = end - first - 1;
            const QString name = stringValue(m_query, step[0].value_id);
            first = end + 1;
            if (name == u"set!" && arguments == 2 &&
                stringValue(m_query, step[1].value_id) == u"injection.language") {
                pattern.injectionLanguage = stringValue(m_query, step[2].value_id);
                continue;
            }
            Predicate predicate;
            predicate.negated = name.startsWith(u"not-"_s);
            const QString test = predicate.negated ? name.sliced(4) : name;
            if (test == u"eq?")
                predicate.kind = Predicate::Kind::Eq;
            else if (test == u"match?")
                predicate.kind = Predicate::Kind::Match;
            else if (test == u"any-of?")
                predicate.kind = Predicate::Kind::AnyOf;
            else
                continue;  // needs more than the text: holds
            if (arguments < 2 || step[1].type != TSQueryPredicateStepTypeCapture)
                continue;
            predicate.capture = step[1].value_id;
            for (quint32 i = 2; i <= arguments; ++i) {
                if (step[i].type == TSQueryPredicateStepTypeCapture)
                    predicate.otherCapture = step[i].value_id;
                else
                    predicate.values.append(stringValue(m_query, step[i].value_id));
            }
            if (predicate.kind == Predicate::Kind::Match)
                predicate.regex = QRegularExpression(predicate.values.value(0));
            pattern.predicates.append(predicate);
        }
        m_patterns.append(pattern);
    }
}

Query::~Query()
{
    if (m_query)
        ts_query_delete(m_query);
}

bool Query::holds(const TSQueryMatch &match, const ChunkedText &text) const
{
    const auto captured = [&](quint32 id) -> std::optional<QString> {
        for (quint16 i = 0; i < match.capture_count; ++i)
            if (match.captures[i].index == id)
                return nodeText(match.captures[i].node, text);
        return std::nullopt;
    };
    for (const Predicate &predicate : m_patterns.at(match.pattern_index).predicates) {
        const std::optional<QString> value = captured(predicate.capture);
        if (!value)
            continue;
        bool result = false;
        switch (predicate.kind) {
        case Predicate::Kind::Eq:
            if (predicate.otherCapture >= 0) {
                const std::optional<QString> other = captured(quint32(predicate.otherCapture));
                result = other && *other == *value;
            } else {
                result = *value == predicate.values.value(0);
            }
            break;
        case Predicate::Kind::Match:
            result = predicate.regex.match(*value).hasMatch();
            break;
        case Predicate::Kind::AnyOf:
            result = predicate.values.contains(*value);
            break;
        }
        if (result == predicate.negated)
            return false;
    }
    return true;
}

namespace {

// A query cursor steps through every child before the range, and a page's body can have tens of
// thousands. Lookups by position skip whole subtrees, so the query runs from the smallest node
// over the range instead, two levels up for the patterns that name a parent, and below a node
// with many children only on the children in the range. No pattern here has its root at such a
// node.
constexpr quint32 kManyChildren = 32;
constexpr int kParentLevels = 2;

TSNode nodeOver(TSNode root, quint32 start, quint32 end)
{
    TSNode node = ts_node_descendant_for_byte_range(root, start, std::max(start, end - 1));
    if (ts_node_is_null(node))
        return root;
    for (int level = 0; level < kParentLevels && ts_node_child_count(node) <= kManyChildren;
         ++level) {
        const TSNode parent = ts_node_parent(node);
        if (ts_node_is_null(parent) || ts_node_child_count(parent) > kManyChildren)
            break;
        node = parent;
    }
    return node;
}

template <typename Visit>
void forEachNodeOver(TSNode node, quint32 start, quint32 end, Visit visit)
{
    if (ts_node_child_count(node) <= kManyChildren) {
        visit(node);
        return;
    }
    TSTreeCursor cursor = ts_tree_cursor_new(node);
    if (ts_tree_cursor_goto_first_child_for_byte(&cursor, start) >= 0) {
        do {
            const TSNode child = ts_tree_cursor_current_node(&cursor);
            if (ts_node_start_byte(child) >= end && ts_node_end_byte(child) > start)
                break;
            if (ts_node_end_byte(child) >= start)
                forEachNodeOver(child, start, end, visit);
        } while (ts_tree_cursor_goto_next_sibling(&cursor));
    }
    ts_tree_cursor_delete(&cursor);
}

}  // namespace

template <typename Visit>
void Query::forEachCapture(TSNode root, const ChunkedText &text, TextRange range, Visit visit) const
{
    if (!m_query || ts_node_is_null(root))
        return;
    const quint32 start = quint32(range.start * 2), end = quint32(range.end * 2);
    TSQueryCursor *cursor = ts_query_cursor_new();
    forEachNodeOver(nodeOver(root, start, end), start, end, [&](TSNode node) {
        ts_query_cursor_set_byte_range(cursor, start, end);
        ts_query_cursor_exec(cursor, m_query, node);
        TSQueryMatch match;
        quint32 index = 0;
        while (ts_query_cursor_next_capture(cursor, &match, &index)) {
            if (!holds(match, text)) {
                ts_query_cursor_remove_match(cursor, match.id);
                continue;
            }
            visit(match.captures[index], match.pattern_index);
        }
    });
    ts_query_cursor_delete(cursor);
}

void Query::colours(TSNode root, const ChunkedText &text, TextRange range,
                    QList<ColourSpan> &out) const
{
    forEachCapture(root, text, range, [&](const TSQueryCapture &capture, quint32) {
        const qsizetype start = ts_node_start_byte(capture.node) / 2;
        const qsizetype end = ts_node_end_byte(capture.node) / 2;
        if (end > start)
            out.append({start, end - start, m_colourOfCapture.at(capture.index)});
    });
}

QList<TSRange> Query::injections(TSNode root, const ChunkedText &text, TextRange range,
                                 const QString &language) const
{
    QList<TSRange> found;
    forEachCapture(root, text, range, [&](const TSQueryCapture &capture, quint32 pattern) {
        if (capture.index != m_injectionContent ||
            m_patterns.at(pattern).injectionLanguage != language)
            return;
        const TSNode node = capture.node;
        const TSRange content{ts_node_start_point(node), ts_node_end_point(node),
                              ts_node_start_byte(node), ts_node_end_byte(node)};
        if (content.end_byte > content.start_byte &&
            (found.isEmpty() || found.last().start_byte != content.start_byte))
            found.append(content);
    });
    return found;
}

}  // namespace source
