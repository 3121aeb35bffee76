// The page's accessibility check, asked from the editor's context menu as a person asks it, on
// the tests' book at three sizes and on real pages: from the command to the rows shown, the
// longest task of the check in the page's process, and the longest the UI thread went without
// turning meanwhile. The page must stay: not taken for a hung page and stopped.
#include <QAction>
#include <QApplication>
#include <QElapsedTimer>
#include <QTest>
#include <QWebEnginePage>
#include <cstdio>

#include "bench/benchtime.h"
#include "editor/sourceedit.h"
#include "tests/fixture.h"
#include "tests/pages.h"
#include "webview/previewview.h"

using namespace Qt::StringLiterals;

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    testsupport::Fixture fixture;
    fixture.start(testsupport::Fixture::Pane::Web);
    forms::Form1 &form1 = *fixture.form1;
    webview::WebPreviewPane &view = *fixture.view;
    std::printf("%-22s %9s %12s %22s %18s %8s %9s %s\n", "page", "KB", "check ms",
                "longest in page ms", "UI thread ms", "tasks", "findings", "page stayed");
    const auto measure = [&](const char *name, const QString &page) {
        form1.Text1().setText(page);
        const auto settled = [&] { return !form1.preview().isWriting() && !view.isUpdating(); };
        if (!QTest::qWaitFor(settled, 60000))
            qFatal("the page did not load");
        const qint64 process = view.web().page()->renderProcessPid();
        qsizetype found = -1;
        const QMetaObject::Connection heard = QObject::connect(
            &view.pageEvents(), &engine::PageEvents::accessibilityChecked,
            [&](const QList<engine::Finding> &findings) { found = findings.size(); });
        QElapsedTimer timer;
        timer.start();
        form1.Text1().checkAccessibilityCommand().trigger();
        const double stall = longestStall([&] { return found >= 0; }, 600'000);
        QObject::disconnect(heard);
        if (found < 0)
            qFatal("no findings after 10 minutes");
        const double total = msSince(timer);
        const auto times = view.lastCheck();
        const bool stayed = view.web().page()->renderProcessPid() == process &&
                            !view.web().title().contains(u"止め"_s);
        std::printf("%-22s %9.0f %12.0f %22.0f %18.1f %8d %9lld %s\n", name,
                    double(page.toUtf8().size()) / 1024, total, times.longest, stall, times.slices,
                    qlonglong(found), stayed ? "yes" : "NO");
        std::fflush(stdout);
    };
    measure("book, 100 KB", bookOfSize(100 * 1024));
    measure("book, 300 KB", bookOfSize(300 * 1024));
    for (const RealPage &real : kRealPages)
        if (const QString page = readRealPage(real); !page.isEmpty())
            measure(real.name, page);
    if (argc < 2 || QByteArray(argv[1]) != "quick")
        measure("book, 1.9 MB", bookOfSize(1900 * 1024));
    return 0;
}
