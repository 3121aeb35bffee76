#include "editor/sourcedocument.h"

#include <QPlainTextDocumentLayout>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <algorithm>

#include "editor/documentloader.h"
#include "editor/lineends.h"

namespace editor {

namespace {

// The plain layout measures a change by what was removed and added together, so new formats
// for a block, told as the whole block replaced, seem to run into the next one, and the whole
// view is laid out and painted again. A change that stays within one block is told as such,
// and only that block is.
class SourceLayout : public QPlainTextDocumentLayout {
public:
    using QPlainTextDocumentLayout::QPlainTextDocumentLayout;

protected:
    void documentChanged(int from, int removed, int added) override
    {
        // What was removed is gone; only what stands now says which blocks changed.
        const QTextDocument *document = this->document();
        const int blocks = document->blockCount();
        if (blocks == m_blocks &&
            document->findBlock(from) == document->findBlock(from + std::max(added, 1) - 1))
            QPlainTextDocumentLayout::documentChanged(from, 0, 1);
        else
            QPlainTextDocumentLayout::documentChanged(from, removed, added);
        m_blocks = blocks;
    }

private:
    int m_blocks = -1;
};

}  // namespace

QTextDocument *SourceDocument::newTextDocument(QObject *parent)
{
    auto *document = new QTextDocument(parent);
    document->setDocumentLayout(new SourceLayout(document));
    return document;
}

SourceDocument::SourceDocument(QObject *parent) : QObject(parent), m_document(newTextDocument(this))
{
    follow(m_document);
}

void SourceDocument::follow(QTextDocument *document)
{
    // Before anything else hears of a change, so that the characters are current for all who do.
    connect(document, &QTextDocument::contentsChange, this, &SourceDocument::followChange);
    connect(document, &QTextDocument::modificationChanged, this,
            &SourceDocument::modificationChanged);
    connect(document, &QTextDocument::contentsChanged, this, [this] {
        // A long line cut anew into pieces is no change of the text.
        if (!m_replacing && !m_composing && !m_restyling && std::exchange(m_textChanged, false)) {
            ++m_revision;
            emit changed();
        }
    });
}

QString SourceDocument::text() const
{
    QString out;
    out.reserve(m_document->characterCount());
    for (QTextBlock block = m_document->begin(); block.isValid(); block = block.next()) {
        if (block != m_document->begin())
            out += lineEndText(lineEndBefore(block));
        out += block.text();
    }
    return out;
}

qsizetype SourceDocument::piecesBefore(qsizetype documentPosition) const
{
    return std::lower_bound(m_pieces.cbegin(), m_pieces.cend(), documentPosition) -
           m_pieces.cbegin();
}

qsizetype SourceDocument::textPosition(int documentPosition) const
{
    return documentPosition - piecesBefore(documentPosition);
}

int SourceDocument::documentPosition(qsizetype textPosition) const
{
    // The i-th separator stands at the text's position m_pieces[i] - i: those before position
    // push it along.
    qsizetype low = 0, high = m_pieces.size();
    while (low < high) {
        const qsizetype middle = (low + high) / 2;
        if (m_pieces[middle] - middle < textPosition)
            low = middle + 1;
        else
            high = middle;
    }
    return int(textPosition + low);
}

QString SourceDocument::characters(qsizetype position, qsizetype length) const
{
    return m_kept.mid(position, length);
}

void SourceDocument::followChange(int position, int removed, int added)
{
    if (m_replacing || m_restyling)
        return;
    const qsizetype from = textPosition(position);
    const auto first = std::lower_bound(m_pieces.begin(), m_pieces.end(), qsizetype(position));
    const auto last = std::lower_bound(first, m_pieces.end(), qsizetype(position) + removed);
    const qsizetype textRemoved = removed - (last - first);
    for (auto it = last; it != m_pieces.end(); ++it)
        *it += added - removed;
    const qsizetype at = m_pieces.erase(first, last) - m_pieces.begin();
    const int length = m_document->characterCount() - 1;  // without the last block's end
    const int end = std::min(position + added, length);
    QString inserted;
    if (end > position) {
        QTextCursor cursor(m_document);
        cursor.setPosition(position);
        cursor.setPosition(end, QTextCursor::KeepAnchor);
        const QString selected = cursor.selectedText();
        inserted.reserve(selected.size());
        // Each line end as its kind, which the block after it knows; a piece's end is nothing.
        QList<qsizetype> pieces;
        QTextBlock block = m_document->findBlock(position);
        for (qsizetype i = 0; i < selected.size(); ++i) {
            if (selected[i] != QChar::ParagraphSeparator) {
                inserted.append(selected[i]);
                continue;
            }
            while (block.isValid() && block.position() <= position + i)
                block = block.next();
            const LineEnd kind = lineEndBefore(block);
            if (kind == LineEnd::Piece)
                pieces.append(position + i);
            else
                inserted.append(keptChar(kind));
        }
        m_pieces.insert(at, pieces.size(), 0);
        std::copy(pieces.cbegin(), pieces.cend(), m_pieces.begin() + at);
    }
    m_kept.replace(from, textRemoved, inserted);
    // What the document reports at its very end is not always what changed there.
    if (m_kept.size() + m_pieces.size() != length)
        readAgain();
    m_textChanged = textRemoved > 0 || !inserted.isEmpty();
    if (m_textChanged)
        emit edited(from, textRemoved, inserted.size());
}

void SourceDocument::readAgain()
{
    QString kept;
    m_pieces.clear();
    for (QTextBlock block = m_document->begin(); block.isValid(); block = block.next()) {
        if (block != m_document->begin()) {
            const LineEnd kind = lineEndBefore(block);
            if (kind == LineEnd::Piece)
                m_pieces.append(block.position() - 1);
            else
                kept.append(keptChar(kind));
        }
        kept.append(block.text());
    }
    m_kept = engine::ChunkedText(kept);
}

qsizetype SourceDocument::fileOffset(qsizetype textPosition) const
{
    return textPosition + m_kept.count(QChar::ParagraphSeparator, 0, textPosition);
}

qsizetype SourceDocument::textOffset(qsizetype fileOffset) const
{
    qsizetype position = 0, offset = 0;
    for (const QString &chunk : m_kept.chunks()) {
        const qsizetype length = chunk.size() + chunk.count(QChar::ParagraphSeparator);
        if (offset + length <= fileOffset) {
            offset += length;
            position += chunk.size();
            continue;
        }
        for (const QChar c : chunk) {
            if (offset >= fileOffset)
                return position;
            offset += c == QChar::ParagraphSeparator ? 2 : 1;
            ++position;
        }
    }
    return position;
}

engine::TextSnapshot SourceDocument::snapshot() const
{
    if (m_ambiguous)
        return text();
    return engine::TextSnapshot::fromEditorChunks(m_kept.chunks());
}

bool SourceDocument::endsWith(QChar c) const
{
    return m_document->characterAt(m_document->characterCount() - 2) == c;
}

int SourceDocument::lineCount() const
{
    return m_document->lineCount() - int(m_pieces.size());
}

int SourceDocument::lineOf(int documentPosition) const
{
    const QTextBlock block = m_document->findBlock(documentPosition);
    const QTextLayout *layout = block.layout();
    const int inBlock =
        layout && layout->lineCount()
            ? layout->lineForTextPosition(documentPosition - block.position()).lineNumber()
            : 0;
    // The first line of each piece after the first is the line it continues.
    return block.firstLineNumber() + std::max(0, inBlock) - int(piecesBefore(block.position())) + 1;
}

int SourceDocument::lineStart(int line) const
{
    // The shown line to look for is the line's number, from 0, and the pieces before it; they
    // are known once it is found, so it is looked for until they no longer change.
    qsizetype pieces = 0;
    for (;;) {
        const int shown = line - 1 + int(pieces);
        const QTextBlock block = m_document->findBlockByLineNumber(shown);
        if (!block.isValid())
            return -1;
        const qsizetype before = piecesBefore(block.position());
        if (before == pieces) {
            const QTextLayout *layout = block.layout();
            const int inBlock = shown - block.firstLineNumber();
            return block.position() + (layout && inBlock > 0 && inBlock < layout->lineCount()
                                           ? layout->lineAt(inBlock).textStart()
                                           : 0);
        }
        pieces = before;
    }
}

bool SourceDocument::continues(const QTextBlock &block)
{
    return lineEndBefore(block) == LineEnd::Piece;
}

source::TextRange SourceDocument::lineAround(qsizetype position) const
{
    QTextBlock first = m_document->findBlock(documentPosition(position));
    QTextBlock last = first;
    while (continues(first))
        first = first.previous();
    while (last.next().isValid() && continues(last.next()))
        last = last.next();
    return {textPosition(first.position()), textPosition(last.position() + last.length() - 1)};
}

void SourceDocument::setText(const QString &text)
{
    QString kept = text;
    LineEnds ends = keep(kept);
    const QString show = shown(kept, ends);
    // Filling the document clears and inserts in separate steps, and gives lines their ends; the
    // text changes once.
    emit aboutToReplace();
    m_replacing = true;
    fill(*m_document, show, ends);
    m_ambiguous = ends.ambiguous();
    m_kept = engine::ChunkedText(kept);
    m_pieces = ends.at[int(LineEnd::Piece)];
    m_replacing = false;
    m_document->setModified(false);
    ++m_revision;
    emit replaced();
    emit changed();
}

bool SourceDocument::isModified() const
{
    return m_document->isModified();
}

void SourceDocument::setModified(bool modified)
{
    m_document->setModified(modified);
}

DocumentStyle SourceDocument::style() const
{
    return {m_document->defaultFont(), m_document->defaultTextOption()};
}

void SourceDocument::adopt(LoadedDocument &&loaded)
{
    emit aboutToReplace();
    QTextDocument *old = m_document;
    m_document = loaded.document.release();
    m_document->setParent(this);
    follow(m_document);
    m_ambiguous = loaded.ambiguous;
    m_kept = std::move(loaded.characters);
    m_pieces = std::move(loaded.pieces);
    m_document->setModified(false);
    ++m_revision;
    emit replaced();
    emit modificationChanged(false);
    // Not at once: the view lets go of it only now.
    old->deleteLater();
    emit changed();
}

void SourceDocument::appendLineBreak()
{
    QTextCursor cursor(m_document);
    cursor.movePosition(QTextCursor::End);
    insertLineBreak(cursor);
}

void SourceDocument::insertLineBreak(QTextCursor &cursor, LineEnd end)
{
    // Between two pieces the line ends where they part.
    if (!cursor.hasSelection()) {
        const QTextBlock block = cursor.block();
        if (cursor.atBlockStart() && continues(block))
            cursor.setPosition(cursor.position() - 1, QTextCursor::KeepAnchor);
        else if (cursor.atBlockEnd() && block.next().isValid() && continues(block.next()))
            cursor.setPosition(cursor.position() + 1, QTextCursor::KeepAnchor);
    }
    // Not the format of the characters around, which may be of another kind of line end.
    cursor.insertBlock(cursor.blockFormat(), separatorFormat(end));
}

void SourceDocument::insert(QTextCursor &cursor, QStringView text, LineEnd end)
{
    const QStringList lines = linesOf(text);
    cursor.beginEditBlock();
    if (std::none_of(lines.cbegin(), lines.cend(),
                     [](const QString &line) { return line.size() > kLongLine; })) {
        cursor.insertText(lines.first());
        if (lines.size() > 1) {
            insertLineBreak(cursor, end);
            cursor.insertText(lines.sliced(1).join(u'\n'), separatorFormat(end));
        }
        cursor.endEditBlock();
        return;
    }
    for (qsizetype i = 0; i < lines.size(); ++i) {
        if (i > 0)
            insertLineBreak(cursor, end);
        // A long line comes in pieces, as a long line set whole does.
        const QString &line = lines[i];
        if (line.size() <= kLongLine) {
            cursor.insertText(line, separatorFormat(end));
            continue;
        }
        for (qsizetype from = 0; from < line.size();) {
            qsizetype length = std::min(kPieceLength, line.size() - from);
            if (from + length < line.size() && line[from + length].isLowSurrogate())
                ++length;
            if (from > 0)
                cursor.insertBlock(cursor.blockFormat(), separatorFormat(LineEnd::Piece));
            cursor.insertText(QStringView(line).sliced(from, length).toString(),
                              separatorFormat(end));
            from += length;
        }
    }
    cursor.endEditBlock();
}

void SourceDocument::setFormats(const QTextBlock &block,
                                const QList<QTextLayout::FormatRange> &formats)
{
    m_restyling = true;
    block.layout()->setFormats(formats);
    m_document->markContentsDirty(block.position(), block.length());
    m_restyling = false;
}

}  // namespace editor
