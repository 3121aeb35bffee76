// The source box with colours beside the same box without them, in the start-up mode (every
// character refreshes the preview) over a recording pane: the UI thread's time for one
// keystroke, how soon the first screen of an opened page is coloured, and the longest the UI
// thread is held meanwhile; and how soon the completion list shows after a key.
#include <QAction>
#include <QApplication>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QLoggingCategory>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>
#include <algorithm>
#include <cstdio>
#include <vector>

#include "bench/benchtime.h"
#include "editor/findbar.h"
#include "editor/sourcecolours.h"
#include "editor/sourceedit.h"
#include "editor/writingaids.h"
#include "tests/fixture.h"
#include "tests/pages.h"

using namespace Qt::StringLiterals;

namespace {

struct Opened {
    double setTextMs = 0;       // the UI thread inside setText
    double firstScreenMs = -1;  // from the start until the first screen is coloured
    double wholeMs = -1;        // until the whole page is parsed
    double stallMs = 0;         // the longest hold of the UI thread after setText returned
};

Opened open(editor::SourceEdit &edit, const QString &page)
{
    Opened result;
    QElapsedTimer timer;
    timer.start();
    edit.setText(page);
    result.setTextMs = msSince(timer);
    editor::SourceColours &colours = edit.colours();
    // The first line of the page holds a tag, so it has colours once its screen is coloured.
    const auto firstScreen = [&] {
        if (result.firstScreenMs < 0 &&
            !edit.document()->firstBlock().layout()->formats().isEmpty())
            result.firstScreenMs = msSince(timer);
        return result.firstScreenMs >= 0;
    };
    firstScreen();
    result.stallMs = longestStall(
        [&] { return !colours.isEnabled() || (firstScreen() && colours.isCurrent()); });
    if (colours.isEnabled() && colours.isCurrent())
        result.wholeMs = msSince(timer);
    return result;
}

// The UI thread's time for a key, and whatever it made shown, in ms.
double keyMs(QWidget &widget, Qt::Key key, const QString &text = {})
{
    QElapsedTimer timer;
    timer.start();
    QTest::sendKeyEvent(QTest::KeyAction::Click, &widget, key, text, Qt::NoModifier);
    QCoreApplication::processEvents();
    return msSince(timer);
}

}  // namespace

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    testsupport::Fixture fixture;
    fixture.start();
    editor::SourceEdit &edit = fixture.form1->Text1();
    editor::SourceColours &colours = edit.colours();

    // A size in KB as the argument measures that one keystroke only.
    const int only = argc > 1 ? std::atoi(argv[1]) : 0;
    std::printf("%-8s %22s %22s %8s\n", "page", "keystroke ms, colours", "without", "ratio");
    for (const auto &[label, size] :
         {std::pair{"100 KB", 100 * 1024}, std::pair{"1 MB", 1024 * 1024},
          std::pair{"10 MB", 10 * 1024 * 1024}}) {
        if (only && size != only * 1024)
            continue;
        const QString page = bookOfSize(size);
        // Each way twice, alternately, the second kept: the first of either warms the disk cache
        // for the preview file's new size.
        double with = 0, without = 0;
        for (const bool coloured : {false, true, false, true}) {
            colours.setEnabled(coloured);
            open(edit, page);
            (coloured ? with : without) = keystrokeMs(edit, 31);
        }
        std::printf("%-8s %22.2f %22.2f %8.2f\n", label, with, without, with / without);
    }

    if (only)
        return 0;

    // A keystroke among colours, full-width spaces and tabs, with their swatches and marks drawn,
    // beside the same lines whose colours are not colours and whose marks are off.
    std::printf("\n%-8s %22s %22s %8s\n", "page", "swatches and marks ms", "without", "ratio");
    QAction *marks = edit.findChild<QAction *>(u"showSpaces"_s);
    for (const auto &[label, size] :
         {std::pair{"100 KB", 100 * 1024}, std::pair{"1 MB", 1024 * 1024}}) {
        QString lines;
        for (int i = 0; i < 60; ++i)
            lines +=
                u"<p style=\"color: #3a7bd5; background: rgb(250 250 250)\">\u3000全角"
                u"\u3000スペース\tタブ <span style=\"color: hsl(20 80% 40%)\">red</span></p>\r\n"_s;
        QString page = bookOfSize(size);
        page.insert(page.indexOf(u"\r\n"_s, (page.size() - lines.size()) / 2) + 2, lines);
        QString plain = page;
        plain.replace(u"#3a7bd5"_s, u"#3a7bdx"_s)
            .replace(u"rgb("_s, u"rgx("_s)
            .replace(u"hsl("_s, u"hsx("_s);
        // A keystroke here varies from run to run more than swatches cost: each way six times,
        // in turn, the first of either left out, the median of the rest kept.
        std::vector<double> with, without;
        for (int run = 0; run < 12; ++run) {
            const bool shown = (run + run / 2) % 2;  // either first as often
            marks->setChecked(shown);
            open(edit, shown ? page : plain);
            const double ms = keystrokeMs(edit, 31);
            if (run >= 2)
                (shown ? with : without).push_back(ms);
        }
        std::printf("%-8s %22.2f %22.2f %8.2f\n", label, median(with), median(without),
                    median(with) / median(without));
    }

    // 整形 of a whole page, from the command to the text replaced: the UI thread's longest hold.
    std::printf("\n%-8s %14s %22s\n", "整形", "to replaced ms", "longest stall");
    for (const auto &[label, size] :
         {std::pair{"100 KB", 100 * 1024}, std::pair{"1 MB", 1024 * 1024}}) {
        open(edit, bookOfSize(size));
        QSignalSpy formatted(&edit, &editor::SourceEdit::formatted);
        QElapsedTimer timer;
        timer.start();
        edit.findChild<QAction *>(u"formatSource"_s)->trigger();
        const double stall = longestStall([&] { return formatted.size() > 0; });
        std::printf("%-8s %14.1f %22.1f\n", label, msSince(timer), stall);
    }

    // The completion list, in a paragraph halfway down and in a tag there: from the key to the
    // list shown, with the refresh every key makes in this mode; a plain letter there beside.
    std::printf("\n%-8s %14s %14s %14s %14s %14s\n", "complete", "first '<' ms", "'<' ms",
                "filter ms", "attribute ms", "plain key ms");
    editor::WritingAids &aids = edit.aids();
    for (const auto &[label, size] :
         {std::pair{"1 MB", 1024 * 1024}, std::pair{"10 MB", 10 * 1024 * 1024}}) {
        const QString page = bookOfSize(size);
        open(edit, page);
        const int paragraph = int(page.indexOf(u"名前はまだ無い。"_s, page.size() / 2) + 8 -
                                  page.left(page.size() / 2).count(u"\r\n"_s));
        std::vector<double> opened, filtered, attribute, plain;
        double first = -1;
        for (int round = 0; round < 21; ++round) {
            QTextCursor caret = edit.textCursor();
            caret.setPosition(paragraph);
            edit.setTextCursor(caret);
            const double shown = keyMs(edit, Qt::Key_Less, u"<"_s);
            if (!aids.isListShown())
                qFatal("no list after '<'");
            // The first list of all reads the web data.
            if (round == 0)
                first = shown;
            else
                opened.push_back(shown);
            filtered.push_back(keyMs(edit, Qt::Key_S, u"s"_s));
            keyMs(edit, Qt::Key_P, u"p"_s);
            keyMs(edit, Qt::Key_Space, u" "_s);
            attribute.push_back(keyMs(edit, Qt::Key_C, u"c"_s));
            if (!aids.isListShown())
                qFatal("no list of attributes");
            keyMs(edit, Qt::Key_Escape);
            for (int i = 0; i < 5; ++i)
                keyMs(edit, Qt::Key_Backspace);
            plain.push_back(keyMs(edit, Qt::Key_A, u"a"_s));
            keyMs(edit, Qt::Key_Backspace);
        }
        std::printf("%-8s %14.2f %14.2f %14.2f %14.2f %14.2f\n", label, first, median(opened),
                    median(filtered), median(attribute), median(plain));
    }

    std::printf("\n%-8s %12s %10s %18s %18s %22s\n", "open", "setText ms", "without",
                "first screen ms", "whole page ms", "longest stall after");
    for (const auto &[label, size] :
         {std::pair{"1.9 MB", 1900 * 1024}, std::pair{"10 MB", 10 * 1024 * 1024}}) {
        const QString page = bookOfSize(size);
        colours.setEnabled(false);
        const Opened bare = open(edit, page);
        colours.setEnabled(true);
        const Opened coloured = open(edit, page);
        std::printf("%-8s %12.1f %10.1f %18.1f %18.1f %22.1f\n", label, coloured.setTextMs,
                    bare.setTextMs, coloured.firstScreenMs, coloured.wholeMs, coloured.stallMs);
    }

    // Searching as the user types: in the bar, and in the page with the bar open.
    std::printf("\n%-8s %22s %18s %22s %18s\n", "find", "bar keystroke ms", "longest stall",
                "page keystroke ms", "longest stall");
    for (const auto &[label, size] :
         {std::pair{"1 MB", 1024 * 1024}, std::pair{"10 MB", 10 * 1024 * 1024}}) {
        open(edit, bookOfSize(size));
        editor::FindBar &bar = *edit.findChild<editor::FindBar *>();
        edit.find();
        auto *field = bar.findChild<QLineEdit *>(u"findText"_s);
        field->clear();
        QSignalSpy searched(&bar, &editor::FindBar::searched);
        QElapsedTimer timer;
        timer.start();
        QTest::keyClicks(field, u"div"_s);
        const double barKey = msSince(timer) / 3;
        const double barStall = longestStall([&] { return searched.size() > 0; });
        const double pageKey = keystrokeMs(edit, 31);
        searched.clear();
        const double pageStall = longestStall([&] { return searched.size() > 0; });
        std::printf("%-8s %22.2f %18.1f %22.2f %18.1f\n", label, barKey, barStall, pageKey,
                    pageStall);
        bar.close();
    }
    return 0;
}
