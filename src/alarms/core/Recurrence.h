#pragma once

#include <QDate>
#include <QDateTime>
#include <QString>
#include <QStringList>

namespace veltry {

// How recurring tasks move on: the type list, the step of each type and the advance rule that
// both the renewal of alarm-off tasks and the reminder's roll over use.
namespace Recurrence {

enum Type : int { OneTime = 0, Daily = 1, Weekly = 2, BiWeekly = 3, Monthly = 4 };

// The "Type of task" items, in stored-index order.
const QStringList& typeNames();

// The stored type cell ("0".."4", blanks around allowed) as an index into `names`; -1 when the
// text is no number or names no item.
int typeIndex(QStringView cell, const QStringList& names = typeNames());

struct Step
{
    int days = 0;
    bool monthly = false;
    bool isNone() const { return days == 0 && !monthly; }
};

// The step for a type name compared in upper case ("WEEKLY"); unknown names have no step.
Step stepFor(const QString& upperName);

// The same day number one calendar month later; a day the next month lacks becomes its last
// day (31 January gives 28 or 29 February).
QDate monthStep(const QDate& date);

// The first date of the series after `now`'s day (daily, weekly, bi-weekly), or the first one
// that is that day or later (monthly: each monthly candidate carries now's time of day, so it
// counts as still ahead on its own day). Monthly candidates are counted from `due`, so a series
// on the 31st comes back to the 31st after a short month. Returns `due` for a step of none.
QDate advance(const QDate& due, Step step, const QDateTime& now);

// The first date of the series strictly after both `due` and `today`: where a task finished on
// time or early, or late, comes back. Returns `due` for a step of none.
QDate nextAfter(const QDate& due, Step step, const QDate& today);

} // namespace Recurrence
} // namespace veltry
