#include "editor/writingaids.h"

#include <QKeyEvent>
#include <QPlainTextEdit>
#include <QTextBlock>

#include "editor/completionpopup.h"
#include "editor/editorview.h"
#include "editor/lineends.h"
#include "editor/sourcecolours.h"
#include "editor/sourcedocument.h"
#include "source/abbreviation.h"

using namespace Qt::StringLiterals;
using source::CaretContext;
using source::TextRange;

namespace editor {

namespace {

// How far back the caret's context is read: a tag, a <style> or a comment longer than this is
// taken as text. Enough for any page a person writes, and the same cost at any size.
constexpr qsizetype kContextWindow = 32 * 1024;

// A range through an edit: it grows with what is typed inside it or at its ends, moves with
// what is typed before it, and is lost when the edit crosses its edge.
std::optional<TextRange> follow(TextRange range, qsizetype position, qsizetype removed,
                                qsizetype added)
{
    if (position >= range.start && position + removed <= range.end)
        return TextRange{range.start, range.end + added - removed};
    if (position + removed <= range.start)
        return TextRange{range.start + added - removed, range.end + added - removed};
    if (position >= range.end)
        return range;
    return std::nullopt;
}

bool isInside(qsizetype position, TextRange range)
{
    return position >= range.start && position <= range.end;
}

// A character of a tag's name, as a browser's tokenizer reads one: up to ASCII white space, '/'
// or '>'. A line end of the document's is a block's end.
bool isNameChar(QChar c)
{
    return !u" \t\n\f\r/>"_s.contains(c) && c != QChar::ParagraphSeparator && !isLineEnd(c);
}

// How the line of block ends, for text put in there: as the line does, or the line before it.
LineEnd lineEndOf(QTextBlock block)
{
    QTextBlock next = block.next();
    while (next.isValid() && SourceDocument::continues(next))
        next = next.next();
    if (next.isValid())
        return lineEndBefore(next);
    while (block.previous().isValid() && SourceDocument::continues(block))
        block = block.previous();
    const LineEnd before = lineEndBefore(block);
    return before == LineEnd::Piece ? LineEnd::CrLf : before;
}

}  // namespace

WritingAids::WritingAids(EditorView &view, SourceColours &colours)
    : QObject(&view.edit()),
      m_view(view),
      m_colours(colours),
      m_abbreviations(std::make_unique<source::Abbreviations>())
{
    connect(&view.source(), &SourceDocument::edited, this, &WritingAids::edited);
    connect(&view.source(), &SourceDocument::aboutToReplace, this, &WritingAids::close);
}

WritingAids::~WritingAids() = default;

CompletionPopup &WritingAids::popup()
{
    // Made when first shown: start-up makes no list.
    if (!m_popup) {
        m_popup = new CompletionPopup(&m_view.edit());
        connect(m_popup, &CompletionPopup::accepted, this, &WritingAids::accept);
    }
    return *m_popup;
}

bool WritingAids::isListShown() const
{
    return m_popup && m_popup->isVisible();
}

void WritingAids::dismissList()
{
    if (m_popup)
        m_popup->dismiss();
}

qsizetype WritingAids::caret() const
{
    return m_view.source().textPosition(m_view.edit().textCursor().position());
}

CaretContext WritingAids::contextAtCaret(qsizetype *offset) const
{
    const qsizetype at = caret();
    *offset = std::max<qsizetype>(0, at - kContextWindow);
    return source::caretContext(withLineFeeds(m_view.source().characters(*offset, at - *offset)),
                                m_colours.language());
}

bool WritingAids::keyPress(QKeyEvent *event)
{
    if (event->matches(QKeySequence::Undo) || event->matches(QKeySequence::Redo)) {
        m_link.reset();
        close();
        return false;
    }
    if (!std::exchange(m_reading, true))
        m_reader.run(
            [](const engine::Task &) {
                source::Vocabulary::instance();
                return true;
            },
            [](bool) {});
    prepareLink();
    const Qt::KeyboardModifiers modifiers =
        event->modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier);
    if (isListShown() && !modifiers) {
        switch (event->key()) {
        case Qt::Key_Up:
        case Qt::Key_Down:
            popup().move(event->key() == Qt::Key_Up ? -1 : 1);
            return true;
        case Qt::Key_PageUp:
        case Qt::Key_PageDown:
            popup().move(event->key() == Qt::Key_PageUp ? -8 : 8);
            return true;
        case Qt::Key_Return:
        case Qt::Key_Enter:
        case Qt::Key_Tab:
            accept();
            return true;
        case Qt::Key_Escape:
            dismissList();
            return true;
        default:
            return false;
        }
    }
    if (modifiers || m_view.edit().isReadOnly())
        return false;
    if (event->key() == Qt::Key_Escape)
        endFields();
    if (event->key() != Qt::Key_Tab && event->key() != Qt::Key_Backtab)
        return false;
    if (m_field >= 0 && !isInside(caret(), m_expansion))
        endFields();
    if (m_field >= 0) {
        visitField(event->key() == Qt::Key_Tab ? 1 : -1);
        return true;
    }
    return event->key() == Qt::Key_Tab && !m_view.edit().textCursor().hasSelection() && expand();
}

