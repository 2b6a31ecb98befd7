#pragma once

#include "app/core/TaskUndo.h"
#include "history/core/TaskLog.h"
#include "widgets/core/CellStore.h"
#include "sync/core/SyncMerge.h"

namespace veltry {

// One task row as the calendar server's sync sees it; the task window's files share it.
sync::TaskRow taskRow(const CellStore& cells, int row);

namespace shared {
class SharedList;
}
// Why a save of the shared folder's `path` did not go through: another copy holds the lock.
QString sharedListBusyText(const QString& path, shared::SharedList& list);

// A logging run whose history save is out: what it copied, to find the tasks again or to take the
// copies back when the save comes back.
struct TaskLogRun
{
    TaskListStep step;  // tasks: the rows copied, as if removed; history: the copies, as added
    TaskLogCopy copy;
    quint64 historyGeneration = 0;  // the history as the copy left it
    QString directory;               // the data folder whose history takes the copies
    bool back = false;               // the save came back
    bool saved = false;
    QString error;
};

} // namespace veltry
