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
    void latestWins()
    {
        Background background;
        std::atomic<bool> release{false};
        QStringList heard;
        QList<int> progress;
        // The first holds the thread while the next two are asked for: the second gives way.
        background.run(
            [&](const Task &task) {
                task.progress(50);
                while (!release)
                    QThread::yieldCurrentThread();
                return u"first"_s;
            },
            [&](const QString &result) { heard.append(result); },
            [&](int percent) { progress.append(percent); });
        for (const QString &name : {u"second"_s, u"third"_s})
            background.run([name](const Task &) { return name; },
                           [&](const QString &result) { heard.append(result); });
        QVERIFY(background.isBusy());
        QTRY_COMPARE(progress, QList<int>{50});
        release = true;
        QTRY_VERIFY(!background.isBusy());
        QCOMPARE(heard, (QStringList{u"first"_s, u"third"_s}));
    }

    void cancelAndStop()
    {
        Background background;
        QStringList heard;
        const auto job = [](const Task &task) {
            while (!task.isCancelled() && *task.parserFlag() == 0)
                QThread::yieldCurrentThread();
            return u"stopped"_s;
        };
        background.run(job, [&](const QString &result) { heard.append(result); });
        background.cancel();
        // Busy until the job has seen it and ended; nothing of it is heard.
        QTRY_VERIFY(!background.isBusy());
        background.run(job, [&](const QString &result) { heard.append(result); });
        background.stop();
        QVERIFY(!background.isBusy());
        QCoreApplication::processEvents();
        QVERIFY(heard.isEmpty());
        // And it works on afterwards.
        background.run([](const Task &) { return u"after"_s; },
                       [&](const QString &result) { heard.append(result); });
        QTRY_COMPARE(heard, QStringList{u"after"_s});
    }
};

QTEST_GUILESS_MAIN(BackgroundTest)
#include "tst_background.moc"
