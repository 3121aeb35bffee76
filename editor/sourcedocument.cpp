#include "editor/sourcedocument.h"

#include <QPlainTextDocumentLayout>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>

#include "editor/documentloader.h"
#include "editor/editortext.h"

namespace editor {

namespace {

// Set on a line separator that was a character of the text, not a LF.
constexpr int kLiteralSeparator = QTextFormat::UserProperty + 1;

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
    if (m_hasMarkedSeparators)
        return textWithMarkedSeparators();
    return fromDocumentText(m_document->toRawText());
}

void SourceDocument::followChange(int position, int removed, int added)
{
    if (m_replacing || m_restyling)
        return;
    const int length = m_document->characterCount() - 1;  // without the last block's end
    const int end = std::min(position + added, length);
    QString inserted;
    if (end > position) {
        QTextCursor cursor(m_document);
        cursor.setPosition(position);
        cursor.setPosition(end, QTextCursor::KeepAnchor);
        inserted = cursor.selectedText();
    }
    m_mirror.replace(position, removed, inserted);
    // What the document reports at its very end is not always what changed there.
    if (m_mirror.size() != length)
        m_mirror = engine::ChunkedText(m_document->toRawText());
    emit edited(position, removed, added);
}

engine::TextSnapshot SourceDocument::snapshot() const
{
    if (m_hasMarkedSeparators)
        return text();
    return engine::TextSnapshot::fromEditorChunks(m_mirror.chunks());
}

bool SourceDocument::endsWith(QChar c) const
{
    return m_document->characterAt(m_document->characterCount() - 2) == c;
}

QString SourceDocument::textWithMarkedSeparators() const
{
    QString out;
    for (QTextBlock block = m_document->begin(); block.isValid(); block = block.next()) {
        if (block != m_document->begin())
            out.append(u"\r\n");
        for (QTextBlock::iterator it = block.begin(); !it.atEnd(); ++it) {
            const QTextFragment fragment = it.fragment();
            const bool literal = fragment.charFormat().hasProperty(kLiteralSeparator);
            for (const QChar ch : fragment.text()) {
                if (ch == QChar::LineSeparator && !literal)
                    out.append(u'\n');
                else
                    out.append(ch);
            }
        }
    }
    return out;
}

void SourceDocument::setText(const QString &text)
{
    const DocumentText document = toDocumentText(text);
    // setPlainText may clear and insert in separate steps, and marking changes formats; the text
    // changes once.
    emit aboutToReplace();
    m_replacing = true;
    m_document->setPlainText(document.text);
    m_hasMarkedSeparators = !document.literalSeparators.isEmpty();
    markLiteralSeparators(*m_document, document.literalSeparators);
    if (m_hasMarkedSeparators)
        m_document->clearUndoRedoStacks();
    m_mirror = engine::ChunkedText(m_document->toRawText());
    m_replacing = false;
    emit replaced();
    emit changed();
}

void SourceDocument::markLiteralSeparators(QTextDocument &document,
                                           const QList<qsizetype> &positions)
{
    QTextCharFormat literal;
    literal.setProperty(kLiteralSeparator, true);
    for (const qsizetype position : positions) {
        QTextCursor cursor(&document);
        cursor.setPosition(int(position));
        cursor.movePosition(QTextCursor::NextCharacter, QTextCursor::KeepAnchor);
        cursor.mergeCharFormat(literal);
    }
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
    m_hasMarkedSeparators = loaded.markedSeparators;
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
    cursor.insertBlock();
}

void SourceDocument::insertPasted(QTextCursor &cursor, QStringView text)
{
    cursor.insertText(pastedToDocumentText(text));
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
