#pragma once

#include <QString>
#include <span>

#include "engine/refreshmode.h"
#include "forms/twips.h"

// The three windows as designed: every control's place in twips within its container, its
// caption where it has one, and its place in the tab order. The windows are built from these
// tables and their test checks against them, so the two cannot drift apart.
namespace forms::design {

struct Control {
    const char16_t *name;
    TwipsRect rect;
    int tab;
    const char16_t *caption = nullptr;
    // A control shorter than its text keeps its place and width and grows about its middle.
    bool legible = false;
};

struct Window {
    const char16_t *name;
    double width, height;  // of the client area
    std::span<const Control> controls;
};

inline constexpr Control kForm1Controls[] = {
    {u"Text1", {0, 720, 7935, 8895}, 0},
    {u"WebBrowser1", {7920, 720, 7335, 9135}, 1},
    // The doubled ampersand shows as one and marks no access key.
    {u"cmdsave", {0, 0, 1575, 375}, 2, u"読み込み&&保存"},
    {u"cmd", {1560, 0, 1575, 375}, 3, u"反映設定"},
    {u"Command1", {3120, 0, 1455, 375}, 4, u"今すぐ反映"},
    {u"Command2", {4560, 0, 1455, 375}, 5, u"終了"},
};
inline constexpr Window kForm1{u"Form1", 8490, 8310, kForm1Controls};

inline constexpr Control kForm2Controls[] = {
    {u"Dir1", {0, 600, 2775, 2820}, 0},
    {u"Drive1", {0, 240, 2775, 300}, 1, nullptr, true},
    {u"File1", {3000, 600, 2655, 2790}, 2},
    {u"Text1", {3000, 240, 2775, 270}, 3, nullptr, true},
    {u"Command1", {1080, 4320, 1455, 375}, 4, u"開く"},
    {u"Command2", {3000, 4320, 1575, 375}, 5, u"保存"},
};
inline constexpr Window kForm2{u"Form2", 9135, 5295, kForm2Controls};

// The option buttons stand from the fastest mode at the top to none at the bottom, each with
// its mode's caption.
inline constexpr const auto &kMode = engine::kRefreshModes;
inline constexpr Control kForm3Controls[] = {
    {u"Frame1", {120, 0, 6255, 4935}, 0, u"設定"},
    {u"Frame3", {120, 360, 3015, 4455}, 10, u"各種設定"},
    {u"Check1", {120, 3600, 2775, 180}, 11, u"タブを入れたら自動改行する", true},
    {u"Frame2", {3240, 360, 2895, 4455}, 1, u"反映速度"},
    {u"Option(7)", {120, 480, 1095, 255}, 6, kMode[7].caption, true},
    {u"Option(6)", {120, 870, 1575, 255}, 7, kMode[6].caption, true},
    {u"Option(5)", {120, 1275, 1455, 255}, 8, kMode[5].caption, true},
    {u"Option(4)", {120, 1665, 1695, 255}, 2, kMode[4].caption, true},
    {u"Option(3)", {120, 2055, 1455, 375}, 3, kMode[3].caption, true},
    {u"Option(2)", {120, 2565, 1335, 375}, 4, kMode[2].caption, true},
    {u"Option(1)", {120, 3090, 1575, 255}, 5, kMode[1].caption, true},
    {u"Option(0)", {120, 3480, 1695, 375}, 9, kMode[0].caption, true},
    {u"Command1", {240, 5280, 2895, 495}, 12, u"OK"},
    {u"Command2", {3360, 5280, 2895, 495}, 13, u"キャンセル"},
};
inline constexpr Window kForm3{u"Form3", 6525, 5805, kForm3Controls};

}  // namespace forms::design
