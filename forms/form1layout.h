#pragma once

#include "forms/twips.h"

namespace forms {

struct Form1Layout {
    TwipsRect text1;
    TwipsRect webBrowser1;
};

// Editor and preview side by side below the buttons, in single precision as the window was
// designed. The preview's left edge follows half the outer width (frame included). Sizes that
// would be negative in a tiny or minimised window are 0.
Form1Layout layoutForm1(float clientWidth, float clientHeight, float outerWidth);

}  // namespace forms
