#pragma once

#include <QFont>
#include <QString>
#include <QTextOption>
#include <memory>
#include <optional>

#include "engine/chunkedtext.h"

namespace engine {
class Task;
}

class QTextDocument;
class QThread;

namespace editor {

// A document file read into a text document of the editor's kind, off the editor's thread: the
// editor then takes it in one step.
struct LoadedDocument {
    std::unique_ptr<QTextDocument> document;  // moved to the thread that asked for it
    engine::ChunkedText characters;           // its characters, as the editor keeps them
    QList<qsizetype> pieces;                  // where its long lines are cut, see SourceDocument
    bool ambiguous = false;                   // see SourceDocument, which reads such a text whole
    QString encoding;
    QString notice;  // what saving will change of its bytes, see ReadText
    // Why it could not be read; an empty message when it was cancelled.
    std::optional<QString> error;
};

// How the editor shows its text, for a document made elsewhere.
struct DocumentStyle {
    QFont font;
    QTextOption option;
};

// Reads, decodes and lays out the file at path on the calling thread, for home, the thread of the
// editor that takes it. The task hears of the share done, 0 to 100, and a cancel stops it soon.
// A stylesheet or script with no encoding of its own is read in pageEncoding.
LoadedDocument loadDocument(const QString &path, const DocumentStyle &style, QThread *home,
                            const engine::Task &task, const QString &pageEncoding = {});

}  // namespace editor
