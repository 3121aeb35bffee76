#include "forms/pagelink.h"

#include <QKeyEvent>
#include <QScrollBar>
#include <QTextBlock>

#include "editor/sourcecolours.h"
#include "editor/sourcedocument.h"
#include "editor/sourceedit.h"
#include "engine/previewpane.h"

namespace forms {

PageLink::PageLink(editor::SourceEdit &edit, engine::PreviewPane &pane)
    : QObject(&edit), m_edit(edit), m_pane(pane)
{
    m_soon.setSingleShot(true);
    m_soon.setInterval(0);
    m_typing.setSingleShot(true);
    m_typing.setInterval(kAfterTyping);
    connect(&m_soon, &QTimer::timeout, this, [this] {
        if (!m_typing.isActive())
            follow();
    });
    connect(&m_typing, &QTimer::timeout, this, &PageLink::follow);
    // Typing moves the caret at every key: the outline waits for a pause, so a key costs nothing.
    connect(&m_edit.source(), &editor::SourceDocument::changed, this, [this] { m_typing.start(); });
    connect(&m_edit, &QPlainTextEdit::cursorPositionChanged, this, &PageLink::caretMoved);
    // The parse tells which tags hold the caret, the page which elements they made.
    connect(&m_edit.colours(), &editor::SourceColours::parsed, this, &PageLink::caretMoved);
    engine::PageEvents &events = m_pane.pageEvents();
    connect(&events, &engine::PageEvents::elementsFound, this, &PageLink::caretMoved);
    connect(&events, &engine::PageEvents::elementPicked, this, &PageLink::picked);
    // Only a person's scrolls are followed, the wheel, the bar, Page Up and Down: the scroll
    // that typing or following makes tells of no action, so nothing is followed back.
    m_scrolled.setSingleShot(true);
    m_scrolled.setInterval(0);
    // The bar tells of its action with the line it goes to, before the view is moved and painted.
    connect(m_edit.verticalScrollBar(), &QAbstractSlider::actionTriggered, this,
            [this] { sourceScrolled(m_edit.verticalScrollBar()->sliderPosition()); });
    connect(&m_scrolled, &QTimer::timeout, this,
            [this] { sourceScrolled(m_edit.verticalScrollBar()->value()); });
    // Page Up and Down scroll without telling the bar's action.
    m_edit.installEventFilter(this);
    connect(&events, &engine::PageEvents::pageScrolled, this, &PageLink::pageScrolled);
    connect(&events, &engine::PageEvents::lineChosen, this,
            [this](int line, int column) { m_edit.goToLine(line, column); });
}

void PageLink::caretMoved()
{
    if (!m_typing.isActive())
        m_soon.start();
}

void PageLink::follow()
{
    const editor::SourceColours &colours = m_edit.colours();
    if (!colours.isEnabled() || colours.isWindowed()) {
        m_pane.showElement(-1);
        return;
    }
    // The outline stays until the parse catches up, which tells when it does.
    if (!colours.isCurrent())
        return;
    const editor::SourceDocument &source = m_edit.source();
    QList<qsizetype> starts = colours.elementsAt(m_edit.textCursor().position());
    for (qsizetype &start : starts)
        start = source.fileOffset(source.textPosition(int(start)));
    m_pane.showElement(m_pane.elementOf(source.snapshot(), starts));
}

void PageLink::picked(const QList<int> &elements)
{
    const editor::SourceDocument &source = m_edit.source();
    if (const std::optional<qsizetype> start = m_pane.startOf(source.snapshot(), elements))
        m_edit.goToPosition(source.documentPosition(source.textOffset(*start)));
}

bool PageLink::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent *>(event)->key();
        if (key == Qt::Key_PageUp || key == Qt::Key_PageDown)
            m_scrolled.start();
    }
    return QObject::eventFilter(watched, event);
}

void PageLink::sourceScrolled(int topLine)
{
    // The lines are never wrapped: the bar counts them.
    const QTextBlock top = m_edit.document()->findBlockByNumber(topLine);
    if (!top.isValid())
        return;
    const editor::SourceDocument &source = m_edit.source();
    const auto offset = [&](int position) {
        return source.fileOffset(source.textPosition(position));
    };
    m_pane.scrollToElement(m_pane.elementOfLine(source.snapshot(), offset(top.position()),
                                                offset(top.position() + top.length() - 1)));
}

void PageLink::pageScrolled(const QList<int> &elements)
{
    const editor::SourceDocument &source = m_edit.source();
    if (const std::optional<qsizetype> start = m_pane.startOf(source.snapshot(), elements))
        m_edit.verticalScrollBar()->setValue(
            m_edit.document()
                ->findBlock(source.documentPosition(source.textOffset(*start)))
                .blockNumber());
}

}  // namespace forms
