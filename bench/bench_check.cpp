// The page's check as HTML5 and its tidying, timed off any window as they run off the UI thread:
// median of a few runs, on the tests' book page at three sizes and on real pages.
#include <tidy/tidy.h>
#include <tidy/tidybuffio.h>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <algorithm>
#include <cstdio>

#include "source/pagecheck.h"
#include "source/pageformat.h"
#include "tests/pages.h"

namespace {

template <typename Run>
double medianMs(int runs, Run run)
{
    QList<double> times;
    for (int i = 0; i < runs; ++i) {
        QElapsedTimer timer;
        timer.start();
        run();
        times.append(double(timer.nsecsElapsed()) / 1e6);
    }
    std::sort(times.begin(), times.end());
    return times[times.size() / 2];
}

// libtidy's own printer, indenting: the other formatter there was to choose. It is fast, but it
// makes another page of it (end tags added, a custom element dropped, a title made up).
void tidyPrint(const QByteArray &page)
{
    TidyDoc doc = tidyCreate();
    TidyBuffer out{}, said{};
    tidyBufInit(&out);
    tidyBufInit(&said);
    tidySetErrorBuffer(doc, &said);
    tidyOptSetValue(doc, TidyCharEncoding, "utf8");
    tidyOptSetValue(doc, TidyIndentContent, "auto");
    tidyOptSetInt(doc, TidyWrapLen, 0);
    tidyOptSetBool(doc, TidyPreserveEntities, yes);
    tidyOptSetBool(doc, TidyForceOutput, yes);
    tidyParseString(doc, page.constData());
    tidyCleanAndRepair(doc);
    tidySaveBuffer(doc, &out);
    tidyRelease(doc);
    tidyBufFree(&out);
    tidyBufFree(&said);
}

void measure(const char *name, QString page, bool format)
{
    page.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    qsizetype problems = 0;
    const double check = medianMs(5, [&] { problems = source::checkPage(page).size(); });
    std::printf("%-28s %9.0f KB  check %8.1f ms (%lld problems)", name,
                double(page.toUtf8().size()) / 1024, check, static_cast<long long>(problems));
    if (format) {
        std::printf("  整形 %8.1f ms",
                    medianMs(3, [&] { (void)source::formatPage(page, nullptr); }));
        const QByteArray bytes = page.toUtf8();
        std::printf("  (libtidy's printer %6.1f ms)", medianMs(3, [&] { tidyPrint(bytes); }));
    }
    std::printf("\n");
}

}  // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    std::printf(
        "The check of a page (libtidy, what runs off the UI thread) and 整形 (on the program's own "
        "tokenizer), both off the UI thread\n");
    measure("book, 100 KB", bookOfSize(100 * 1024), true);
    measure("book, 1 MB", bookOfSize(1024 * 1024), true);
    measure("book, 10 MB", bookOfSize(10 * 1024 * 1024), true);
    for (const RealPage &real : kRealPages)
        if (const QString page = readRealPage(real); !page.isEmpty())
            measure(real.name, page, true);
    return 0;
}
