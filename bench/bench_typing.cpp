// From a keystroke in the editor to the page shown up to date, and painted (a frame after the
// update), in the start-up mode (every character), against the floor: a bare web view loading
// the same file. Medians of many runs, on built pages, the 1.9 MB book, and a real page whose
// lines end in LF, next to the same page in CR LF; how many keys were shown in place.
// Then continuous typing at 20 keys a second into a paragraph of a page with a stylesheet: the
// updates in place and the loads, the UI thread's time for the last key, and the time from it to
// the final text shown. Last, on a book of 1.9 MB: from a caret move to its element outlined in
// the preview, and a scroll of either side to the other scrolled; the page laid out at another
// width, at 100 KB. And a page whose script never gives its process back: how soon it is stopped,
// and the processors' use after.
#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QLoggingCategory>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>
#include <QTimer>
#include <QWebEnginePage>
#include <QWebEngineScript>
#include <QWebEngineSettings>
#include <QWebEngineView>
#include <QWheelEvent>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <memory>
#include <vector>

#include "bench/benchtime.h"
#include "editor/sourcedocument.h"
#include "editor/sourceedit.h"
#include "forms/pagelink.h"
#include "platform/systemencoding.h"
#include "source/pagepatch.h"
#include "tests/fixture.h"
#include "tests/pages.h"
#include "webview/previewview.h"

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

// Runs the event loop until the pane has shown the refresh that start makes and the page has
// painted a frame after it; the times from start to the page changed and to that frame drawn,
// in ms. The page tells when both happened, on the same clock: asking costs nothing.
struct Shown {
    double updated = -1, painted = -1;
};
// written tells that the file is written too, unchanged that the start changed nothing.
Shown timesToShown(
    webview::WebPreviewPane &view, const std::function<void()> &start,
    const std::function<bool()> &written = [] { return true; },
    const std::function<bool()> &unchanged = [] { return false; })
{
    static const QString kWatch =
        uR"(
        if (!window.quorvaneWatch) {
          window.quorvaneWatch = new MutationObserver(() => {
            if (window.quorvaneFraming) return;
            window.quorvaneFraming = true;
            window.quorvaneChanged = performance.timeOrigin + performance.now();
            requestAnimationFrame(() => setTimeout(() => {
              window.quorvaneDrawn = performance.timeOrigin + performance.now();
              window.quorvaneFraming = false;
            }));
          });
          window.quorvaneWatch.observe(document, {subtree: true, childList: true,
                                                  characterData: true, attributes: true});
        }
        window.quorvaneDrawn = 0;
        window.quorvaneChanged = 0;)"_s;
    const auto ask = [&](const QString &script) {
        const auto answer = std::make_shared<std::optional<QVariant>>();
        view.web().page()->runJavaScript(script, QWebEngineScript::ApplicationWorld,
                                         [answer](const QVariant &value) { *answer = value; });
        (void)QTest::qWaitFor([&] { return answer->has_value(); }, 10000);
        return answer->value_or(QVariant());
    };
    ask(kWatch);
    bool updated = false;
    const auto connection =
        QObject::connect(&view, &webview::WebPreviewPane::updated, &view, [&] { updated = true; });
    const auto wall = [] {
        return std::chrono::duration<double, std::milli>(
                   std::chrono::system_clock::now().time_since_epoch())
            .count();
    };
    const double started = wall();
    QElapsedTimer timer;
    timer.start();
    start();
    // Polled closely: a wait's own granularity would be most of the figure.
    // Until the file is written too: the page may follow the text before it.
    while (!unchanged() && !(updated && !view.isUpdating() && written()) &&
           timer.elapsed() < 30000) {
        QCoreApplication::processEvents(QEventLoop::AllEvents);
        QThread::usleep(100);
    }
    const double here = wall();
    QObject::disconnect(connection);
    if (!updated)
        return {};
    // A load makes a new page, which is painted by the time it is said to be loaded.
    QVariantList times;
    for (int i = 0; i < 100; ++i) {
        times = ask(u"[window.quorvaneChanged || 0, window.quorvaneDrawn || 0]"_s).toList();
        if (times.size() == 2 && times[1].toDouble() > 0)
            break;
        QTest::qWait(5);
    }
    const double changed = times.value(0).toDouble(), drawn = times.value(1).toDouble();
    if (drawn == 0)
        return {here - started, here - started};
    return {changed - started, drawn - started};
}

