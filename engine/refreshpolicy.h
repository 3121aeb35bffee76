#pragma once

#include <QString>
#include <QtGlobal>
#include <optional>

#include "engine/fileerror.h"
#include "engine/refreshmode.h"
#include "engine/textsnapshot.h"

namespace engine {

class PreviewFile;

// When the preview is rebuilt: every Nth edit (the modes that count edits), on timer ticks when
// the text changed since the last tick refresh, or when the user asks.
class RefreshPolicy {
public:
    explicit RefreshPolicy(PreviewFile &preview) : m_preview(preview) {}
    Q_DISABLE_COPY_MOVE(RefreshPolicy)

    // Once per change notification of the editor, in the mode in force; nothing while counting
    // is suspended (the settings dialog is open). Returns the error of a refresh that failed.
    std::optional<FileError> OnEdit(const TextSnapshot &editorText,
                                    std::optional<RefreshMode> mode);
    std::optional<FileError> OnTick(const TextSnapshot &editorText);
    std::optional<FileError> ReflectNow(const TextSnapshot &editorText);

    // A new mode starts counting from zero, so a count left over from another mode can neither
    // stop count refreshes nor grow without end.
    void OnModeApplied() { m_changeCount = 0; }

    // Milliseconds for the timer, 0 to stop it; nothing for an index that is no mode.
    static std::optional<int> IntervalForMode(int index);

    int changeCount() const { return m_changeCount; }
    const TextSnapshot &lastPreviewText() const { return m_lastPreviewText; }

private:
    PreviewFile &m_preview;
    int m_changeCount = 0;
    TextSnapshot m_lastPreviewText;
};

}  // namespace engine
