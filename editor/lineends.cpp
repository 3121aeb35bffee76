#include "editor/lineends.h"

#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <algorithm>
#include <optional>

namespace editor {

namespace {

// The property of a block separator's format that says which line end it stands for; absent for
// CR LF.
constexpr int kLineEnd = QTextFormat::UserProperty + 1;

constexpr char16_t kFrameStart = 0xfdd0;
constexpr char16_t kFrameEnd = 0xfdd1;

std::optional<LineEnd> endAt(QStringView text, qsizetype i)
{
    switch (text[i].unicode()) {
    case u'\r':
        return i + 1 < text.size() && text[i + 1] == u'\n' ? LineEnd::CrLf : LineEnd::Cr;
    case u'\n':
        return LineEnd::Lf;
    case QChar::ParagraphSeparator:
        return LineEnd::ParagraphSeparator;
    case kFrameStart:
        return LineEnd::FrameStart;
    case kFrameEnd:
        return LineEnd::FrameEnd;
    default:
        return std::nullopt;
    }
}

}  // namespace

LineEnd lineEndBefore(const QTextBlock &block)
{
    // A block's character format is that of the separator before it.
    if (!block.previous().isValid())
        return LineEnd::CrLf;
    return LineEnd(block.charFormat().intProperty(kLineEnd));
}

QTextCharFormat separatorFormat(LineEnd end)
{
    QTextCharFormat format;
    if (end != LineEnd::CrLf)
        format.setProperty(kLineEnd, int(end));
    return format;
}

QString lineEndText(LineEnd end)
{
    switch (end) {
    case LineEnd::CrLf:
        break;
    case LineEnd::Piece:
        return QString();
    case LineEnd::Lf:
        return QStringLiteral("\n");
    case LineEnd::Cr:
        return QStringLiteral("\r");
    case LineEnd::ParagraphSeparator:
        return QString(QChar::ParagraphSeparator);
    case LineEnd::FrameStart:
        return QString(QChar(kFrameStart));
    case LineEnd::FrameEnd:
        return QString(QChar(kFrameEnd));
    }
    return QStringLiteral("\r\n");
}

QChar keptChar(LineEnd end)
{
    if (end == LineEnd::Piece)
        return QChar();
    return end == LineEnd::CrLf ? QChar::ParagraphSeparator : lineEndText(end).front();
}

LineEnds keep(QString &text)
{
    LineEnds ends;
    for (qsizetype i = 0; i < text.size(); ++i)
        if (const std::optional<LineEnd> end = endAt(text, i)) {
            ++ends.count[int(*end)];
            i += *end == LineEnd::CrLf;
        }
    const auto most = std::max_element(ends.count.cbegin(), ends.count.cend());
    const int usual = int(most - ends.count.cbegin());
    ends.usual = LineEnd(usual);
    // Shortened in place: what is written never runs ahead of what is read.
    QChar *data = text.data();
    qsizetype to = 0;
    for (qsizetype from = 0; from < text.size(); ++from, ++to) {
        const std::optional<LineEnd> end = endAt(text, from);
        if (end && int(*end) != usual)
            ends.at[int(*end)].append(to);
        if (end == LineEnd::CrLf) {
            data[to] = QChar::ParagraphSeparator;
            ++from;
        } else {
            data[to] = data[from];
        }
    }
    text.truncate(to);
    return ends;
}

QString shown(const QString &kept, LineEnds &ends)
{
    // Where a piece ends, in the kept text: never between the halves of a character.
    QList<qsizetype> cuts;
    for (qsizetype start = 0; start < kept.size();) {
        qsizetype end = start;
        while (end < kept.size() && !isLineEnd(kept[end]))
            ++end;
        if (end - start > kLongLine)
            for (qsizetype cut = start + kPieceLength; cut < end; cut += kPieceLength) {
                if (kept[cut].isLowSurrogate())
                    ++cut;
                cuts.append(cut);
            }
        start = end + 1;
    }
    if (cuts.isEmpty())
        return kept;
    QString out;
    out.reserve(kept.size() + cuts.size());
    qsizetype from = 0;
    for (const qsizetype cut : std::as_const(cuts)) {
        out.append(QStringView(kept).sliced(from, cut - from));
        out.append(QChar::ParagraphSeparator);
        from = cut;
    }
    out.append(QStringView(kept).sliced(from));
    // A line end after n cuts stands n characters later.
    for (QList<qsizetype> &positions : ends.at)
        for (qsizetype &at : positions)
            at += std::upper_bound(cuts.cbegin(), cuts.cend(), at) - cuts.cbegin();
    QList<qsizetype> &pieces = ends.at[int(LineEnd::Piece)];
    for (qsizetype i = 0; i < cuts.size(); ++i)
        pieces.append(cuts[i] + i);
    ends.count[int(LineEnd::Piece)] = cuts.size();
    return out;
}

void fill(QTextDocument &document, const QString &shown, const LineEnds &ends)
{
    const bool undo = document.isUndoRedoEnabled();
    document.setUndoRedoEnabled(false);
    document.clear();
    QTextCursor cursor(&document);
    cursor.beginEditBlock();
    // Every separator takes the format the text is inserted in, so that only the unusual ends
    // need one of their own; the characters of the lines carry it too, unread.
    cursor.insertText(shown, separatorFormat(ends.usual));
    for (int kind = 0; kind < kLineEndKinds; ++kind)
        for (const qsizetype at : ends.at[kind]) {
            cursor.setPosition(int(at));
            cursor.setPosition(int(at) + 1, QTextCursor::KeepAnchor);
            cursor.setCharFormat(separatorFormat(LineEnd(kind)));
        }
    cursor.endEditBlock();
    document.setUndoRedoEnabled(undo);
}

QStringList linesOf(QStringView text)
{
    QStringList lines{QString()};
    for (qsizetype i = 0; i < text.size(); ++i) {
        const std::optional<LineEnd> end =
            text[i] == QChar::LineSeparator ? LineEnd::Lf : endAt(text, i);
        if (!end) {
            lines.last().append(text[i]);
            continue;
        }
        i += *end == LineEnd::CrLf;
        lines.append(QString());
    }
    return lines;
}

QString withLineFeeds(QString kept)
{
    for (QChar &c : kept)
        if (isLineEnd(c) || c == QChar::LineSeparator)
            c = u'\n';
    return kept;
}

bool isLineEnd(QChar kept)
{
    switch (kept.unicode()) {
    case u'\r':
    case u'\n':
    case QChar::ParagraphSeparator:
    case kFrameStart:
    case kFrameEnd:
        return true;
    default:
        return false;
    }
}

}  // namespace editor
