#include "history/core/TaskLog.h"

#include "platform/core/Clock.h"
#include "platform/core/LocaleFormats.h"
#include "store/core/Task.h"
#include "widgets/core/CellStore.h"

#include <algorithm>

namespace veltry {

int CellStoreRows::rowCount() const
{
    return m_store.rowCount();
}

QString CellStoreRows::cell(int col, int row) const
{
    return m_store.cell(col, row);
}

void CellStoreRows::setCell(int col, int row, const QString& text)
{
    m_store.setCell(col, row, text);
}

void CellStoreRows::insertRow(int row)
{
    m_store.insertRows(row, 1);
}

void CellStoreRows::removeRow(int row)
{
    m_store.removeRows(row, 1);
}

void CellStoreRows::clearRow(int row)
{
    m_store.clearRows(row, 1);
}

bool isCompletedTask(const TaskLogRows& tasks, int row)
{
    return tasks.cell(TaskCol::Mark, row) == kCheckedMark;
}

bool isListEmpty(const TaskLogRows& rows)
{
    return rows.rowCount() <= 2 && rows.cell(TaskCol::Task, 1).isEmpty();
}

bool isListEmpty(const CellStore& rows)
{
    return rows.rowCount() <= 2 && rows.isCellEmpty(TaskCol::Task, 1);
}

TaskLogCopy copyCompletedTasks(const TaskLogRows& tasks, TaskLogRows& history, const QString& logDate)
{
    TaskLogCopy copy;
    // A history always has its title row and at least one entry row, blank when empty.
    while (history.rowCount() < 2)
        history.insertRow(history.rowCount());
    for (int r = 1; r < tasks.rowCount(); ++r) {
        if (!isCompletedTask(tasks, r))
            continue;
        if (isListEmpty(history)) {
            if (copy.count == 0)
                copy.reusedEmptyRow = true;
        } else {
            history.insertRow(1);
        }
        ++copy.count;
        history.setCell(HistCol::Task, 1, tasks.cell(TaskCol::Task, r));
        history.setCell(HistCol::DueDate, 1, tasks.cell(TaskCol::DueDate, r));
        history.setCell(HistCol::LogDate, 1, logDate);
        history.setCell(HistCol::Category, 1, tasks.cell(TaskCol::Category, r));
        history.setCell(HistCol::Notes, 1, tasks.cell(TaskCol::Notes, r));
        history.setCell(HistCol::CreateDate, 1, tasks.cell(TaskCol::CreateDate, r));
    }
    return copy;
}

namespace {

void removeTaskRow(TaskLogRows& tasks, int row)
{
    if (tasks.rowCount() > 2)
        tasks.removeRow(row);
    else
        tasks.clearRow(row);
}

} // namespace

void removeCompletedTasks(TaskLogRows& tasks)
{
    // From the bottom up, so the rows still to visit keep their indexes.
    for (int r = tasks.rowCount() - 1; r >= 1; --r)
        if (isCompletedTask(tasks, r))
            removeTaskRow(tasks, r);
}

void removeTaskRows(TaskLogRows& tasks, const std::vector<int>& rows)
{
    for (auto it = rows.rbegin(); it != rows.rend(); ++it)
        removeTaskRow(tasks, *it);
}

void undoTaskLogCopy(TaskLogRows& history, const TaskLogCopy& copy)
{
    if (copy.count <= 0)
        return;
    const int inserted = copy.reusedEmptyRow ? copy.count - 1 : copy.count;
    for (int i = 0; i < inserted; ++i)
        history.removeRow(1);
    if (copy.reusedEmptyRow) {
        for (int c = HistCol::Task; c < HistCol::Count; ++c)
            history.setCell(c, 1, QString());
    }
}

int logCompletedTasks(CellStore& tasks, CellStore& history, const QString& logDate)
{
    history.setColumnCount(std::max(history.columnCount(), int(HistCol::Count)));
    CellStoreRows taskRows(tasks);
    CellStoreRows historyRows(history);
    const TaskLogCopy copy = copyCompletedTasks(taskRows, historyRows, logDate);
    removeCompletedTasks(taskRows);
    return copy.count;
}

QString todaysLogDate()
{
    return LocaleFormats::current().formatDate(Clock::instance().today());
}

QString historyCountText(const CellStore& history)
{
    if (isListEmpty(history))
        return QStringLiteral("Tasks: 0");
    return QStringLiteral("Tasks: %1").arg(history.rowCount() - 1);
}

} // namespace veltry
