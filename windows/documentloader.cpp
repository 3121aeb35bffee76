#include "windows/documentloader.h"

#include <QTextCursor>
#include <QTextDocument>
#include <QThread>

#include "engine/textfile.h"
#include "windows/editortext.h"
#include "windows/sourcecolours.h"
#include "windows/sourceedit.h"

using namespace Qt::StringLiterals;

namespace windows {

LoadedDocument loadDocument(const QString &path, const DocumentStyle &style, QThread *home,
                            const std::atomic<bool> &cancel,
                            const std::function<void(int)> &progress)
{
    LoadedDocument loaded;
    engine::ReadText read = engine::ReadTextFile(path);
    if (read.error) {
        loaded.error = read.error->message();
        return loaded;
    }
    progress(30);
    const DocumentText text = toDocumentText(read.text);
    read.text.clear();
    loaded.encoding = read.encoding;
    progress(40);
    std::unique_ptr<QTextDocument> document(SourceColours::newDocument(nullptr));
    document->setDefaultFont(style.font);
    document->setDefaultTextOption(style.option);
    document->setUndoRedoEnabled(false);
    QTextCursor cursor(document.get());
    // In pieces, to tell how far it is and to stop when asked.
    constexpr qsizetype kPiece = 1 << 20;
    for (qsizetype at = 0; at < text.text.size();) {
        if (cancel) {
            loaded.error = QString();
            return loaded;
        }
        qsizetype length = std::min(kPiece, text.text.size() - at);
        if (at + length < text.text.size() && text.text.at(at + length - 1).isHighSurrogate())
            --length;
        cursor.insertText(text.text.sliced(at, length));
        at += length;
        progress(40 + int(50 * at / text.text.size()));
    }
    SourceEdit::markLiteralSeparators(*document, text.literalSeparators);
    loaded.markedSeparators = !text.literalSeparators.isEmpty();
    document->setUndoRedoEnabled(true);
    loaded.characters = engine::ChunkedText(document->toRawText());
    document->moveToThread(home);
    loaded.document = std::move(document);
    progress(100);
    return loaded;
}

}  // namespace windows
