#include "editor/documentloader.h"

#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QThread>

#include "editor/lineends.h"
#include "editor/sourcedocument.h"
#include "engine/background.h"
#include "engine/textfile.h"

using namespace Qt::StringLiterals;

namespace editor {

LoadedDocument loadDocument(const QString &path, const DocumentStyle &style, QThread *home,
                            const engine::Task &task, const QString &pageEncoding)
{
    LoadedDocument loaded;
    engine::ReadText read = engine::ReadTextFile(path, pageEncoding);
    if (read.error) {
        loaded.error = read.error->message();
        return loaded;
    }
    task.progress(30);
    // In place: a large page is not copied again.
    QString kept = std::move(read.text);
    LineEnds ends = keep(kept);
    loaded.encoding = read.encoding;
    loaded.notice = std::move(read.notice);
    task.progress(40);
    std::unique_ptr<QTextDocument> document(SourceDocument::newTextDocument(nullptr));
    document->setDefaultFont(style.font);
    document->setDefaultTextOption(style.option);
    if (task.isCancelled()) {
        loaded.error = QString();
        return loaded;
    }
    // At once: the document's store would grow piece by piece to well over the text's size.
    fill(*document, shown(kept, ends), ends);
    // The editor gives every line a layout when it takes a document: made here, that leaves it
    // only their counts to reset.
    for (QTextBlock block = document->firstBlock(); block.isValid(); block = block.next())
        block.layout();
    task.progress(90);
    loaded.ambiguous = ends.ambiguous();
    loaded.characters = engine::ChunkedText(kept);
    loaded.pieces = ends.at[int(LineEnd::Piece)];
    kept = QString();
    document->moveToThread(home);
    loaded.document = std::move(document);
    task.progress(100);
    return loaded;
}

}  // namespace editor
