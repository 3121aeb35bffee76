#include "editor/sourceedit.h"

#include <QAction>
#include <QColorDialog>
#include <QContextMenuEvent>
#include <QFontDatabase>
#include <QInputMethodEvent>
#include <QKeyEvent>
#include <QMenu>
#include <QMimeData>
#include <QPainter>
#include <QRegularExpression>
#include <QScrollBar>
#include <QTextBlock>
#include <QTextDocumentFragment>
#include <QTextLayout>
#include <QToolTip>

#include "editor/findbar.h"
#include "editor/gotoline.h"
#include "editor/lineends.h"
#include "editor/linenumbers.h"
#include "editor/palette.h"
#include "editor/sourcecolours.h"
#include "editor/sourcedocument.h"
#include "editor/writingaids.h"
#include "source/pageformat.h"
#include "source/pagelinks.h"

using namespace Qt::StringLiterals;

namespace editor {

SourceEdit::SourceEdit(QWidget *parent) : SourceEdit(*new SourceDocument, parent)
{
    m_source->setParent(this);
}

SourceEdit::SourceEdit(SourceDocument &document, QWidget *parent)
    : QPlainTextEdit(parent), m_source(&document)
{
    setDocument(&document.textDocument());
    setLineWrapMode(QPlainTextEdit::NoWrap);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    setTabChangesFocus(false);
    // First of those who hear of edits, so that the parse is current for all who do.
    m_colours = new SourceColours(*this);
    connect(m_source, &SourceDocument::aboutToReplace, this, &SourceEdit::aboutToReplace);
    connect(m_source, &SourceDocument::replaced, this, &SourceEdit::replaced);
    connect(m_source, &SourceDocument::edited, this, &SourceEdit::problemsMoved);
    m_lineNumbers = new LineNumbers(*this);
    connect(this, &QPlainTextEdit::blockCountChanged, this, &SourceEdit::placeMargins);
    connect(this, &QPlainTextEdit::updateRequest, this, [this](const QRect &rect, int dy) {
        if (dy)
            m_lineNumbers->scroll(0, dy);
        else
            m_lineNumbers->update(0, rect.y(), m_lineNumbers->width(), rect.height());
    });
    connect(this, &QPlainTextEdit::cursorPositionChanged, this, &SourceEdit::markCaret);
    connect(verticalScrollBar(), &QScrollBar::valueChanged, this, [this] {
        if (!m_problems.isEmpty())
            showMarks();
    });
    connect(m_colours, &SourceColours::parsed, this, &SourceEdit::markCaret);
    m_findBar = new FindBar(*this);
    m_aids = new WritingAids(*this, *m_colours);
    connect(m_aids, &WritingAids::failed, this, &SourceEdit::failed);
    const auto separator = [this] {
        auto *line = new QAction(this);
        line->setSeparator(true);
        m_commands.append(line);
    };
    connect(addCommand(u"find"_s, u"検索..."_s, QKeySequence(Qt::CTRL | Qt::Key_F)),
            &QAction::triggered, this, &SourceEdit::find);
    connect(addCommand(u"replace"_s, u"置換..."_s, QKeySequence(Qt::CTRL | Qt::Key_H)),
            &QAction::triggered, this, &SourceEdit::replace);
    connect(addCommand(u"goToLine"_s, u"行へ移動..."_s, QKeySequence(Qt::CTRL | Qt::Key_G)),
            &QAction::triggered, this, qOverload<>(&SourceEdit::goToLine));
    connect(addCommand(u"formatSource"_s, u"整形"_s, QKeySequence(Qt::SHIFT | Qt::ALT | Qt::Key_F)),
            &QAction::triggered, this, &SourceEdit::formatSource);
    m_checkAccessibility = addCommand(u"checkAccessibility"_s, u"アクセシビリティを検査"_s, {});
    m_checkAccessibility->setEnabled(false);
    m_showSpaces = addCommand(u"showSpaces"_s, u"全角スペースとタブを表示"_s, {});
    m_showSpaces->setCheckable(true);
    m_showSpaces->setChecked(true);
    connect(m_showSpaces, &QAction::toggled, viewport(), qOverload<>(&QWidget::update));
    separator();
    connect(addCommand(u"findNextCommand"_s, u"次を検索"_s, QKeySequence(Qt::Key_F3)),
            &QAction::triggered, m_findBar, &FindBar::findNext);
    connect(
        addCommand(u"findPreviousCommand"_s, u"前を検索"_s, QKeySequence(Qt::SHIFT | Qt::Key_F3)),
        &QAction::triggered, m_findBar, &FindBar::findPrevious);
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

QString SourceEdit::text() const
{
    return m_source->text();
}

void SourceEdit::setText(const QString &text)
{
    m_source->setText(text);
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
    menu->addActions(m_commands);
    menu->setAttribute(Qt::WA_DeleteOnClose);
    menu->popup(event->globalPos());
}

void SourceEdit::paintEvent(QPaintEvent *event)
{
    QPlainTextEdit::paintEvent(event);
    QPainter painter(viewport());
    if (m_showSpaces->isChecked())
        drawSpaces(painter, event->rect());
    drawSwatches(painter, event->rect());
}

// A swatch of each CSS colour in view, in a stylesheet's text or a style attribute: in the space
// before it, else as a bar under it. Only the lines in view are read.
void SourceEdit::drawSwatches(QPainter &painter, const QRect &area)
{
    static const QRegularExpression kStyleAttribute(uR"(\bstyle\s*=\s*("[^"]*|'[^']*))"_s,
                                                    QRegularExpression::CaseInsensitiveOption);
    m_swatches.clear();
    if (m_colours->language() == source::Language::JavaScript)
        return;
    const QPointF offset = contentOffset();
    for (QTextBlock block = firstVisibleBlock(); block.isValid(); block = block.next()) {
        const QRectF box = blockBoundingGeometry(block).translated(offset);
        if (box.top() > viewport()->height())
            break;
        const QString text = block.text();
        QList<std::pair<qsizetype, qsizetype>> attributes;
        for (auto it = kStyleAttribute.globalMatch(text); it.hasNext();) {
            const QRegularExpressionMatch match = it.next();
            attributes.append({match.capturedStart(1), match.capturedEnd(1)});
        }
        const QTextLayout *layout = block.layout();
        for (const WrittenColour &written : writtenColours(text)) {
            const int position = block.position() + int(written.start);
            const bool inAttribute =
                std::any_of(attributes.cbegin(), attributes.cend(), [&](const auto &range) {
                    return written.start > range.first && written.start < range.second;
                });
            if (!inAttribute && !m_colours->isStyle(position))
                continue;
            const QTextLine line = layout->lineForTextPosition(int(written.start));
            if (!line.isValid())
                continue;
            const qreal top = box.top() + line.y();
            const qreal left = box.left() + line.cursorToX(int(written.start));
            QRectF swatch;
            if (written.start > 0 && text[written.start - 1] == u' ') {
                const qreal before = box.left() + line.cursorToX(int(written.start) - 1);
                const qreal side = std::min(left - before, line.height()) - 2;
                swatch = QRectF(before + (left - before - side) / 2,
                                top + (line.height() - side) / 2, side, side);
            } else {
                const qreal right =
                    box.left() + line.cursorToX(int(written.start + written.length));
                swatch = QRectF(left, top + line.height() - 3, right - left, 3);
            }
            m_swatches.append({swatch, position, written});
            if (!swatch.intersects(area))
                continue;
            painter.fillRect(swatch, written.colour);
            painter.setPen(QPen(palette().color(QPalette::Mid), 1));
            painter.drawRect(swatch);
        }
    }
}

void SourceEdit::chooseColour(const Swatch &swatch)
{
    auto *dialog = new QColorDialog(swatch.written.colour, this);
    dialog->setObjectName(u"colourDialog"_s);
    dialog->setOption(QColorDialog::ShowAlphaChannel);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    QTextCursor range(document());
    range.setPosition(swatch.position);
    range.setPosition(swatch.position + int(swatch.written.length), QTextCursor::KeepAnchor);
    const QString was = range.selectedText();
    connect(dialog, &QColorDialog::colorSelected, this,
            [this, range, was, written = swatch.written](const QColor &colour) mutable {
                // Only where the text is still what was clicked.
                if (range.selectedText() != was || !colour.isValid())
                    return;
                range.beginEditBlock();
                range.insertText(writeColour(colour, written));
                range.endEditBlock();
            });
    dialog->open();
}

// A faint box where a full-width space is, which looks like two spaces, and a faint arrow where
// a tab is: drawn over the text, never part of it.
void SourceEdit::drawSpaces(QPainter &painter, const QRect &area)
{
    QColor faint = palette().color(QPalette::Text);
    faint.setAlpha(70);
    painter.setPen(QPen(faint, 1));
    const QPointF offset = contentOffset();
    for (QTextBlock block = firstVisibleBlock(); block.isValid(); block = block.next()) {
        const QRectF box = blockBoundingGeometry(block).translated(offset);
        if (box.top() > area.bottom())
            break;
        const QString text = block.text();
        const QTextLayout *layout = block.layout();
        for (qsizetype i = 0; i < text.size(); ++i) {
            if (text[i] != u'\u3000' && text[i] != u'\t')
                continue;
            const QTextLine line = layout->lineForTextPosition(int(i));
            if (!line.isValid())
                continue;
            const qreal left = line.cursorToX(int(i)), right = line.cursorToX(int(i) + 1);
            const QRectF cell(box.left() + left, box.top() + line.y(), right - left, line.height());
            if (text[i] == u'\u3000') {
                const qreal side = std::min(cell.width(), cell.height()) * 0.7;
                painter.drawRect(
                    QRectF(cell.center().x() - side / 2, cell.center().y() - side / 2, side, side));
            } else {
                const qreal y = cell.center().y(), end = cell.left() + std::min(cell.width(), 12.0);
                painter.drawLine(QPointF(cell.left() + 2, y), QPointF(end - 1, y));
                painter.drawLine(QPointF(end - 4, y - 3), QPointF(end - 1, y));
                painter.drawLine(QPointF(end - 4, y + 3), QPointF(end - 1, y));
            }
        }
    }
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

QTextBlock SourceEdit::lastShownBlock() const
{
    const int lineHeight = std::max(1, fontMetrics().height());
    const int lines = viewport()->height() / lineHeight + 2;
    QTextBlock block = firstVisibleBlock();
    for (int shown = std::max(1, block.lineCount()); block.next().isValid() && shown < lines;
         shown += std::max(1, block.lineCount()))
        block = block.next();
    return block;
}

QRectF SourceEdit::shownGeometry(const QTextBlock &block) const
{
    return blockBoundingGeometry(block).translated(contentOffset());
}

void SourceEdit::resizeEvent(QResizeEvent *event)
{
    QPlainTextEdit::resizeEvent(event);
    placeMargins();
    m_findBar->markShown();
}

void SourceEdit::aboutToReplace()
{
    m_replacing = true;
    m_colours->suspend();
}

void SourceEdit::replaced()
{
    // A document loaded elsewhere comes in a text document of its own. Either way the caret
    // starts at the top, as a text box set anew has it.
    if (document() != &m_source->textDocument())
        setDocument(&m_source->textDocument());
    setTextCursor(QTextCursor(document()));
    ensureCursorVisible();
    m_replacing = false;
    m_foundMarks.clear();
    m_problems.clear();
    m_problemLines.reset();
    m_marked = {};
    m_colours->reset();
    placeMargins();
    markCaret();
}

void SourceEdit::setFoundMarks(const QList<source::TextRange> &marks)
{
    m_foundMarks = marks;
    showMarks();
}

void SourceEdit::markCaret()
{
    // While a text is set, the parse is still of the one before.
    if (m_replacing)
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
    if (m_replacing)
        return;
    // Placing marks can lay the text out and scroll, and a scroll places the marks: the toolkit
    // must not be asked again while it places the first ones, but after.
    if (m_showingMarks) {
        m_marksDue = true;
        return;
    }
    m_showingMarks = true;
    do {
        m_marksDue = false;
        placeMarks();
    } while (m_marksDue);
    m_showingMarks = false;
}

void SourceEdit::placeMarks()
{
    QList<QTextEdit::ExtraSelection> marks;
    // Scrolling in the midst of an edit shows the marks of the text before it: what no longer
    // exists is left out until they are made anew.
    const qsizetype length = document()->characterCount() - 1;
    const auto mark = [&](Mark kind, QRgb colour, source::TextRange range) {
        if (range.end > length)
            return;
        QTextEdit::ExtraSelection selection;
        selection.format.setBackground(QColor(colour));
        selection.format.setProperty(kMarkKind, int(kind));
        selection.cursor = QTextCursor(document());
        selection.cursor.setPosition(int(range.start));
        selection.cursor.setPosition(int(range.end), QTextCursor::KeepAnchor);
        marks.append(selection);
    };
    const int caret = textCursor().position();
    mark(Mark::CaretLine, palette::kCaretLine, {caret, caret});
    marks.last().format.setProperty(QTextFormat::FullWidthSelection, true);
    for (const source::TextRange &found : std::as_const(m_foundMarks))
        mark(Mark::Found, palette::kFound, found);
    for (const source::TextRange &tag : {m_marked.tag, m_marked.partner})
        if (tag.end > tag.start)
            mark(Mark::Tag, palette::kTag, tag);
    if (!m_problems.isEmpty()) {
        // Those in view: a page with thousands has them marked as it scrolls.
        const qsizetype first = m_source->textPosition(firstShownBlock().position());
        const QTextBlock last = lastShownBlock();
        const qsizetype end = m_source->textPosition(last.position() + last.length());
        for (const source::Problem &problem : std::as_const(m_problems)) {
            if (problem.position > end)
                break;
            if (problem.position + problem.length < first)
                continue;
            mark(Mark::Problem, 0,
                 {m_source->documentPosition(problem.position),
                  m_source->documentPosition(problem.position + problem.length)});
            QTextCharFormat &format = marks.last().format;
            format.clearBackground();
            format.setUnderlineStyle(QTextCharFormat::WaveUnderline);
            format.setUnderlineColor(QColor(palette::kPageProblem));
        }
    }
    setExtraSelections(marks);
}

void SourceEdit::inputMethodEvent(QInputMethodEvent *event)
{
    m_aids->inputMethod();
    m_source->setComposing(event->commitString().isEmpty() && event->replacementLength() == 0);
    QPlainTextEdit::inputMethodEvent(event);
    m_source->setComposing(false);
}

void SourceEdit::setPageEncoding(const QString &encoding)
{
    m_aids->setCharset(encoding);
}

void SourceEdit::focusOutEvent(QFocusEvent *event)
{
    m_aids->close();
    QPlainTextEdit::focusOutEvent(event);
}

void SourceEdit::mousePressEvent(QMouseEvent *event)
{
    m_aids->close();
    if (event->button() == Qt::LeftButton && event->modifiers() == Qt::NoModifier) {
        for (const Swatch &swatch : std::as_const(m_swatches)) {
            if (swatch.box.adjusted(-1, -2, 1, 2).contains(event->position())) {
                chooseColour(swatch);
                event->accept();
                return;
            }
        }
    }
    if (event->button() == Qt::LeftButton && event->modifiers() == Qt::ControlModifier) {
        const QTextCursor at = cursorForPosition(event->position().toPoint());
        // Only the text around the click is read: a link is within a tag.
        constexpr qsizetype kAround = 8192;
        const qsizetype position = m_source->textPosition(at.position());
        const qsizetype from = std::max<qsizetype>(0, position - kAround);
        const QString near = m_source->characters(from, 2 * kAround);
        if (const std::optional<QString> link = source::linkAt(near, position - from)) {
            emit linkClicked(*link, m_source->lineOf(at.position()));
            event->accept();
            return;
        }
    }
    QPlainTextEdit::mousePressEvent(event);
}

void SourceEdit::moveCaretToEnd()
{
    QTextCursor cursor = textCursor();
    cursor.movePosition(QTextCursor::End);
    setTextCursor(cursor);
}

void SourceEdit::keyPressEvent(QKeyEvent *event)
{
    if (m_aids->keyPress(event)) {
        event->accept();
        return;
    }
    m_aids->type(event, [this, event] { typeKey(event); });
}

void SourceEdit::typeKey(QKeyEvent *event)
{
    // Enter makes CR LF, with Shift too: a line separator of the toolkit's own would not.
    if ((event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) && !isReadOnly() &&
        !(event->modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier))) {
        QTextCursor cursor = textCursor();
        m_source->insertLineBreak(cursor);
        setTextCursor(cursor);
        ensureCursorVisible();
        event->accept();
        return;
    }
    // A key that deletes one character deletes the text's, not what parts two pieces of a line.
    if (QTextCursor cursor = textCursor();
        !cursor.hasSelection() && event->modifiers() == Qt::NoModifier) {
        const QTextBlock block = cursor.block();
        if ((event->key() == Qt::Key_Backspace && cursor.atBlockStart() &&
             SourceDocument::continues(block)) ||
            (event->key() == Qt::Key_Delete && cursor.atBlockEnd() && block.next().isValid() &&
             SourceDocument::continues(block.next()))) {
            cursor.movePosition(event->key() == Qt::Key_Backspace ? QTextCursor::PreviousCharacter
                                                                  : QTextCursor::NextCharacter);
            setTextCursor(cursor);
        }
    }
    const QString typed = event->text();
    if (typeOverCloser(typed)) {
        event->accept();
        return;
    }
    if (!m_typeOver.isEmpty() && typed.size() == 1 && textCursor().position() == m_typeOverAt &&
        !textCursor().hasSelection() && m_typeOver.startsWith(typed, Qt::CaseInsensitive)) {
        m_typeOver.remove(0, 1);
        event->accept();
        return;
    }
    // Shift pressed on its own, for the ">" to come, types nothing and keeps what is pending.
    const bool modifier = event->key() == Qt::Key_Shift || event->key() == Qt::Key_Control ||
                          event->key() == Qt::Key_Alt || event->key() == Qt::Key_AltGr ||
                          event->key() == Qt::Key_Meta;
    if (!modifier)
        m_typeOver.clear();
    QPlainTextEdit::keyPressEvent(event);
    if (typed == u"/"_s)
        completeEndTag();
    else if (typed == u">"_s)
        completeStartTag();
}

void SourceEdit::completeStartTag()
{
    const QTextCursor typed = textCursor();
    if (typed.hasSelection() || !m_closing())
        return;
    const std::optional<QString> name = m_colours->startTagEnded(typed.position());
    const qsizetype at = m_source->textPosition(typed.position());
    const QString closer = name ? u"</"_s + *name + u'>' : QString();
    if (!name || m_source->characters(at, closer.size()).compare(closer, Qt::CaseInsensitive) == 0)
        return;
    // An edit of its own, as the end tag after "</" is: one change, one undo step.
    const int caret = typed.position();
    QTextCursor cursor = typed;
    cursor.beginEditBlock();
    cursor.insertText(closer);
    cursor.endEditBlock();
    Closer put{cursor, closer};
    put.range.setPosition(caret, QTextCursor::KeepAnchor);
    m_closers.append(put);
    if (m_closers.size() > 64)  // left as they were, and gone past
        m_closers.removeFirst();
    cursor.setPosition(caret);
    setTextCursor(cursor);
}

bool SourceEdit::typeOverCloser(const QString &typed)
{
    if (typed.size() != 1)
        return false;
    QTextCursor caret = textCursor();
    // Only those that stand as they were put count; the innermost is typed over first.
    m_closers.removeIf([](const Closer &c) { return c.range.selectedText() != c.text; });
    if (m_closers.isEmpty() || caret.hasSelection())
        return false;
    Closer &closer = m_closers.last();
    const int start = closer.range.selectionStart();
    // A "<" typed before it starts a tag within, or its own end tag, which the "/" after it
    // tells: then that "<" is taken back and the caret goes over the end tag's "</".
    if (closer.typed == 0 && typed == u"/"_s && caret.position() == start && start > 0 &&
        document()->characterAt(start - 1) == u'<') {
        caret.deletePreviousChar();
        caret.setPosition(closer.range.selectionStart() + 2);
        setTextCursor(caret);
        closer.typed = 2;
        return true;
    }
    if (closer.typed > 0 && caret.position() == start + closer.typed &&
        typed == closer.text.at(closer.typed)) {
        caret.movePosition(QTextCursor::NextCharacter);
        setTextCursor(caret);
        if (++closer.typed == closer.text.size())
            m_closers.removeLast();
        return true;
    }
    if (closer.typed > 0)
        m_closers.removeLast();
    return false;
}

void SourceEdit::completeEndTag()
{
    const QTextCursor typed = textCursor();
    const qsizetype at = m_source->textPosition(typed.position()) - 2;
    if (typed.hasSelection() || at < 0 || m_source->characters(at, 1) != u"<"_s)
        return;
    const std::optional<QString> name = m_colours->elementToClose(m_source->documentPosition(at));
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
    QTextCursor cursor = textCursor();
    m_source->insert(cursor, source->text());
    setTextCursor(cursor);
    ensureCursorVisible();
}

QMimeData *SourceEdit::createMimeDataFromSelection() const
{
    const qsizetype start = m_source->textPosition(textCursor().selectionStart());
    const qsizetype end = m_source->textPosition(textCursor().selectionEnd());
    auto *data = new QMimeData;  // handed to the clipboard, which takes ownership
    data->setText(withLineFeeds(m_source->characters(start, end - start)));
    return data;
}

void SourceEdit::goToLine(int line, int column)
{
    const int start = m_source->lineStart(line);
    if (start < 0)
        return;
    const source::TextRange whole = m_source->lineAround(m_source->textPosition(start));
    goToPosition(
        m_source->documentPosition(std::min(whole.start + std::max(column, 1) - 1, whole.end)));
}

void SourceEdit::formatSource()
{
    if (isReadOnly())
        return;
    // Whole lines: the first one's indentation is where the rest go.
    const QTextCursor selected = textCursor();
    qsizetype start = 0, end = m_source->size();
    if (selected.hasSelection()) {
        start = m_source->lineAround(m_source->textPosition(selected.selectionStart())).start;
        end = m_source->lineAround(m_source->textPosition(selected.selectionEnd())).end;
    }
    const QString text = withLineFeeds(m_source->characters(start, end - start));
    // The lines go back ended as the first of them is.
    const QTextBlock next = document()->findBlock(m_source->documentPosition(start)).next();
    const LineEnd ends = next.isValid() ? lineEndBefore(next) : LineEnd::CrLf;
    // A large page takes seconds: the pointer says it is under way.
    viewport()->setCursor(Qt::BusyCursor);
    m_formatter.run(
        [text](const engine::Task &) {
            QString failure;
            std::optional<QString> done = source::formatPage(text, &failure);
            return std::pair{done.value_or(QString()), done ? QString() : failure};
        },
        [this, text, start, end, ends,
         revision = m_source->revision()](std::pair<QString, QString> done) {
            viewport()->setCursor(Qt::IBeamCursor);
            if (revision != m_source->revision())
                return;  // typed into meanwhile: what was asked for is gone
            if (!done.second.isEmpty()) {
                emit failed(done.second);
                return;
            }
            if (done.first != text) {
                const int line = m_source->lineOf(textCursor().position());
                QTextCursor cursor(document());
                cursor.setPosition(m_source->documentPosition(start));
                cursor.setPosition(m_source->documentPosition(end), QTextCursor::KeepAnchor);
                m_source->insert(cursor, done.first, ends == LineEnd::Piece ? LineEnd::CrLf : ends);
                // The caret stays on its line, as near as the new lines allow.
                goToLine(std::min(line, m_source->lineCount()));
            }
            emit formatted();
        });
}

void SourceEdit::setProblems(QList<source::Problem> problems)
{
    if (problems == m_problems)
        return;
    m_problems = std::move(problems);
    m_problemLines.reset();
    m_lineNumbers->update();
    showMarks();
}

void SourceEdit::problemsMoved(qsizetype position, qsizetype removed, qsizetype added)
{
    if (m_problems.isEmpty())
        return;
    // What the edit touched is being mended; what follows it moves with the text.
    const auto touched = [&](const source::Problem &problem) {
        return problem.position <= position + removed &&
               problem.position + problem.length >= position;
    };
    m_problems.removeIf(touched);
    for (source::Problem &problem : m_problems)
        if (problem.position > position)
            problem.position += added - removed;
    m_problemLines.reset();
    m_lineNumbers->update();
    showMarks();
}

bool SourceEdit::hasProblem(int line) const
{
    if (!m_problemLines) {
        m_problemLines.emplace();
        for (const source::Problem &problem : m_problems)
            m_problemLines->insert(m_source->lineOf(m_source->documentPosition(problem.position)));
    }
    return m_problemLines->contains(line);
}

bool SourceEdit::event(QEvent *event)
{
    if (event->type() != QEvent::ToolTip || m_problems.isEmpty())
        return QPlainTextEdit::event(event);
    const auto *help = static_cast<QHelpEvent *>(event);
    const qsizetype at = m_source->textPosition(
        cursorForPosition(viewport()->mapFromGlobal(help->globalPos())).position());
    QStringList said;
    for (const source::Problem &problem : std::as_const(m_problems))
        if (problem.position <= at && at <= problem.position + problem.length)
            said.append(problem.message);
    if (said.isEmpty())
        QToolTip::hideText();
    else
        QToolTip::showText(help->globalPos(), said.join(u'\n'), this);
    return true;
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
