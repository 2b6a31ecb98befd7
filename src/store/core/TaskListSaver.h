#pragma once

#include "widgets/core/CellStore.h"

#include <QString>
#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

namespace veltry {

// Writes the task list file on a thread of its own, so that the window never waits for the disk.
// One save runs at a time; a request made meanwhile for the same file takes the place of the one
// still waiting, so the newest list always reaches the file last and an older one never follows.
class TaskListSaver final
{
public:
    struct Result
    {
        QString path;
        bool saved = true;
        QString error;        // the file and the reason, as the user is told
        bool notify = false;  // as asked with the request (several coalesced: any of them)
    };
    // Writes the rows to the file whole or not at all; throws AppError. Tests put a slow or
    // failing one in its place.
    using Writer = std::function<void(const CellStore& cells, const QString& path)>;

    // `finished` is called on the saver's thread after each save; the owner takes the results
    // on its own thread with takeResults().
    explicit TaskListSaver(std::function<void()> finished, Writer writer = {});
    // Saves whatever was asked, then ends the thread.
    ~TaskListSaver();
    TaskListSaver(const TaskListSaver&) = delete;
    TaskListSaver& operator=(const TaskListSaver&) = delete;

    // The rows as they are now, for a save while the grid goes on changing.
    static CellStore snapshot(const CellStore& cells);

    void request(CellStore&& cells, const QString& path, bool notify = false);
    // Saves the rows `cells` holds now, a store the caller goes on changing. The saver keeps a
    // copy of its own that it brings up to date with what changed since the last such request,
    // so that a large list is not copied for every change; the first time, and whenever the
    // store cannot say what changed (another store moved in, rows handed out for changing), it
    // copies the rows as snapshot() does.
    void requestFollowing(const CellStore& cells, const QString& path, bool notify = false);
    // Makes that copy now, writing nothing: after a list is loaded, so that the first change
    // does not wait for the copy.
    void prepareFollowing(const CellStore& cells);
    // What the saves since the last call came to, in the order they ran.
    std::vector<Result> takeResults();
    // A save runs or waits.
    bool busy() const;
    // Until every request reached its file or failed.
    void waitUntilIdle();
    // Before a last save written by the caller itself: what waits for `path` is dropped, and
    // the save in flight ends first, so that it cannot land after the caller's. The next
    // requestFollowing() copies its store whole.
    void settle(const QString& path);

    // Every saver of the process idle: for tests, which read the files.
    static void waitForAll();

private:
    struct Request
    {
        CellStore cells;
        QString path;
        bool notify = false;
        // Nonzero: the copy kept in step that is written, after `cells` replaced it (whole)
        // and `changes` were made to it. Without `write` the changes are only made.
        quint64 mirror = 0;
        bool whole = false;
        bool write = true;
        CellJournal changes;
    };
    void run();
    // On the saver's thread: brings the kept copy to what `job` asks for. False when it cannot.
    bool follow(Request& job, QString& error);

    std::function<void()> m_finished;
    Writer m_writer;
    mutable std::mutex m_mutex;
    std::condition_variable m_wake;
    std::condition_variable m_idle;
    std::deque<Request> m_queue;
    std::vector<Result> m_results;
    bool m_inFlight = false;
    bool m_stopping = false;
    // The copy the waiting requests lead to; 0: the next requestFollowing() copies its store.
    quint64 m_following = 0;
    // The saver's thread's own: the copy kept in step, and which one it is (0: none).
    CellStore m_mirror;
    quint64 m_mirrorId = 0;
    QString m_mirrorLost;
    std::thread m_thread;
};

} // namespace veltry
