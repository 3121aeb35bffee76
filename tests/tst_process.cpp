#include <sys/prctl.h>
#include <unistd.h>
#include <QElapsedTimer>
#include <QProcess>
#include <QSignalSpy>
#include <QTest>
#include <csignal>

#include "platform/process.h"
#include "platform/stopsignals.h"
#include "webview/rendererwatch.h"

using namespace Qt::StringLiterals;
using webview::RendererWatch;

// The program and the processes about it: the signals that ask it to end, the processor time
// the system reports for a process, ending one, and the renderer watch's decision.
class ProcessTest : public QObject {
    Q_OBJECT

private slots:
    // Read from the system's own table, whatever the process's name holds.
    void processorSeconds()
    {
        char name[16] = {};
        prctl(PR_GET_NAME, name);
        prctl(PR_SET_NAME, "a) b (c 1 2 3");
        const std::optional<double> before = platform::processorSeconds(::getpid());
        QElapsedTimer busy;
        busy.start();
        while (busy.elapsed() < 300) {  // on the processor all the while
        }
        const std::optional<double> after = platform::processorSeconds(::getpid());
        prctl(PR_SET_NAME, name);
        QVERIFY(before && after);
        QVERIFY2(*after - *before > 0.1 && *after - *before < 2,
                 qPrintable(QString::number(*after - *before)));
        QCOMPARE(platform::processorSeconds(-7), std::nullopt);
    }

    // A signal that asks the program to end is heard in the event loop, by one listener at a
    // time; once that one has gone, the next hears it.
    void stopSignals()
    {
        for (const int signal : {SIGHUP, SIGTERM}) {
            platform::StopSignals stops;
            QVERIFY(stops.isListening() && !platform::StopSignals().isListening());
            QSignalSpy heard(&stops, &platform::StopSignals::received);
            ::raise(signal);
            QVERIFY(heard.wait());
            QCOMPARE(heard.first().first().toInt(), signal);
        }
    }

    void endProcess()
    {
        QProcess child;
        child.start(u"sleep"_s, {u"60"_s});
        QVERIFY(child.waitForStarted());
        platform::endProcess(child.processId());
        QVERIFY(child.waitForFinished(10000));
        QCOMPARE(child.exitStatus(), QProcess::CrashExit);
    }

    // Held: a question out for longer than the limit while the process spent most of that time
    // on the processor. Samples: "time:seconds" as looked at, every 250 ms.
    void heldPage_data()
    {
        QTest::addColumn<QString>("samples");
        QTest::addColumn<int>("asked");  // ms; -1: no question out
        QTest::addColumn<bool>("held");
        const QString busy =
            u"0:0 250:0.25 500:0.5 750:0.75 1000:1 1250:1.25 1500:1.5 1750:1.75 "
            u"2000:2 2250:2.25"_s;
        QTest::addRow("busy, the question out 2 s") << busy << 0 << true;
        QTest::addRow("busy, answered") << busy << -1 << false;
        QTest::addRow("busy, asked 1 s ago") << busy << 1250 << false;
        QTest::addRow("waiting, not on the processor")
            << u"0:0 500:0.01 1000:0.02 1500:0.03 2000:0.04 2250:0.05"_s << 0 << false;
        QTest::addRow("busy four fifths of the time")
            << u"0:0 1000:0.8 2000:1.6 2250:1.8"_s << 0 << true;
        QTest::addRow("busy three quarters of the time")
            << u"0:0 1000:0.75 2000:1.5 2250:1.7"_s << 0 << false;
        QTest::addRow("one look only") << u"2250:9"_s << 0 << false;
    }
    void heldPage()
    {
        QFETCH(QString, samples);
        QFETCH(int, asked);
        RendererWatch::Samples seen;
        for (const QString &sample : samples.split(u' ')) {
            const QStringList parts = sample.split(u':');
            seen.append({parts[0].toLongLong(), parts[1].toDouble()});
        }
        QTEST(RendererWatch::isHeld(seen, asked, seen.last().first, 2000), "held");
        // Only what the limit needs is kept: one look at or before its start.
        QVERIFY(seen.size() == 1 || seen.last().first - seen[1].first < 2000);
    }
};

QTEST_GUILESS_MAIN(ProcessTest)
#include "tst_process.moc"
