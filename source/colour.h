#pragma once

#include <QList>
#include <QtGlobal>

namespace source {

// The few kinds of text the editor gives a colour of its own.
enum class Colour : quint8 {
    None,
    Comment,
    TagName,
    AttributeName,
    String,  // attribute values and strings
    Keyword,
    Number,
    CssProperty,
    Entity,
};

// A run of text of one colour, in the text's UTF-16 positions.
struct ColourSpan {
    qsizetype start = 0;
    qsizetype length = 0;
    Colour colour = Colour::None;

    friend bool operator==(const ColourSpan &, const ColourSpan &) = default;
};

// Positions from start to end, end not included.
struct TextRange {
    qsizetype start = 0;
    qsizetype end = 0;

    friend bool operator==(const TextRange &, const TextRange &) = default;
};

}  // namespace source
