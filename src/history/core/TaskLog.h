#pragma once

#include <QString>
#include <vector>

namespace veltry {

class CellStore;

// The rows that logging reads and changes. A shown grid is wrapped so that its current cell,
// row heights and cell pictures move with the rows; a bare cell store for everything else.
class TaskLogRows
{
public:
    virtual ~TaskLogRows() = default;
    virtual int rowCount() const = 0;
    virtual QString cell(int col, int row) const = 0;
    virtual void setCell(int col, int row, const QString& text) = 0;
    virtual void insertRow(int row) = 0;
    virtual void removeRow(int row) = 0;
    // Empties every cell of the row and drops its pictures.
    virtual void clearRow(int row) = 0;
};

class CellStoreRows final : public TaskLogRows
{
public:
    explicit CellStoreRows(CellStore& store) : m_store(store) {}
    int rowCount() const override;
    QString cell(int col, int row) const override;
    void setCell(int col, int row, const QString& text) override;
    void insertRow(int row) override;
    void removeRow(int row) override;
    void clearRow(int row) override;

private:
    CellStore& m_store;
};

// What copying left in the history, so that it can be taken back when the history cannot be
// saved.
struct TaskLogCopy
{
    int count = 0;
    bool reusedEmptyRow = false;  // the first entry went into the empty history's blank row 1
};

// A task is completed when its mark cell is exactly " "; any other text is an open task.
bool isCompletedTask(const TaskLogRows& tasks, int row);

// The empty-list rule shared by both lists: at most two rows and no text in the Task cell of
// row 1.
bool isListEmpty(const TaskLogRows& rows);
bool isListEmpty(const CellStore& rows);

// Copies every completed task, in list order, to the top of the history with `logDate` as its
// log date, so the last completed task of the list ends up in row 1.
TaskLogCopy copyCompletedTasks(const TaskLogRows& tasks, TaskLogRows& history, const QString& logDate);

// Takes the completed tasks off the task list; the others keep their order. The last task row
// is emptied rather than removed, leaving the blank row of an empty list.
void removeCompletedTasks(TaskLogRows& tasks);

// The same for the given rows only, in ascending order: those a logging run found still as it
// copied them.
void removeTaskRows(TaskLogRows& tasks, const std::vector<int>& rows);

// Takes back what copyCompletedTasks added to the history.
void undoTaskLogCopy(TaskLogRows& history, const TaskLogCopy& copy);

// Copy and remove in one step; returns how many tasks were logged.
int logCompletedTasks(CellStore& tasks, CellStore& history, const QString& logDate);

// Today's date in the short date format: the log date of a logging run.
QString todaysLogDate();

// The history window's count: "Tasks: " with the number of entries, or "Tasks: 0" when empty.
QString historyCountText(const CellStore& history);

} // namespace veltry
