#include "editor/documentloader.h"

#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QThread>

#include "editor/editortext.h"
#include "editor/sourcedocument.h"
#include "engine/background.h"
#include "engine/textfile.h"

using namespace Qt::StringLiterals;

namespace editor {

LoadedDocument loadDocument(const QString &path, const DocumentStyle &style, QThread *home,
                            const engine::Task &task)
{
    LoadedDocument loaded;
    engine::ReadText read = engine::ReadTextFile(path);
    if (read.error) {
        loaded.error = read.error->message();
        return loaded;
    }
    task.progress(30);
    DocumentText text = toDocumentText(read.text);
    read.text = QString();
    loaded.encoding = read.encoding;
    task.progress(40);
    std::unique_ptr<QTextDocument> document(SourceDocument::newTextDocument(nullptr));
    document->setDefaultFont(style.font);
    document->setDefaultTextOption(style.option);
    document->setUndoRedoEnabled(false);
    QTextCursor cursor(document.get());
    if (task.isCancelled()) {
        loaded.error = QString();
        return loaded;
    }
    // At once: the document's store would grow piece by piece to well over the text's size.
    cursor.insertText(text.text);
    // The editor gives every line a layout when it takes a document: made here, that leaves it
    // only their counts to reset.
    for (QTextBlock block = document->firstBlock(); block.isValid(); block = block.next())
        block.layout();
    task.progress(90);
    SourceDocument::markLiteralSeparators(*document, text.literalSeparators);
    loaded.markedSeparators = !text.literalSeparators.isEmpty();
    document->setUndoRedoEnabled(true);
    // The document holds each line end as a paragraph separator; the text it was made from, so
    // changed, is its characters without another copy. Frame marks would be taken as line ends
    // too: such a text is read back instead.
    if (text.text.contains(QChar(0xfdd0)) || text.text.contains(QChar(0xfdd1))) {
        loaded.characters = engine::ChunkedText(document->toRawText());
    } else {
        text.text.replace(u'\n', QChar::ParagraphSeparator);
        loaded.characters = engine::ChunkedText(text.text);
    }
    text.text = QString();
    document->moveToThread(home);
    loaded.document = std::move(document);
    task.progress(100);
    return loaded;
}

}  // namespace editor
