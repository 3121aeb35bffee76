#include "engine/refreshpolicy.h"

#include "engine/previewfile.h"

namespace engine {

int RefreshPolicy::CountForMode(const QString &modeText)
{
    if (modeText == u"5")
        return 10;
    if (modeText == u"6")
        return 5;
    if (modeText == u"7")
        return 1;
    return 0;
}

std::optional<FileError> RefreshPolicy::OnEdit(const TextSnapshot &editorText,
                                               const QString &modeText)
{
    const int count = CountForMode(modeText);
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
    switch (index) {
    case 0:
    case 5:
    case 6:
    case 7:
        return 0;
    case 1:
        return 10000;
    case 2:
        return 4000;
    case 3:
        return 2000;
    case 4:
        return 1000;
    default:
        return std::nullopt;
    }
}

}  // namespace engine
