#include "fileio.h"

#include "textcodec.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QStringEncoder>
#include <QTemporaryFile>
#include <filesystem>

using namespace Qt::StringLiterals;

namespace platform {

namespace {

std::filesystem::path nativePath(const QString &path)
{
#ifdef Q_OS_WIN
    return std::filesystem::path(path.toStdWString());
#else
    return std::filesystem::path(QFile::encodeName(path).toStdString());
#endif
}

FileError failure(FileError::Kind kind, const QString &path, const QString &reason)
{
    return FileError{kind, QDir::toNativeSeparators(path), reason};
}

// Encoding in slices keeps memory flat and the output buffer warm in the cache, whatever the size
// of the text; a whole-text conversion would allocate and fault in three bytes per character.
std::optional<FileError> writeEncoded(QFileDevice &file, const QString &path,
                                      std::initializer_list<QStringView> parts)
{
    constexpr qsizetype kSlice = 256 * 1024;
    QStringEncoder encoder(QStringConverter::System, QStringConverter::Flag::Stateless |
                                                         QStringConverter::Flag::ConvertInitialBom);
    QByteArray buffer(encoder.requiredSpace(kSlice), Qt::Uninitialized);
    for (QStringView part : parts) {
        while (!part.isEmpty()) {
            qsizetype length = std::min(kSlice, part.size());
            // Never split a surrogate pair between two slices.
            if (length < part.size() && part.at(length - 1).isHighSurrogate())
                --length;
            const QStringView slice = part.first(length);
            part = part.sliced(length);
            const char *end = encoder.appendToBuffer(buffer.data(), slice);
            const QByteArrayView bytes(buffer.constData(), end);
            if (encoder.hasError() || !isFaithful(slice, bytes))
                return failure(FileError::Kind::Encode, path, {});
            if (file.write(bytes.data(), bytes.size()) != bytes.size())
                return failure(FileError::Kind::Write, path, file.errorString());
        }
    }
    return std::nullopt;
}

std::optional<FileError> writeDirectly(const QString &path,
                                       std::initializer_list<QStringView> parts)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate | QIODevice::Unbuffered))
        return failure(FileError::Kind::Write, path, file.errorString());
    if (std::optional<FileError> error = writeEncoded(file, path, parts))
        return error;
    file.close();
    if (file.error() != QFileDevice::NoError)
        return failure(FileError::Kind::Write, path, file.errorString());
    return std::nullopt;
}

// QSaveFile, but without its flush to disk, which would cost more than all the rest on every
// keystroke.
std::optional<FileError> writeCached(const QString &path, std::initializer_list<QStringView> parts)
{
    // Beside the target, so that the rename stays on one volume.
    QTemporaryFile file(path + u".XXXXXX"_s);
    if (!file.open())
        return failure(FileError::Kind::Write, path, file.errorString());
    if (std::optional<FileError> error = writeEncoded(file, path, parts))
        return error;
    file.close();
    if (file.error() != QFileDevice::NoError)
        return failure(FileError::Kind::Write, path, file.errorString());
    std::error_code error;
    std::filesystem::rename(nativePath(file.fileName()), nativePath(path), error);
    if (error)
        return failure(FileError::Kind::Write, path, QString::fromStdString(error.message()));
    file.setAutoRemove(false);
    return std::nullopt;
}

}  // namespace

ReadBytes readFileBytes(const QString &path)
{
    const QFileInfo info(path);
    if (info.isDir())
        return {{}, failure(FileError::Kind::Open, path, u"フォルダーです"_s)};
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {{}, failure(FileError::Kind::Open, path, file.errorString())};
    if (file.size() > kMaxReadBytes)
        return {{},
                failure(FileError::Kind::TooLarge, path,
                        u"%1 MB を超えています"_s.arg(kMaxReadBytes / (1024 * 1024)))};
    // Read with a cap even when size() says 0: pipes and special files report no size.
    QByteArray bytes = file.read(kMaxReadBytes + 1);
    if (file.error() != QFileDevice::NoError)
        return {{}, failure(FileError::Kind::Read, path, file.errorString())};
    if (bytes.size() > kMaxReadBytes)
        return {{},
                failure(FileError::Kind::TooLarge, path,
                        u"%1 MB を超えています"_s.arg(kMaxReadBytes / (1024 * 1024)))};
    return {std::move(bytes), std::nullopt};
}

std::optional<FileError> writeTextAtomically(const QString &path,
                                             std::initializer_list<QStringView> parts,
                                             Durability durability)
{
    const QFileInfo target(path);
    if (target.isDir())
        return failure(FileError::Kind::Write, path, u"同じ名前のフォルダーがあります"_s);
    if (target.exists() && !target.isFile())
        return writeDirectly(path, parts);
    if (durability == Durability::Cached)
        return writeCached(path, parts);

    QSaveFile file(path);
    file.setDirectWriteFallback(false);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Unbuffered))
        return failure(FileError::Kind::Write, path, file.errorString());
    if (std::optional<FileError> error = writeEncoded(file, path, parts)) {
        file.cancelWriting();
        return error;
    }
    if (!file.commit())
        return failure(FileError::Kind::Write, path, file.errorString());
    return std::nullopt;
}

std::optional<FileError> ensurePrivateFolder(const QString &path)
{
    const QFileInfo info(path);
    if (info.isSymLink() || (info.exists() && !info.isDir()))
        return failure(FileError::Kind::Folder, path, u"フォルダーではないものがあります"_s);
    if (!info.exists() && !QDir().mkpath(path))
        return failure(FileError::Kind::Folder, path, u"作成できません"_s);
    constexpr auto ownerOnly = QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner;
    if (!QFile::setPermissions(path, ownerOnly))
        return failure(FileError::Kind::Folder, path, u"権限を設定できません"_s);
    return std::nullopt;
}

}  // namespace platform
