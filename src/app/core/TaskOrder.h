#pragma once

#include "widgets/core/GridSort.h"

#include <vector>

namespace veltry {

class CellStore;

inline constexpr int kTaskDescriptionColumn = 1;
inline constexpr int kTaskDueDateColumn = 2;
inline constexpr int kTaskPriorityColumn = 5;

// The task grid's comparison style for a column: the due date follows the locale's day order,
// everything else compares as text.
TSortStyle taskGridFormat(int col, bool dayFirst);

// After a sort by priority: within each run of consecutive rows with the same priority text, the
// rows in ascending byte order of their description (so "B" comes before "a"), whichever way the
// priorities were sorted. Element k names the row (relative to firstRow) that ends at
// firstRow + k. Rows with equal descriptions keep their order.
std::vector<int> descriptionOrderWithinPriority(const CellStore& cells, int firstRow, int lastRow);

// Applies descriptionOrderWithinPriority() to rows firstRow..lastRow; `currentRow` follows its
// task, so the selection stays on the task it was on.
void orderByDescriptionWithinPriority(CellStore& cells, int firstRow, int lastRow, int& currentRow);

} // namespace veltry
