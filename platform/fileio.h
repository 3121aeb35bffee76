#pragma once

#include <QByteArray>
#include <QString>
#include <optional>

#include "platform/systemerror.h"

namespace platform {

// Larger files are refused before reading: a plain text box cannot hold them usefully anyway.
inline constexpr qint64 kMaxReadBytes = 64 * 1024 * 1024;

struct ReadBytes {
    enum class Failure { None, Open, Read, TooLarge };
    QByteArray bytes;
    Failure failure = Failure::None;
    OsError error;  // for Open and Read
};

ReadBytes readFileBytes(const QString &path);

enum class Durability {
    Synced,  // on disk before the file is put in place: for the user's documents
    Cached,  // left to the system's cache: for files that are rewritten on every keystroke
};

// Replaces the file as a whole with bytes: they go to a temporary file beside it, which is then
// renamed over it, so a failure midway leaves the earlier file intact and no reader sees half a
// file. Only a regular file or nothing is ever renamed over, judged at the start and again right
// before the rename; a device or a pipe is written directly, a link is followed. Nothing on
// success.
std::optional<OsError> replaceFile(const QString &path, QByteArrayView bytes,
                                   Durability durability);

// Appends bytes to the regular file at path, which must exist, and with Synced waits until they
// are on disk. Nothing on success.
std::optional<OsError> appendToFile(const QString &path, QByteArrayView bytes,
                                    Durability durability);

// Which file this is, told apart from the files that replaced it before and since (by its
// number, size and time); nothing when it cannot be told.
std::optional<quint64> fileIdentity(const QString &path);
std::optional<quint64> fileIdentity(int descriptor);

// Makes sure an owner-only folder exists at path, refusing a link or a non-folder there.
std::optional<OsError> ensurePrivateFolder(const QString &path);

}  // namespace platform
