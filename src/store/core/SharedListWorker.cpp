#include "store/core/SharedListWorker.h"

namespace veltry::shared {

SharedListWorker::SharedListWorker(std::function<void()> finished) : m_finished(std::move(finished))
{
    m_thread = std::thread([this] { run(); });
}

SharedListWorker::~SharedListWorker()
{
    {
        const std::lock_guard lock(m_mutex);
        m_stopping = true;
    }
    m_wake.notify_all();
    m_thread.join();
}

void SharedListWorker::post(Job job)
{
    {
        const std::lock_guard lock(m_mutex);
        Q_ASSERT(!m_out);
        m_job = std::move(job);
        m_out = true;
    }
    m_wake.notify_one();
}

bool SharedListWorker::isOut() const
{
    const std::lock_guard lock(m_mutex);
    return m_out;
}

std::optional<SharedListWorker::Result> SharedListWorker::takeResult()
{
    const std::lock_guard lock(m_mutex);
    if (!m_result)
        return std::nullopt;
    m_out = false;
    return std::exchange(m_result, std::nullopt);
}

void SharedListWorker::waitUntilDone()
{
    std::unique_lock lock(m_mutex);
    m_done.wait(lock, [this] { return !m_job; });
}

void SharedListWorker::run()
{
    std::unique_lock lock(m_mutex);
    for (;;) {
        m_wake.wait(lock, [this] { return m_stopping || m_job; });
        if (!m_job)
            return;
        Job job = std::move(*m_job);
        lock.unlock();
        Result result;
        try {
            result = job();
        } catch (const std::exception& e) {
            // Out of memory for the merge: the list stays in memory, as after any failure.
            result.tasks.status = SharedList::Outcome::Failed;
            result.tasks.error = QStringLiteral("Could not save the shared list: %1").arg(QString::fromLocal8Bit(e.what()));
        }
        job = nullptr;  // the rows it holds go here, not on the window's thread
        lock.lock();
        m_result = std::move(result);
        m_job.reset();
        m_done.notify_all();
        if (m_finished) {
            lock.unlock();
            m_finished();
            lock.lock();
        }
    }
}

} // namespace veltry::shared
