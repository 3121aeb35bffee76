#pragma once

#include <QString>
#include <atomic>
#include <optional>

#include "engine/fileerror.h"
#include "engine/textsnapshot.h"
#include "platform/fileio.h"

namespace engine {

// Folder, the platform's separator unless the folder already ends in it, then the name.
QString JoinPath(const QString &folder, const QString &name);

// The file's lines: each ends at CR or CR LF, the terminator dropped; a LF not after a CR stays
// inside its line. Every line, the last included, comes back followed by CR LF.
QString LinesFromFile(const QString &content);

struct ReadText {
    QString text;
    QString encoding;  // the one the document is in, to be saved in again
    std::optional<FileError> error;
    QString notice;  // what saving will change of the bytes, told on opening; empty for nothing
};

// The document's text as LinesFromFile gives it; an empty file gives "". A stylesheet or script
// (by its name's ending) with no encoding of its own is read in pageEncoding, as its page would.
ReadText ReadTextFile(const QString &path, const QString &pageEncoding = {});

// A character the encoding could not hold, written as its reference instead, and its line.
struct Referenced {
    QString character;
    int line = 0;
};

// The text, then CR LF, in the encoding; replaces the file as a whole. Nothing on success. A
// cancel flag set meanwhile stops it before the file is touched. Given referenced, what the
// encoding cannot hold is written as character references, the first one noted there.
std::optional<FileError> WriteTextFile(
    const QString &path, const TextSnapshot &text, const QString &encoding,
    platform::Durability durability = platform::Durability::Synced,
    const std::atomic<bool> *cancel = nullptr, Referenced *referenced = nullptr);

}  // namespace engine