double timeToShown(webview::WebPreviewPane &view, const std::function<void()> &start)
{
    return timesToShown(view, start).painted;
}

// The engine's own frame after one character changed in a paragraph halfway down the page the
// bare view shows, done by a script in it: what no update can go below.
double bareFrame(QWebEngineView &bare)
{
    std::vector<double> frames;
    for (int i = 0; i < 11; ++i) {
        const auto answer = std::make_shared<double>(0);
        bare.page()->runJavaScript(
            uR"({ const ps = document.getElementsByTagName('p'), p = ps[ps.length >> 1];
                  const t0 = performance.now();
                  p.firstChild.data += 'a';
                  requestAnimationFrame(() => setTimeout(() => {
                    window.quorvaneFrame = performance.now() - t0; })); }
                window.quorvaneFrame = 0;)"_s,
            [](const QVariant &) {});
        (void)QTest::qWaitFor(
            [&] {
                bare.page()->runJavaScript(u"window.quorvaneFrame"_s,
                                           [answer](const QVariant &v) { *answer = v.toDouble(); });
                QTest::qWait(10);
                return *answer > 0;
            },
            5000);
        frames.push_back(*answer);
    }
    return median(frames);
}

// <b>bold</b> typed a key at a time where the caret is, in a paragraph: every key but the last
// leaves an element open or a tag unfinished, which changes how the parser reads the rest of the
// page.
bool typeStartTag(forms::Form1 &form1, webview::WebPreviewPane &view, const char *page)
{
    const webview::WebPreviewPane::Updates before = view.updates();
    std::vector<double> shown;
    for (const QChar key : u"<b>bold</b>"_s) {
        // Once "</" is typed the editor writes the end tag itself: the rest is typed over.
        editor::SourceEdit &edit = form1.Text1();
        const quint64 revision = edit.source().revision();
        const double time = timesToShown(
                                view, [&] { QTest::keyClicks(&edit, QString(key)); },
                                [&] { return !form1.preview().isWriting(); },
                                [&] { return edit.source().revision() == revision; })
                                .updated;
        if (edit.source().revision() == revision)
            continue;
        if (time < 0) {
            std::fprintf(stderr, "key %c of <b>bold</b> was not shown (%d keys shown)\n",
                         char(key.unicode()), int(shown.size()));
            return false;
        }
        shown.push_back(time);
    }
    int loads = 0;
    for (size_t r = 0; r < before.loads.size(); ++r)
        loads += view.updates().loads[r] - before.loads[r];
    std::printf(
        "<b>bold</b> typed into a paragraph of the %s: %d loads in %zu keys, "
        "median key to page changed %.1f ms, slowest %.1f ms\n",
        page, loads, shown.size(), median(shown), *std::max_element(shown.begin(), shown.end()));
    return true;
}

struct TypingRound {
    int inPlace = 0, loads = 0;
    double lastKeyUiMs = 0;        // the UI thread's time for the last key
    double lastKeyToShownMs = -1;  // -1: never shown
};

// Keys at 20 a second, each a refresh in the start-up mode, into a paragraph of the page; shown
// once the paragraph ends in the last key.
TypingRound typeContinuously(forms::Form1 &form1, webview::WebPreviewPane &view)
{
    constexpr int kKeys = 60, kKeyIntervalMs = 50;
    const webview::WebPreviewPane::Updates before = view.updates();
    TypingRound round;
    int typed = 0;
    QElapsedTimer sinceLast;
    QTimer keys;
    keys.setInterval(kKeyIntervalMs);
    QObject::connect(&keys, &QTimer::timeout, &keys, [&] {
        QElapsedTimer ui;
        ui.start();
        QTest::keyClick(&form1.Text1(), typed + 1 == kKeys ? 'Z' : 'a');
        if (++typed == kKeys) {
            round.lastKeyUiMs = msSince(ui);
            sinceLast.start();
            keys.stop();
        }
    });
    keys.start();
    if (!QTest::qWaitFor([&] { return typed == kKeys; }, 30000))
        return round;
    const auto text = std::make_shared<QString>();
    bool asked = false;
    while (!text->endsWith(u'Z') && sinceLast.elapsed() < 30000) {
        if (!asked) {
            asked = true;
            view.web().page()->runJavaScript(u"document.getElementById('typed').textContent"_s,
                                             [text, &asked](const QVariant &now) {
                                                 *text = now.toString();
                                                 asked = false;
                                             });
        }
        QCoreApplication::processEvents(QEventLoop::AllEvents);
        QThread::usleep(100);
    }
    if (text->endsWith(u'Z'))
        round.lastKeyToShownMs = msSince(sinceLast);
    (void)QTest::qWaitFor([&] { return !asked; }, 5000);
    round.inPlace = view.updates().inPlace - before.inPlace;
    for (size_t r = 0; r < before.loads.size(); ++r)
        round.loads += view.updates().loads[r] - before.loads[r];
    return round;
}

