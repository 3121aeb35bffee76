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

void fill(QTextDocument &document, const QString &kept, const LineEnds &ends)
{
    const auto most = std::max_element(ends.count.cbegin(), ends.count.cend());
    const bool undo = document.isUndoRedoEnabled();
    document.setUndoRedoEnabled(false);
    document.clear();
    QTextCursor cursor(&document);
    cursor.beginEditBlock();
    // Every separator takes the format the text is inserted in, so that only the unusual ends
    // need one of their own; the characters of the lines carry it too, unread.
    cursor.insertText(kept, separatorFormat(LineEnd(most - ends.count.cbegin())));
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

QString copiedText(QString raw)
{
    // The default copies a no-break space as a plain space.
    for (QChar &c : raw)
        if (c == QChar::ParagraphSeparator || c == QChar::LineSeparator)
            c = u'\n';
    return raw;
}

}  // namespace editor
