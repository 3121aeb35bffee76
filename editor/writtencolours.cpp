#include "editor/writtencolours.h"

#include <QRegularExpression>
#include <cmath>

using namespace Qt::StringLiterals;

namespace editor {

namespace {

// A number of rgb() or hsl(), as a fraction of its whole where it is one: a percentage, a
// channel of 255, an alpha of 1.
double component(const QString &written, double whole)
{
    if (written.endsWith(u'%'))
        return std::clamp(written.chopped(1).toDouble() / 100, 0.0, 1.0);
    return std::clamp(written.toDouble() / whole, 0.0, 1.0);
}

QColor functional(bool hsl, const QStringList &parts)
{
    if (parts.size() < 3 || parts.size() > 4)
        return {};
    const double alpha = parts.size() == 4 ? component(parts[3], 1) : 1;
    if (hsl) {
        QString hue = parts[0];
        hue.remove(u"deg"_s);
        const double h = std::fmod(std::fmod(hue.toDouble(), 360) + 360, 360) / 360;
        return QColor::fromHslF(float(h), float(component(parts[1], 100)),
                                float(component(parts[2], 100)), float(alpha));
    }
    return QColor::fromRgbF(float(component(parts[0], 255)), float(component(parts[1], 255)),
                            float(component(parts[2], 255)), float(alpha));
}

QString number(double value)
{
    return QString::number(std::round(value * 100) / 100, 'g', 6);
}

}  // namespace

QList<WrittenColour> writtenColours(QStringView text)
{
    static const QRegularExpression kColour(
        uR"((?<![\w#.-])(?:#([0-9a-fA-F]{3,8})\b|(rgba?|hsla?)\(([^()]*)\)|([a-zA-Z]{3,20})\b(?![-(])))"_s);
    static const QRegularExpression kSeparators(u"[\\s,/]+"_s);
    QList<WrittenColour> found;
    for (auto it = kColour.globalMatch(text); it.hasNext();) {
        const QRegularExpressionMatch match = it.next();
        WrittenColour colour{match.capturedStart(), match.capturedLength(), {}, {}};
        if (match.hasCaptured(1)) {
            const qsizetype digits = match.capturedLength(1);
            if (digits != 3 && digits != 4 && digits != 6 && digits != 8)
                continue;
            // Qt reads #argb and #aarrggbb; CSS writes the alpha last.
            QString hex = match.captured(1);
            if (digits == 4 || digits == 8)
                hex = hex.right(digits / 4) + hex.left(digits - digits / 4);
            colour.colour = QColor(u'#' + hex);
            colour.notation = WrittenColour::Notation::Hex;
        } else if (match.hasCaptured(2)) {
            const QStringList parts =
                match.captured(3).trimmed().split(kSeparators, Qt::SkipEmptyParts);
            colour.colour = functional(match.captured(2).startsWith(u'h'), parts);
            colour.notation = match.captured(2).startsWith(u'h') ? WrittenColour::Notation::Hsl
                                                                 : WrittenColour::Notation::Rgb;
        } else {
            const QString name = match.captured(4).toLower();
            if (name == u"transparent"_s || !QColor::isValidColorName(name))
                continue;
            colour.colour = QColor::fromString(name);
            colour.notation = WrittenColour::Notation::Name;
        }
        if (colour.colour.isValid())
            found.append(colour);
    }
    return found;
}

QString writeColour(const QColor &colour, const WrittenColour &was)
{
    const bool alpha = colour.alpha() < 255;
    switch (was.notation) {
    case WrittenColour::Notation::Rgb:
        return alpha
                   ? u"rgba(%1, %2, %3, %4)"_s.arg(colour.red())
                         .arg(colour.green())
                         .arg(colour.blue())
                         .arg(number(colour.alphaF()))
                   : u"rgb(%1, %2, %3)"_s.arg(colour.red()).arg(colour.green()).arg(colour.blue());
    case WrittenColour::Notation::Hsl: {
        const int hue = std::max(0, colour.hslHue());
        const QString parts = u"%1, %2%, %3%"_s.arg(hue)
                                  .arg(std::lround(colour.hslSaturationF() * 100))
                                  .arg(std::lround(colour.lightnessF() * 100));
        return alpha ? u"hsla(%1, %2)"_s.arg(parts, number(colour.alphaF()))
                     : u"hsl(%1)"_s.arg(parts);
    }
    case WrittenColour::Notation::Name:
        for (const QString &name : QColor::colorNames())
            if (!alpha && QColor::fromString(name) == colour && name != u"transparent"_s)
                return name;
        [[fallthrough]];
    case WrittenColour::Notation::Hex:
        break;
    }
    QString hex = colour.name(QColor::HexRgb);
    if (alpha)
        hex += u"%1"_s.arg(colour.alpha(), 2, 16, QChar(u'0'));
    return hex;
}

}  // namespace editor
