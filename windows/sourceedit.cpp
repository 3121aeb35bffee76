#include "windows/sourceedit.h"

#include <QFontDatabase>
#include <QKeyEvent>
#include <QMimeData>
#include <QScrollBar>
#include <QTextBlock>
#include <QTextDocumentFragment>

#include "windows/editortext.h"

using namespace Qt::StringLiterals;

namespace windows {

SourceEdit::SourceEdit(QWidget *parent) : QPlainTextEdit(parent)
{
    setLineWrapMode(QPlainTextEdit::NoWrap);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    setTabChangesFocus(false);
    connect(this, &QPlainTextEdit::textChanged, this, [this] {
        if (!m_settingText)
            emit changed();
    });
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
