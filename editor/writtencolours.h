#pragma once

#include <QColor>
#include <QList>
#include <QString>
#include <QStringView>

namespace editor {

// A CSS colour as the source writes it: hex, rgb() or rgba(), hsl() or hsla(), or a name.
struct WrittenColour {
    enum class Notation { Hex, Rgb, Hsl, Name };
    qsizetype start = 0;  // in the text it was read from
    qsizetype length = 0;
    QColor colour;
    Notation notation = Notation::Hex;
};

// The colours written in text, in order.
QList<WrittenColour> writtenColours(QStringView text);

// colour written in the notation of was: a name only where the colour has one, else hex.
QString writeColour(const QColor &colour, const WrittenColour &was);

}  // namespace editor
