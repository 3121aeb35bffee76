#pragma once

#include <QString>
#include <QStringList>

#include "fileerror.h"

namespace platform {

// What the engine needs of the preview: load a local file, or say why it could not be written.
class PreviewPane {
public:
    virtual ~PreviewPane() = default;

    // Starts loading the file at localPath (native separators) and returns at once.
    virtual void navigate(const QString &localPath) = 0;

    // Shows, in place of the page, that the preview could not be brought up to date.
    virtual void showFailure(const FileError &error) = 0;
};

// Records what it was told, for tests and benchmarks that need no web view.
class RecordingPane final : public PreviewPane {
public:
    void navigate(const QString &localPath) override { navigations.append(localPath); }
    void showFailure(const FileError &error) override { failures.append(error.message()); }

    QStringList navigations;
    QStringList failures;
};

}  // namespace platform
