#pragma once

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QPlainTextEdit>
#include <QTest>
#include <algorithm>
#include <vector>

inline double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

inline double msSince(const QElapsedTimer &timer)
{
    return double(timer.nsecsElapsed()) / 1e6;
}

// The longest the event loop went without turning, while it runs until done() or for limit ms.
template <typename Done>
double longestStall(Done done, qint64 limit = 60000)
{
    QElapsedTimer clock;
    clock.start();
    double last = 0, longest = 0;
    while (!done() && clock.elapsed() < limit) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        const double now = msSince(clock);
        longest = std::max(longest, now - last);
        last = now;
    }
    return longest;
}

// Median over typing and deleting a character in the middle of the page, the event loop run
// after each key as it would be between keys.
inline double keystrokeMs(QPlainTextEdit &edit, int runs = 41)
{
    QTextCursor cursor = edit.textCursor();
    cursor.setPosition(edit.document()->characterCount() / 2);
    edit.setTextCursor(cursor);
    std::vector<double> times;
    for (int i = 0; i < runs; ++i) {
        QElapsedTimer timer;
        timer.start();
        QTest::keyClick(&edit, i % 2 ? Qt::Key_Backspace : Qt::Key_A);
        QCoreApplication::processEvents();
        times.push_back(msSince(timer));
    }
    return median(times);
}
