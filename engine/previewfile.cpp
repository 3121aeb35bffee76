#include "engine/previewfile.h"

#include "engine/previewpane.h"
#include "engine/textcodec.h"
#include "engine/textfile.h"
#include "platform/fileio.h"
#include "platform/systemencoding.h"

using namespace Qt::StringLiterals;

namespace engine {

PreviewFile::PreviewFile(PreviewPane &pane, QString programFolder, QString fallbackFolder)
    : m_pane(pane),
      m_programFolder(std::move(programFolder)),
      m_fallbackFolder(std::move(fallbackFolder)),
      m_documentEncoding(platform::systemEncoding())
{
}

QString PreviewFile::PreviewPathFor() const
{
    return JoinPath(m_programFolder, QString::fromUtf16(kPreviewFileName));
}

void PreviewFile::setDocument(const QString &folder, const QString &encoding)
{
    m_documentEncoding = encoding;
    m_pane.setDocumentFolder(folder);
}

PreviewFile::Job PreviewFile::jobFor(const TextSnapshot &text) const
{
    // Written as the page will be read: in the charset it declares, else in the document's own.
    // Only the head of the page can declare one.
    QString encoding = declaredEncoding(text.head(1024), m_documentEncoding);
    if (encoding.isEmpty())
        encoding = m_documentEncoding;
    return {text, encoding, PreviewPathFor(), m_fallbackFolder};
}

std::optional<FileError> PreviewFile::RefreshPreview(const TextSnapshot &text)
{
    Job job = jobFor(text);
    // After a write still under way, so that the pane hears of them in order.
    if (!m_writer.isBusy() && text.sizeBound() <= kWriteHere) {
        const Done done = write(job, nullptr);
        finished(done);
        return done.error;
    }
    // The page need not wait for the file to follow the text in place: only a load reads it.
    m_pane.writing({job.path, job.encoding, job.text, std::nullopt});
    m_writer.run([job = std::move(job)](const Task &task) { return write(job, &task.cancelled()); },
                 [this](const Done &done) { finished(done); });
    return std::nullopt;
}

void PreviewFile::finished(const Done &done)
{
    m_lastFailed = done.error.has_value();
    const Referenced &referenced = done.referenced;
    m_pane.setWarning(
        referenced.character.isEmpty()
            ? QString()
            : u"「%1」(U+%2) は %3 では保存できません。プレビューには文字参照 &#x%2; で書いています。"_s
                  .arg(referenced.character,
                       QString::number(referenced.character.toUcs4().value(0), 16).toUpper(),
                       done.encoding),
        referenced.line);
    if (done.error) {
        m_pane.showFailure(*done.error);
    } else {
        m_previewPath = done.path;
        m_pane.navigate(
            {m_previewPath, done.encoding,
             done.referenced.character.isEmpty() ? std::optional(done.text) : std::nullopt,
             done.file});
    }
}

PreviewFile::Done PreviewFile::write(const Job &job, const std::atomic<bool> *cancel)
{
    // Written aside, the text is put in the file's form here, once: the pane reads it as one
    // string, and the thread it reads on is the one typing must not wait for.
    Done done{job.path,
              job.encoding,
              std::nullopt,
              {},
              cancel ? TextSnapshot(job.text.toString()) : job.text,
              std::nullopt};
    // A page may write any character as its reference; the document is still refused on save.
    const auto writeTo = [&](const QString &path) {
        return WriteTextFile(path, done.text, job.encoding, platform::Durability::Cached, cancel,
                             &done.referenced);
    };
    done.error = writeTo(job.path);
    if (done.error && !job.fallbackFolder.isEmpty()) {
        done.path = JoinPath(job.fallbackFolder, QString::fromUtf16(kPreviewFileName));
        if (std::optional<platform::OsError> folder =
                platform::ensurePrivateFolder(job.fallbackFolder))
            done.error = FileError(FileError::Kind::Folder, job.fallbackFolder, *folder);
        else
            done.error = writeTo(done.path);
    }
    if (!done.error)
        done.file = platform::fileIdentity(done.path);
    return done;
}

}  // namespace engine