bool continuousTyping(forms::Form1 &form1, webview::WebPreviewPane &view, QWebEngineView &bare,
                      engine::PreviewFile &preview, const QString &docFolder)
{
    QDir().mkpath(docFolder);
    QFile style(docFolder + u"/style.css"_s);
    if (!style.open(QIODevice::WriteOnly) ||
        style.write("body { font: 14px/1.6 serif; } p.x { color: #345; margin: 0 0 4px; }") < 0)
        return false;
    style.close();
    preview.setDocument(docFolder, u"UTF-8"_s);
    const QString page = u"<link rel=\"stylesheet\" href=\"style.css\">\r\n"_s +
                         htmlOfSize(100 * 1024) + u"\r\n<p id=\"typed\">here</p>\r\n"_s;

    // The bare engine's load of the same page from the same folder.
    QFile copy(docFolder + u"/bare.html"_s);
    if (!copy.open(QIODevice::WriteOnly) || copy.write(page.toUtf8()) < 0)
        return false;
    copy.close();
    const QUrl bareUrl = QUrl::fromLocalFile(copy.fileName());
    std::vector<double> bareLoads;
    for (int i = 0; i < 15; ++i)
        bareLoads.push_back(timeToLoad(bare, [&] { bare.load(bareUrl); }));
    const double load = median(bareLoads);

    std::printf(
        "\ncontinuous typing: 60 keys at 20 a second, 100 KB page with a stylesheet, "
        "bare engine load %.1f ms\n",
        load);
    std::printf("%-6s %10s %8s %18s %24s\n", "round", "in place", "loads", "last key, UI ms",
                "last key to shown, ms");
    std::vector<double> ui, shown;
    for (int i = 1; i <= 5; ++i) {
        timeToShown(view, [&] { form1.Text1().setText(page); });
        QTextCursor caret = form1.Text1().textCursor();
        caret.setPosition(form1.Text1().toPlainText().indexOf(u"here</p>"_s) + 4);
        form1.Text1().setTextCursor(caret);
        const TypingRound round = typeContinuously(form1, view);
        if (round.lastKeyToShownMs < 0) {
            std::fprintf(stderr, "the final text was never shown\n");
            return false;
        }
        ui.push_back(round.lastKeyUiMs);
        shown.push_back(round.lastKeyToShownMs);
        std::printf("%-6d %10d %8d %18.2f %16.1f (%.2f loads)\n", i, round.inPlace, round.loads,
                    ui.back(), shown.back(), shown.back() / load);
    }
    std::printf("%-6s %10s %8s %18.2f %16.1f (%.2f loads)\n", "median", "", "", median(ui),
                median(shown), median(shown) / load);
    return true;
}

