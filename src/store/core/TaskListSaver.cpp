#include "store/core/TaskListSaver.h"

#include "platform/core/AppError.h"
#include "widgets/core/GridFile.h"

#include <set>
#include <string>

namespace veltry {

namespace {
std::mutex& registryMutex()
{
    static std::mutex m;
    return m;
}
std::set<TaskListSaver*>& registry()
{
    static std::set<TaskListSaver*> savers;
    return savers;
}
} // namespace

TaskListSaver::TaskListSaver(std::function<void()> finished, Writer writer)
    : m_finished(std::move(finished)), m_writer(writer ? std::move(writer) : Writer(&GridFile::saveToFile))
{
    m_thread = std::thread([this] { run(); });
    const std::lock_guard lock(registryMutex());
    registry().insert(this);
}

TaskListSaver::~TaskListSaver()
{
    {
        const std::lock_guard lock(registryMutex());
        registry().erase(this);
    }
    {
        const std::lock_guard lock(m_mutex);
        m_stopping = true;
    }
    m_wake.notify_all();
    m_thread.join();
}

CellStore TaskListSaver::snapshot(const CellStore& cells)
{
    CellStore copy;
    copy.setColumnCount(cells.columnCount());
    std::vector<RowCells>& rows = copy.rows();
    rows.resize(size_t(cells.rowCount()));
    // Texts only: the file holds no pictures, and most rows carry one (a check mark, notes).
    std::vector<uint32_t> ends;
    std::string data;
    for (int r = 0; r < cells.rowCount(); ++r) {
        const RowCells& row = cells.row(r);
        const int count = row.storedCount();
        if (count == 0)
            continue;
        ends.resize(size_t(count));
        data.clear();
        for (int c = 0; c < count; ++c) {
            const QByteArrayView text = row.cell(c);
            data.append(text.data(), size_t(text.size()));
            ends[size_t(c)] = uint32_t(data.size());
        }
        rows[size_t(r)].assign(count, ends.data(), data.data());
    }
    return copy;
}

void TaskListSaver::request(CellStore&& cells, const QString& path, bool notify)
{
    {
        const std::lock_guard lock(m_mutex);
        if (!m_queue.empty() && m_queue.back().path == path) {
            m_queue.back().cells = std::move(cells);
            m_queue.back().notify = m_queue.back().notify || notify;
        } else {
            m_queue.push_back(Request{std::move(cells), path, notify});
        }
    }
    m_wake.notify_one();
}

std::vector<TaskListSaver::Result> TaskListSaver::takeResults()
{
    const std::lock_guard lock(m_mutex);
    return std::exchange(m_results, {});
}

bool TaskListSaver::busy() const
{
    const std::lock_guard lock(m_mutex);
    return m_inFlight || !m_queue.empty();
}

void TaskListSaver::waitUntilIdle()
{
    std::unique_lock lock(m_mutex);
    m_idle.wait(lock, [this] { return !m_inFlight && m_queue.empty(); });
}

void TaskListSaver::settle(const QString& path)
{
    std::unique_lock lock(m_mutex);
    std::erase_if(m_queue, [&](const Request& r) { return r.path == path; });
    m_idle.wait(lock, [this] { return !m_inFlight && m_queue.empty(); });
}

void TaskListSaver::waitForAll()
{
    const std::lock_guard lock(registryMutex());
    for (TaskListSaver* saver : registry())
        saver->waitUntilIdle();
}

void TaskListSaver::run()
{
    std::unique_lock lock(m_mutex);
    for (;;) {
        m_wake.wait(lock, [this] { return m_stopping || !m_queue.empty(); });
        if (m_queue.empty())
            return;
        Request job = std::move(m_queue.front());
        m_queue.pop_front();
        m_inFlight = true;
        lock.unlock();
        Result result{job.path, true, QString(), job.notify};
        try {
            m_writer(job.cells, job.path);
        } catch (const AppError& e) {
            result.saved = false;
            result.error = e.message();
        } catch (const std::exception& e) {
            // Out of memory for the file's bytes: the list stays in memory, as after any failure.
            result.saved = false;
            result.error = QStringLiteral("Could not save \"%1\": %2").arg(job.path, QString::fromLocal8Bit(e.what()));
        }
        job.cells = CellStore();
        lock.lock();
        m_results.push_back(std::move(result));
        m_inFlight = false;
        m_idle.notify_all();
        if (m_finished) {
            lock.unlock();
            m_finished();
            lock.lock();
        }
    }
}

} // namespace veltry
