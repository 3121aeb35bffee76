#include "windows/sourceedit.h"

#include <QFontDatabase>
#include <QInputMethodEvent>
#include <QKeyEvent>
#include <QMimeData>
#include <QScrollBar>
#include <QTextBlock>
#include <QTextDocumentFragment>

#include "windows/editortext.h"
#include "windows/linenumbers.h"
#include "windows/sourcecolours.h"

using namespace Qt::StringLiterals;

namespace windows {

SourceEdit::SourceEdit(QWidget *parent) : QPlainTextEdit(parent)
{
    setDocument(SourceColours::newDocument(this));
    setLineWrapMode(QPlainTextEdit::NoWrap);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    setTabChangesFocus(false);
    // Before anything else hears of a change, so that the parse is current for all who do.
    m_colours = new SourceColours(*this);
    connect(this, &QPlainTextEdit::textChanged, this, [this] {
        if (!m_settingText && !m_composing)
            emit changed();
    });
    m_lineNumbers = new LineNumbers(*this);
    connect(this, &QPlainTextEdit::blockCountChanged, this, &SourceEdit::placeLineNumbers);
    connect(this, &QPlainTextEdit::updateRequest, this, [this](const QRect &rect, int dy) {
        if (dy)
            m_lineNumbers->scroll(0, dy);
        else
            m_lineNumbers->update(0, rect.y(), m_lineNumbers->width(), rect.height());
    });
    connect(this, &QPlainTextEdit::cursorPositionChanged, this, &SourceEdit::markCaret);
    connect(m_colours, &SourceColours::parsed, this, &SourceEdit::markCaret);
    placeLineNumbers();
    markCaret();
}

void SourceEdit::placeLineNumbers()
{
    const int width = m_lineNumbers->neededWidth();
    if (viewportMargins().left() != width)
        setViewportMargins(width, 0, 0, 0);
    const QRect inside = contentsRect();
    m_lineNumbers->setGeometry(inside.left(), inside.top(), width, viewport()->height());
}

void SourceEdit::resizeEvent(QResizeEvent *event)
{
    QPlainTextEdit::resizeEvent(event);
    placeLineNumbers();
}

void SourceEdit::markCaret()
{
    // Marks are painted where they were and where they go: only a change is worth that.
    const std::optional<source::TagPair> pair =
        m_colours->source().tagPairAt(textCursor().position());
    const Marked marked{textCursor().blockNumber(), pair ? pair->tag : source::TextRange{},
                        pair && pair->partner ? *pair->partner : source::TextRange{}};
    if (marked == m_marked)
        return;
    if (marked.line != m_marked.line)
        m_lineNumbers->update();
    m_marked = marked;
    QList<QTextEdit::ExtraSelection> marks;
    QTextEdit::ExtraSelection line;
    line.format.setBackground(QColor(0xf2, 0xf5, 0xfa));
    line.format.setProperty(QTextFormat::FullWidthSelection, true);
    line.cursor = textCursor();
    line.cursor.clearSelection();
    marks.append(line);
    for (const source::TextRange &tag : {marked.tag, marked.partner}) {
        if (tag.end > tag.start) {
            QTextEdit::ExtraSelection mark;
            mark.format.setBackground(QColor(0xff, 0xe8, 0x8a));
            mark.cursor = QTextCursor(document());
            mark.cursor.setPosition(int(tag.start));
            mark.cursor.setPosition(int(tag.end), QTextCursor::KeepAnchor);
            marks.append(mark);
        }
    }
    setExtraSelections(marks);
}

void SourceEdit::inputMethodEvent(QInputMethodEvent *event)
{
    m_composing = event->commitString().isEmpty() && event->replacementLength() == 0;
    QPlainTextEdit::inputMethodEvent(event);
    m_composing = false;
}

namespace {

// Set on a line separator that was a character of the text, not a LF.
constexpr int kLiteralSeparator = QTextFormat::UserProperty + 1;

}  // namespace

QString SourceEdit::text() const
{
    if (m_hasMarkedSeparators)
        return textWithMarkedSeparators();
    return fromDocumentText(document()->toRawText());
}

QString SourceEdit::textWithMarkedSeparators() const
{
    QString out;
    for (QTextBlock block = document()->begin(); block.isValid(); block = block.next()) {
        if (block != document()->begin())
            out.append(u"\r\n");
        for (QTextBlock::iterator it = block.begin(); !it.atEnd(); ++it) {
            const QTextFragment fragment = it.fragment();
            const bool literal = fragment.charFormat().hasProperty(kLiteralSeparator);
            for (const QChar ch : fragment.text()) {
                if (ch == QChar::LineSeparator && !literal)
                    out.append(u'\n');
                else
                    out.append(ch);
            }
        }
    }
    return out;
}

void SourceEdit::setText(const QString &text)
{
    const DocumentText document = toDocumentText(text);
    // setPlainText may clear and insert in separate steps, and marking changes formats; the text
    // changes once.
    m_settingText = true;
    m_colours->suspend();
    setPlainText(document.text);
    m_hasMarkedSeparators = !document.literalSeparators.isEmpty();
    QTextCharFormat literal;
    literal.setProperty(kLiteralSeparator, true);
    for (const qsizetype position : document.literalSeparators) {
        QTextCursor cursor(this->document());
        cursor.setPosition(int(position));
        cursor.movePosition(QTextCursor::NextCharacter, QTextCursor::KeepAnchor);
        cursor.mergeCharFormat(literal);
    }
    if (m_hasMarkedSeparators)
        this->document()->clearUndoRedoStacks();
    m_colours->reset();
    m_settingText = false;
    emit changed();
}

void SourceEdit::appendLineBreak()
{
    QTextCursor cursor(document());
    cursor.movePosition(QTextCursor::End);
    cursor.insertBlock();
}

void SourceEdit::moveCaretToEnd()
{
    QTextCursor cursor = textCursor();
    cursor.movePosition(QTextCursor::End);
    setTextCursor(cursor);
}

void SourceEdit::keyPressEvent(QKeyEvent *event)
{
    // A line separator (Shift+Enter by default) would read back as a lone LF; Enter always
    // makes CR LF.
    if ((event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) && !isReadOnly() &&
        !(event->modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier))) {
        textCursor().insertBlock();
        ensureCursorVisible();
        event->accept();
        return;
    }
    QPlainTextEdit::keyPressEvent(event);
}

void SourceEdit::insertFromMimeData(const QMimeData *source)
{
    if (!source || !source->hasText())
        return;
    textCursor().insertText(pastedToDocumentText(source->text()));
    ensureCursorVisible();
}

QMimeData *SourceEdit::createMimeDataFromSelection() const
{
    // The default copies a no-break space as a plain space.
    QString text = fromDocumentText(textCursor().selection().toRawText());
    text.replace(u"\r\n"_s, u"\n"_s);
    auto *data = new QMimeData;  // handed to the clipboard, which takes ownership
    data->setText(text);
    return data;
}

}  // namespace windows
