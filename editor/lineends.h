#pragma once

#include <QList>
#include <QString>
#include <QTextCharFormat>
#include <array>

class QTextBlock;
class QTextDocument;

namespace editor {

// How a line of the editor's text ends: CR LF between the lines the editor makes, but a LF or a
// CR alone, as pages from elsewhere have them, stays as it was. The text document behind the
// editor holds each line as a block of its own, whatever ends it, so that laying out, colouring
// and numbering cost a line and not the page. What ended a line is kept in the format of the
// block separator that stands for it, which goes and comes back with that character whatever an
// edit or an undo does. Characters that a text document always takes as the end of a block
// (U+2029 and the two frame marks) are line ends of kinds of their own, so that they read back
// as they were.
enum class LineEnd : quint8 { CrLf, Lf, Cr, ParagraphSeparator, FrameStart, FrameEnd };
inline constexpr int kLineEndKinds = 6;

// What ended the line before block; CR LF for the first block.
LineEnd lineEndBefore(const QTextBlock &block);
// The format of a block separator that stands for end.
QTextCharFormat separatorFormat(LineEnd end);
// The line end as the text has it.
QString lineEndText(LineEnd end);
// The one character that stands for it where the editor keeps its text beside the document:
// CR LF as U+2029, the others as themselves.
QChar keptChar(LineEnd end);

// Where each kind of line end stands in a text turned into its kept form.
struct LineEnds {
    std::array<qsizetype, kLineEndKinds> count{};
    std::array<QList<qsizetype>, kLineEndKinds> at;  // of all but the most frequent kind
    // The text holds a U+2029 of its own, which the kept form cannot tell from CR LF.
    bool ambiguous() const { return count[int(LineEnd::ParagraphSeparator)] > 0; }
};
// Turns text into its kept form, in place: a character for each line end.
LineEnds keep(QString &text);
// Fills document with a text in its kept form: a block for each line, each knowing the end of
// the line before. The document's undo history starts afresh.
void fill(QTextDocument &document, const QString &kept, const LineEnds &ends);

// The lines of a text pasted, dropped or put in as a replacement: every kind of line break in it
// ends one.
QStringList linesOf(QStringView text);
// The document's characters as the clipboard takes them: every line end a LF.
QString copiedText(QString raw);

}  // namespace editor
