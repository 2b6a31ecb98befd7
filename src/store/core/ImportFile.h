#pragma once

#include "widgets/core/CellStore.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

namespace veltry {

// The column layouts a task file can be imported from: the current one (".vlp", every column as
// it is) and the older standard edition's (".vlo", six data columns in other places).
enum class ImportLayout { Current, Standard };

// Chosen by the path's last three characters: exactly "vlo", in lower case, is the older layout;
// anything else is read as the current one.
ImportLayout importLayoutOf(const QString& path);

// The task column that a source column of `layout` lands in, or -1 when the layout drops it.
// `taskColumns` is the task list's real column count.
int importTaskColumn(ImportLayout layout, int sourceColumn, int taskColumns);

// `taskList` with the tasks of a task file added: every run of lines for one source row is a
// new task at the top, so the file's last task ends up at row 1 and the rows that were there
// follow unchanged; title lines (row 0) and the header's counts are ignored. An empty list's
// placeholder row takes the first tasks until one of them gives it a description. The result
// equals inserting each task at row 1 in turn, but takes linear time.
// Cell texts are decoded by the grid file reader. Throws AppError when a column or row is no
// integer or out of the reader's range, or the list would grow beyond its row limit; nothing is
// added then.
CellStore importTasks(const CellStore& taskList, QByteArrayView bytes, ImportLayout layout);

// The bytes of a file to import. Anything but a regular file (a folder, a pipe, a device) and
// files larger than the grid file reader takes are refused with AppError before being read.
QByteArray readImportFile(const QString& path);

// readImportFile and importTasks, the layout chosen by the path.
CellStore ImportFile(const CellStore& taskList, const QString& path);

} // namespace veltry
