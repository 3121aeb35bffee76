#include "engine/journal.h"

#include <zlib.h>
#include <QDataStream>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QIODevice>
#include <QLockFile>
#include <QUuid>
#include <QtEndian>
#include <algorithm>

#include "engine/textcodec.h"
#include "engine/textsnapshot.h"
#include "platform/fileio.h"
#include "platform/systemencoding.h"

using namespace Qt::StringLiterals;

namespace engine {

namespace {

constexpr quint32 kMagic = 0x51564a31;  // "QVJ1"
// Each record after the header framed by its length and a checksum; the first version's were
// not, and are still read.
constexpr qint32 kFramed = 2, kUnframed = 1;
constexpr qsizetype kHeader = 8, kFrame = 8;
// Records: what the document is, its whole text in either form, an edit.
constexpr quint8 kDocument = 'D', kKept = 'K', kText = 'T', kEdit = 'E';
// Below this, a whole copy costs no more than appending to one.
constexpr qsizetype kSmallText = 64 * 1024;

// Over the length as well as the payload: a run of zeros is then no record.
quint32 checksum(QByteArrayView length, QByteArrayView payload)
{
    uLong sum = crc32(0L, reinterpret_cast<const Bytef *>(length.data()), uInt(length.size()));
    return quint32(crc32_z(sum, reinterpret_cast<const Bytef *>(payload.data()), payload.size()));
}

QByteArray framed(const QByteArray &payload)
{
    QByteArray record(kFrame, Qt::Uninitialized);
    qToBigEndian(quint32(payload.size()), record.data());
    qToBigEndian(checksum(QByteArrayView(record).first(4), payload), record.data() + 4);
    return record + payload;
}

template <typename... Fields>
QByteArray payload(quint8 type, const Fields &...fields)
{
    QByteArray bytes;
    QDataStream out(&bytes, QIODevice::WriteOnly);
    out << type;
    (out << ... << fields);
    return bytes;
}

QByteArray wholeCopy(const Journal::Whole &whole)
{
    QByteArray bytes;
    QDataStream(&bytes, QIODevice::WriteOnly) << kMagic << kFramed;
    bytes += framed(payload(kDocument, whole.path, whole.encoding));
    bytes += whole.text ? framed(payload(kText, *whole.text))
                        : framed(payload(kKept, whole.kept.toString()));
    return bytes;
}

// What the records read so far make.
struct Reading {
    QString path, encoding;
    ChunkedText kept;
    bool whole = false;
    bool keptForm = true;
};

// Reads one record into reading; false, changing nothing, where the bytes make none. Framed,
// the record is all that in holds.
bool readRecord(QDataStream &in, Reading &reading, bool framed)
{
    quint8 type = 0;
    in >> type;
    const auto ok = [&] { return in.status() == QDataStream::Ok && (!framed || in.atEnd()); };
    if (type == kDocument) {
        QString path, encoding;
        in >> path >> encoding;
        if (!ok())
            return false;
        reading.path = path;
        reading.encoding = encoding;
    } else if (type == kKept || type == kText) {
        QString text;
        in >> text;
        if (!ok())
            return false;
        reading.kept = ChunkedText(text);
        reading.keptForm = type == kKept;
        reading.whole = true;
    } else if (type == kEdit) {
        qint64 position = 0, removed = 0;
        QString inserted;
        in >> position >> removed >> inserted;
        // An edit of a text not there, or outside it, is none that was made.
        const qint64 size = reading.kept.size();
        if (!ok() || !reading.whole || position < 0 || removed < 0 || position > size ||
            removed > size - position)
            return false;
        reading.kept.replace(position, removed, inserted);
    } else {
        return false;
    }
    return true;
}

// The whole records from at on; where the first one that is not whole begins.
qsizetype readFramed(QByteArrayView bytes, qsizetype at, Reading &reading)
{
    while (bytes.size() - at >= kFrame) {
        const qsizetype length = qFromBigEndian<quint32>(bytes.data() + at);
        if (length == 0 || length > bytes.size() - at - kFrame)
            break;
        const QByteArrayView record = bytes.sliced(at + kFrame, length);
        if (checksum(bytes.sliced(at, 4), record) != qFromBigEndian<quint32>(bytes.data() + at + 4))
            break;
        QDataStream in(QByteArray::fromRawData(record.data(), record.size()));
        if (!readRecord(in, reading, true))
            break;
        at += kFrame + length;
    }
    return at;
}

// The first version: a record cut short, by a power cut while it was written, ends it.
qsizetype readUnframed(QByteArrayView bytes, qsizetype at, Reading &reading)
{
    const QByteArray raw = QByteArray::fromRawData(bytes.data(), bytes.size());
    QDataStream in(raw);
    in.skipRawData(int(at));
    while (!in.atEnd() && readRecord(in, reading, false))
        at = in.device()->pos();
    return at;
}

}  // namespace

Journal::Journal(QString folder, QObject *parent)
    : QObject(parent),
      m_folder(std::move(folder)),
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

struct Journal::Job {
    QString folder, file;
    QLockFile *lock;
    std::optional<Whole> whole;
    QList<Edit> edits;
};

Journal::Job Journal::take(const std::function<Whole()> &whole)
{
    // Whichever costs less: the edits appended, or the text written whole.
    if (m_appendedBytes + m_pendingBytes > std::max(m_wholeBytes, kSmallText))
        renew();
    m_due = false;
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
    return job;
}

QString Journal::perform(const Job &job)
{
    if (std::optional<platform::OsError> error = platform::ensurePrivateFolder(job.folder))
        return error->reason;
    // Held while the program lives, so that no other start takes this journal.
    if (!job.lock->isLocked() && !job.lock->tryLock(0))
        return u"ほかのプログラムが同じ控えを使っています。"_s;
    std::optional<platform::OsError> error;
    if (job.whole) {
        error =
            platform::replaceFile(job.file, wholeCopy(*job.whole), platform::Durability::Synced);
        // In an owner-only folder already; the file itself is the owner's alone too.
        QFile::setPermissions(job.file, QFile::ReadOwner | QFile::WriteOwner);
    } else {
        QByteArray bytes;
        for (const Edit &edit : job.edits)
            bytes +=
                framed(payload(kEdit, qint64(edit.position), qint64(edit.removed), edit.inserted));
        error = platform::appendToFile(job.file, bytes, platform::Durability::Synced);
    }
    return error ? error->reason : QString();
}

bool Journal::write(const std::function<Whole()> &whole)
{
    if (m_writer.isBusy())
        return false;
    if (!m_due)
        return true;
    m_writer.run([job = take(whole)](const Task &) { return perform(job); },
                 [this](const QString &error) { written(error); });
    return true;
}

std::optional<QString> Journal::writeNow(const std::function<Whole()> &whole)
{
    // How a write under way ended is not heard once it is waited for: the copy is made whole.
    if (m_writer.isBusy()) {
        m_writer.stop();
        renew();
    }
    if (!m_due)
        return std::nullopt;
    const QString error = perform(take(whole));
    written(error);
    return error.isEmpty() ? std::nullopt : std::optional(error);
}

void Journal::written(const QString &error)
{
    if (error.isEmpty()) {
        emit wrote();
        return;
    }
    // What failed is written whole next time.
    renew();
    if (!std::exchange(m_told, true))
        emit failed(error);
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

std::optional<JournalEntry> Journal::parse(QByteArrayView bytes)
{
    if (bytes.size() < kHeader || qFromBigEndian<quint32>(bytes.data()) != kMagic)
        return std::nullopt;
    const qint32 version = qFromBigEndian<qint32>(bytes.data() + 4);
    if (version != kFramed && version != kUnframed)
        return std::nullopt;
    Reading reading;
    const qsizetype end = version == kFramed ? readFramed(bytes, kHeader, reading)
                                             : readUnframed(bytes, kHeader, reading);
    if (!reading.whole)
        return std::nullopt;
    JournalEntry entry;
    entry.path = reading.path;
    entry.encoding = reading.encoding;
    entry.text = reading.keptForm ? TextSnapshot::fromEditorChunks(reading.kept.chunks()).toString()
                                  : reading.kept.toString();
    entry.dropped = bytes.size() - end;
    return entry;
}

std::optional<JournalEntry> Journal::read(const QString &file)
{
    QFile in(file);
    if (!in.open(QIODevice::ReadOnly))
        return std::nullopt;
    std::optional<JournalEntry> entry = parse(in.readAll());
    if (!entry)
        return std::nullopt;
    entry->file = file;
    entry->written = QFileInfo(in).lastModified();
    // Written again in no other encoding than it was read in: without a known one, it is new.
    if (!isKnownEncoding(entry->encoding)) {
        entry->cameFrom = std::exchange(entry->path, QString());
        entry->encoding = platform::systemEncoding();
    }
    return entry;
}

void Journal::remove(const QString &file)
{
    QFile::remove(file);
    QFile::remove(file + u".lock"_s);
}

QString Journal::setAside(const QString &file)
{
    const QFileInfo info(file);
    const QString aside = info.dir().filePath(u"unreadable-%1-%2"_s.arg(
        QDateTime::currentDateTime().toString(u"yyyyMMdd-HHmmss"_s), info.fileName()));
    return QFile::rename(file, aside) ? aside : file;
}

}  // namespace engine
