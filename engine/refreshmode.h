#pragma once

#include <array>
#include <cstddef>
#include <optional>

namespace engine {

// The refresh modes, by the index of the settings dialog's option button that selects each
// (`iii`); the dialog shows them from the fastest at the top, EveryEdit, to Manual at the foot.
enum class RefreshMode {
    Manual,
    Every10Seconds,
    Every4Seconds,
    Every2Seconds,
    EverySecond,
    Every10Edits,
    Every5Edits,
    EveryEdit,
};

struct RefreshModeInfo {
    int edits;                // per refresh; 0 for a mode that counts none
    int interval;             // of the timer, in milliseconds; 0 stops it
    const char16_t *caption;  // of its option button: full-width digits but for "1秒毎"
};

// What each mode means, in the order of the enum.
inline constexpr std::array<RefreshModeInfo, 8> kRefreshModes{{
    {0, 0, u"自動反映しない"},
    {0, 10000, u"１０秒毎"},
    {0, 4000, u"４秒毎"},
    {0, 2000, u"２秒毎"},
    {0, 1000, u"1秒毎"},
    {10, 0, u"１０文字毎"},
    {5, 0, u"５文字毎"},
    {1, 0, u"１文字毎"},
}};

constexpr const RefreshModeInfo &infoOf(RefreshMode mode)
{
    return kRefreshModes[std::size_t(mode)];
}

// The mode an option button's index selects; nothing for an index that is no mode.
constexpr std::optional<RefreshMode> refreshModeAt(int index)
{
    if (index < 0 || index >= int(kRefreshModes.size()))
        return std::nullopt;
    return RefreshMode(index);
}

}  // namespace engine
