#include "editor/sourcedocument.h"

#include <QPlainTextDocumentLayout>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>

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
    connect(document, &QTextDocument::contentsChanged, this, [this] {
        if (!m_replacing && !m_composing && !m_restyling)
            emit changed();
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

void SourceDocument::followChange(int position, int removed, int added)
{
    if (m_replacing || m_restyling)
        return;
    const int length = m_document->characterCount() - 1;  // without the last block's end
    const int end = std::min(position + added, length);
    QString inserted;
    if (end > position && !m_ambiguous) {
        QTextCursor cursor(m_document);
        cursor.setPosition(position);
        cursor.setPosition(end, QTextCursor::KeepAnchor);
        inserted = cursor.selectedText();
        // Each line end as its kind: the block after it knows.
        QTextBlock block = m_document->findBlock(position);
        for (qsizetype at = inserted.indexOf(QChar::ParagraphSeparator); at >= 0;
             at = inserted.indexOf(QChar::ParagraphSeparator, at + 1)) {
            while (block.isValid() && block.position() <= position + at)
                block = block.next();
            inserted[at] = keptChar(lineEndBefore(block));
        }
    }
    if (m_ambiguous) {
        emit edited(position, removed, added);
        return;
    }
    m_mirror.replace(position, removed, inserted);
    // What the document reports at its very end is not always what changed there.
    if (m_mirror.size() != length)
        m_mirror = engine::ChunkedText(m_document->toRawText());
    emit edited(position, removed, added);
}

engine::TextSnapshot SourceDocument::snapshot() const
{
    if (m_ambiguous)
        return text();
    return engine::TextSnapshot::fromEditorChunks(m_mirror.chunks());
}

bool SourceDocument::endsWith(QChar c) const
{
    return m_document->characterAt(m_document->characterCount() - 2) == c;
}

void SourceDocument::setText(const QString &text)
{
    QString kept = text;
    const LineEnds ends = keep(kept);
    // Filling the document clears and inserts in separate steps, and gives lines their ends; the
    // text changes once.
    emit aboutToReplace();
    m_replacing = true;
    fill(*m_document, kept, ends);
    m_ambiguous = ends.ambiguous();
    m_mirror = m_ambiguous ? engine::ChunkedText() : engine::ChunkedText(kept);
    m_replacing = false;
    emit replaced();
    emit changed();
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
    m_mirror = std::move(loaded.characters);
    emit replaced();
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

void SourceDocument::insertLineBreak(QTextCursor &cursor)
{
    // Not the format of the characters around, which may be of another kind of line end.
    cursor.insertBlock(cursor.blockFormat(), separatorFormat(LineEnd::CrLf));
}

void SourceDocument::insert(QTextCursor &cursor, QStringView text)
{
    const QStringList lines = linesOf(text);
    cursor.beginEditBlock();
    cursor.insertText(lines.first());
    if (lines.size() > 1) {
        insertLineBreak(cursor);
        cursor.insertText(lines.sliced(1).join(u'\n'), separatorFormat(LineEnd::CrLf));
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
