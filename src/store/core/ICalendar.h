#pragma once

#include "platform/core/LocaleFormats.h"
#include "widgets/core/CellStore.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QDateTime>
#include <QString>
#include <QTimeZone>
#include <array>
#include <optional>

#include "store/core/Task.h"

namespace veltry::ICalendar {

// What the conversion takes from its surroundings; the defaults are the program's own, tests
// pin them.
struct Context
{
    Context();
    LocaleFormats formats;  // how the date and time cells are written
    QTimeZone local;        // the zone that due times and creation dates are meant in
    QDateTime now;          // the export's time stamp; an import's creation date when a to-do has none
};

// A calendar holding one to-do per task row of `taskList` (wholly empty rows, such as an empty
// list's placeholder, give none): UID, description, due date and time, category, priority,
// notes, creation date, alarm, recurrence and done mark. Due times are in the system's zone,
// named, with its definition.
QByteArray encode(const CellStore& taskList, const Context& context = Context());

// Gives every task row that has no UID, or one an earlier row holds (a copied row), a new one,
// which the list then keeps: a task exported twice is the same to-do in both files. Returns the
// rows given one.
int assignUids(CellStore& taskList);

// Writes `encode` through QSaveFile: the old file stays intact until the new one is complete.
// Throws AppError naming the file and the reason.
void saveToFile(const CellStore& taskList, const QString& path, const Context& context = Context());

struct Tasks
{
    CellStore rows;    // the task columns, each to-do's UID in TaskCol::Reserved; row 0 is empty, rows 1..
                       // are the to-dos in file order
    int todos = 0;
    int skipped = 0;   // events, journal entries and other items that are not to-dos
};

// The to-dos of a calendar file as task rows. Throws AppError, nothing read, when the file is
// not a calendar or the calendar library finds it damaged (with the library's own text), or
// when it nests components deeper than any calendar does.
Tasks decode(QByteArrayView bytes, const Context& context = Context());
// The same, reading `bytes` where they lie: a huge calendar is not copied on its way.
Tasks decode(QByteArray&& bytes, const Context& context = Context());

// One task, every column; its UID is in TaskCol::Reserved.
using TaskCells = std::array<QString, TaskCol::Count>;

// One task as a calendar object resource of its own: a calendar holding one to-do whose UID is
// the task's. A checked task carries its completion time, `completedAt` or else the context's now.
// Given the resource's `previous` text (the server's copy), only the properties of the columns
// that differ from it are written anew, so what other programs keep there stays: a due time in
// the to-do's own zone, a changed due moment without the duration it replaces. A change stamps
// LAST-MODIFIED; a new due moment, done mark or repeat also counts up SEQUENCE.
QByteArray encodeTask(const TaskCells& task, const QDateTime& completedAt = QDateTime(),
                      const Context& context = Context(), QByteArrayView previous = {});

// The to-do of a calendar object resource (the master of a repeating one) with its UID in
// TaskCol::Reserved; none when the resource holds no to-do. Throws AppError as `decode` does.
std::optional<TaskCells> decodeTask(QByteArrayView bytes, const Context& context = Context());

} // namespace veltry::ICalendar
