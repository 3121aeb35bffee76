#pragma once

#include <QElapsedTimer>
#include <QList>
#include <QObject>
#include <QTimer>
#include <chrono>

class QWebEnginePage;

namespace webview {

// Watches the process that renders the page: when a script of the page has held it for more
// than kHeld, it says so. Held means both: a question in the program's own script world has gone
// unanswered that long, and the process has spent most of that time on the processor, so that
// a page waiting for the network or a question lost to a navigation is not taken for one.
class RendererWatch : public QObject {
    Q_OBJECT

public:
    static constexpr std::chrono::milliseconds kHeld{2000};

    explicit RendererWatch(QWebEnginePage &page, QObject *parent = nullptr);

    // The process's processor time in seconds, as looked at, by when (ms on a clock).
    using Samples = QList<std::pair<qint64, double>>;
    // Whether a process whose question out was asked at asked (-1 for none) is held at now,
    // beyond limit ms; samples older than the limit needs are dropped.
    static bool isHeld(Samples &samples, qint64 asked, qint64 now, qint64 limit);

    // While a page loads, it may hold the process longer: a large page takes the engine about a
    // second a megabyte to read. 0 once it is loaded.
    void allowWhileLoading(std::chrono::milliseconds more) { m_allowance = more; }
    // So may a rule of the accessibility check, on a large page, while a check runs. 0 after.
    void allowWhileChecking(std::chrono::milliseconds more) { m_checking = more; }
    // A new page: what was asked of the last is forgotten.
    void restart();

signals:
    void held(qint64 pid);

private:
    void look();

    QWebEnginePage &m_page;
    QTimer m_tick;
    QElapsedTimer m_clock;
    qint64 m_asked = -1;  // when the question out was asked, on m_clock; -1 for none
    quint64 m_question = 0;
    Samples m_samples;
    std::chrono::milliseconds m_allowance{0};
    std::chrono::milliseconds m_checking{0};
};

}  // namespace webview
