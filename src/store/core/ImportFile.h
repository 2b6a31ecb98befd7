#pragma once

#include "store/core/ICalendar.h"
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
// The file is read by the list loader's reader and under its damage rules: a file the loader
// would call damaged (cut short, a Ctrl-Z before its end, a bad number, ...) throws AppError
// naming the reason and the line, and nothing is added; so does a list that would grow beyond
// its row limit.
CellStore importTasks(const CellStore& taskList, QByteArrayView bytes, ImportLayout layout);

// `taskList` with rows 1.. of `rows` (columns as in the current layout) added by the rule of
// importTasks, for rows that are already decoded: a row without text adds nothing, as a task
// with no cell lines in a file does. Throws AppError, nothing added, when the list would grow
// beyond its row limit.
CellStore importTaskRows(const CellStore& taskList, const CellStore& rows);
// The same, the rows that fit the list as they are taken over rather than copied.
CellStore importTaskRows(const CellStore& taskList, CellStore&& rows);

// The grid file reader keeps its offsets in 32 bits, so no list file is larger.
inline constexpr qint64 kMaxImportBytes = qint64(UINT32_MAX);
// The calendar library holds a parsed file in about fifteen times its size.
inline constexpr qint64 kMaxCalendarBytes = qint64(64) << 20;

// The bytes of a file to import. Anything but a regular file (a folder, a pipe, a device) and
// files larger than `maxBytes` are refused with AppError before being read.
QByteArray readImportFile(const QString& path, qint64 maxBytes = kMaxImportBytes);

// readImportFile and importTasks, the layout chosen by the path.
CellStore ImportFile(const CellStore& taskList, const QString& path);

// Calendar files (".ics", in any case) are imported as calendars, whatever the radio buttons say.
bool isCalendarPath(const QString& path);

struct CalendarImport
{
    CellStore list;    // the task list with the to-dos added
    int todos = 0;
    int skipped = 0;   // items that are not to-dos
};

// `taskList` with the to-dos of a calendar added by the same rule as importTasks: each to-do a
// new task at the top, the file's last one at row 1. Throws AppError, nothing added, when the
// calendar is damaged or the list would grow beyond its row limit.
CalendarImport importCalendar(const CellStore& taskList, QByteArrayView bytes,
                              const ICalendar::Context& context = ICalendar::Context());
CalendarImport ImportCalendarFile(const CellStore& taskList, const QString& path);

} // namespace veltry
