#pragma once

#include <QAbstractButton>
#include <QGroupBox>
#include <QPushButton>
#include <QWidget>
#include <algorithm>
#include <vector>

#include "forms/design.h"
#include "forms/twips.h"

namespace forms {

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

inline QPushButton *makeButton(QWidget *parent, const QString &name)
{
    auto *button = new QPushButton(parent);
    button->setObjectName(name);
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

// The window at its designed size, and each of its controls, made and named beforehand, in its
// place, with its caption and in the tab order.
inline void applyDesign(QWidget *window, const design::Window &design, bool fixedSize)
{
    const QSize size = twipsSize(window, design.width, design.height);
    if (fixedSize)
        window->setFixedSize(size);
    else
        window->resize(size);
    std::vector<QWidget *> tabs(design.controls.size());
    for (const design::Control &control : design.controls) {
        auto *widget = window->findChild<QWidget *>(QString::fromUtf16(control.name));
        if (!widget)
            continue;
        if (control.legible)
            placeLegibly(widget, control.rect);
        else
            placeInTwips(widget, control.rect);
        if (control.caption) {
            if (auto *button = qobject_cast<QAbstractButton *>(widget))
                button->setText(QString::fromUtf16(control.caption));
            else if (auto *frame = qobject_cast<QGroupBox *>(widget))
                frame->setTitle(QString::fromUtf16(control.caption));
        }
        tabs.at(size_t(control.tab)) = widget;
    }
    for (size_t i = 1; i < tabs.size(); ++i)
        if (tabs[i - 1] && tabs[i])
            QWidget::setTabOrder(tabs[i - 1], tabs[i]);
}

}  // namespace forms
