#include "store/core/TaskListSaver.h"

#include "platform/core/AppError.h"
#include "widgets/core/GridFile.h"

#include <atomic>
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
std::atomic<quint64> lastMirrorId{0};
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
        // Never in place of a request that keeps the copy in step: its changes would be lost.
        if (!m_queue.empty() && m_queue.back().path == path && !m_queue.back().mirror) {
            m_queue.back().cells = std::move(cells);
            m_queue.back().notify = m_queue.back().notify || notify;
        } else {
            m_queue.push_back(Request{std::move(cells), path, notify, 0, false, true, {}});
        }
    }
    m_wake.notify_one();
}

void TaskListSaver::requestFollowing(const CellStore& cells, const QString& path, bool notify)
{
    // The request still waiting that this one can join; `mirror` 0: any copy.
    auto waitingFor = [&](quint64 mirror) -> Request* {
        if (m_queue.empty())
            return nullptr;
        Request& back = m_queue.back();
        return back.path == path && back.mirror && back.write && (!mirror || back.mirror == mirror) ? &back : nullptr;
    };
    Request job{CellStore(), path, notify, 0, false, true, {}};
    quint64 following = 0;
    {
        const std::lock_guard lock(m_mutex);
        following = m_following;
    }
    const bool changesOnly = following && cells.takeJournal(following, job.changes);
    std::unique_lock lock(m_mutex);
    if (changesOnly && m_following == following) {
        Request* waiting = waitingFor(following);
        // Changes piling up behind a slow disk are cut short by one copy.
        if (!waiting
            || waiting->changes.size() + job.changes.size() <= CellJournal::sizeLimit(size_t(cells.rowCount()))) {
            if (waiting) {
                waiting->changes.append(std::move(job.changes));
                waiting->notify = waiting->notify || notify;
            } else {
                job.mirror = following;
                m_queue.push_back(std::move(job));
            }
            lock.unlock();
            m_wake.notify_one();
            return;
        }
    }
    // The copy is made without the lock, so that the save in flight can end meanwhile.
    lock.unlock();
    job.changes = CellJournal();
    job.cells = snapshot(cells);
    job.whole = true;
    job.mirror = ++lastMirrorId;
    cells.startJournal(job.mirror);
    lock.lock();
    m_following = job.mirror;
    if (Request* waiting = waitingFor(0)) {
        waiting->cells = std::move(job.cells);
        waiting->whole = true;
        waiting->mirror = job.mirror;
        waiting->changes = CellJournal();
        waiting->notify = waiting->notify || notify;
    } else {
        m_queue.push_back(std::move(job));
    }
    lock.unlock();
    m_wake.notify_one();
}

void TaskListSaver::prepareFollowing(const CellStore& cells)
{
    Request job{snapshot(cells), QString(), false, ++lastMirrorId, true, false, {}};
    cells.startJournal(job.mirror);
    {
        const std::lock_guard lock(m_mutex);
        m_following = job.mirror;
        m_queue.push_back(std::move(job));
    }
    m_wake.notify_one();
}

bool TaskListSaver::follow(Request& job, QString& error)
{
    if (job.whole) {
        m_mirror = std::move(job.cells);
        m_mirrorId = job.mirror;
    }
    if (m_mirrorId == job.mirror) {
        try {
            job.changes.applyTo(m_mirror);
            return true;
        } catch (const std::exception& e) {
            m_mirrorLost = QStringLiteral("Could not save \"%1\": %2").arg(job.path, QString::fromLocal8Bit(e.what()));
        }
    }
    // Changes that cannot be made leave the copy unknown: the next request copies the store.
    m_mirror = CellStore();
    m_mirrorId = 0;
    if (m_mirrorLost.isEmpty())
        m_mirrorLost = QStringLiteral("Could not save \"%1\": the list was not followed").arg(job.path);
    error = m_mirrorLost;
    const std::lock_guard lock(m_mutex);
    if (m_following == job.mirror)
        m_following = 0;
    return false;
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
    // Changes to the kept copy are still made: a request waiting for another file may follow.
    for (Request& r : m_queue) {
        if (r.path == path && r.mirror)
            r.write = false;
    }
    std::erase_if(m_queue, [&](const Request& r) { return r.path == path && !r.mirror; });
    m_following = 0;
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
            if (!job.mirror)
                m_writer(job.cells, job.path);
            else if (!follow(job, result.error))
                result.saved = false;
            else if (job.write)
                m_writer(m_mirror, job.path);
        } catch (const AppError& e) {
            result.saved = false;
            result.error = e.message();
        } catch (const std::exception& e) {
            // Out of memory for the file's bytes: the list stays in memory, as after any failure.
            result.saved = false;
            result.error = QStringLiteral("Could not save \"%1\": %2").arg(job.path, QString::fromLocal8Bit(e.what()));
        }
        job.cells = CellStore();
        job.changes = CellJournal();
        lock.lock();
        if (job.write)
            m_results.push_back(std::move(result));
        m_inFlight = false;
        m_idle.notify_all();
        if (m_finished && job.write) {
            lock.unlock();
            m_finished();
            lock.lock();
        }
    }
}

} // namespace veltry
