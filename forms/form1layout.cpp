#include "forms/form1layout.h"

#include <algorithm>

namespace forms {

Form1Layout layoutForm1(float clientWidth, float clientHeight, float outerWidth)
{
    constexpr float kTop = 720.0f;
    const float halfWidth = std::max(0.0f, clientWidth / 2.0f - 10.0f);
    const float height = std::max(0.0f, clientHeight - 1100.0f);
    Form1Layout layout;
    layout.text1 = {0.0, kTop, halfWidth, height};
    layout.webBrowser1 = {outerWidth / 2.0f, kTop, halfWidth, height};
    return layout;
}

}  // namespace forms
