#include "forms/problemwatch.h"

#include "editor/lineends.h"
#include "editor/sourcedocument.h"
#include "editor/sourceedit.h"
#include "engine/previewpane.h"

using namespace Qt::StringLiterals;

namespace forms {

ProblemWatch::ProblemWatch(editor::SourceEdit &edit, engine::PreviewPane &pane)
    : QObject(&edit), m_edit(edit), m_pane(pane)
{
    m_pause.setObjectName(u"problemPause"_s);
    m_pause.setSingleShot(true);
    m_pause.setInterval(kAfterTyping);
    connect(&m_pause, &QTimer::timeout, this, &ProblemWatch::check);
    connect(&m_edit.source(), &editor::SourceDocument::changed, &m_pause,
            qOverload<>(&QTimer::start));
}

void ProblemWatch::check()
{
    const editor::SourceDocument &text = m_edit.source();
    if (text.size() > source::kLargestChecked) {
        m_checker.cancel();
        show({}, u"ページが %1 MB を超えるため、HTML の検査はしていません"_s.arg(
                     source::kLargestChecked / (1024 * 1024)));
        return;
    }
    m_checker.run(
        [kept = text.kept()](const engine::Task &task) {
            return source::checkPage(editor::withLineFeeds(kept.toString()), &task.cancelled());
        },
        [this, revision = text.revision()](const QList<source::Problem> &problems) {
            // Typed into meanwhile: its places are no longer the text's, and the pause after
            // that typing checks it again.
            if (revision == m_edit.source().revision())
                show(problems, {});
        });
}

void ProblemWatch::show(const QList<source::Problem> &problems, const QString &note)
{
    m_edit.setProblems(problems);
    QList<engine::PreviewPane::Problem> rows;
    rows.reserve(problems.size());
    for (const source::Problem &problem : problems)
        rows.append({problem.message, problem.line, problem.column});
    m_pane.setProblems(rows, note);
    emit checked();
}

}  // namespace forms
