#include "platform/fileio.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QScopeGuard>
#include <cerrno>

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

std::optional<OsError> writeDirectly(const QString &path, QByteArrayView bytes)
{
    Descriptor file(::open(nativeName(path).constData(), O_WRONLY | O_TRUNC | O_CLOEXEC));
    if (file.get() < 0)
        return OsError::fromCode(errno);
    if (const int code = writeAll(file.get(), bytes.data(), bytes.size()))
        return OsError::fromCode(code);
    if (const int code = file.close())
        return OsError::fromCode(code);
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
    const auto failed = [](ReadBytes::Failure failure, int code) {
        return ReadBytes{{}, failure, OsError::fromCode(code)};
    };
    if (file.get() < 0)
        return failed(ReadBytes::Failure::Open, errno);
    struct stat status {};
    if (::fstat(file.get(), &status) != 0)
        return failed(ReadBytes::Failure::Open, errno);
    if (S_ISDIR(status.st_mode))
        return failed(ReadBytes::Failure::Open, EISDIR);
    const ReadBytes tooLarge{{}, ReadBytes::Failure::TooLarge, {}};
    if (status.st_size > kMaxReadBytes)
        return tooLarge;
    // Read with a cap whatever the size says: pipes and special files report none.
    QByteArray bytes;
    bytes.reserve(qsizetype(status.st_size) + 1);
    char chunk[64 * 1024];
    for (;;) {
        const ssize_t got = ::read(file.get(), chunk, sizeof chunk);
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0)
            return failed(ReadBytes::Failure::Read, errno);
        if (got == 0)
            break;
        bytes.append(chunk, got);
        if (bytes.size() > kMaxReadBytes)
            return tooLarge;
    }
    return {std::move(bytes), ReadBytes::Failure::None, {}};
}

std::optional<OsError> replaceFile(const QString &path, QByteArrayView bytes, Durability durability)
{
    QString target = path;
    struct stat status {};
    bool exists = ::lstat(nativeName(target).constData(), &status) == 0;
    if (!exists && errno != ENOENT)
        return OsError::fromCode(errno);
    if (exists && S_ISLNK(status.st_mode)) {
        // Saving through a link replaces the file it names, not the link.
        target = QFileInfo(path).canonicalFilePath();
        exists = !target.isEmpty() && ::lstat(nativeName(target).constData(), &status) == 0;
        if (!exists)
            return OsError::fromCode(ENOENT);
    }
    if (exists && S_ISDIR(status.st_mode))
        return OsError::fromCode(EISDIR);
    if (exists && !S_ISREG(status.st_mode))
        return writeDirectly(target, bytes);

    QByteArray temporary;
    Descriptor file(createBeside(target, temporary));
    if (file.get() < 0)
        return OsError::fromCode(errno);
    auto discard = qScopeGuard([&] { ::unlink(temporary.constData()); });
    if (const int code = writeAll(file.get(), bytes.data(), bytes.size()))
        return OsError::fromCode(code);
    // The file keeps its permissions; a file system without them (FAT) may refuse, harmlessly.
    if (exists)
        ::fchmod(file.get(), status.st_mode & 07777);
    if (durability == Durability::Synced && ::fsync(file.get()) != 0)
        return OsError::fromCode(errno);
    if (const int code = file.close())
        return OsError::fromCode(code);
    // Something else may have taken the name meanwhile: a folder, a link or a device stays.
    if (::lstat(nativeName(target).constData(), &status) == 0 && !S_ISREG(status.st_mode))
        return OsError{EEXIST,
                       u"書き込みの間に、同じ名前でファイル以外のもの (フォルダー、リンク、"
                       u"デバイスなど) が置かれました。"_s};
    if (::rename(temporary.constData(), nativeName(target).constData()) != 0)
        return OsError::fromCode(errno);
    discard.dismiss();
    return std::nullopt;
}

std::optional<OsError> appendToFile(const QString &path, QByteArrayView bytes,
                                    Durability durability)
{
    Descriptor file(::open(nativeName(path).constData(), O_WRONLY | O_APPEND | O_NOFOLLOW));
    if (file.get() < 0)
        return OsError::fromCode(errno);
    if (const int code = writeAll(file.get(), bytes.data(), bytes.size()))
        return OsError::fromCode(code);
    if (durability == Durability::Synced && ::fdatasync(file.get()) != 0)
        return OsError::fromCode(errno);
    if (const int code = file.close())
        return OsError::fromCode(code);
    return std::nullopt;
}

namespace {

// A replaced file's number is soon given to the next: its size and time tell them apart.
quint64 identityOf(const struct stat &status)
{
    quint64 identity = 14695981039346656037ull;
    for (const quint64 part :
         {quint64(status.st_ino), quint64(status.st_dev), quint64(status.st_size),
          quint64(status.st_mtim.tv_sec), quint64(status.st_mtim.tv_nsec)})
        identity = (identity ^ part) * 1099511628211ull;
    return identity;
}

}  // namespace

std::optional<quint64> fileIdentity(const QString &path)
{
    struct stat status {};
    if (::stat(nativeName(path).constData(), &status) != 0)
        return std::nullopt;
    return identityOf(status);
}

std::optional<quint64> fileIdentity(int descriptor)
{
    struct stat status {};
    if (::fstat(descriptor, &status) != 0)
        return std::nullopt;
    return identityOf(status);
}

std::optional<OsError> ensurePrivateFolder(const QString &path)
{
    const QFileInfo info(path);
    if (info.isSymLink() || (info.exists() && !info.isDir()))
        return OsError{EEXIST, u"フォルダーではないもの (ファイルやリンク) があります。"_s};
    const QByteArray name = nativeName(path);
    if (!info.exists()) {
        QDir().mkpath(info.absolutePath());
        if (::mkdir(name.constData(), 0700) != 0)
            return OsError::fromCode(errno);
    }
    if (::chmod(name.constData(), 0700) != 0)
        return OsError::fromCode(errno);
    return std::nullopt;
}

}  // namespace platform
