#include "sourceedit.h"

#include <QFontDatabase>
#include <QKeyEvent>
#include <QMimeData>
#include <QScrollBar>
#include <QTextDocumentFragment>

#include "editortext.h"

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

QString SourceEdit::text() const
{
    return fromDocumentText(document()->toRawText());
}

void SourceEdit::setText(const QString &text)
{
    // setPlainText may clear and insert in separate steps; the text changes once.
    m_settingText = true;
    setPlainText(toDocumentText(text));
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
