#include "engine/refreshpolicy.h"

#include "engine/previewfile.h"

namespace engine {

std::optional<FileError> RefreshPolicy::OnEdit(const TextSnapshot &editorText,
                                               std::optional<RefreshMode> mode)
{
    const int count = mode ? infoOf(*mode).edits : 0;
    if (count == 0)
        return std::nullopt;
    ++m_changeCount;
    if (m_changeCount != count)
        return std::nullopt;
    std::optional<FileError> error = m_preview.RefreshPreview(editorText);
    m_changeCount = 0;
    return error;
}

std::optional<FileError> RefreshPolicy::OnTick(const TextSnapshot &editorText)
{
    // After a failure, even one found on the writing thread, the next tick tries again.
    if (editorText == m_lastPreviewText && !m_preview.lastFailed())
        return std::nullopt;
    std::optional<FileError> error = m_preview.RefreshPreview(editorText);
    if (!error)
        m_lastPreviewText = editorText;
    return error;
}

std::optional<FileError> RefreshPolicy::ReflectNow(const TextSnapshot &editorText)
{
    std::optional<FileError> error = m_preview.RefreshPreview(editorText);
    m_changeCount = 0;
    return error;
}

std::optional<int> RefreshPolicy::IntervalForMode(int index)
{
    const std::optional<RefreshMode> mode = refreshModeAt(index);
    return mode ? std::optional(infoOf(*mode).interval) : std::nullopt;
}

}  // namespace engine
