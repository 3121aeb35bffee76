#pragma once

#include <QWidget>

#include "twips.h"

namespace windows {

// Twips become pixels at the widget's logical DPI, the one conversion at the edge.
inline void placeInTwips(QWidget *widget, const platform::TwipsRect &rect)
{
    widget->setGeometry(platform::twipsToPixels(rect, widget->logicalDpiX()));
}

inline QSize twipsSize(const QWidget *widget, double width, double height)
{
    const double dpi = widget->logicalDpiX();
    return {platform::twipsToPixels(width, dpi), platform::twipsToPixels(height, dpi)};
}

}  // namespace windows
