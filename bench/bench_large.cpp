// Large documents: the UI thread's time per keystroke in the start-up mode (every character
// refreshes) with colours on, next to a bare QPlainTextEdit; the same on real pages whose lines
// end in LF alone, next to the same pages in CR LF, and on pages of one long line; opening a
// 20 MB and a 10 MB file, next to a bare setPlainText of its text, with the longest the UI
// thread was held meanwhile, and what the 20 MB document costs in memory, its preview written
// and its colours done; and opening a real 1.9 MB page whose lines end in LF. The preview pane
// records instead of loading. Run "bench_large open" for a memory figure from a process that
// held no large page before.
#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QLoggingCategory>
#include <QPlainTextEdit>
#include <QTest>
#include <algorithm>
#include <cstdio>
#include <optional>
#include <tuple>
#include <vector>

#include "bench/benchtime.h"
#include "editor/sourcecolours.h"
#include "editor/sourceedit.h"
#include "tests/fixture.h"
#include "tests/pages.h"

using namespace Qt::StringLiterals;

namespace {

// The process's resident memory, in MB.
double residentMb()
{
    QFile status(u"/proc/self/status"_s);
    if (!status.open(QIODevice::ReadOnly))
        return 0;
    for (const QByteArray &line : status.readAll().split('\n'))
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').first().toDouble() / 1024;
    return 0;
}

}  // namespace

int main(int argc, char *argv[])
{
    QLoggingCategory::setFilterRules(u"qt.webenginecontext.info=false"_s);
    QApplication app(argc, argv);
    testsupport::Fixture fixture;
    fixture.start();
    forms::Form1 &form1 = *fixture.form1;
    editor::SourceEdit &edit = form1.Text1();
    QPlainTextEdit bare;
    bare.setLineWrapMode(QPlainTextEdit::NoWrap);
    bare.resize(edit.size());
    bare.show();
    const auto settled = [&] { return edit.colours().isCurrent() && !form1.preview().isWriting(); };

    // "open" measures the opens alone, in a process that held no large page before, so that the
    // memory figure owes nothing to what an earlier page left in the heap.
    const bool opensOnly = argc > 1 && qstrcmp(argv[1], "open") == 0;
    if (!opensOnly)
        std::printf("%-8s %26s %18s\n", "page", "keystroke ms, mode 7, UI", "bare QPlainTextEdit");
    // A first round warms what every keystroke uses (fonts, the parser, the disk cache).
    for (const auto &[label, size] :
         {std::pair{"", 10 * 1024}, std::pair{"10 KB", 10 * 1024}, std::pair{"100 KB", 100 * 1024},
          std::pair{"1 MB", 1024 * 1024}, std::pair{"10 MB", 10 * 1024 * 1024}}) {
        if (opensOnly)
            break;
        const QString page = bookOfSize(size);
        edit.setText(page);
        longestStall(settled);
        bare.setPlainText(page);
        const double ours = keystrokeMs(edit);
        longestStall(settled);
        const double bareMs = keystrokeMs(bare);
        if (*label)
            std::printf("%-8s %26.2f %18.2f\n", label, ours, bareMs);
    }

    // Real pages whose lines end in LF alone, next to the same page in CR LF, and pages of one
    // long line.
    if (!opensOnly) {
        std::printf("\n%-28s %8s %14s %14s %7s\n", "real page", "KB", "key ms, LF", "key ms, CR LF",
                    "ratio");
        for (const RealPage &real : kRealPages) {
            const QString page = readRealPage(real);
            if (page.isEmpty()) {
                std::printf("%-28s not installed (bash dev.sh bench installs it)\n", real.name);
                continue;
            }
            edit.setText(page);
            longestStall(settled);
            const double lf = keystrokeMs(edit);
            edit.setText(withCrLf(page));
            longestStall(settled);
            const double crlf = keystrokeMs(edit);
            std::printf("%-28s %8lld %14.2f %14.2f %7.2f\n", real.name,
                        static_cast<long long>(page.toUtf8().size() / 1024), lf, crlf, lf / crlf);
        }
        for (const auto &[label, real, size] :
             {std::tuple{"user-manual.html, one line", kRealPages[1], 0},
              std::tuple{"bashref.html, one 500 KB line", kRealPages[2], 500 * 1024}}) {
            QString line = asOneLine(readRealPage(real));
            if (line.isEmpty())
                continue;
            if (size)
                line.truncate(size);
            edit.setText(line);
            longestStall(settled);
            std::printf("%-28s %8lld %14.2f\n", label,
                        static_cast<long long>(line.toUtf8().size() / 1024), keystrokeMs(edit));
        }
    }

    std::printf("\n%-8s %14s %22s %18s %16s\n", "open", "open ms", "longest stall ms",
                "bare setPlainText", "memory / size");
    bool first = true;
    for (const auto &[label, size] :
         {std::pair{"20 MB", 20 * 1024 * 1024}, std::pair{"10 MB", 10 * 1024 * 1024}}) {
        const QString page = bookOfSize(size);
        const QString file = fixture.path(u"large.html"_s);
        if (!testsupport::writeAll(file, page.toUtf8()))
            return 1;
        // Measured from a small page, so that what the last one held is gone; the bare edit's
        // copy is made after.
        edit.setText(u"<p>小さな頁</p>"_s);
        bare.clear();
        longestStall(settled);
        const double before = residentMb();
        std::optional<std::optional<QString>> outcome;
        QElapsedTimer timer;
        timer.start();
        form1.openDocument(file, &form1,
                           [&](const std::optional<QString> &error) { outcome = error; });
        const double stall = longestStall([&] { return outcome.has_value(); });
        const double openMs = msSince(timer);
        if (!outcome || *outcome) {
            std::fprintf(stderr, "the open failed\n");
            return 1;
        }
        longestStall(settled);
        const double memory = residentMb() - before;
        timer.restart();
        bare.setPlainText(page);
        const double bareMs = msSince(timer);
        // Only the first open starts from a heap that never held a large page.
        const QString share =
            first && opensOnly
                ? u"%1x"_s.arg(memory / (page.toUtf8().size() / 1048576.0), 0, 'f', 2)
                : u"-"_s;
        first = false;
        std::printf("%-8s %14.1f %22.1f %18.1f %16s\n", label, openMs, stall, bareMs,
                    qPrintable(share));
    }

    // A real page whose lines end in LF alone, as the file dialog opens it: from the click to
    // its first screen painted.
    const RealPage &book = kRealPages[3];
    if (!QFile::exists(QString::fromUtf8(book.path)))
        return 0;
    edit.setText(u"<p>小さな頁</p>"_s);
    longestStall(settled);
    std::optional<std::optional<QString>> outcome;
    QElapsedTimer timer;
    timer.start();
    form1.openDocument(QString::fromUtf8(book.path), &form1,
                       [&](const std::optional<QString> &error) { outcome = error; });
    const double stall = longestStall([&] { return outcome.has_value(); });
    edit.viewport()->repaint();
    const double shown = msSince(timer);
    if (!outcome || *outcome) {
        std::fprintf(stderr, "the open failed\n");
        return 1;
    }
    std::printf("%-8s %14.1f %22.1f   (%s, %lld KB, LF: to its first screen)\n", "real", shown,
                stall, book.name,
                static_cast<long long>(QFileInfo(QString::fromUtf8(book.path)).size() / 1024));
    return 0;
}
