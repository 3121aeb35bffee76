#include "editor/linenumbers.h"

#include <QPaintEvent>
#include <QPainter>
#include <QPlainTextEdit>
#include <QTextBlock>
#include <QTextLayout>

#include "editor/editorview.h"
#include "editor/palette.h"
#include "editor/sourcedocument.h"

using namespace Qt::StringLiterals;

namespace editor {

LineNumbers::LineNumbers(EditorView &view) : QWidget(&view.edit()), m_view(view)
{
    setObjectName(QStringLiteral("LineNumbers"));
}

int LineNumbers::neededWidth() const
{
    const int lines = std::max(1, m_view.source().lineCount());
    const int digits = int(QString::number(lines).size());
    return fontMetrics().horizontalAdvance(u'9') * std::max(3, digits) + 12;
}

void LineNumbers::paintEvent(QPaintEvent *event)
{
    QPainter painter(this);
    painter.fillRect(event->rect(), QColor(palette::kGutter));
    painter.setPen(QColor(palette::kGutterRule));
    painter.drawLine(width() - 1, event->rect().top(), width() - 1, event->rect().bottom());
    const SourceDocument &text = m_view.source();
    const int caretLine = text.lineOf(m_view.edit().textCursor().position());
    const QColor ink(palette::kLineNumber), caretInk(palette::kCaretLineNumber);
    const int right = width() - 6;
    const int height = fontMetrics().height();
    // Through the edit's own geometry, so that the numbers follow its scrolling exactly.
    QTextBlock block = m_view.firstShownBlock();
    while (block.isValid()) {
        const QRectF box = m_view.shownGeometry(block);
        if (box.top() > event->rect().bottom())
            break;
        const QTextLayout *layout = block.layout();
        const int lines = layout ? std::max(1, layout->lineCount()) : 1;
        const int first = text.lineOf(block.position());
        const bool continues = SourceDocument::continues(block);
        for (int i = 0; i < lines; ++i) {
            const qreal top =
                box.top() + (layout && layout->lineCount() ? layout->lineAt(i).y() : 0);
            if (top + height < event->rect().top())
                continue;
            const int number = first + i;
            if (i == 0 && !continues && m_view.hasProblem(number)) {
                // A problem of the page's on this line: a mark at the gutter's left.
                // Within the room the numbers leave at the left.
                const qreal size = 5;
                painter.setBrush(QColor(palette::kPageProblem));
                painter.setPen(Qt::NoPen);
                painter.setRenderHint(QPainter::Antialiasing);
                painter.drawEllipse(QRectF(1, top + (height - size) / 2, size, size));
                painter.setRenderHint(QPainter::Antialiasing, false);
            }
            painter.setPen(number == caretLine && !(continues && i == 0) ? caretInk : ink);
            painter.drawText(QRectF(0, top, right, height), Qt::AlignRight | Qt::AlignVCenter,
                             continues && i == 0 ? u"↪"_s : QString::number(number));
        }
        block = block.next();
    }
}

}  // namespace editor
