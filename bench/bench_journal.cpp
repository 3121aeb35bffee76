// The journal of the text not saved: what it costs the UI thread per keystroke at 10 KB and
// 10 MB, next to the same page without a journal, and how long after a keystroke the journal
// on disk holds it, which is the most that a kill or a power cut can lose. In the start-up mode,
// over a recording pane.
#include <QApplication>
#include <QElapsedTimer>
#include <QLoggingCategory>
#include <QTest>
#include <cstdio>
#include <vector>

#include "bench/benchpage.h"
#include "bench/benchtime.h"
#include "editor/sourcecolours.h"
#include "editor/sourcedocument.h"
#include "editor/sourceedit.h"
#include "forms/journalkeeper.h"
#include "tests/fixture.h"

using namespace Qt::StringLiterals;

int main(int argc, char *argv[])
{
    QLoggingCategory::setFilterRules(u"qt.webenginecontext.info=false"_s);
    QApplication app(argc, argv);
    testsupport::Fixture fixture;
    std::printf("%-8s %20s %16s %26s\n", "page", "key ms with journal", "without",
                "key to journal on disk, ms");
    for (const auto &[label, size] :
         {std::pair{"10 KB", 10 * 1024}, std::pair{"10 MB", 10 * 1024 * 1024}}) {
        const QString page = bookOfSize(size);
        double keyMs[2] = {};
        std::vector<double> delays;
        for (const bool journal : {true, false}) {
            fixture.start(testsupport::Fixture::Pane::Recording,
                          {fixture.path(u"program"_s), fixture.path(u"private"_s),
                           journal ? fixture.path(u"journal"_s) : QString()});
            forms::Form1 &form1 = *fixture.form1;
            editor::SourceEdit &edit = form1.Text1();
            edit.setText(page);
            QTest::keyClick(&edit, Qt::Key_A);
            const engine::Journal *kept = form1.journal().journal();
            const auto settled = [&] {
                return edit.colours().isCurrent() && !form1.preview().isWriting() &&
                       (!kept || kept->isCurrent());
            };
            longestStall(settled);
            keyMs[journal ? 0 : 1] = keystrokeMs(edit);
            if (!kept)
                continue;
            // Keys at uneven times, as a person types: each until the journal on disk has it.
            for (int i = 0; i < 12; ++i) {
                longestStall(settled);
                QTest::qWait(97 * (i % 7));
                QElapsedTimer timer;
                timer.start();
                QTest::keyClick(&edit, Qt::Key_B);
                longestStall([&] { return kept->isCurrent(); });
                delays.push_back(msSince(timer));
            }
        }
        std::sort(delays.begin(), delays.end());
        std::printf("%-8s %20.2f %16.2f %14.0f (median %.0f)\n", label, keyMs[0], keyMs[1],
                    delays.back(), median(delays));
    }
    return 0;
}
