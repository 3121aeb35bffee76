#include "previewfile.h"

#include "fileio.h"
#include "previewpane.h"
#include "textfile.h"

namespace engine {

PreviewFile::PreviewFile(platform::PreviewPane &pane, QString programFolder, QString fallbackFolder)
    : m_pane(pane),
      m_programFolder(std::move(programFolder)),
      m_fallbackFolder(std::move(fallbackFolder))
{
}

QString PreviewFile::PreviewPathFor() const
{
    return JoinPath(m_programFolder, QString::fromUtf16(kPreviewFileName));
}

std::optional<FileError> PreviewFile::RefreshPreview(const QString &text)
{
    const QString path = PreviewPathFor();
    std::optional<FileError> error = WriteTextFile(path, text, platform::Durability::Cached);
    if (!error) {
        m_previewPath = path;
        m_pane.navigate(m_previewPath);
        return std::nullopt;
    }
    // A character the encoding cannot hold fails in any folder; only a folder problem is worth
    // another place.
    if (error->kind != FileError::Kind::Encode && !m_fallbackFolder.isEmpty())
        error = writeToFallback(text);
    if (error)
        m_pane.showFailure(*error);
    return error;
}

std::optional<FileError> PreviewFile::writeToFallback(const QString &text)
{
    if (std::optional<FileError> folderError = platform::ensurePrivateFolder(m_fallbackFolder))
        return folderError;
    const QString path = JoinPath(m_fallbackFolder, QString::fromUtf16(kPreviewFileName));
    if (std::optional<FileError> error = WriteTextFile(path, text, platform::Durability::Cached))
        return error;
    m_previewPath = path;
    m_pane.navigate(m_previewPath);
    return std::nullopt;
}

}  // namespace engine
