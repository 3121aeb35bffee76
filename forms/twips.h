#pragma once

#include <QRect>
#include <cmath>

namespace forms {

inline constexpr double kTwipsPerInch = 1440.0;

// Rounded to the nearest pixel; logicalDpi is passed in so that callers and tests choose it.
inline int twipsToPixels(double twips, double logicalDpi)
{
    return static_cast<int>(std::lround(twips * logicalDpi / kTwipsPerInch));
}

inline double pixelsToTwips(int pixels, double logicalDpi)
{
    return pixels * kTwipsPerInch / logicalDpi;
}

struct TwipsRect {
    double left = 0;
    double top = 0;
    double width = 0;
    double height = 0;

    friend bool operator==(const TwipsRect &, const TwipsRect &) = default;
};

inline QRect twipsToPixels(const TwipsRect &r, double logicalDpi)
{
    return QRect(twipsToPixels(r.left, logicalDpi), twipsToPixels(r.top, logicalDpi),
                 twipsToPixels(r.width, logicalDpi), twipsToPixels(r.height, logicalDpi));
}

}  // namespace forms
