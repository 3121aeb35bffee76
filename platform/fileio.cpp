#include "fileio.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QScopeGuard>
#include <QStringEncoder>
#include <cerrno>

#include "textcodec.h"

using namespace Qt::StringLiterals;

namespace platform {

namespace {

QByteArray nativeName(const QString &path)
{
    return QFile::encodeName(path);
}

// Closes on the way out; close() reports what the system said.
class Descriptor {
public:
    explicit Descriptor(int fd) : m_fd(fd) {}
    ~Descriptor()
    {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    Q_DISABLE_COPY_MOVE(Descriptor)

    int get() const { return m_fd; }
    // 0, or the error code.
    int close()
    {
        const int fd = std::exchange(m_fd, -1);
        return ::close(fd) == 0 ? 0 : errno;
    }

private:
    int m_fd;
};

// 0, or the error code.
int writeAll(int fd, const char *data, qsizetype size)
{
    while (size > 0) {
        const ssize_t written = ::write(fd, data, size_t(size));
        if (written < 0) {
            if (errno == EINTR)
                continue;
            return errno;
        }
        data += written;
        size -= written;
    }
    return 0;
}

FileError encodeFailure(const QString &path, const QString &encoding, QStringView text,
                        qsizetype from)
{
    // Only on failure: find the first character the encoding cannot hold, and its line.
    QStringEncoder encoder(encoding.toLatin1().constData(), QStringConverter::Flag::Stateless);
    QByteArray buffer(encoder.requiredSpace(2), Qt::Uninitialized);
    qsizetype at = from;
    qsizetype length = 1;
    for (; at < text.size(); at += length) {
        length = at + 1 < text.size() && text.at(at).isHighSurrogate() &&
                         text.at(at + 1).isLowSurrogate()
                     ? 2
                     : 1;
        const QStringView character = text.sliced(at, length);
        const char *end = encoder.appendToBuffer(buffer.data(), character);
        if (encoder.hasError() || !isFaithful(character, {buffer.constData(), end}, encoding))
            break;
    }
    FileError error(FileError::Kind::Encode, path);
    error.encoding = encoding;
    if (at < text.size()) {
        error.character = text.sliced(at, length).toString();
        error.line = int(text.first(at).count(u'\r')) + 1;
    }
    return error;
}

// Encoding in slices keeps memory flat and the output buffer warm in the cache, whatever the size
// of the text; a whole-text conversion would allocate and fault in three bytes per character.
std::optional<FileError> writeEncoded(int fd, const QString &path,
                                      std::initializer_list<QStringView> parts,
                                      const QString &encoding)
{
    constexpr qsizetype kSlice = 256 * 1024;
    QStringEncoder encoder(
        encoding.toLatin1().constData(),
        QStringConverter::Flag::Stateless | QStringConverter::Flag::ConvertInitialBom);
    if (!encoder.isValid())
        return FileError(FileError::Kind::Write, path,
                         u"文字コード %1 には対応していません。"_s.arg(encoding));
    QByteArray buffer(encoder.requiredSpace(kSlice), Qt::Uninitialized);
    for (const QStringView whole : parts) {
        QStringView part = whole;
        while (!part.isEmpty()) {
            qsizetype length = std::min(kSlice, part.size());
            // Never split a surrogate pair between two slices.
            if (length < part.size() && part.at(length - 1).isHighSurrogate())
                --length;
            const QStringView slice = part.first(length);
            const char *end = encoder.appendToBuffer(buffer.data(), slice);
            const QByteArrayView bytes(buffer.constData(), end);
            if (encoder.hasError() || !isFaithful(slice, bytes, encoding))
                return encodeFailure(path, encoding, whole, whole.size() - part.size());
            if (const int code = writeAll(fd, bytes.data(), bytes.size()))
                return FileError::fromSystem(FileError::Kind::Write, path, code);
            part = part.sliced(length);
        }
    }
    return std::nullopt;
}

std::optional<FileError> writeDirectly(const QString &path,
                                       std::initializer_list<QStringView> parts,
                                       const QString &encoding)
{
    Descriptor file(::open(nativeName(path).constData(), O_WRONLY | O_TRUNC | O_CLOEXEC));
    if (file.get() < 0)
        return FileError::fromSystem(FileError::Kind::Write, path, errno);
    if (std::optional<FileError> error = writeEncoded(file.get(), path, parts, encoding))
        return error;
    if (const int code = file.close())
        return FileError::fromSystem(FileError::Kind::Write, path, code);
    return std::nullopt;
}

// A new temporary file beside target, so that the rename stays on one volume; the system's
// default permissions apply to it, as to any new file.
int createBeside(const QString &target, QByteArray &name)
{
    for (int attempt = 0; attempt < 100; ++attempt) {
        name = nativeName(target) + ".~" +
               QByteArray::number(QRandomGenerator::global()->generate(), 36);
        const int fd = ::open(name.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd >= 0 || errno != EEXIST)
            return fd;
    }
    return -1;
}

}  // namespace

ReadBytes readFileBytes(const QString &path)
{
    Descriptor file(::open(nativeName(path).constData(), O_RDONLY | O_CLOEXEC));
    if (file.get() < 0)
        return {{}, FileError::fromSystem(FileError::Kind::Open, path, errno)};
    struct stat status {};
    if (::fstat(file.get(), &status) != 0)
        return {{}, FileError::fromSystem(FileError::Kind::Open, path, errno)};
    if (S_ISDIR(status.st_mode))
        return {{}, FileError::fromSystem(FileError::Kind::Open, path, EISDIR)};
    const FileError tooLarge(FileError::Kind::TooLarge, path,
                             u"%1 MB を超えています。"_s.arg(kMaxReadBytes / (1024 * 1024)));
    if (status.st_size > kMaxReadBytes)
        return {{}, tooLarge};
    // Read with a cap whatever the size says: pipes and special files report none.
    QByteArray bytes;
    bytes.reserve(qsizetype(status.st_size) + 1);
    char chunk[64 * 1024];
    for (;;) {
        const ssize_t got = ::read(file.get(), chunk, sizeof chunk);
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0)
            return {{}, FileError::fromSystem(FileError::Kind::Read, path, errno)};
        if (got == 0)
            break;
        bytes.append(chunk, got);
        if (bytes.size() > kMaxReadBytes)
            return {{}, tooLarge};
    }
    return {std::move(bytes), std::nullopt};
}

std::optional<FileError> writeTextAtomically(const QString &path,
                                             std::initializer_list<QStringView> parts,
                                             const QString &encoding, Durability durability)
{
    QString target = path;
    struct stat status {};
    bool exists = ::lstat(nativeName(target).constData(), &status) == 0;
    if (!exists && errno != ENOENT)
        return FileError::fromSystem(FileError::Kind::Write, path, errno);
    if (exists && S_ISLNK(status.st_mode)) {
        // Saving through a link replaces the file it names, not the link.
        target = QFileInfo(path).canonicalFilePath();
        exists = !target.isEmpty() && ::lstat(nativeName(target).constData(), &status) == 0;
        if (!exists)
            return FileError::fromSystem(FileError::Kind::Write, path, ENOENT);
    }
    if (exists && S_ISDIR(status.st_mode))
        return FileError::fromSystem(FileError::Kind::Write, path, EISDIR);
    if (exists && !S_ISREG(status.st_mode))
        return writeDirectly(target, parts, encoding);

    QByteArray temporary;
    Descriptor file(createBeside(target, temporary));
    if (file.get() < 0)
        return FileError::fromSystem(FileError::Kind::Write, path, errno);
    auto discard = qScopeGuard([&] { ::unlink(temporary.constData()); });
    if (std::optional<FileError> error = writeEncoded(file.get(), path, parts, encoding))
        return error;
    // The file keeps its permissions; a file system without them (FAT) may refuse, harmlessly.
    if (exists)
        ::fchmod(file.get(), status.st_mode & 07777);
    if (durability == Durability::Synced && ::fsync(file.get()) != 0)
        return FileError::fromSystem(FileError::Kind::Write, path, errno);
    if (const int code = file.close())
        return FileError::fromSystem(FileError::Kind::Write, path, code);
    // Something else may have taken the name meanwhile: a folder, a link or a device stays.
    if (::lstat(nativeName(target).constData(), &status) == 0 && !S_ISREG(status.st_mode))
        return FileError(FileError::Kind::Write, path,
                         u"書き込みの間に、同じ名前でファイル以外のもの (フォルダー、リンク、"
                         u"デバイスなど) が置かれました。"_s);
    if (::rename(temporary.constData(), nativeName(target).constData()) != 0)
        return FileError::fromSystem(FileError::Kind::Write, path, errno);
    discard.dismiss();
    return std::nullopt;
}

std::optional<FileError> ensurePrivateFolder(const QString &path)
{
    const QFileInfo info(path);
    if (info.isSymLink() || (info.exists() && !info.isDir()))
        return FileError(FileError::Kind::Folder, path,
                         u"フォルダーではないもの (ファイルやリンク) があります。"_s);
    const QByteArray name = nativeName(path);
    if (!info.exists()) {
        QDir().mkpath(info.absolutePath());
        if (::mkdir(name.constData(), 0700) != 0)
            return FileError::fromSystem(FileError::Kind::Folder, path, errno);
    }
    if (::chmod(name.constData(), 0700) != 0)
        return FileError::fromSystem(FileError::Kind::Folder, path, errno);
    return std::nullopt;
}

}  // namespace platform
