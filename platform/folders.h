#pragma once

#include <QList>
#include <QString>
#include <QStringList>
#include <optional>

#include "platform/systemerror.h"

class QStorageInfo;

namespace platform {

// A place a person picks to start browsing: a drive letter on Windows; elsewhere the root, the
// home folder and mounted media.
struct Volume {
    QString rootPath;  // native separators
    QString label;     // what the drive list shows
};

QList<Volume> volumes();
#ifndef Q_OS_WIN
// The root, home, and those of the mounted volumes a person keeps files on.
QList<Volume> volumesAmong(const QList<QStorageInfo> &mounted);
#endif

// The volume from volumes() that holds path, by the longest root that is a prefix of it.
QString volumeOf(const QList<Volume> &volumes, const QString &path);

struct Listing {
    QStringList names;
    std::optional<OsError> error;
};

// The folder's subfolders, hidden ones left out, sorted as a person reads them.
Listing listSubfolders(const QString &folder);

// The folder's files whose names match pattern, matched without regard to case, sorted.
Listing listFiles(const QString &folder, const QString &pattern);

// The folder and each of its parents, from the root down, in native separators.
QStringList folderChain(const QString &folder);

}  // namespace platform
