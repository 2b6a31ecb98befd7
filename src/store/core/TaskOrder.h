#pragma once

#include "widgets/core/GridSort.h"

#include <QDate>
#include <array>
#include <optional>
#include <vector>

namespace veltry {

class CellStore;
class LocaleFormats;

inline constexpr int kTaskDescriptionColumn = 1;
inline constexpr int kTaskDueDateColumn = 2;
inline constexpr int kTaskDueTimeColumn = 3;
inline constexpr int kTaskPriorityColumn = 5;

// The task grid's comparison style for a column: the due date follows the locale's day order,
// everything else compares as text.
TSortStyle taskGridFormat(int col, bool dayFirst);

// How a column's texts are compared when ordering the rows within a run.
enum class RunKeyKind {
    Text,  // byte by byte as the list file holds them (Windows-1252, or UTF-8 for a list kept in
           // UTF-8), case-sensitive
    Date,  // read in the locale's short date format
    Time,  // read as a time of day
};

// Ordering the rows within runs: consecutive rows whose `runColumn` texts are exactly equal form
// a run, and each run is put in order of `keyColumn`. Rows that compare equal keep their order.
// A date or time that cannot be read (an empty cell included) counts as earlier than every real
// one, so ascending puts such rows first and descending last; nothing is ever refused.
struct RunOrdering
{
    int runColumn = kTaskPriorityColumn;
    int keyColumn = kTaskDescriptionColumn;
    RunKeyKind kind = RunKeyKind::Text;
    TSortDirection direction = sdAscending;
};

// Element k names the row (relative to firstRow) that ends at firstRow + k. Dates are read with
// `formats`, a two-digit year placed within 50 years of `today`.
std::vector<int> orderWithinRuns(const CellStore& cells, int firstRow, int lastRow, const RunOrdering& how,
                                 const LocaleFormats& formats, const QDate& today);

// After a sort by priority: within each run of consecutive rows with the same priority text, the
// rows in ascending byte order of their description as the file holds it (so "B" comes before
// "a", and in a Windows-1252 list the euro sign before "é"), whichever way the priorities were
// sorted. Element k names the row (relative to firstRow) that ends at firstRow + k. Rows with
// equal descriptions keep their order.
std::vector<int> descriptionOrderWithinPriority(const CellStore& cells, int firstRow, int lastRow);

// Applies descriptionOrderWithinPriority() to rows firstRow..lastRow; `currentRow` follows its
// task, so the selection stays on the task it was on.
void orderByDescriptionWithinPriority(CellStore& cells, int firstRow, int lastRow, int& currentRow);

// A title click on the priority column (`request` as the grid makes it) in one pass: the rows end
// exactly as the grid's sort on `request` followed by orderByDescriptionWithinPriority() leaves
// them, each row moved once. `currentRow` follows its task.
void sortByPriorityThenDescription(CellStore& cells, const SortRequest& request, int& currentRow);

// That order without moving rows: element k names the row (relative to the first sorted row)
// that ends at position k. Nothing when the order rests on where the grid's sort leaves rows it
// finds equal (alike in priority, description and every column the grid compares), which only
// running that sort tells; likewise for comparison styles other than texts and dates.
std::optional<std::vector<int>> priorityThenDescriptionOrder(const CellStore& cells, const SortRequest& request);

// Where the task on `row` of `before` is in `after`, a list changed from outside (another copy's
// save merged in, a calendar sync): found by its UID or, lacking one (a task not yet saved gets
// its UID from the merge), by its texts. When it is gone the row of the task that followed it,
// else of the one before it; `row` itself (within `after`) when none is left.
int rowOfTaskIn(const CellStore& before, int row, const CellStore& after);

// --- the advanced sort ---

// The keys it offers, by index; each index is also the task grid column it sorts on.
inline constexpr int kAdvancedSortKeyCount = 6;
// Its directions by index: 0 ascending, 1 descending.
inline constexpr int kAdvancedSortDirectionCount = 2;

// Primary key, primary direction, secondary key, secondary direction, as indexes of the lists
// above; the program starts with priority ascending, then due date ascending.
using AdvancedSortChoice = std::array<int, 4>;
inline constexpr AdvancedSortChoice kDefaultAdvancedSort{kTaskPriorityColumn, 0, kTaskDueDateColumn, 0};

// The choice as it is offered again: each value that is not one of its list's indexes (negative
// when never set) replaced by its default.
AdvancedSortChoice advancedSortOpening(const AdvancedSortChoice& stored);

// The second step of the advanced sort, after the rows were sorted on the primary key: runs of
// equal primary text ordered by the secondary key, compared as a date for the due date, as a time
// for the due time and as text otherwise.
RunOrdering advancedSortRuns(const AdvancedSortChoice& choice);

// Applies that step to rows firstRow..lastRow with the program's locale and today's date;
// `currentRow` follows its task.
void orderAdvancedSortRuns(CellStore& cells, int firstRow, int lastRow, const AdvancedSortChoice& choice,
                           int& currentRow);

} // namespace veltry
