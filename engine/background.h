#pragma once

#include <QFuture>
#include <QObject>
#include <QThreadPool>
#include <atomic>
#include <functional>
#include <memory>
#include <optional>
#include <type_traits>

namespace engine {

// What a job off the UI thread is handed: whether it is asked to stop, and where to say how far
// it has come.
class Task {
public:
    bool isCancelled() const { return m_cancelled.load(std::memory_order_relaxed); }
    const std::atomic<bool> &cancelled() const { return m_cancelled; }
    // The same request, as tree-sitter's parser reads it.
    const size_t *parserFlag() const;
    // Heard soon after on the thread that asked for the job, unless the job was stopped.
    void progress(int percent) const;

private:
    friend class Background;
    void cancel();

    std::atomic<bool> m_cancelled{false};
    std::atomic<size_t> m_parserFlag{0};
    std::function<void(int)> m_progress;
};

// Work off the UI thread, the one way the program does it. Jobs run one at a time, in the order
// asked; a job still waiting to start gives way to a later one, so the latest wins. What a job
// gives is handed to its done on the thread that made this object, by a continuation of the
// job's QFuture. stop(), and the end of this object, ask the job under way to stop and wait for
// it; nothing more is heard of it.
class Background {
public:
    Background();
    ~Background();
    Q_DISABLE_COPY_MOVE(Background)

    // job(const Task &) runs on a thread of this object's own; done(result) runs here after it.
    // progress, if given, hears what the job tells through Task::progress.
    template <typename Job, typename Done>
    void run(Job job, Done done, std::function<void(int)> progress = {})
    {
        using Result = std::invoke_result_t<Job &, const Task &>;
        queue({[job = std::move(job)](const Task &task) -> Given {
                   return std::make_shared<Result>(job(task));
               },
               [done = std::move(done)](const Given &given) {
                   done(std::move(*std::static_pointer_cast<Result>(given)));
               },
               std::move(progress)});
    }

    // A job is under way or waiting, or what it gave is not handed over yet.
    bool isBusy() const { return m_current != 0 || m_waiting.has_value(); }
    // The job under way is asked to stop, the one waiting is dropped, and neither is heard of
    // again; the job under way still counts as busy until it has ended.
    void cancel();
    // The same, and the job under way is waited for.
    void stop();

    // Runs free on a thread of the program's, whenever, and nothing comes back: for letting go
    // of something large without making the UI thread wait for it.
    static void release(std::function<void()> free);

private:
    using Given = std::shared_ptr<void>;
    struct Pending {
        std::function<Given(const Task &)> job;
        std::function<void(const Given &)> done;
        std::function<void(int)> progress;
    };
    void queue(Pending pending);
    void startNext();

    std::optional<Pending> m_waiting;
    // Of the job under way.
    std::shared_ptr<Task> m_task;
    std::function<void(const Given &)> m_done;
    std::function<void(int)> m_progress;
    quint64 m_current = 0;  // the job under way, 0 for none
    quint64 m_lastId = 0;
    quint64 m_epoch = 0;  // a job's result is handed over only in the epoch it was asked in
    QObject m_context;    // where results come back: this object's thread, while it lives
    QThreadPool m_pool;
};

}  // namespace engine
