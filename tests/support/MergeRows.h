#pragma once
// Task rows for the tests of the three-way merges: the calendar server's and the shared folder's.
#include "store/core/Task.h"
#include "sync/core/SyncMerge.h"

#include <QStringList>

#include <vector>

namespace veltry::mergerows {

using sync::TaskRow;

// New UIDs in the order they are asked for, so a test can name them.
inline QString testUid()
{
    static int uids = 0;
    return QStringLiteral("new-%1").arg(++uids);
}

inline TaskRow task(const QString& uid, const QString& description, const QString& category = QStringLiteral("c"))
{
    TaskRow row;
    row[TaskCol::Task] = description;
    row[TaskCol::Category] = category;
    row[TaskCol::Priority] = kEmptyPriority;
    row[TaskCol::Type] = QStringLiteral("0");
    row[TaskCol::Reserved] = uid;
    return row;
}

// "description/category[/done];..." of rows, for comparing lists at a glance.
inline QString describe(const std::vector<TaskRow>& rows)
{
    QStringList out;
    for (const TaskRow& r : rows)
        out << r[TaskCol::Task] + QLatin1Char('/') + r[TaskCol::Category]
                + (r[TaskCol::Mark] == kCheckedMark ? QStringLiteral("/done") : QString());
    return out.join(QLatin1Char(';'));
}

} // namespace veltry::mergerows
