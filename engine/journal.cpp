#include "engine/journal.h"

#include <QDataStream>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QIODevice>
#include <QLockFile>
#include <QUuid>
#include <algorithm>

#include "engine/textsnapshot.h"
#include "platform/fileio.h"

using namespace Qt::StringLiterals;

namespace engine {

namespace {

constexpr quint32 kMagic = 0x51564a31;  // "QVJ1"
constexpr qint32 kVersion = 1;
// Records: what the document is, its whole text in either form, an edit.
constexpr quint8 kDocument = 'D', kKept = 'K', kText = 'T', kEdit = 'E';
// Below this, a whole copy costs no more than appending to one.
constexpr qsizetype kSmallText = 64 * 1024;

QByteArray wholeCopy(const Journal::Whole &whole)
{
    QByteArray bytes;
    QDataStream out(&bytes, QIODevice::WriteOnly);
    out << kMagic << kVersion << kDocument << whole.path << whole.encoding;
    if (whole.text)
        out << kText << *whole.text;
    else
        out << kKept << whole.kept.toString();
    return bytes;
}

}  // namespace

Journal::Journal(QString folder)
    : m_folder(std::move(folder)),
      m_file(QDir(m_folder).filePath(
          u"journal-%1.qvj"_s.arg(QUuid::createUuid().toString(QUuid::WithoutBraces)))),
      m_lock(std::make_unique<QLockFile>(m_file + u".lock"_s))
{
}

Journal::~Journal()
{
    m_writer.stop();
}

void Journal::edited(qsizetype position, qsizetype removed, const QString &inserted)
{
    m_due = true;
    // A text kept as the file has it takes no edits by the kept text's positions.
    if (m_wholeOnly)
        m_whole = true;
    if (m_whole)
        return;
    m_pending.append({position, removed, inserted});
    m_pendingBytes += 2 * inserted.size() + 24;
}

void Journal::renew()
{
    m_due = true;
    m_whole = true;
    m_pending.clear();
    m_pendingBytes = 0;
}

bool Journal::write(const std::function<Whole()> &whole)
{
    if (m_writer.isBusy())
        return false;
    if (!m_due)
        return true;
    // Whichever costs less: the edits appended, or the text written whole.
    if (m_appendedBytes + m_pendingBytes > std::max(m_wholeBytes, kSmallText))
        renew();
    m_due = false;
    struct Job {
        QString folder, file;
        QLockFile *lock;
        std::optional<Whole> whole;
        QList<Edit> edits;
    };
    Job job{m_folder, m_file, m_lock.get(), std::nullopt, {}};
    if (m_whole) {
        job.whole = whole();
        m_wholeOnly = job.whole->text.has_value();
        m_wholeBytes = 2 * (job.whole->text ? job.whole->text->size() : job.whole->kept.size());
        m_appendedBytes = 0;
        m_whole = false;
    } else {
        job.edits = std::move(m_pending);
        m_appendedBytes += m_pendingBytes;
    }
    m_pending.clear();
    m_pendingBytes = 0;
    m_writer.run(
        [job = std::move(job)](const Task &) {
            if (std::optional<platform::OsError> error = platform::ensurePrivateFolder(job.folder))
                return error->reason;
            // Held while the program lives, so that no other start takes this journal.
            if (!job.lock->isLocked() && !job.lock->tryLock(0))
                return u"ほかのプログラムが同じ控えを使っています。"_s;
            QByteArray bytes;
            std::optional<platform::OsError> error;
            if (job.whole) {
                error = platform::replaceFile(job.file, wholeCopy(*job.whole),
                                              platform::Durability::Synced);
                // In an owner-only folder already; the file itself is the owner's alone too.
                QFile::setPermissions(job.file, QFile::ReadOwner | QFile::WriteOwner);
            } else {
                QDataStream out(&bytes, QIODevice::WriteOnly);
                for (const Edit &edit : job.edits)
                    out << kEdit << qint64(edit.position) << qint64(edit.removed) << edit.inserted;
                error = platform::appendToFile(job.file, bytes, platform::Durability::Synced);
            }
            return error ? error->reason : QString();
        },
        [this](const QString &error) { written(error); });
    return true;
}

void Journal::written(const QString &error)
{
    if (error.isEmpty()) {
        if (wrote)
            wrote();
        return;
    }
    // What failed is written whole next time.
    renew();
    if (!std::exchange(m_told, true) && failed)
        failed(error);
}

void Journal::discard()
{
    m_writer.stop();
    m_pending.clear();
    m_pendingBytes = 0;
    m_appendedBytes = 0;
    m_whole = true;
    m_due = false;
    QFile::remove(m_file);
    if (m_lock->isLocked())
        m_lock->unlock();
}

QStringList Journal::orphans(const QString &folder)
{
    QFileInfoList found = QDir(folder).entryInfoList({u"journal-*.qvj"_s}, QDir::Files, QDir::Time);
    QStringList files;
    for (const QFileInfo &journal : std::as_const(found)) {
        // A lock that a live program holds stays; one left by a program gone is taken over.
        QLockFile lock(journal.filePath() + u".lock"_s);
        if (!lock.tryLock(0))
            continue;
        lock.unlock();
        files.append(journal.filePath());
    }
    return files;
}

std::optional<JournalEntry> Journal::read(const QString &file)
{
    QFile in(file);
    if (!in.open(QIODevice::ReadOnly))
        return std::nullopt;
    QDataStream stream(&in);
    quint32 magic = 0;
    qint32 version = 0;
    stream >> magic >> version;
    if (magic != kMagic || version != kVersion)
        return std::nullopt;
    JournalEntry entry{file, {}, {}, QFileInfo(file).lastModified(), {}};
    ChunkedText kept;
    bool whole = false, keptForm = true;
    // A record cut short, by a power cut while it was written, ends what is read.
    while (!stream.atEnd()) {
        quint8 type = 0;
        stream >> type;
        if (type == kDocument) {
            QString path, encoding;
            stream >> path >> encoding;
            if (stream.status() == QDataStream::Ok)
                entry.path = path, entry.encoding = encoding;
        } else if (type == kKept || type == kText) {
            QString text;
            stream >> text;
            if (stream.status() == QDataStream::Ok) {
                kept = ChunkedText(text);
                keptForm = type == kKept;
                whole = true;
            }
        } else if (type == kEdit) {
            qint64 position = 0, removed = 0;
            QString inserted;
            stream >> position >> removed >> inserted;
            if (stream.status() == QDataStream::Ok)
                kept.replace(position, removed, inserted);
        } else {
            break;
        }
        if (stream.status() != QDataStream::Ok)
            break;
    }
    if (!whole)
        return std::nullopt;
    entry.text =
        keptForm ? TextSnapshot::fromEditorChunks(kept.chunks()).toString() : kept.toString();
    return entry;
}

void Journal::remove(const QString &file)
{
    QFile::remove(file);
    QFile::remove(file + u".lock"_s);
}

}  // namespace engine
