#pragma once

#include <QString>

namespace platform {

// Why a file operation failed, kept apart from how a window shows it.
struct FileError {
    enum class Kind {
        Open,      // could not be opened for reading
        Read,      // opened, but reading failed
        TooLarge,  // larger than the editor can hold
        Decode,    // bytes not valid in the text encoding
        Write,     // could not be created, written or put in place
        Encode,    // text holds a character the encoding cannot represent
        Folder,    // a folder could not be made ready
    };

    Kind kind = Kind::Open;
    QString path;    // in native separators
    QString reason;  // the system's own words, may be empty

    // One or two sentences in Japanese, naming the file and the reason.
    QString message() const;
};

}  // namespace platform