// From a caret move to the outline of its element, on a large book: the first move after the
// page is loaded (start tags and the match made anew), then moves to other paragraphs.
bool caretToOutline(forms::Form1 &form1, webview::WebPreviewPane &view, int runs)
{
    const QString book = bookOfSize(1900 * 1024);
    // The book is written aside: the load that ends first may be of the page before.
    timeToLoad(view.web(), [&] { form1.Text1().setText(book); });
    if (!QTest::qWaitFor([&] { return view.web().page()->contentsSize().height() > 100000; },
                         30000))
        return false;
    const auto moveTo = [&](qsizetype position) {
        const int before = view.outlinedElement();
        QElapsedTimer timer;
        timer.start();
        QTextCursor caret = form1.Text1().textCursor();
        caret.setPosition(int(position));
        form1.Text1().setTextCursor(caret);
        // Polled closely: a wait's own granularity would be most of the figure.
        while (view.outlinedElement() == before) {
            if (timer.elapsed() > 5000)
                return -1.0;
            QCoreApplication::processEvents(QEventLoop::AllEvents);
            QThread::usleep(100);
        }
        return msSince(timer);
    };
    // The caret waits for the typing pause before it is followed.
    QTest::qWait(forms::PageLink::kAfterTyping * 2);
    // Positions in the editor, whose lines end in one character.
    const QString text = form1.Text1().document()->toPlainText();
    const double first = moveTo(text.indexOf(u"<p>"_s, text.size() / 3) + 5);
    std::vector<double> moves;
    for (int i = 0; i < runs; ++i) {
        const qsizetype at = text.indexOf(u"<p>"_s, text.size() * (i % 9 + 1) / 10 + i * 97);
        moves.push_back(moveTo(at + 5));
    }
    if (first < 0 || std::count(moves.begin(), moves.end(), -1.0)) {
        std::fprintf(stderr, "the outline did not follow the caret\n");
        return false;
    }
    QList<source::PageToken> tokens;
    source::readTokens(text, 0, 0, tokens);
    const auto elements = std::count_if(tokens.cbegin(), tokens.cend(), [](const auto &t) {
        return t.kind == source::PageToken::Kind::Start;
    });
    std::sort(moves.begin(), moves.end());
    std::printf(
        "\ncaret to outline, book of %lld KB, %lld elements: first after a load %.1f ms; "
        "moves: median %.1f ms, 90%% within %.1f ms, slowest %.1f ms\n",
        static_cast<long long>(book.toUtf8().size() / 1024), static_cast<long long>(elements),
        first, median(moves), moves[moves.size() * 9 / 10], moves.back());
    return true;
}

void turnWheel(QWidget *widget, int notches)
{
    QWheelEvent turn(QPointF(50, 50), widget->mapToGlobal(QPointF(50, 50)), {},
                     QPoint(0, -120 * notches), {}, {}, Qt::NoScrollPhase, false);
    QApplication::sendEvent(widget, &turn);
}

// Polled closely until done says so: a wait's own granularity would be most of the figure. The
// time from start, in ms; -1 for never.
double timeUntil(const QElapsedTimer &start, const std::function<bool()> &done)
{
    while (!done()) {
        if (start.elapsed() > 5000)
            return -1.0;
        QCoreApplication::processEvents(QEventLoop::AllEvents);
        QThread::usleep(100);
    }
    return msSince(start);
}

// On the book still shown: from the source's wheel to the page scrolled, and from the page's
// first scroll after its wheel to the source scrolled.
bool scrollFollows(forms::Form1 &form1, webview::WebPreviewPane &view, int runs)
{
    QScrollBar *lines = form1.Text1().verticalScrollBar();
    std::vector<double> toPage, toSource;
    QElapsedTimer pageScrolled;
    const auto connection =
        QObject::connect(view.web().page(), &QWebEnginePage::scrollPositionChanged, [&] {
            if (!pageScrolled.isValid())
                pageScrolled.start();
        });
    for (int i = 0; i < runs; ++i) {
        // Down the book, then back a little: every run lands on other lines.
        const int notches = i % 4 == 3 ? -7 : 11;
        const QPointF was = view.web().page()->scrollPosition();
        QElapsedTimer timer;
        timer.start();
        turnWheel(form1.Text1().viewport(), notches);
        toPage.push_back(
            timeUntil(timer, [&] { return view.web().page()->scrollPosition() != was; }));
        QTest::qWait(300);  // the page's own scroll settles before the next is made
        const int top = lines->value();
        pageScrolled.invalidate();
        turnWheel(view.web().focusProxy(), i % 4 == 3 ? -3 : 4);
        timer.start();
        if (timeUntil(timer, [&] { return pageScrolled.isValid(); }) < 0)
            return false;
        toSource.push_back(timeUntil(pageScrolled, [&] { return lines->value() != top; }));
        QTest::qWait(300);
    }
    QObject::disconnect(connection);
    if (std::count(toPage.begin(), toPage.end(), -1.0) ||
        std::count(toSource.begin(), toSource.end(), -1.0)) {
        std::fprintf(stderr, "a scroll was not followed\n");
        return false;
    }
    std::sort(toPage.begin(), toPage.end());
    std::sort(toSource.begin(), toSource.end());
    std::printf(
        "scroll followed, book: source's wheel to page scrolled median %.1f ms, slowest "
        "%.1f ms; page scrolled to source scrolled median %.1f ms, slowest %.1f ms "
        "(goal 16 ms)\n",
        median(toPage), toPage.back(), median(toSource), toSource.back());
    return true;
}

