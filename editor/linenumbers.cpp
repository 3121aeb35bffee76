#include "editor/linenumbers.h"

#include <QPaintEvent>
#include <QPainter>
#include <QTextBlock>
#include <QTextLayout>
#include "editor/sourceedit.h"

namespace editor {

LineNumbers::LineNumbers(SourceEdit &edit) : QWidget(&edit), m_edit(edit)
{
    setObjectName(QStringLiteral("LineNumbers"));
}

int LineNumbers::neededWidth() const
{
    const int lines = std::max(1, m_edit.document()->lineCount());
    const int digits = int(QString::number(lines).size());
    return fontMetrics().horizontalAdvance(u'9') * std::max(3, digits) + 12;
}

int LineNumbers::lineOf(const SourceEdit &edit, int position)
{
    const QTextBlock block = edit.document()->findBlock(position);
    const QTextLayout *layout = block.layout();
    const int inBlock = layout && layout->lineCount()
                            ? layout->lineForTextPosition(position - block.position()).lineNumber()
                            : 0;
    return block.firstLineNumber() + std::max(0, inBlock) + 1;
}

void LineNumbers::paintEvent(QPaintEvent *event)
{
    QPainter painter(this);
    painter.fillRect(event->rect(), QColor(0xf6, 0xf8, 0xfa));
    painter.setPen(QColor(0xd0, 0xd7, 0xde));
    painter.drawLine(width() - 1, event->rect().top(), width() - 1, event->rect().bottom());
    const int caretLine = lineOf(m_edit, m_edit.textCursor().position());
    const QColor ink(0x8c, 0x95, 0x9f), caretInk(0x24, 0x29, 0x2f);
    const int right = width() - 6;
    const int height = fontMetrics().height();
    // Through the edit's own geometry, so that the numbers follow its scrolling exactly.
    QTextBlock block = m_edit.firstShownBlock();
    while (block.isValid()) {
        const QRectF box = m_edit.shownGeometry(block);
        if (box.top() > event->rect().bottom())
            break;
        const QTextLayout *layout = block.layout();
        const int lines = layout ? std::max(1, layout->lineCount()) : 1;
        for (int i = 0; i < lines; ++i) {
            const qreal top =
                box.top() + (layout && layout->lineCount() ? layout->lineAt(i).y() : 0);
            if (top + height < event->rect().top())
                continue;
            const int number = block.firstLineNumber() + i + 1;
            painter.setPen(number == caretLine ? caretInk : ink);
            painter.drawText(QRectF(0, top, right, height), Qt::AlignRight | Qt::AlignVCenter,
                             QString::number(number));
        }
        block = block.next();
    }
}

}  // namespace editor
