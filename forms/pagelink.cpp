#include "forms/pagelink.h"

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

}  // namespace forms
