#include "engine/previewfile.h"

#include "engine/previewpane.h"
#include "engine/textcodec.h"
#include "engine/textfile.h"
#include "platform/fileio.h"
#include "platform/systemencoding.h"

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

std::optional<FileError> PreviewFile::RefreshPreview(const QString &text)
{
    std::optional<FileError> error = write(PreviewPathFor(), text);
    // A character the encoding cannot hold fails in any folder; only a folder problem is worth
    // another place.
    if (error && error->kind != FileError::Kind::Encode && !m_fallbackFolder.isEmpty()) {
        if (std::optional<platform::OsError> folder =
                platform::ensurePrivateFolder(m_fallbackFolder))
            error = FileError(FileError::Kind::Folder, m_fallbackFolder, *folder);
        else
            error = write(JoinPath(m_fallbackFolder, QString::fromUtf16(kPreviewFileName)), text);
    }
    if (error)
        m_pane.showFailure(*error);
    return error;
}

std::optional<FileError> PreviewFile::write(const QString &path, const QString &text)
{
    // Written as the page will be read: in the charset it declares, else in the document's own.
    QString encoding = declaredEncoding(text);
    if (encoding.isEmpty())
        encoding = m_documentEncoding;
    if (std::optional<FileError> error =
            WriteTextFile(path, text, encoding, platform::Durability::Cached))
        return error;
    m_previewPath = path;
    m_pane.navigate(m_previewPath, encoding);
    return std::nullopt;
}

}  // namespace engine
