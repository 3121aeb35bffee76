#include <QTest>
#include <QThread>
#include <atomic>

#include "engine/background.h"

using namespace Qt::StringLiterals;
using engine::Background;
using engine::Task;

// Work off the UI thread, the program's one way: results come back here, in order, the latest
// waiting job winning; a cancelled job is never heard of; the end waits.
class BackgroundTest : public QObject {
    Q_OBJECT

private slots:
    void oneJobAtATime()
    {
        Background background;
        std::atomic<bool> release{false};
        QStringList heard;
        QList<int> progress;
        const auto hear = [&](const QString &result) { heard.append(result); };
        // The first holds the thread while the next two are asked for: the second gives way.
        background.run(
            [&](const Task &task) {
                task.progress(50);
                while (!release)
                    QThread::yieldCurrentThread();
                return u"first"_s;
            },
            hear, [&](int percent) { progress.append(percent); });
        for (const QString &name : {u"second"_s, u"third"_s})
            background.run([name](const Task &) { return name; }, hear);
        QTRY_COMPARE(progress, QList<int>{50});
        release = true;
        QTRY_VERIFY(!background.isBusy());
        QCOMPARE(heard, (QStringList{u"first"_s, u"third"_s}));

        // Cancelled, a job is busy until it has seen it and ended; stopped, it is waited for.
        // Nothing of either is heard, and the next job runs as before.
        const auto held = [](const Task &task) {
            while (!task.isCancelled() && *task.parserFlag() == 0)
                QThread::yieldCurrentThread();
            return u"stopped"_s;
        };
        background.run(held, hear);
        background.cancel();
        QTRY_VERIFY(!background.isBusy());
        background.run(held, hear);
        background.stop();
        QVERIFY(!background.isBusy());
        background.run([](const Task &) { return u"after"_s; }, hear);
        QTRY_COMPARE(heard, (QStringList{u"first"_s, u"third"_s, u"after"_s}));
    }
};

QTEST_GUILESS_MAIN(BackgroundTest)
#include "tst_background.moc"
