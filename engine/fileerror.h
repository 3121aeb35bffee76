#pragma once

#include <QString>

namespace platform {
struct OsError;
}

namespace engine {

// Why a file operation failed, kept apart from how a window shows it.
struct FileError {
    enum class Kind {
        Open,      // could not be opened for reading
        Read,      // opened, but reading failed
        TooLarge,  // larger than the editor can hold
        Decode,    // bytes not valid in any encoding the document may be in
        Write,     // could not be created, written or put in place
        Encode,    // text holds a character the encoding cannot represent
        Folder,    // a folder could not be made ready
    };

    FileError() = default;
    // path in any separators; reason in Japanese.
    FileError(Kind kind, const QString &path, QString reason = {});
    // The reason the system gave.
    FileError(Kind kind, const QString &path, const platform::OsError &error);

    Kind kind = Kind::Open;
    QString path;    // in native separators
    QString reason;  // in Japanese, may be empty
    // For Encode: the encoding, and the first character it cannot hold with its line (from 1).
    QString encoding;
    QString character;
    int line = 0;

    // One or two sentences in Japanese, naming the file and the reason.
    QString message() const;
};

}  // namespace engine
