#pragma once

#include "store/core/Task.h"
#include "store/core/TaskMerge.h"

#include <array>
#include <vector>

namespace veltry::shared {

using TaskRow = threeway::TaskRow;
using HistoryRow = std::array<QString, HistCol::Count>;

// Which side's text stands where both changed the same column of a task: the later save's. When
// this copy saves, that is its own list; when it reads another copy's save, the file's.
enum class Later { Ours, Theirs };

struct TaskListMerge
{
    std::vector<TaskRow> rows;
    int conflicts = 0;  // conflict copies made
};

// Rows a list file holds without a UID (written by an older edition) get one made from their
// texts, so every copy reading the same row names it alike; a repeated UID (a copied row) gets a
// fresh one. Returns the rows changed.
int giveFileUids(std::vector<TaskRow>& rows);

// The three-way merge of two copies' task lists, by the calendar sync's rules: every row has a
// UID; `base` is the list as last agreed with the file. Edits to different tasks or different
// columns of one task merge; where both changed the same column differently, the `later` side's
// text stands in the task and the other side's version is kept as a copy whose description ends
// in " (conflict)". A task removed on one side and edited on the other stays.
//
// Order: our order, with the tasks we did not hold (new in theirs) on top in their order, and a
// conflict copy right below its task. When one side did not change at all, the other side is the
// result as it is.
TaskListMerge mergeTaskLists(const std::vector<TaskRow>& base, const std::vector<TaskRow>& ours,
                             const std::vector<TaskRow>& theirs, Later later,
                             QString (*newUid)() = &threeway::makeUid);

// History entries have no identity but their texts (the row number is not one): a three-way
// union counting alike entries, so an entry logged on either side is kept, one logged on both
// is kept once, and one cleared on one side and untouched on the other goes. Entries we hold and
// they do not come first, then theirs in their order.
std::vector<HistoryRow> mergeHistories(const std::vector<HistoryRow>& base, const std::vector<HistoryRow>& ours,
                                       const std::vector<HistoryRow>& theirs);

} // namespace veltry::shared