void WritingAids::type(QKeyEvent *event, const std::function<void()> &type)
{
    if (m_view.edit().isReadOnly()) {
        type();
        return;
    }
    if (isLinked(event)) {
        SourceDocument &source = m_view.source();
        QTextDocument &document = source.textDocument();
        std::array<TextRange, 2> names = *m_link;
        const int edited = isInside(caret(), names[0]) ? 0 : 1;
        for (TextRange &name : names)
            name = {source.documentPosition(name.start), source.documentPosition(name.end)};
        const int before = document.characterCount();
        // Inside one edit the document tells of its changes at the end, all at once.
        QTextCursor block(&document);
        block.beginEditBlock();
        m_linking = true;
        type();
        names = carryName(names, edited, document.characterCount() - before);
        block.endEditBlock();
        m_linking = false;
        for (TextRange &name : names)
            name = {source.textPosition(int(name.start)), source.textPosition(int(name.end))};
        m_link = names;
    } else {
        type();
    }
    const QString typed = event->text();
    const bool typing =
        !typed.isEmpty() && typed[0].isPrint() &&
        !(event->modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier));
    if (isListShown()) {
        if (typing || event->key() == Qt::Key_Backspace || event->key() == Qt::Key_Delete)
            offer(false);
        else if (event->key() != Qt::Key_Shift)
            dismissList();
        return;
    }
    // A list opens on what starts a name; a space or anything else typed is left alone.
    if (typing && typed.size() == 1 &&
        (typed == u"<"_s || typed == u"\""_s || typed == u"'"_s || typed == u"-"_s ||
         (typed[0].isLetterOrNumber() && typed[0].unicode() < 128)))
        offer(true);
}

bool WritingAids::isLinked(QKeyEvent *event) const
{
    if (!m_link ||
        (event->modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier)))
        return false;
    // Only keys that edit inside the name: not a Backspace at its start nor a Delete at its end.
    const QTextCursor cursor = m_view.edit().textCursor();
    const qsizetype at = caret();
    const auto start = [&](const TextRange &name) { return at == name.start; };
    const auto end = [&](const TextRange &name) { return at == name.end; };
    if (!cursor.hasSelection() && event->key() == Qt::Key_Backspace)
        return !start((*m_link)[0]) && !start((*m_link)[1]);
    if (!cursor.hasSelection() && event->key() == Qt::Key_Delete)
        return !end((*m_link)[0]) && !end((*m_link)[1]);
    return event->key() == Qt::Key_Backspace || event->key() == Qt::Key_Delete ||
           (!event->text().isEmpty() && event->text()[0].isPrint());
}

void WritingAids::inputMethod()
{
    m_link.reset();
    dismissList();
}

void WritingAids::close()
{
    dismissList();
    endFields();
    m_link.reset();
}

