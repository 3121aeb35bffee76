#pragma once

#include <QByteArray>
#include <QString>
#include <initializer_list>
#include <optional>

#include "fileerror.h"

namespace platform {

// Larger files are refused before reading: a plain text box cannot hold them usefully anyway.
inline constexpr qint64 kMaxReadBytes = 64 * 1024 * 1024;

struct ReadBytes {
    QByteArray bytes;
    std::optional<FileError> error;
};

ReadBytes readFileBytes(const QString &path);

enum class Durability {
    Synced,  // on disk before the file is put in place: for the user's documents
    Cached,  // left to the system's cache: for files that are rewritten on every keystroke
};

// Replaces the file as a whole with the parts, one after another, in the named encoding: the
// bytes go to a temporary file beside it, which is then renamed over it, so a failure midway (or
// a character the encoding cannot hold) leaves the earlier file intact and no reader sees half a
// file. Only a regular file or nothing is ever renamed over, judged at the start and again right
// before the rename; a device or a pipe is written directly, a link is followed. Nothing on
// success.
std::optional<FileError> writeTextAtomically(const QString &path,
                                             std::initializer_list<QStringView> parts,
                                             const QString &encoding, Durability durability);

// Makes sure an owner-only folder exists at path, refusing a link or a non-folder there.
std::optional<FileError> ensurePrivateFolder(const QString &path);

}  // namespace platform
