#include "editor/sourceedit.h"

#include <QAction>
#include <QContextMenuEvent>
#include <QFontDatabase>
#include <QInputMethodEvent>
#include <QKeyEvent>
#include <QMenu>
#include <QMimeData>
#include <QScrollBar>
#include <QTextBlock>
#include <QTextDocumentFragment>
#include <QTextLayout>

#include "editor/documentloader.h"
#include "editor/editortext.h"
#include "editor/findbar.h"
#include "editor/gotoline.h"
#include "editor/linenumbers.h"
#include "editor/sourcecolours.h"

using namespace Qt::StringLiterals;

namespace editor {

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
    connect(document(), &QTextDocument::contentsChange, this, &SourceEdit::followChange);
    connect(this, &QPlainTextEdit::textChanged, this, [this] {
        if (!m_settingText && !m_composing)
            emit changed();
    });
    m_lineNumbers = new LineNumbers(*this);
    connect(this, &QPlainTextEdit::blockCountChanged, this, &SourceEdit::placeMargins);
    connect(this, &QPlainTextEdit::updateRequest, this, [this](const QRect &rect, int dy) {
        if (dy)
            m_lineNumbers->scroll(0, dy);
        else
            m_lineNumbers->update(0, rect.y(), m_lineNumbers->width(), rect.height());
    });
    connect(this, &QPlainTextEdit::cursorPositionChanged, this, &SourceEdit::markCaret);
    connect(m_colours, &SourceColours::parsed, this, &SourceEdit::markCaret);
    m_findBar = new FindBar(*this);
    addCommand(u"find"_s, u"検索..."_s, QKeySequence(Qt::CTRL | Qt::Key_F));
    addCommand(u"replace"_s, u"置換..."_s, QKeySequence(Qt::CTRL | Qt::Key_H));
    addCommand(u"goToLine"_s, u"行へ移動..."_s, QKeySequence(Qt::CTRL | Qt::Key_G));
    m_commands.append(nullptr);
    addCommand(u"findNextCommand"_s, u"次を検索"_s, QKeySequence(Qt::Key_F3));
    addCommand(u"findPreviousCommand"_s, u"前を検索"_s, QKeySequence(Qt::SHIFT | Qt::Key_F3));
    connect(m_commands[0], &QAction::triggered, this, &SourceEdit::find);
    connect(m_commands[1], &QAction::triggered, this, &SourceEdit::replace);
    connect(m_commands[2], &QAction::triggered, this, qOverload<>(&SourceEdit::goToLine));
    connect(m_commands[4], &QAction::triggered, m_findBar, &FindBar::findNext);
    connect(m_commands[5], &QAction::triggered, m_findBar, &FindBar::findPrevious);
    placeMargins();
    markCaret();
}

QAction *SourceEdit::addCommand(const QString &name, const QString &caption,
                                const QKeySequence &keys)
{
    auto *action = new QAction(caption, this);
    action->setObjectName(name);
    action->setShortcut(keys);
    // Also while the find bar, inside the box, has the focus.
    action->setShortcutContext(Qt::WidgetWithChildrenShortcut);
    addAction(action);
    m_commands.append(action);
    return action;
}

void SourceEdit::find()
{
    m_findBar->open(false);
}

void SourceEdit::replace()
{
    m_findBar->open(true);
}

void SourceEdit::goToLine()
{
    auto *dialog = new GoToLine(*this);
    dialog->open();
}

void SourceEdit::contextMenuEvent(QContextMenuEvent *event)
{
    QMenu *menu = createStandardContextMenu(event->pos());
    menu->addSeparator();
    for (QAction *command : m_commands) {
        if (command)
            menu->addAction(command);
        else
            menu->addSeparator();
    }
    menu->setAttribute(Qt::WA_DeleteOnClose);
    menu->popup(event->globalPos());
}

void SourceEdit::placeMargins()
{
    const int width = m_lineNumbers->neededWidth();
    const int foot = m_findBar->isVisible() ? m_findBar->sizeHint().height() : 0;
    if (viewportMargins().left() != width || viewportMargins().bottom() != foot)
        setViewportMargins(width, 0, 0, foot);
    const QRect inside = contentsRect();
    m_lineNumbers->setGeometry(inside.left(), inside.top(), width, viewport()->height());
    if (foot)
        m_findBar->setGeometry(inside.left(), viewport()->geometry().bottom() + 1,
                               viewport()->geometry().right() + 1 - inside.left(), foot);
}

void SourceEdit::resizeEvent(QResizeEvent *event)
{
    QPlainTextEdit::resizeEvent(event);
    placeMargins();
    m_findBar->markShown();
}

void SourceEdit::setFoundMarks(const QList<source::TextRange> &marks)
{
    m_foundMarks.clear();
    for (const source::TextRange &range : marks) {
        QTextEdit::ExtraSelection mark;
        mark.format.setBackground(QColor(0xff, 0xc8, 0x6b));
        mark.cursor = QTextCursor(document());
        mark.cursor.setPosition(int(range.start));
        mark.cursor.setPosition(int(range.end), QTextCursor::KeepAnchor);
        m_foundMarks.append(mark);
    }
    showMarks();
}

