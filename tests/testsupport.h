#pragma once

#include <linux/capability.h>
#include <sys/mount.h>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>
#include <QDir>
#include <QFile>
#include <QStringList>
#include <QTemporaryDir>
#include <QTest>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <memory>
#include <thread>

#include "engine/previewpane.h"

using namespace Qt::StringLiterals;

namespace testsupport {

// A folder of the test's own, gone with it.
class TestFolder {
public:
    QString path(const QString &name = {}) const { return m_dir->filePath(name); }
    void renew() { m_dir = std::make_unique<QTemporaryDir>(); }

private:
    std::unique_ptr<QTemporaryDir> m_dir = std::make_unique<QTemporaryDir>();
};

// What a recording pane was told.
struct Recorded {
    QStringList navigations;
    QStringList encodings;
    bool readsFiles = false;
    QList<QByteArray> contents;
    QStringList failures;
    QStringList warnings;
    QStringList notices;
    QList<QStringList> problems;
    QString documentFolder;
};

// Records what it was told, for tests and benchmarks that need no web view.
class RecordingPane final : public engine::PreviewPane, public Recorded {
public:
    // Forgets what it was told.
    void clear() { static_cast<Recorded &>(*this) = {}; }
    void navigate(const Refresh &refresh) override
    {
        const QString &localPath = refresh.localPath;
        navigations.append(localPath);
        encodings.append(refresh.encoding);
        // As the view would find it, when asked: the pane is told only of a whole file.
        if (QFile file(localPath); readsFiles)
            contents.append(file.open(QIODevice::ReadOnly) ? file.readAll() : "<missing>");
    }
    void showFailure(const engine::FileError &error) override { failures.append(error.message()); }
    void setDocumentFolder(const QString &folder) override { documentFolder = folder; }
    void setWarning(const QString &warning, int line) override
    {
        warnings.append(warning.isEmpty() ? QString() : u"%1: %2"_s.arg(line).arg(warning));
    }
    void setNotice(const QString &notice) override { notices.append(notice); }
    void setProblems(const QList<Problem> &told, const QString &note) override
    {
        QStringList rows = note.isEmpty() ? QStringList() : QStringList{note};
        for (const Problem &problem : told)
            rows.append(u"%1:%2 %3"_s.arg(problem.line).arg(problem.column).arg(problem.text));
        problems.append(rows);
    }
};

inline QByteArray readAll(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : "<missing>";
}

inline bool writeAll(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

// While it lives, writes past 4 KB fail as on a full disk: root writes into read-only folders,
// so this is how a write is made to fail midway.
struct FullDisk {
    rlimit saved{};
    void (*handler)(int) = std::signal(SIGXFSZ, SIG_IGN);
    FullDisk()
    {
        getrlimit(RLIMIT_FSIZE, &saved);
        const rlimit small{4096, saved.rlim_max};
        setrlimit(RLIMIT_FSIZE, &small);
    }
    ~FullDisk()
    {
        setrlimit(RLIMIT_FSIZE, &saved);
        std::signal(SIGXFSZ, handler);
    }
    Q_DISABLE_COPY_MOVE(FullDisk)
};

// A small file system of the test's own, mounted on folder where the system lets the test;
// error says why not otherwise.
struct SmallDisk {
    QByteArray folder;
    QString error;
    SmallDisk(const QString &path, int kilobytes) : folder(QFile::encodeName(path))
    {
        QDir().mkpath(path);
        const QByteArray size = "size=" + QByteArray::number(kilobytes) + "k";
        if (::mount("tmpfs", folder.constData(), "tmpfs", 0, size.constData()) != 0)
            error = QString::fromLocal8Bit(std::strerror(errno));
    }
    ~SmallDisk()
    {
        if (error.isEmpty())
            ::umount2(folder.constData(), MNT_DETACH);
    }
    Q_DISABLE_COPY_MOVE(SmallDisk)
    bool makeReadOnly()
    {
        return ::mount("tmpfs", folder.constData(), "tmpfs", MS_REMOUNT | MS_RDONLY, nullptr) == 0;
    }
};

// Runs f where file permissions bind even root, as they bind a person (CI runs as root): on a
// thread of its own that gives up root's pass for good; the others keep it.
template <typename F>
auto asAPerson(F f)
{
    decltype(f()) result{};
    std::thread([&] {
        __user_cap_header_struct header{_LINUX_CAPABILITY_VERSION_3, 0};
        __user_cap_data_struct caps[2]{};
        syscall(SYS_capget, &header, caps);
        const unsigned pass = (1u << CAP_DAC_OVERRIDE) | (1u << CAP_DAC_READ_SEARCH);
        caps[0].effective &= ~pass;
        caps[0].permitted &= ~pass;
        syscall(SYS_capset, &header, caps);
        result = f();
    }).join();
    return result;
}

}  // namespace testsupport
