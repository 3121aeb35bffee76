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
//
// A line much longer than a person writes (a minified page is one line) is shown in pieces, each
// a block of its own, so that typing in it lays out a piece and not the whole line. The
// separator between two pieces is a line end of the kind Piece, which the text does not hold:
// it is nothing in the text, in its bytes or in its line numbers.
enum class LineEnd : quint8 { CrLf, Lf, Cr, ParagraphSeparator, FrameStart, FrameEnd, Piece };
inline constexpr int kLineEndKinds = 7;
// A line longer than this is shown in pieces of kPieceLength characters.
inline constexpr qsizetype kLongLine = 4000;
inline constexpr qsizetype kPieceLength = 1000;

// What ended the line before block; CR LF for the first block.
LineEnd lineEndBefore(const QTextBlock &block);
// The format of a block separator that stands for end.
QTextCharFormat separatorFormat(LineEnd end);
// The line end as the text has it.
QString lineEndText(LineEnd end);
// The one character that stands for it where the editor keeps its text beside the document:
// CR LF as U+2029, the others as themselves; nothing for the end of a piece.
QChar keptChar(LineEnd end);

// The line ends of a text turned into its kept form, and of the text as shown.
struct LineEnds {
    std::array<qsizetype, kLineEndKinds> count{};
    // Where each kind but the usual one stands: in the kept text, and once shown, in the shown.
    std::array<QList<qsizetype>, kLineEndKinds> at;
    LineEnd usual = LineEnd::CrLf;  // the most frequent kind of the text's own
    // The text holds a U+2029 of its own, which the kept form cannot tell from CR LF.
    bool ambiguous() const { return count[int(LineEnd::ParagraphSeparator)] > 0; }
};
// Turns text into its kept form, in place: a character for each line end.
LineEnds keep(QString &text);
// The kept text as a document shows it, its long lines in pieces: the same string when it has
// no long line. The positions in ends become those of the text shown.
QString shown(const QString &kept, LineEnds &ends);
// Fills document with a text as shown: a block for each line or piece, each knowing the end of
// the one before. The document's undo history starts afresh.
void fill(QTextDocument &document, const QString &shown, const LineEnds &ends);

// The lines of a text pasted, dropped or put in as a replacement: every kind of line break in it
// ends one.
QStringList linesOf(QStringView text);
// Whether a kept character is a line end.
bool isLineEnd(QChar kept);
// Kept characters with every line end, and every line separator of the text's own, a LF: as
// the clipboard takes them, and the parse, as the page's own languages see lines.
QString withLineFeeds(QString kept);

}  // namespace editor