void SourceEdit::markCaret()
{
    // While a text is set, the parse is still of the one before.
    if (m_settingText)
        return;
    // Marks are painted where they were and where they go: only a change is worth that.
    const std::optional<source::TagPair> pair = m_colours->tagPairAt(textCursor().position());
    const Marked marked{textCursor().blockNumber(), pair ? pair->tag : source::TextRange{},
                        pair && pair->partner ? *pair->partner : source::TextRange{}};
    if (marked == m_marked)
        return;
    if (marked.line != m_marked.line)
        m_lineNumbers->update();
    m_marked = marked;
    showMarks();
}

void SourceEdit::showMarks()
{
    // While a text is set the marks stand for the one before; they are made anew after.
    if (m_settingText)
        return;
    QList<QTextEdit::ExtraSelection> marks;
    QTextEdit::ExtraSelection line;
    line.format.setBackground(QColor(0xf2, 0xf5, 0xfa));
    line.format.setProperty(QTextFormat::FullWidthSelection, true);
    line.cursor = textCursor();
    line.cursor.clearSelection();
    marks.append(line);
    marks += m_foundMarks;
    for (const source::TextRange &tag : {m_marked.tag, m_marked.partner}) {
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

void SourceEdit::followChange(int position, int removed, int added)
{
    if (m_settingText)
        return;
    const int length = document()->characterCount() - 1;  // without the last block's end
    const int end = std::min(position + added, length);
    QString inserted;
    if (end > position) {
        QTextCursor cursor(document());
        cursor.setPosition(position);
        cursor.setPosition(end, QTextCursor::KeepAnchor);
        inserted = cursor.selectedText();
    }
    m_mirror.replace(position, removed, inserted);
    // What the document reports at its very end is not always what changed there.
    if (m_mirror.size() != length)
        m_mirror = engine::ChunkedText(document()->toRawText());
}

engine::TextSnapshot SourceEdit::snapshot() const
{
    if (m_hasMarkedSeparators)
        return text();
    return engine::TextSnapshot::fromEditorChunks(m_mirror.chunks());
}

bool SourceEdit::endsWith(QChar c) const
{
    return document()->characterAt(document()->characterCount() - 2) == c;
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
    markLiteralSeparators(*this->document(), document.literalSeparators);
    if (m_hasMarkedSeparators)
        this->document()->clearUndoRedoStacks();
    m_colours->reset();
    m_mirror = engine::ChunkedText(this->document()->toRawText());
    m_settingText = false;
    m_marked = {};
    markCaret();
    emit changed();
}

void SourceEdit::markLiteralSeparators(QTextDocument &document, const QList<qsizetype> &positions)
{
    QTextCharFormat literal;
    literal.setProperty(kLiteralSeparator, true);
    for (const qsizetype position : positions) {
        QTextCursor cursor(&document);
        cursor.setPosition(int(position));
        cursor.movePosition(QTextCursor::NextCharacter, QTextCursor::KeepAnchor);
        cursor.mergeCharFormat(literal);
    }
}

DocumentStyle SourceEdit::style() const
{
    return {document()->defaultFont(), document()->defaultTextOption()};
}

void SourceEdit::adoptDocument(LoadedDocument &&loaded)
{
    m_settingText = true;
    m_colours->suspend();
    QTextDocument *old = document();
    QTextDocument *adopted = loaded.document.release();
    adopted->setParent(this);
    setDocument(adopted);
    old->deleteLater();
    connect(adopted, &QTextDocument::contentsChange, this, &SourceEdit::followChange);
    m_foundMarks.clear();
    m_marked = {};
    m_hasMarkedSeparators = loaded.markedSeparators;
    m_mirror = std::move(loaded.characters);
    emit documentReplaced();
    m_colours->reset();
    placeMargins();
    m_settingText = false;
    markCaret();
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
    const QString typed = event->text();
    if (!m_typeOver.isEmpty() && typed.size() == 1 && textCursor().position() == m_typeOverAt &&
        !textCursor().hasSelection() && m_typeOver.startsWith(typed, Qt::CaseInsensitive)) {
        m_typeOver.remove(0, 1);
        event->accept();
        return;
    }
    m_typeOver.clear();
    QPlainTextEdit::keyPressEvent(event);
    if (typed == u"/"_s)
        completeEndTag();
}

void SourceEdit::completeEndTag()
{
    const QTextCursor typed = textCursor();
    const int at = typed.position() - 2;
    if (typed.hasSelection() || at < 0 || document()->characterAt(at) != u'<')
        return;
    const std::optional<QString> name = m_colours->elementToClose(at);
    if (!name)
        return;
    // An edit of its own, as the automatic line break is: one change, one undo step.
    QTextCursor cursor = typed;
    cursor.beginEditBlock();
    cursor.insertText(*name + u'>');
    cursor.endEditBlock();
    setTextCursor(cursor);
    m_typeOver = *name + u'>';
    m_typeOverAt = cursor.position();
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

void SourceEdit::goToLine(int line)
{
    // A lone LF ends a line within a block.
    const QTextBlock block = document()->findBlockByLineNumber(line - 1);
    if (!block.isValid())
        return;
    const QTextLayout *layout = block.layout();
    const int inBlock = line - 1 - block.firstLineNumber();
    int position = block.position();
    if (layout && inBlock > 0 && inBlock < layout->lineCount())
        position += layout->lineAt(inBlock).textStart();
    goToPosition(position);
}

void SourceEdit::goToPosition(qsizetype position)
{
    QTextCursor cursor(document());
    cursor.setPosition(int(std::clamp<qsizetype>(position, 0, document()->characterCount() - 1)));
    setTextCursor(cursor);
    centerCursor();
    activateWindow();
    setFocus();
}

}  // namespace editor
