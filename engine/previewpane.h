#pragma once

#include <QString>

#include "engine/fileerror.h"

namespace engine {

// What the engine needs of the preview: load a local file, or say why it could not be written.
class PreviewPane {
public:
    virtual ~PreviewPane() = default;

    // Starts loading the file at localPath (native separators) and returns at once; a page that
    // declares no charset is read in encoding.
    virtual void navigate(const QString &localPath, const QString &encoding) = 0;

    // Shows, in place of the page, that the preview could not be brought up to date.
    virtual void showFailure(const FileError &error) = 0;

    // The page's relative addresses resolve against folder (native separators), as if the page
    // were shown from there; empty for a document that has no place yet.
    virtual void setDocumentFolder(const QString &folder) = 0;
};

}  // namespace engine
