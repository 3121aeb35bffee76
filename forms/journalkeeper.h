#pragma once

#include <QObject>
#include <QTimer>

#include "engine/journal.h"

namespace editor {
class SourceDocument;
}

namespace forms {

class Form1;

// Offers each text that programs which ended without a word left unsaved in folder, one
// question at a time: taken back, it is a document again, unsaved, with its file and encoding;
// thrown away, its journal goes. Left unanswered, it is offered at the next start.
void offerJournal(Form1 &form1, const QString &folder);

// Keeps the journal of the text that is not saved: edits go to it as they are made, and it is
// written within a second of a change. Once the text is saved, or the program ends as it
// should, the journal goes.
class JournalKeeper : public QObject {
    Q_OBJECT

public:
    // No folder: nothing is kept.
    JournalKeeper(editor::SourceDocument &document, const QString &folder, QObject *parent);
    // A normal end.
    ~JournalKeeper() override;
    Q_DISABLE_COPY_MOVE(JournalKeeper)

    // At most this long after a change, it is written.
    static constexpr int kWithin = 1000;

    // What the document is: the journal names it.
    void setDocument(const QString &path, const QString &encoding);
    // The program is made to end (a signal, the desktop session ending): the journal is brought
    // up to date here and now, synced, and left for the next start to offer. Whether the text is
    // safe: nothing unsaved, or all of it in the journal; else why not, in Japanese.
    std::optional<QString> keepForNextStart();
    const engine::Journal *journal() const { return m_journal.get(); }

signals:
    // A write failed: why, in Japanese; once.
    void failed(const QString &message);
    // All that was asked to be written is.
    void written();

private:
    void due();
    void write();
    engine::Journal::Whole whole() const;

    editor::SourceDocument &m_document;
    QString m_path;
    QString m_encoding;
    QTimer m_due;
    std::unique_ptr<engine::Journal> m_journal;
    bool m_kept = false;  // for the next start, until the text changes again
};

}  // namespace forms
