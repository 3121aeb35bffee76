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
    connect(&m_edit.source(), &editor::SourceDocument::changed, this, [this] {
        m_map.reset();
        m_typing.start();
    });
    connect(&m_edit, &QPlainTextEdit::cursorPositionChanged, this, &PageLink::caretMoved);
    connect(&m_edit.colours(), &editor::SourceColours::parsed, this, [this] {
        m_map.reset();
        if (!m_typing.isActive())
            m_soon.start();
    });
    engine::PageEvents &events = m_pane.pageEvents();
    connect(&events, &engine::PageEvents::elementsFound, this, [this](const QStringList &names) {
        m_pageNames = names;
        m_map.reset();
        if (!m_typing.isActive())
            m_soon.start();
    });
    connect(&events, &engine::PageEvents::elementPicked, this, &PageLink::picked);
    connect(&events, &engine::PageEvents::lineChosen, this,
            [this](int line, int column) { m_edit.goToLine(line, column); });
}

void PageLink::caretMoved()
{
    if (!m_typing.isActive())
        m_soon.start();
}

bool PageLink::bringUpToDate()
{
    if (!m_map) {
        std::optional<QList<source::StartTag>> tags = m_edit.colours().startTags();
        if (!tags)
            return false;  // until the parse catches up
        m_map.emplace(std::move(*tags), m_pageNames);
    }
    return true;
}

void PageLink::follow()
{
    const editor::SourceColours &colours = m_edit.colours();
    if (m_pageNames.isEmpty() || !colours.isEnabled() || colours.isWindowed()) {
        m_pane.showElement(-1);
        return;
    }
    // The outline stays until the parse catches up, which tells when it does.
    if (!bringUpToDate())
        return;
    m_pane.showElement(m_map->elementFor(colours.elementsAt(m_edit.textCursor().position())));
}

void PageLink::picked(const QList<int> &elements)
{
    if (!bringUpToDate())
        return;
    if (const std::optional<qsizetype> tag = m_map->startTagFor(elements))
        m_edit.goToPosition(*tag);
}

}  // namespace forms
