#include "platform/folders.h"

#include <QCollator>
#include <QDir>
#include <QFileInfo>
#include <QLocale>
#include <QStorageInfo>
#include <algorithm>
#include <cerrno>

using namespace Qt::StringLiterals;

namespace platform {

namespace {

void sortForPeople(QStringList &names)
{
    // The C locale compares code points and ignores the numeric mode: a session without a
    // locale sorts as English does.
    QCollator collator(QLocale().language() == QLocale::C ? QLocale(QLocale::English) : QLocale());
    collator.setCaseSensitivity(Qt::CaseInsensitive);
    collator.setNumericMode(true);
    std::sort(names.begin(), names.end(), collator);
}

std::optional<OsError> unusableFolder(const QString &folder)
{
    const QFileInfo info(folder);
    if (!info.exists())
        return OsError{
            ENOENT,
            u"見つかりません。ドライブが外されたか、フォルダーが削除された可能性があります"_s};
    if (!info.isDir())
        return OsError{ENOTDIR, u"フォルダーではありません"_s};
    if (!info.isReadable() || !info.isExecutable())
        return OsError{EACCES, u"読み取る権限がありません"_s};
    return std::nullopt;
}

Listing list(const QString &folder, QDir::Filters filters, const QStringList &patterns)
{
    if (std::optional<OsError> error = unusableFolder(folder))
        return {{}, error};
    QDir dir(folder);
    dir.setNameFilters(patterns);
    dir.setFilter(filters);
    QStringList names = dir.entryList();
    sortForPeople(names);
    return {names, std::nullopt};
}

#ifndef Q_OS_WIN
bool isPersonsVolume(const QStorageInfo &storage)
{
    const QString root = storage.rootPath();
    return root.startsWith(u"/media/"_s) || root.startsWith(u"/mnt/"_s) ||
           root.startsWith(u"/run/media/"_s) || root == u"/home"_s;
}
#endif

}  // namespace

QList<Volume> volumes()
{
#ifdef Q_OS_WIN
    QList<Volume> result;
    for (const QFileInfo &drive : QDir::drives()) {
        const QString root = QDir::toNativeSeparators(drive.absolutePath());
        const QString name = QStorageInfo(root).name();
        result.append({root, name.isEmpty() ? root : u"%1 [%2]"_s.arg(root, name)});
    }
    return result;
#else
    return volumesAmong(QStorageInfo::mountedVolumes());
#endif
}

#ifndef Q_OS_WIN
QList<Volume> volumesAmong(const QList<QStorageInfo> &mounted)
{
    QList<Volume> result;
    result.append({u"/"_s, u"/"_s});
    const QString home = QDir::toNativeSeparators(QDir::homePath());
    if (home != u"/"_s)
        result.append({home, u"%1 (ホーム)"_s.arg(home)});
    for (const QStorageInfo &storage : mounted) {
        if (!storage.isValid() || !isPersonsVolume(storage))
            continue;
        const QString root = storage.rootPath();
        if (std::any_of(result.cbegin(), result.cend(),
                        [&](const Volume &v) { return v.rootPath == root; }))
            continue;
        const QString name = storage.displayName();
        result.append({root, name == root ? root : u"%1 (%2)"_s.arg(root, name)});
    }
    return result;
}
#endif

QString volumeOf(const QList<Volume> &volumes, const QString &path)
{
    QString best;
    const QString separator = QDir::separator();
    for (const Volume &volume : volumes) {
        const QString &root = volume.rootPath;
        const QString prefix = root.endsWith(separator) ? root : root + separator;
        const bool holds = path == root || path.startsWith(prefix, Qt::CaseInsensitive);
        if (holds && root.size() > best.size())
            best = root;
    }
    return best;
}

Listing listSubfolders(const QString &folder)
{
    return list(folder, QDir::Dirs | QDir::NoDotAndDotDot, {});
}

Listing listFiles(const QString &folder, const QString &pattern)
{
    // Without QDir::CaseSensitive the pattern matches regardless of case.
    return list(folder, QDir::Files, {pattern});
}

QStringList folderChain(const QString &folder)
{
    // By the path alone: the folder may have vanished, and its chain is still worth showing.
    QStringList chain;
    QString path = QDir::cleanPath(QDir::fromNativeSeparators(folder));
    while (!path.isEmpty()) {
        chain.prepend(QDir::toNativeSeparators(path));
        const qsizetype slash = path.lastIndexOf(u'/');
        if (slash < 0 || slash == path.size() - 1)
            break;  // a root: "/" or "C:/"
        const bool parentIsRoot = slash == 0 || (slash == 2 && path.at(1) == u':');
        path.truncate(parentIsRoot ? slash + 1 : slash);
    }
    return chain;
}

}  // namespace platform
