#include "platform/programfolder.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

using namespace Qt::StringLiterals;

namespace platform {

QString programFolder()
{
    return QDir::toNativeSeparators(QCoreApplication::applicationDirPath());
}

bool isInstalled()
{
    const QDir folder(QCoreApplication::applicationDirPath());
    return QFileInfo::exists(
        folder.filePath(u"../share/applications/" QUORVANE_APP_ID u".desktop"_s));
}

QString privateCacheFolder()
{
    return QDir::toNativeSeparators(
        QStandardPaths::writableLocation(QStandardPaths::CacheLocation));
}

}  // namespace platform