// A page of 100 KB laid out at each width in turn: from the choice to its resize handled, after
// the page's layout at the new width.
bool widthChanges(forms::Form1 &form1, webview::WebPreviewPane &view, int runs)
{
    QString page = bookOfSize(100 * 1024);
    page.insert(page.indexOf(u"</body>"_s, 0, Qt::CaseInsensitive) < 0
                    ? page.size()
                    : page.indexOf(u"</body>"_s, 0, Qt::CaseInsensitive),
                u"<script>addEventListener('resize', () => document.title = "
                u"innerWidth + ':' + document.body.offsetHeight)</script>"_s);
    timeToLoad(view.web(), [&] { form1.Text1().setText(page); });
    std::vector<double> relaid;
    const QList<int> widths{375, 768, 1280, 0};
    for (int i = 0; i < runs; ++i) {
        const int width = widths[i % widths.size()];
        QElapsedTimer timer;
        timer.start();
        view.setPageWidth(width);
        const QString wanted = QString::number(width ? width : view.width()) + u":"_s;
        relaid.push_back(timeUntil(timer, [&] { return view.web().title().startsWith(wanted); }));
    }
    if (std::count(relaid.begin(), relaid.end(), -1.0)) {
        std::fprintf(stderr, "the page was not laid out at the width chosen\n");
        return false;
    }
    std::sort(relaid.begin(), relaid.end());
    std::printf(
        "page width changed, 100 KB: laid out again median %.1f ms, slowest %.1f ms "
        "(goal 100 ms)\n",
        median(relaid), relaid.back());
    return true;
}

// The machine's processors, busy and in all, so far: from /proc/stat.
std::pair<double, double> processorTicks()
{
    QFile stat(u"/proc/stat"_s);
    if (!stat.open(QIODevice::ReadOnly))
        return {0, 0};
    const QList<QByteArray> fields = stat.readLine().simplified().split(' ');
    double busy = 0, all = 0;
    for (qsizetype i = 1; i < fields.size(); ++i) {
        all += fields[i].toDouble();
        if (i != 4 && i != 5)  // idle and iowait
            busy += fields[i].toDouble();
    }
    return {busy, all};
}

// A page whose script never gives its process back: from the refresh to the message that it was
// stopped, and the processors' use in the seconds after.
bool heldPage(forms::Form1 &form1, QWebEngineView &view)
{
    QElapsedTimer timer;
    timer.start();
    form1.Text1().setText(u"<p>before</p><script>while (true) {}</script>"_s);
    // The answer may come after the wait has given up: it goes where it outlives the call.
    const auto title = std::make_shared<QString>();
    const auto shown = [&] {
        view.page()->runJavaScript(u"document.title"_s,
                                   [title](const QVariant &result) { *title = result.toString(); });
        QTest::qWait(20);
        return title->contains(u"止めました"_s);
    };
    if (!QTest::qWaitFor(shown, 30000)) {
        std::fprintf(stderr, "the page that held its process was not stopped\n");
        return false;
    }
    const double toMessage = msSince(timer);
    const auto [busyBefore, allBefore] = processorTicks();
    QTest::qWait(3000);
    const auto [busyAfter, allAfter] = processorTicks();
    std::printf(
        "\na page that holds its process: stopped and said %.0f ms after the refresh; "
        "the processors %.0f%% busy in the 3 s after\n",
        toMessage, 100.0 * (busyAfter - busyBefore) / std::max(1.0, allAfter - allBefore));
    return true;
}

}  // namespace

