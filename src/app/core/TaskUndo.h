#pragma once

#include "store/core/Task.h"
#include "widgets/core/CellStore.h"

#include <QString>
#include <optional>
#include <vector>

namespace veltry {

// How a kept row is recognised again in a list that changed since: sorts, merges and the other
// copies move rows, so rows are found by their texts, never by their numbers alone.
struct RowMatch
{
    int ignoredColumn = -1;    // rewritten freely (the history's numbers)
    int givenLaterColumn = -1; // may be filled in after the step (a task's UID): empty matches any
    int typeColumn = -1;       // the alarm pass writes "0" into an empty type cell
};
inline constexpr RowMatch kTaskRowMatch{-1, TaskCol::Reserved, TaskCol::Type};
inline constexpr RowMatch kHistoryRowMatch{HistCol::Number, -1, -1};

// One row as a step changed it: nothing before (added), nothing after (removed), or both. The
// row numbers are only where to look first and where to put a row back.
struct RowChange
{
    std::optional<RowCells> before;
    std::optional<RowCells> after;
    int beforeRow = -1;
    int afterRow = -1;
};

// What one step did to the rows of one list, to take it back and to make it again. Only the
// changed rows are kept. A list whose only row is blank is empty: a row added to it takes the
// blank row's place, and the last row taken away leaves a blank one.
class RowStep
{
public:
    explicit RowStep(RowMatch match) : m_match(match) {}

    // Call with the list as it is after the row was added or changed, before it was removed.
    void added(const CellStore& cells, int row);
    void removed(const CellStore& cells, int row);
    void removed(RowCells before, int row);
    // A row changed in place; nothing is kept when its texts stayed the same.
    void changed(RowCells before, int beforeRow, const CellStore& cells, int row);
    // A copy of a row as kept by a step.
    static RowCells keep(const CellStore& cells, int row);

    bool isEmpty() const { return m_changes.empty(); }
    // Whether every row the step has to find is in `cells` (undo: as the step left it; redo: as
    // the step found it).
    bool canApply(const CellStore& cells, bool undo) const;
    // Takes the step back (undo) or makes it again; changes nothing and returns false when a row
    // it has to find is gone or changed.
    bool apply(CellStore& cells, bool undo) const;
    // For each row the step has to find, where it is in `cells` now; -1 for one gone or changed
    // (and for a change with no row to find).
    std::vector<int> find(const CellStore& cells, bool undo) const;
    // The rows that applying the step takes off the list, as kept.
    std::vector<const RowCells*> rowsTakenAway(bool undo) const;
    size_t memoryUsage() const;

private:
    // For each change that has a row to find, its row in `cells`; empty when one is missing.
    std::optional<std::vector<int>> locate(const CellStore& cells, bool undo) const;
    bool matches(const RowCells& expected, const CellStore& cells, int row) const;
    bool isBlank(const CellStore& cells, int row) const;

    RowMatch m_match;
    std::vector<RowChange> m_changes;
};

// One undoable step of the user's: what it did to the task list and to the history together,
// so they never come apart (a task both on the list and logged).
struct TaskListStep
{
    QString text;  // "Remove Task", shown as "Undo Remove Task"
    RowStep tasks{kTaskRowMatch};
    RowStep history{kHistoryRowMatch};

    // Both lists or neither.
    bool apply(CellStore& taskCells, CellStore& historyCells, bool undo) const;
    size_t memoryUsage() const { return tasks.memoryUsage() + history.memoryUsage(); }
};

} // namespace veltry
