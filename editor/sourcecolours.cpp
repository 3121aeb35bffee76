#include "editor/sourcecolours.h"

#include <QPlainTextEdit>
#include <QScrollBar>
#include <QTextBlock>
#include <QTextDocument>
#include <QTextLayout>
#include <algorithm>

#include "editor/editorview.h"
#include "editor/lineends.h"
#include "editor/palette.h"
#include "editor/sourcedocument.h"

namespace editor {

namespace {

// Below this many characters a parse takes a fraction of a millisecond and is made on the spot;
// a larger text is parsed on a thread while the editor stays in use. An edit this large is
// taken as a new text.
constexpr qsizetype kParseHere = 32 * 1024;
constexpr int kNewText = 1024 * 1024;

}  // namespace

SourceColours::SourceColours(EditorView &view) : QObject(&view.edit()), m_view(view)
{
    connect(&view.source(), &SourceDocument::edited, this, &SourceColours::edited);
    connect(view.edit().verticalScrollBar(), &QScrollBar::valueChanged, this,
            &SourceColours::colourVisible);
    connect(&view.edit(), &QPlainTextEdit::updateRequest, this, [this](const QRect &, int dy) {
        if (dy)
            colourVisible();
    });
}

SourceColours::~SourceColours()
{
    stopParsing();
}

QTextCharFormat SourceColours::format(source::Colour colour)
{
    using source::Colour;
    QTextCharFormat format;
    const auto ink = [&](QRgb rgb) { format.setForeground(QColor(rgb)); };
    switch (colour) {
    case Colour::None:
        break;
    case Colour::Comment:
        ink(palette::kComment);
        format.setFontItalic(true);
        break;
    case Colour::TagName:
        ink(palette::kTagName);
        break;
    case Colour::AttributeName:
        ink(palette::kAttributeName);
        break;
    case Colour::String:
        ink(palette::kString);
        break;
    case Colour::Keyword:
        ink(palette::kKeyword);
        break;
    case Colour::Number:
        ink(palette::kNumber);
        break;
    case Colour::CssProperty:
        ink(palette::kCssProperty);
        break;
    case Colour::Entity:
        ink(palette::kEntity);
        break;
    }
    return format;
}

void SourceColours::setEnabled(bool enabled)
{
    m_enabled = enabled;
    reset();
    if (enabled)
        return;
    QTextDocument &document = m_view.source().textDocument();
    for (QTextBlock block = document.begin(); block.isValid(); block = block.next())
        if (block.layout() && !block.layout()->formats().isEmpty())
            m_view.source().setFormats(block, {});
}

void SourceColours::stopParsing()
{
    m_parser.stop();
}

void SourceColours::suspend()
{
    stopParsing();
    m_suspended = true;
}

void SourceColours::setLanguage(source::Language language)
{
    if (language == m_source.language())
        return;
    m_source.setLanguage(language);
    reset();
}

void SourceColours::reset()
{
    m_suspended = false;
    stopParsing();
    m_offset = 0;
    const SourceDocument &text = m_view.source();
    m_windowed = m_enabled &&
                 text.size() > (m_source.language() == source::Language::Html ? kParseWhole
                                                                              : kParseWholeScript);
    if (m_windowed) {
        placeWindow();
        return;
    }
    m_source.setText(m_enabled ? withLineFeeds(text.characters(0, text.size())) : QString());
    m_dirty = {{0, m_source.size()}};
    if (!m_enabled)
        return;
    if (m_source.size() >= kParseHere) {
        // The first screen need not wait for the whole page: the page up to a little past it
        // parses in moments, and colours it the same.
        const qsizetype head = std::min(m_source.size(), shownEnd() + kParseHere);
        source::HtmlSource start;
        start.setLanguage(m_source.language());
        start.setText(m_source.text(0, head));
        start.parse();
        colourShown(start, false);
        parseAside();
        return;
    }
    markDirty(m_source.parse());
    colourVisible();
    emit parsed();
}

qsizetype SourceColours::shownStart() const
{
    return m_view.source().textPosition(m_view.firstShownBlock().position());
}

qsizetype SourceColours::shownEnd() const
{
    const QTextBlock last = m_view.lastShownBlock();
    return m_view.source().textPosition(last.position() + last.length() - 1);
}

void SourceColours::placeWindow()
{
    stopParsing();
    const SourceDocument &text = m_view.source();
    // From the start of a line or a piece, so that the parse begins where a person's reading
    // would.
    const QTextDocument &document = text.textDocument();
    const auto lineStart = [&](qsizetype at) {
        return text.textPosition(document.findBlock(text.documentPosition(at)).position());
    };
    const qsizetype from = lineStart(std::max<qsizetype>(0, shownStart() - kWindow / 2));
    const QTextBlock last =
        document.findBlock(text.documentPosition(std::min(text.size(), from + kWindow)));
    const qsizetype to =
        std::min(text.size(), text.textPosition(last.position() + last.length() - 1));
    m_offset = from;
    m_source.setText(withLineFeeds(text.characters(from, to - from)));
    // What was coloured from another window is coloured again.
    m_dirty = {{0, text.size() + 1}};
    source::HtmlSource start;
    start.setLanguage(m_source.language());
    // As far as the first screen and a little past it, as for a text parsed whole.
    start.setText(m_source.text(
        0, std::min(m_source.size(), std::max<qsizetype>(0, shownEnd() - m_offset) + kParseHere)));
    start.parse();
    colourShown(start, false);
    parseAside();
}

bool SourceColours::viewLeftWindow() const
{
    const qsizetype end = m_offset + m_source.size();
    const qsizetype margin = kWindow / 8;
    return (m_offset > 0 && shownStart() < m_offset + margin) ||
           (end < m_view.source().size() && shownEnd() > end - margin);
}

QList<source::TextRange> SourceColours::inText(QList<source::TextRange> ranges) const
{
    for (source::TextRange &range : ranges) {
        range.start += m_offset;
        range.end += m_offset;
    }
    return ranges;
}

std::optional<source::TagPair> SourceColours::tagPairAt(int documentPosition) const
{
    const SourceDocument &text = m_view.source();
    const qsizetype position = text.textPosition(documentPosition);
    if (position < m_offset || position > m_offset + m_source.size())
        return std::nullopt;
    std::optional<source::TagPair> pair = m_source.tagPairAt(position - m_offset);
    if (!pair)
        return pair;
    const auto shown = [&](source::TextRange range) {
        return source::TextRange{text.documentPosition(range.start + m_offset),
                                 text.documentPosition(range.end + m_offset)};
    };
    pair->tag = shown(pair->tag);
    if (pair->partner)
        pair->partner = shown(*pair->partner);
    return pair;
}

bool SourceColours::isStyle(int documentPosition) const
{
    const qsizetype position = m_view.source().textPosition(documentPosition);
    return position >= m_offset && position < m_offset + m_source.size() &&
           m_source.isStyle(position - m_offset);
}

std::optional<QString> SourceColours::startTagEnded(int documentPosition) const
{
    const qsizetype position = m_view.source().textPosition(documentPosition);
    if (position < m_offset || position > m_offset + m_source.size())
        return std::nullopt;
    return m_source.startTagEnded(position - m_offset);
}

QList<qsizetype> SourceColours::elementsAt(int documentPosition) const
{
    if (m_windowed || !isCurrent())
        return {};
    QList<qsizetype> elements = m_source.elementsAt(m_view.source().textPosition(documentPosition));
    for (qsizetype &element : elements)
        element = m_view.source().documentPosition(element);
    return elements;
}

std::optional<QString> SourceColours::elementToClose(int documentPosition) const
{
    const qsizetype position = m_view.source().textPosition(documentPosition);
    if (position < m_offset || position > m_offset + m_source.size())
        return std::nullopt;
    return m_source.elementToClose(position - m_offset);
}

void SourceColours::parseAside()
{
    if (m_parser.isBusy() || m_source.isCurrent())
        return;
    std::shared_ptr<source::HtmlSource> copy = m_source.copyToParse();
    m_parser.run(
        [copy](const engine::Task &task) {
            copy->parse(task.parserFlag());
            return copy;
        },
        [this](std::shared_ptr<source::HtmlSource> copy) { takeParsed(std::move(copy)); });
}

void SourceColours::takeParsed(std::shared_ptr<source::HtmlSource> copy)
{
    const std::optional<QList<source::TextRange>> changed = m_source.takeParsed(*copy);
    // Freeing a large page's old trees takes time better spent elsewhere than here.
    engine::Background::release([dead = std::move(copy)] {});
    if (changed) {
        markDirty(inText(*changed));
        colourVisible();
        emit parsed();
    }
    // Edits made meanwhile are parsed in one more round.
    parseAside();
}

void SourceColours::edited(qsizetype position, qsizetype removed, qsizetype added)
{
    if (!m_enabled || m_suspended)
        return;
    const SourceDocument &text = m_view.source();
    if (std::max(removed, added) >= kNewText || m_windowed != (text.size() > kParseWhole)) {
        reset();
        return;
    }
    if (m_windowed) {
        // Before the window it only moves; across its start it is placed again; past its end
        // nothing parsed changed.
        const qsizetype windowEnd = m_offset + m_source.size();
        if (position + removed <= m_offset && position < m_offset) {
            m_offset += added - removed;
            return;
        }
        if (position < m_offset) {
            placeWindow();
            return;
        }
        if (position > windowEnd)
            return;
        removed = std::min(removed, windowEnd - position);
    }
    const bool here = m_source.size() < kParseHere && !m_parser.isBusy();
    markDirty(inText(
        m_source.edit(position - m_offset, removed, withLineFeeds(text.characters(position, added)),
                      here ? source::HtmlSource::Parse::Now : source::HtmlSource::Parse::Later)));
    // The parse is of the text as it stands, or it is read again.
    if (m_windowed ? m_offset + m_source.size() > text.size() : m_source.size() != text.size()) {
        reset();
        return;
    }
    colourVisible();
    if (here)
        emit parsed();
    else
        parseAside();
}

void SourceColours::markDirty(const QList<source::TextRange> &ranges)
{
    m_dirty += ranges;
    std::sort(
        m_dirty.begin(), m_dirty.end(),
        [](const source::TextRange &a, const source::TextRange &b) { return a.start < b.start; });
    QList<source::TextRange> merged;
    for (const source::TextRange &range : std::as_const(m_dirty)) {
        if (!merged.isEmpty() && range.start <= merged.last().end)
            merged.last().end = std::max(merged.last().end, range.end);
        else
            merged.append(range);
    }
    m_dirty = merged;
}

void SourceColours::colourVisible()
{
    if (m_windowed && !m_suspended && viewLeftWindow()) {
        placeWindow();
        return;
    }
    if (m_source.isParsed())
        colourShown(m_source, true);
}

void SourceColours::colourShown(const source::HtmlSource &from, bool clean)
{
    if (m_dirty.isEmpty())
        return;
    const SourceDocument &text = m_view.source();
    const QTextBlock last = m_view.lastShownBlock();
    for (QTextBlock block = m_view.firstShownBlock(); block.isValid(); block = block.next()) {
        const qsizetype start = text.textPosition(block.position());
        const qsizetype end = start + block.length();
        const auto dirty = std::find_if(m_dirty.begin(), m_dirty.end(), [&](const auto &range) {
            return range.start < end && range.end >= start;
        });
        if (dirty != m_dirty.end()) {
            colourBlock(block, from);
            if (clean)
                clear(dirty, start, end);
        }
        if (block == last)
            break;
    }
}

void SourceColours::clear(QList<source::TextRange>::iterator dirty, qsizetype start, qsizetype end)
{
    // The block is clean now; what is left of the range on either side stays dirty.
    const source::TextRange range = *dirty;
    const qsizetype at = dirty - m_dirty.begin();
    m_dirty.remove(at);
    if (range.end > end)
        m_dirty.insert(at, {end, range.end});
    if (range.start < start)
        m_dirty.insert(at, {range.start, start});
}

void SourceColours::colourBlock(const QTextBlock &block, const source::HtmlSource &from)
{
    QTextLayout *layout = block.layout();
    if (!layout)
        return;
    // A block holds no line end, so its characters are the text's from where it starts.
    const qsizetype start = m_view.source().textPosition(block.position());
    QList<QTextLayout::FormatRange> ranges;
    // Text being composed sits inside the layout, between the characters of the block.
    const int preeditAt = layout->preeditAreaPosition();
    const int preeditLength = int(layout->preeditAreaText().size());
    const qsizetype end = start + block.length() - 1;
    const bool parsed = start >= m_offset && end <= m_offset + from.size();
    for (const source::ColourSpan &span :
         parsed ? from.colours({start - m_offset, end - m_offset}) : QList<source::ColourSpan>()) {
        int at = int(span.start + m_offset - start), length = int(span.length);
        if (preeditLength && at >= preeditAt)
            at += preeditLength;
        else if (preeditLength && at + length > preeditAt)
            length += preeditLength;
        ranges.append({at, length, format(span.colour)});
    }
    if (ranges != layout->formats())  // only what changed is laid out and painted again
        m_view.source().setFormats(block, ranges);
}

}  // namespace editor
