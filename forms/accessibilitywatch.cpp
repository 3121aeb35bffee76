#include "forms/accessibilitywatch.h"

#include <QTextBlock>
#include <algorithm>

#include "editor/sourcedocument.h"
#include "editor/sourceedit.h"

using namespace Qt::StringLiterals;

namespace forms {

AccessibilityWatch::AccessibilityWatch(editor::SourceEdit &edit, engine::PreviewPane &pane)
    : QObject(&edit), m_edit(edit), m_pane(pane)
{
    m_pause.setObjectName(u"accessibilityPause"_s);
    m_pause.setSingleShot(true);
    m_pause.setInterval(kAfterTyping);
    connect(&m_pause, &QTimer::timeout, this, &AccessibilityWatch::paused);
    connect(&m_edit.source(), &editor::SourceDocument::changed, &m_pause,
            qOverload<>(&QTimer::start));
    // The page shows the text in place or loaded: the check is of the page.
    connect(&m_pane.pageEvents(), &engine::PageEvents::elementsFound, &m_pause,
            qOverload<>(&QTimer::start));
    connect(&m_pane.pageEvents(), &engine::PageEvents::accessibilityChecked, this,
            &AccessibilityWatch::found);
    m_command = &m_edit.checkAccessibilityCommand();
    m_command->setEnabled(true);
    connect(m_command, &QAction::triggered, this, [this] {
        m_asked = true;
        m_pause.stop();
        m_pane.setFindings({}, u"アクセシビリティを検査しています…"_s);
        m_pane.checkAccessibility(true);
    });
}

AccessibilityWatch::~AccessibilityWatch()
{
    if (m_command)
        m_command->setEnabled(false);
}

void AccessibilityWatch::paused()
{
    // Asked for, a large page is checked again after an update that gave the check up.
    m_pane.checkAccessibility(m_asked);
}

void AccessibilityWatch::found(const QList<engine::Finding> &findings, const QString &note)
{
    // Each on its element's start tag; one the source did not write, on that of the nearest
    // ancestor it did, and a page's own at its top.
    const editor::SourceDocument &source = m_edit.source();
    const engine::TextSnapshot text = source.snapshot();
    QList<engine::PreviewPane::Problem> rows;
    rows.reserve(findings.size());
    for (const engine::Finding &finding : findings) {
        engine::PreviewPane::Problem row{finding.text, 1, 0};
        if (const std::optional<qsizetype> start = m_pane.startOf(text, finding.elements)) {
            const int position = source.documentPosition(source.textOffset(*start));
            const QTextBlock block = m_edit.document()->findBlock(position);
            row.line = block.blockNumber() + 1;
            row.column = position - block.position() + 1;
        }
        rows.append(row);
    }
    std::stable_sort(rows.begin(), rows.end(), [](const auto &a, const auto &b) {
        return std::pair(a.line, a.column) < std::pair(b.line, b.column);
    });
    QString told = note;
    if (std::exchange(m_asked, false) && told.isEmpty() && rows.isEmpty())
        told = u"アクセシビリティの問題は見つかりませんでした (WCAG 2.1 A・AA)"_s;
    m_pane.setFindings(rows, told);
    emit checked();
}

}  // namespace forms
