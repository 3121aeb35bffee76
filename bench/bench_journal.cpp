// The journal of the text not saved: what it costs the UI thread per keystroke at 10 KB and
// 10 MB, next to the same page without a journal, and how long after a keystroke the journal
// on disk holds it, which is the most that a kill or a power cut can lose. Then how many keys
// are lost when a program typing into a real page at 40 keys a second is ended by SIGTERM,
// SIGHUP or kill -9, as the next start restores it. In the start-up mode, over a recording pane.
#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QLoggingCategory>
#include <QProcess>
#include <QRandomGenerator>
#include <QTest>
#include <QTimer>
#include <csignal>
#include <cstdio>
#include <vector>

#include "app/program.h"
#include "bench/benchtime.h"
#include "editor/sourcecolours.h"
#include "editor/sourcedocument.h"
#include "editor/sourceedit.h"
#include "forms/journalkeeper.h"
#include "tests/fixture.h"
#include "tests/pages.h"

using namespace Qt::StringLiterals;

namespace {

constexpr QChar kKey = u'§';

QString realPage()
{
    const QString page = readRealPage(kRealPages[1]);
    return page.isEmpty() ? bookOfSize(256 * 1024) : page;
}

// The child's part: types kKey into the middle of the page every 25 ms, saying how many it has
// typed after each, until the system ends it.
int typeUntilEnded(const QString &journalFolder)
{
    testsupport::Fixture fixture;
    fixture.start(testsupport::Fixture::Pane::Recording,
                  {fixture.path(u"program"_s), fixture.path(u"private"_s), journalFolder});
    forms::Form1 &form1 = *fixture.form1;
    app::endWhenTheSystemAsks(form1);
    editor::SourceEdit &edit = form1.Text1();
    edit.setText(realPage());
    QTextCursor middle = edit.textCursor();
    middle.setPosition(edit.document()->characterCount() / 2);
    edit.setTextCursor(middle);
    int typed = 0;
    QTimer keys;
    QObject::connect(&keys, &QTimer::timeout, &edit, [&] {
        QTest::keyClicks(&edit, QString(kKey));
        std::printf("%d\n", ++typed);
        std::fflush(stdout);
    });
    keys.start(25);
    return QApplication::exec();
}

// Keys typed and keys the next start restores, for a child ended by signal after about
// seconds of typing.
std::pair<int, int> endedAfter(int signal, double seconds, const QString &folder)
{
    QDir(folder).removeRecursively();
    QProcess child;
    child.start(QCoreApplication::applicationFilePath(), {u"type"_s, folder});
    child.waitForStarted();
    QByteArray said;
    QElapsedTimer typing;
    while (child.state() == QProcess::Running) {
        child.waitForReadyRead(50);
        said += child.readAllStandardOutput();
        if (said.contains('\n') && !typing.isValid())
            typing.start();
        if (typing.isValid() && typing.elapsed() >= seconds * 1000) {
            ::kill(pid_t(child.processId()), signal);
            break;
        }
    }
    child.waitForFinished(60000);
    said += child.readAllStandardOutput();
    const QList<QByteArray> lines = said.trimmed().split('\n');
    const int typed = lines.last().toInt();
    const QStringList left = engine::Journal::orphans(folder);
    const std::optional<engine::JournalEntry> entry =
        left.isEmpty() ? std::nullopt : engine::Journal::read(left.first());
    return {typed, entry ? int(entry->text.count(kKey)) : 0};
}

void keysLost()
{
    testsupport::TestFolder folder;
    std::printf("\n%-8s %34s\n", "ended by", "keys lost of those typed (3 runs)");
    for (const auto &[name, signal] : {std::pair{"SIGTERM", SIGTERM}, std::pair{"SIGHUP", SIGHUP},
                                       std::pair{"kill -9", SIGKILL}}) {
        QString runs;
        for (int run = 0; run < 3; ++run) {
            const auto [typed, restored] = endedAfter(
                signal, 2 + QRandomGenerator::global()->bounded(1.0), folder.path(u"j"_s));
            runs += u"  %1 of %2"_s.arg(typed - restored).arg(typed);
        }
        std::printf("%-8s %s\n", name, qPrintable(runs));
    }
    std::printf("(at 40 keys a second, one second's typing is 40 keys)\n");
}

}  // namespace

int main(int argc, char *argv[])
{
    QLoggingCategory::setFilterRules(u"qt.webenginecontext.info=false"_s);
    QApplication app(argc, argv);
    if (argc == 3 && qstrcmp(argv[1], "type") == 0)
        return typeUntilEnded(QString::fromLocal8Bit(argv[2]));
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
    fixture.stop();
    keysLost();
    return 0;
}
