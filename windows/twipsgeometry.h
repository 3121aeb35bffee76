#pragma once

#include <QPushButton>
#include <QWidget>

#include "windows/twips.h"

namespace windows {

// Twips become pixels at the widget's logical DPI, the one conversion at the edge.
inline void placeInTwips(QWidget *widget, const TwipsRect &rect)
{
    widget->setGeometry(twipsToPixels(rect, widget->logicalDpiX()));
}

inline QSize twipsSize(const QWidget *widget, double width, double height)
{
    const double dpi = widget->logicalDpiX();
    return {twipsToPixels(width, dpi), twipsToPixels(height, dpi)};
}

inline QPushButton *makeButton(QWidget *parent, const QString &name, const QString &caption,
                               const TwipsRect &rect)
{
    auto *button = new QPushButton(caption, parent);
    button->setObjectName(name);
    placeInTwips(button, rect);
    return button;
}

// A control shorter than its text would be clipped; it keeps its designed place and width and
// grows about its middle.
inline void placeLegibly(QWidget *widget, const TwipsRect &rect)
{
    placeInTwips(widget, rect);
    const int needed = widget->sizeHint().height();
    QRect geometry = widget->geometry();
    if (geometry.height() < needed) {
        geometry.adjust(0, -(needed - geometry.height()) / 2, 0, 0);
        geometry.setHeight(needed);
        widget->setGeometry(geometry);
    }
}

}  // namespace windows