void WritingAids::offer(bool opening)
{
    qsizetype offset = 0;
    const CaretContext context = contextAtCaret(&offset);
    const QList<source::Suggestion> suggestions = source::Vocabulary::instance().suggestions(
        context,
        m_view.source().characters(offset + context.start, caret() - offset - context.start));
    if (suggestions.isEmpty() || (opening && m_view.edit().textCursor().hasSelection())) {
        dismissList();
        return;
    }
    QTextCursor at = m_view.edit().textCursor();
    at.setPosition(m_view.source().documentPosition(offset + context.start));
    const QRect shown = m_view.edit().cursorRect(at);
    popup().offer(suggestions,
                  QRect(m_view.edit().viewport()->mapToGlobal(shown.topLeft()), shown.size()));
}

void WritingAids::accept()
{
    const std::optional<source::Suggestion> chosen = popup().chosen();
    qsizetype offset = 0;
    const CaretContext context = contextAtCaret(&offset);
    dismissList();
    if (!chosen || context.kind == CaretContext::Kind::Nothing)
        return;
    QString text = chosen->name;
    int back = 0;  // where the caret goes, from the end of what is put in
    if (context.kind == CaretContext::Kind::Attribute && !chosen->bare) {
        text += u"=\"\""_s;
        back = 1;
    } else if (context.kind == CaretContext::Kind::CssProperty) {
        text += u": "_s;
    }
    SourceDocument &source = m_view.source();
    QTextCursor cursor = m_view.edit().textCursor();
    cursor.setPosition(source.documentPosition(offset + context.start));
    cursor.setPosition(source.documentPosition(caret()), QTextCursor::KeepAnchor);
    source.insert(cursor, text);
    cursor.setPosition(cursor.position() - back);
    m_view.edit().setTextCursor(cursor);
    // An attribute's or a property's values follow, when it has a set of them.
    if (back || context.kind == CaretContext::Kind::CssProperty)
        offer(true);
}

bool WritingAids::expand()
{
    qsizetype offset = 0;
    const CaretContext context = contextAtCaret(&offset);
    SourceDocument &source = m_view.source();
    const qsizetype at = caret();
    const TextRange line = source.lineAround(at);
    source::Abbreviations::Settings settings;
    settings.charset = m_charset;
    const QString whole = source.characters(line.start, line.end - line.start);
    qsizetype indent = 0;
    while (indent < whole.size() && (whole[indent] == u' ' || whole[indent] == u'\t'))
        ++indent;
    settings.baseIndent = whole.left(indent);
    settings.indent = settings.baseIndent.startsWith(u'\t') ? u"\t"_s : u"  "_s;
    std::optional<source::Expansion> expansion;
    qsizetype from = line.start;
    if (context.place == CaretContext::Place::Text) {
        expansion = m_abbreviations->expandMarkup(whole.left(at - line.start), settings);
    } else if (context.place == CaretContext::Place::Style && context.declaration >= 0 &&
               offset + context.declaration >= line.start) {
        from = offset + context.declaration;
        expansion = m_abbreviations->expandStylesheet(source.characters(from, at - from), settings);
    }
    if (!expansion) {
        // Said once: Tab still types a Tab.
        if (!m_abbreviations->failure().isEmpty() && !std::exchange(m_failureSaid, true))
            emit failed(m_abbreviations->failure());
        return false;
    }
    from += expansion->start;
    QTextCursor cursor = m_view.edit().textCursor();
    cursor.setPosition(source.documentPosition(from));
    cursor.setPosition(source.documentPosition(at), QTextCursor::KeepAnchor);
    source.insert(cursor, expansion->text, lineEndOf(cursor.block()));
    m_expansion = {from, from + expansion->text.size()};
    m_fields.clear();
    for (const TextRange &field : std::as_const(expansion->fields))
        m_fields.append({from + field.start, from + field.end});
    m_field = -1;
    if (m_fields.isEmpty()) {
        cursor.setPosition(source.documentPosition(m_expansion.end));
        m_view.edit().setTextCursor(cursor);
    } else {
        visitField(1);
    }
    return true;
}

