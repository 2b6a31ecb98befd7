#pragma once

#include "store/core/DataFiles.h"
#include "store/core/SharedList.h"

#include <condition_variable>
#include <functional>
#include <mutex>
#include <optional>
#include <thread>

namespace veltry::shared {

// Runs a shared list's saves and reloads on a thread of its own, so that the window never waits
// for the folder's lock, another copy's file or the merge. One job at a time: the list is touched
// by the job in flight only, and its owner touches it only while no job is out (posted and its
// result not yet taken), so that every merged list handed back is answered before the next merge.
class SharedListWorker final
{
public:
    struct Result
    {
        enum Kind { Save, Reload, Log };  // Log: the history of a logging run
        Kind kind = Save;
        SharedList::Outcome tasks;
        SharedList::Outcome history;
        // A reload: whether the lock was had (nothing was read otherwise), and the stamps of the
        // files it read, recorded under the lock.
        bool locked = true;
        bool tasksRead = false;
        bool historyRead = false;
        FileStamp tasksStamp;
        FileStamp historyStamp;
        // The grids' generations when their rows were taken for the job: a grid changed since
        // cannot take the merged rows.
        quint64 tasksGeneration = 0;
        quint64 historyGeneration = 0;
        bool notify = false;  // the calendar sync is told of a save that went through
    };
    using Job = std::function<Result()>;

    // `finished` is called on the worker's thread after each job; the owner takes the result on
    // its own thread with takeResult().
    explicit SharedListWorker(std::function<void()> finished);
    // Lets the job in flight end, then ends the thread.
    ~SharedListWorker();
    SharedListWorker(const SharedListWorker&) = delete;
    SharedListWorker& operator=(const SharedListWorker&) = delete;

    // Only while no job is out.
    void post(Job job);
    // A job posted whose result was not taken yet.
    bool isOut() const;
    std::optional<Result> takeResult();
    // Until the job in flight has its result.
    void waitUntilDone();

private:
    void run();

    std::function<void()> m_finished;
    mutable std::mutex m_mutex;
    std::condition_variable m_wake;
    std::condition_variable m_done;
    std::optional<Job> m_job;
    std::optional<Result> m_result;
    bool m_out = false;
    bool m_stopping = false;
    std::thread m_thread;
};

} // namespace veltry::shared
