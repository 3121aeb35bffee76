// From a keystroke in the editor to the preview's load finished, in the start-up mode (every
// character), against the floor: a bare web view loading the same file. Medians of many runs.
#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QLoggingCategory>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QWebEngineSettings>
#include <QWebEngineView>
#include <algorithm>
#include <cstdio>
#include <vector>

#include "benchpage.h"
#include "form1.h"
#include "previewfile.h"
#include "sourceedit.h"
#include "textcodec.h"
#include "webpreviewpane.h"

using namespace Qt::StringLiterals;

namespace {

// Runs the event loop until the view finishes a load; the time from start to then, in ms.
double timeToLoad(QWebEngineView &view, const std::function<void()> &start)
{
    QEventLoop loop;
    const auto connection =
        QObject::connect(&view, &QWebEngineView::loadFinished, &loop, [&] { loop.quit(); });
    QTimer::singleShot(30000, &loop, [&] { loop.exit(1); });
    QElapsedTimer timer;
    timer.start();
    start();
    const int failed = loop.exec();
    const double ms = timer.nsecsElapsed() / 1e6;
    QObject::disconnect(connection);
    return failed ? -1 : ms;
}

double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

}  // namespace

int main(int argc, char *argv[])
{
    QLoggingCategory::setFilterRules(u"qt.webenginecontext.info=false"_s);
    QApplication app(argc, argv);
    QTemporaryDir dir;
    const int runs = argc > 1 ? std::max(3, atoi(argv[1])) : 31;

    auto pane = std::make_unique<platform::WebPreviewPane>();
    platform::WebPreviewPane &view = *pane;
    engine::PreviewFile preview(view, QDir::toNativeSeparators(dir.path()), QString());
    windows::Form1 form1(preview, pane.release());
    form1.show();

    QWebEngineView bare;
    bare.settings()->setDefaultTextEncoding(platform::systemEncoding());
    bare.resize(view.size());
    bare.move(form1.frameGeometry().right() + 20, 0);
    bare.show();
    const QUrl previewUrl = QUrl::fromLocalFile(dir.filePath(u"一時.html"_s));

    std::printf("%-8s %14s %12s %8s\n", "page", "keystroke ms", "floor ms", "ratio");
    for (const auto &[label, size] :
         {std::pair{"10 KB", 10 * 1024}, std::pair{"100 KB", 100 * 1024}}) {
        timeToLoad(view, [&] { form1.Text1().setText(htmlOfSize(size)); });
        form1.Text1().moveCaretToEnd();
        std::vector<double> keystroke, floor;
        for (int i = 0; i < runs; ++i) {
            keystroke.push_back(
                timeToLoad(view, [&] { QTest::keyClick(&form1.Text1(), Qt::Key_A); }));
            floor.push_back(timeToLoad(bare, [&] { bare.load(previewUrl); }));
        }
        if (std::count(keystroke.begin(), keystroke.end(), -1) ||
            std::count(floor.begin(), floor.end(), -1)) {
            std::fprintf(stderr, "a load did not finish\n");
            return 1;
        }
        const double k = median(keystroke), f = median(floor);
        std::printf("%-8s %14.2f %12.2f %8.2f\n", label, k, f, k / f);
    }
    return 0;
}
