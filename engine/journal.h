#pragma once

#include <QDateTime>
#include <QList>
#include <QObject>
#include <QString>
#include <functional>
#include <memory>
#include <optional>

#include "engine/background.h"
#include "engine/chunkedtext.h"

class QLockFile;

namespace engine {

// What a journal holds of a document that was not saved.
struct JournalEntry {
    QString file;      // the journal itself
    QString path;      // the document's, empty for a new one
    QString encoding;  // the document's, always one a converter here knows
    // The file the journal named when it named no encoding a converter knows: the text comes
    // back as a new document, so that no file is written in an encoding it was not read in.
    QString cameFrom;
    QDateTime written;
    QString text;  // the editor's text, as it was
    // Bytes at the end that were not whole records (a power cut's zeros, a torn append): the
    // text is what the records before them made.
    qsizetype dropped = 0;
};

// A journal of the text that is not saved, so that a crash, a kill or a power cut loses at most
// the last second of typing. It is written off the UI thread: a whole copy at first, then the
// edits since appended to it, until they would cost more than a whole copy again. Each program
// keeps one of its own, in an owner-only folder, and holds a lock beside it while it lives: the
// next start offers only the journals whose program is gone.
class Journal : public QObject {
    Q_OBJECT

public:
    // The text as the editor keeps it (each line end one character, CR LF as U+2029), or as the
    // file has it when that form cannot tell its line ends apart; what the document is.
    struct Whole {
        ChunkedText kept;
        std::optional<QString> text;
        QString path;
        QString encoding;
    };

    explicit Journal(QString folder, QObject *parent = nullptr);
    // Waits for a write under way, and leaves the journal: an end that is not a normal one.
    ~Journal() override;
    Q_DISABLE_COPY_MOVE(Journal)

    // An edit of the kept text: removed characters at position replaced by inserted.
    void edited(qsizetype position, qsizetype removed, const QString &inserted);
    // The next write is a whole copy: a text set whole, another document, another encoding.
    void renew();
    // Writes what changed since the last write, off the UI thread; whole gives the text when a
    // whole copy is due. False, writing nothing, while a write is under way.
    bool write(const std::function<Whole()> &whole);
    // The same, here and now, synced, for a program about to end: a write under way is waited
    // for. Why not, in Japanese, when it fails.
    std::optional<QString> writeNow(const std::function<Whole()> &whole);
    bool isWriting() const { return m_writer.isBusy(); }
    // Everything asked for is written.
    bool isCurrent() const { return !m_writer.isBusy() && !m_due; }
    // The text is saved, or the program ends as it should: the journal goes.
    void discard();
    const QString &file() const { return m_file; }

    // The journals in folder whose programs are gone, the newest first; taken, so that no other
    // start offers them meanwhile.
    static QStringList orphans(const QString &folder);
    // Nothing when no whole copy of a text can be read from it.
    static std::optional<JournalEntry> read(const QString &file);
    // The whole records in bytes; a record cut short, failing its checksum, or naming a place
    // outside the text ends the reading. The encoding is as the journal names it.
    static std::optional<JournalEntry> parse(QByteArrayView bytes);
    static void remove(const QString &file);
    // A journal that cannot be read is renamed, out of the way of the next starts' offers, and
    // kept for a person to look at; where it is now.
    static QString setAside(const QString &file);

signals:
    // Once a write fails, with why, in Japanese.
    void failed(const QString &message);
    // After each write that did not.
    void wrote();

private:
    struct Edit {
        qsizetype position = 0;
        qsizetype removed = 0;
        QString inserted;
    };
    struct Job;
    Job take(const std::function<Whole()> &whole);
    static QString perform(const Job &job);
    void written(const QString &error);

    QString m_folder;
    QString m_file;
    std::unique_ptr<QLockFile> m_lock;
    QList<Edit> m_pending;
    qsizetype m_pendingBytes = 0;
    qsizetype m_appendedBytes = 0;  // since the last whole copy
    qsizetype m_wholeBytes = 0;
    bool m_whole = true;       // the next write is a whole copy
    bool m_wholeOnly = false;  // every write is: the text is kept as the file has it
    bool m_due = true;         // something is not written yet
    bool m_told = false;       // of a failure
    // Last, so that it goes first: its end waits for the write under way.
    Background m_writer;
};

}  // namespace engine
