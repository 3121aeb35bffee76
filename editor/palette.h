#pragma once

#include <QColor>
#include <QTextFormat>

// The editor's colours, each named once: one small palette, every ink readable on white.
namespace editor::palette {

// The source's colours, from its parse.
inline constexpr QRgb kComment = qRgb(0x6a, 0x73, 0x7d);
inline constexpr QRgb kTagName = qRgb(0x11, 0x63, 0x29);
inline constexpr QRgb kAttributeName = qRgb(0x95, 0x38, 0x00);
inline constexpr QRgb kString = qRgb(0x0a, 0x30, 0x69);
inline constexpr QRgb kKeyword = qRgb(0xcf, 0x22, 0x2e);
inline constexpr QRgb kNumber = qRgb(0x05, 0x50, 0xae);
inline constexpr QRgb kCssProperty = qRgb(0x82, 0x50, 0xdf);
inline constexpr QRgb kEntity = qRgb(0x9a, 0x67, 0x00);

// Backgrounds of what the view marks.
inline constexpr QRgb kCaretLine = qRgb(0xf2, 0xf5, 0xfa);
inline constexpr QRgb kFound = qRgb(0xff, 0xc8, 0x6b);
inline constexpr QRgb kTag = qRgb(0xff, 0xe8, 0x8a);
// The wavy underline of a problem of the page's, and its mark in the gutter.
inline constexpr QRgb kPageProblem = qRgb(0xd1, 0x24, 0x2f);

// The gutter.
inline constexpr QRgb kGutter = qRgb(0xf6, 0xf8, 0xfa);
inline constexpr QRgb kGutterRule = qRgb(0xd0, 0xd7, 0xde);
inline constexpr QRgb kLineNumber = qRgb(0x8c, 0x95, 0x9f);
inline constexpr QRgb kCaretLineNumber = qRgb(0x24, 0x29, 0x2f);

// A word of the program's own beside a field: how it went, or what is wrong.
inline constexpr QRgb kStatus = qRgb(0x44, 0x44, 0x44);
inline constexpr QRgb kProblem = qRgb(0xb0, 0x00, 0x20);

}  // namespace editor::palette

namespace editor {

// What a mark of the view stands for, kept in its format so that it is told by what it is.
inline constexpr int kMarkKind = QTextFormat::UserProperty + 2;
enum class Mark { CaretLine = 1, Found, Tag, Problem };

}  // namespace editor