int main(int argc, char *argv[])
{
    QLoggingCategory::setFilterRules(u"qt.webenginecontext.info=false"_s);
    QApplication app(argc, argv);
    const int runs = argc > 1 ? std::max(3, atoi(argv[1])) : 31;

    testsupport::Fixture fixture;
    fixture.start(testsupport::Fixture::Pane::Web);
    webview::WebPreviewPane &view = *fixture.view;
    forms::Form1 &form1 = *fixture.form1;

    QWebEngineView bare;
    bare.settings()->setDefaultTextEncoding(platform::systemEncoding());
    bare.resize(view.size());
    bare.move(form1.frameGeometry().right() + 20, 0);
    bare.show();
    const QUrl previewUrl = QUrl::fromLocalFile(fixture.previewFile());

    // Built pages, the book, and a real one whose lines end in LF alone next to the same in
    // CR LF. The keys go into the text of a paragraph halfway down.
    QList<std::pair<QString, QString>> pages{{u"10 KB"_s, htmlOfSize(10 * 1024)},
                                             {u"100 KB"_s, htmlOfSize(100 * 1024)},
                                             {u"book, 1.9 MB"_s, bookOfSize(1900 * 1024)}};
    if (const QString manual = readRealPage(kRealPages[1]); !manual.isEmpty())
        pages +=
            {{u"user-manual.html, LF"_s, manual}, {u"user-manual.html, CR LF"_s, withCrLf(manual)}};
    double bookKey = -1, bookFrame = -1;
    std::printf("%-24s %12s %14s %12s %8s %10s %14s\n", "page", "updated ms", "keystroke ms",
                "floor ms", "ratio", "in place", "bare frame ms");
    for (const auto &[label, page] : pages) {
        timeToShown(view, [&] { form1.Text1().setText(page); });
        // A large page is written aside: its first load may be of the text before.
        (void)QTest::qWaitFor([&] { return !form1.preview().isWriting() && !view.isUpdating(); },
                              30000);
        const QString text = form1.Text1().toPlainText();
        QTextCursor caret = form1.Text1().textCursor();
        caret.setPosition(int(text.indexOf(u"<p"_s, text.size() / 2)));
        caret.setPosition(int(text.indexOf(u'>', caret.position())) + 3);
        form1.Text1().setTextCursor(caret);
        const int inPlaceBefore = view.updates().inPlace;
        std::vector<double> updated, keystroke, floor;
        for (int i = 0; i < runs; ++i) {
            const Shown shown = timesToShown(
                view, [&] { QTest::keyClick(&form1.Text1(), Qt::Key_A); },
                [&] { return !form1.preview().isWriting(); });
            updated.push_back(shown.updated);
            keystroke.push_back(shown.painted);
            floor.push_back(timeToLoad(bare, [&] { bare.load(previewUrl); }));
        }
        if (std::count(keystroke.begin(), keystroke.end(), -1) ||
            std::count(floor.begin(), floor.end(), -1)) {
            std::fprintf(stderr, "a refresh was not shown\n");
            return 1;
        }
        const double k = median(keystroke), f = median(floor);
        const double frame = bareFrame(bare);
        std::printf("%-24s %12.2f %14.2f %12.2f %8.3f %6d/%d %14.2f\n", qPrintable(label),
                    median(updated), k, f, k / f, view.updates().inPlace - inPlaceBefore, runs,
                    frame);
        if (label.startsWith(u"book"_s)) {
            bookKey = median(updated);
            bookFrame = frame;
            // The book ends in a script that sets every link's title: a key whose parse reaches
            // past it must run it again, which only a load does. Without it, nothing loads.
            if (!typeStartTag(form1, view, "book"))
                return 1;
            QString plain = page;
            plain.remove(plain.indexOf(u"<script>"_s),
                         plain.indexOf(u"</script>"_s) + 9 - plain.indexOf(u"<script>"_s));
            timeToShown(view, [&] { form1.Text1().setText(plain); });
            (void)QTest::qWaitFor(
                [&] { return !form1.preview().isWriting() && !view.isUpdating(); }, 30000);
            // In the editor's positions, where a line end is one character.
            const QString typed = form1.Text1().toPlainText();
            caret.setPosition(int(typed.indexOf(u"<p"_s, typed.size() / 2)));
            caret.setPosition(int(typed.indexOf(u'>', caret.position())) + 3);
            form1.Text1().setTextCursor(caret);
            if (!typeStartTag(form1, view, "book without its script"))
                return 1;
        }
    }
    std::printf(
        "keystroke to page changed, book of 1.9 MB: median %.1f ms (goal 16 ms); "
        "painted after the engine's own frame of %.1f ms\n",
        bookKey, bookFrame);
    return continuousTyping(form1, view, bare, form1.preview(), fixture.path(u"doc"_s)) &&
                   caretToOutline(form1, view, runs) && scrollFollows(form1, view, runs) &&
                   widthChanges(form1, view, runs) && heldPage(form1, view.web())
               ? 0
               : 1;
}