void WritingAids::visitField(int step)
{
    const int next = std::max(0, m_field + step);
    QTextCursor cursor = m_view.edit().textCursor();
    const SourceDocument &source = m_view.source();
    if (next >= m_fields.size()) {
        // Past the last field: the caret leaves the expansion at its end.
        cursor.setPosition(source.documentPosition(m_expansion.end));
        endFields();
    } else {
        m_field = next;
        cursor.setPosition(source.documentPosition(m_fields[next].start));
        cursor.setPosition(source.documentPosition(m_fields[next].end), QTextCursor::KeepAnchor);
    }
    m_view.edit().setTextCursor(cursor);
}

void WritingAids::endFields()
{
    m_field = -1;
    m_fields.clear();
}

void WritingAids::prepareLink()
{
    const QTextCursor cursor = m_view.edit().textCursor();
    SourceDocument &source = m_view.source();
    const qsizetype at = source.textPosition(cursor.position());
    const qsizetype anchor = source.textPosition(cursor.anchor());
    const auto holdsCaret = [&](TextRange name) {
        return isInside(at, name) && isInside(anchor, name);
    };
    if (m_link && (holdsCaret((*m_link)[0]) || holdsCaret((*m_link)[1])))
        return;
    m_link.reset();
    // Only a parse of the text as it stands pairs the tags.
    if (!m_colours.isCurrent())
        return;
    const std::optional<source::TagPair> pair = m_colours.tagPairAt(cursor.position());
    if (!pair || !pair->partner)
        return;
    const auto nameOf = [&source](TextRange tag) {
        qsizetype start = source.textPosition(int(tag.start)) + 1;
        if (source.characters(start, 1) == u"/"_s)
            ++start;
        return TextRange{start, source.textPosition(int(tag.end))};
    };
    const TextRange tag = nameOf(pair->tag), partner = nameOf(*pair->partner);
    const auto name = [&source](TextRange range) {
        return source.characters(range.start, range.end - range.start);
    };
    if (holdsCaret(tag) && name(tag).compare(name(partner), Qt::CaseInsensitive) == 0)
        m_link = {tag, partner};
}

void WritingAids::edited(qsizetype position, qsizetype removed, qsizetype added)
{
    if (m_field >= 0) {
        const std::optional<TextRange> whole = follow(m_expansion, position, removed, added);
        QList<TextRange> fields;
        for (const TextRange &field : std::as_const(m_fields))
            if (const std::optional<TextRange> moved = follow(field, position, removed, added))
                fields.append(*moved);
        if (whole && fields.size() == m_fields.size()) {
            m_expansion = *whole;
            m_fields = fields;
        } else {
            endFields();
        }
    }
    // Any edit but those of a key that edits a name leaves the names apart.
    if (!m_linking)
        m_link.reset();
}

std::array<TextRange, 2> WritingAids::carryName(std::array<TextRange, 2> names, int edited,
                                                qsizetype added)
{
    // In the document's positions, and read from it: the text kept beside it hears of the
    // key's edit only at the end.
    QTextDocument &document = m_view.source().textDocument();
    TextRange &typed = names[edited];
    TextRange &partner = names[1 - edited];
    if (partner.start > typed.start) {
        partner.start += added;
        partner.end += added;
    }
    QString name;
    for (qsizetype at = typed.start; at < typed.end + added; ++at) {
        const QChar c = document.characterAt(int(at));
        if (!isNameChar(c))
            break;
        name += c;
    }
    typed.end = typed.start + name.size();
    QTextCursor cursor(&document);
    cursor.setPosition(int(partner.start));
    cursor.setPosition(int(partner.end), QTextCursor::KeepAnchor);
    if (cursor.selectedText() == name)
        return names;
    cursor.insertText(name);
    const qsizetype moved = name.size() - (partner.end - partner.start);
    if (partner.start < typed.start) {
        typed.start += moved;
        typed.end += moved;
    }
    partner.end = partner.start + name.size();
    return names;
}

}  // namespace editor
