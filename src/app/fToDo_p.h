#pragma once

#include "widgets/core/CellStore.h"
#include "sync/core/SyncMerge.h"

namespace veltry {

// One task row as the calendar server's sync sees it; the task window's files share it.
sync::TaskRow taskRow(const CellStore& cells, int row);

} // namespace veltry
