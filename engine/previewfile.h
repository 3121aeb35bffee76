#pragma once

#include <QString>
#include <QtGlobal>
#include <optional>

#include "engine/background.h"
#include "engine/fileerror.h"
#include "engine/textfile.h"
#include "engine/textsnapshot.h"

namespace engine {

class PreviewPane;

inline constexpr char16_t kPreviewFileName[] = u"一時.html";

// The one refresh that every trigger shares: the whole text to the preview file, then the pane
// is told to load it.
//
// A large text is encoded and written on a thread of its own, so that typing never waits for
// it: one write at a time, in the order asked, the latest text replacing one still waiting. The
// pane hears of each write once the file is closed, and of a failure as before.
class PreviewFile {
public:
    // Up to this many characters (a bound, see TextSnapshot) a refresh is written at once.
    static constexpr qsizetype kWriteHere = 512 * 1024;

    // fallbackFolder is used when the program's folder cannot take the file (an installed program
    // usually sits in a read-only folder); it is made owner-only before use.
    PreviewFile(PreviewPane &pane, QString programFolder, QString fallbackFolder);
    // Waits for no write: the one under way is given up before it touches the file.
    ~PreviewFile() = default;
    Q_DISABLE_COPY_MOVE(PreviewFile)

    QString PreviewPathFor() const;

    // On failure the pane is shown why, previewPath keeps the last good file and the error is
    // returned; the caller's text is never touched. A write left to the thread returns nothing,
    // and its failure goes to the pane alone.
    std::optional<FileError> RefreshPreview(const TextSnapshot &text);

    const QString &previewPath() const { return m_previewPath; }
    // Whether a write is under way or waiting, and whether the last one done failed.
    bool isWriting() const { return m_writer.isBusy(); }
    bool lastFailed() const { return m_lastFailed; }

    // The document being edited: the folder its page's relative addresses resolve against
    // (empty for none) and the encoding its preview is written in when the page declares none.
    void setDocument(const QString &folder, const QString &encoding);
    const QString &documentEncoding() const { return m_documentEncoding; }

private:
    struct Job {
        TextSnapshot text;
        QString encoding;
        QString path;
        QString fallbackFolder;
    };
    struct Done {
        QString path;
        QString encoding;
        std::optional<FileError> error;
        Referenced referenced;
        TextSnapshot text;
        std::optional<quint64> file;  // its identity, once written
    };
    // Touches nothing but the files: it runs on either thread.
    static Done write(const Job &job, const std::atomic<bool> *cancel);
    Job jobFor(const TextSnapshot &text) const;
    void finished(const Done &done);

    PreviewPane &m_pane;
    const QString m_programFolder;
    const QString m_fallbackFolder;
    QString m_previewPath;
    QString m_documentEncoding;
    bool m_lastFailed = false;
    // Last, so that it goes first: the write under way is given up before the rest goes.
    Background m_writer;
};

}  // namespace engine
