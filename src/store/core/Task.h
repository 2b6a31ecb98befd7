#pragma once

#include <QString>
#include <array>

namespace veltry {

// The columns of a task row; there is no task object apart from the grid's cells.
namespace TaskCol {
enum : int {
    Mark = 0,        // " " when checked
    Task = 1,        // description
    DueDate = 2,     // short date format, or empty
    DueTime = 3,     // "hh:mmam/pm", or empty
    Category = 4,
    Priority = 5,    // never empty: an empty priority is the single character U+00A0
    Notes = 6,       // lines separated by CR LF
    CreateDate = 7,
    Alarm = 8,       // "Y" when on
    LeadTime = 9,    // reserved, never written
    Type = 10,       // "0".."4"
    Reserved = 11,
    Count = 12
};
} // namespace TaskCol

inline const QString kCheckedMark = QStringLiteral(" ");
inline const QString kEmptyPriority = QString(QChar(0x00A0));
inline const QString kAlarmOn = QStringLiteral("Y");

// Row 0 of the task grid.
inline const std::array<QString, TaskCol::Count> kTaskTitles = {
    QString(), QStringLiteral("Task"), QStringLiteral("Due On"), QStringLiteral("Due At"),
    QStringLiteral("Category"), QStringLiteral("Pr"), QStringLiteral("Notes"),
    QStringLiteral("Create Date"), QStringLiteral("Alarm"), QStringLiteral("Lead Time"),
    QStringLiteral("Type"), QString()};

// The history grid's columns.
namespace HistCol {
enum : int { Number = 0, Task = 1, DueDate = 2, LogDate = 3, Category = 4, Notes = 5, CreateDate = 6, Count = 7 };
} // namespace HistCol

inline const QString kTaskListFileName = QStringLiteral("veltlist.vlp");
inline const QString kHistoryFileName = QStringLiteral("veltlog.vlp");

} // namespace veltry
