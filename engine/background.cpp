#include "engine/background.h"

#include <QPromise>

namespace engine {

static_assert(sizeof(std::atomic<size_t>) == sizeof(size_t) &&
              std::atomic<size_t>::is_always_lock_free);

const size_t *Task::parserFlag() const
{
    // tree-sitter reads a plain size_t, atomically on its side.
    return reinterpret_cast<const size_t *>(&m_parserFlag);
}

void Task::progress(int percent) const
{
    if (m_progress)
        m_progress(percent);
}

void Task::cancel()
{
    m_cancelled = true;
    m_parserFlag = 1;
}

Background::Background()
{
    m_pool.setMaxThreadCount(1);
}

Background::~Background()
{
    stop();
}

void Background::release(std::function<void()> free)
{
    QThreadPool::globalInstance()->start(std::move(free));
}

void Background::queue(Pending pending)
{
    m_waiting = std::move(pending);
    if (m_current == 0)
        startNext();
}

void Background::startNext()
{
    if (!m_waiting)
        return;
    Pending next = std::move(*m_waiting);
    m_waiting.reset();
    const quint64 id = ++m_lastId, epoch = m_epoch;
    m_current = id;
    m_done = std::move(next.done);
    m_progress = std::move(next.progress);
    m_task = std::make_shared<Task>();
    if (m_progress)
        m_task->m_progress = [this, id, epoch](int percent) {
            QMetaObject::invokeMethod(
                &m_context,
                [this, id, epoch, percent] {
                    if (id == m_current && epoch == m_epoch && m_progress)
                        m_progress(percent);
                },
                Qt::QueuedConnection);
        };
    auto promise = std::make_shared<QPromise<Given>>();
    promise->future().then(&m_context, [this, id, epoch](const Given &given) {
        // A job stopped since has been waited for and forgotten.
        if (id != m_current)
            return;
        m_current = 0;
        m_task.reset();
        const auto done = std::move(m_done);
        m_progress = {};
        if (epoch == m_epoch)
            done(given);
        if (m_current == 0)
            startNext();
    });
    m_pool.start([promise, task = m_task, job = std::move(next.job)] {
        promise->start();
        promise->addResult(job(*task));
        promise->finish();
    });
}

void Background::cancel()
{
    if (m_task)
        m_task->cancel();
    m_waiting.reset();
    ++m_epoch;
}

void Background::stop()
{
    cancel();
    m_pool.waitForDone();
    m_current = 0;
    m_task.reset();
    m_done = {};
    m_progress = {};
}

}  // namespace engine
