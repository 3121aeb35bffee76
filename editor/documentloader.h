#pragma once

#include <QFont>
#include <QString>
#include <QTextOption>
#include <atomic>
#include <functional>
#include <memory>
#include <optional>

#include "engine/chunkedtext.h"

class QTextDocument;
class QThread;

namespace editor {

// A document file read into a text document of the editor's kind, off the editor's thread: the
// editor then takes it in one step.
struct LoadedDocument {
    std::unique_ptr<QTextDocument> document;  // moved to the thread that asked for it
    engine::ChunkedText characters;           // its characters, as the editor keeps them
    bool markedSeparators = false;
    QString encoding;
    // Why it could not be read; an empty message when it was cancelled.
    std::optional<QString> error;
};

// How the editor shows its text, for a document made elsewhere.
struct DocumentStyle {
    QFont font;
    QTextOption option;
};

// Reads, decodes and lays out the file at path on the calling thread; progress hears of the
// share done, 0 to 100. A cancel flag set meanwhile stops it soon.
LoadedDocument loadDocument(const QString &path, const DocumentStyle &style, QThread *home,
                            const std::atomic<bool> &cancel,
                            const std::function<void(int)> &progress);

}  // namespace editor
