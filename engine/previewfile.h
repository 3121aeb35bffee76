#pragma once

#include <QString>
#include <QtGlobal>
#include <optional>

#include "engine/fileerror.h"

namespace engine {

class PreviewPane;

inline constexpr char16_t kPreviewFileName[] = u"一時.html";

// The one refresh that every trigger shares: the whole text to the preview file, then the pane
// is told to load it.
class PreviewFile {
public:
    // fallbackFolder is used when the program's folder cannot take the file (an installed program
    // usually sits in a read-only folder); it is made owner-only before use.
    PreviewFile(PreviewPane &pane, QString programFolder, QString fallbackFolder);
    Q_DISABLE_COPY_MOVE(PreviewFile)

    QString PreviewPathFor() const;

    // On failure the pane is shown why, previewPath keeps the last good file and the error is
    // returned; the caller's text is never touched.
    std::optional<FileError> RefreshPreview(const QString &text);

    const QString &previewPath() const { return m_previewPath; }

    // The document being edited: the folder its page's relative addresses resolve against
    // (empty for none) and the encoding its preview is written in when the page declares none.
    void setDocument(const QString &folder, const QString &encoding);
    const QString &documentEncoding() const { return m_documentEncoding; }

private:
    std::optional<FileError> write(const QString &path, const QString &text);

    PreviewPane &m_pane;
    const QString m_programFolder;
    const QString m_fallbackFolder;
    QString m_previewPath;
    QString m_documentEncoding;
};

}  // namespace engine
