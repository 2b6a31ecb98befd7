#include "alarms/core/Recurrence.h"

#include <algorithm>

namespace veltry::Recurrence {

const QStringList& typeNames()
{
    static const QStringList names = {QStringLiteral("one-time"), QStringLiteral("daily"), QStringLiteral("weekly"),
                                      QStringLiteral("bi-weekly"), QStringLiteral("monthly")};
    return names;
}

int typeIndex(QStringView cell, const QStringList& names)
{
    bool ok = false;
    const int index = cell.trimmed().toInt(&ok);
    return ok && index >= 0 && index < names.size() ? index : -1;
}

Step stepFor(const QString& upperName)
{
    if (upperName == QLatin1String("DAILY"))
        return {1, false};
    if (upperName == QLatin1String("WEEKLY"))
        return {7, false};
    if (upperName == QLatin1String("BI-WEEKLY"))
        return {14, false};
    if (upperName == QLatin1String("MONTHLY"))
        return {0, true};
    return {};
}

QDate monthStep(const QDate& date)
{
    return date.addMonths(1);  // clamps to the month's last day
}

QDate advance(const QDate& due, Step step, const QDateTime& now)
{
    if (step.isNone() || !due.isValid())
        return due;
    const QDate today = now.date();
    if (!step.monthly) {
        if (today < due)
            return due;
        // Jump straight to the first step after today rather than walking a long-forgotten series.
        const qint64 steps = due.daysTo(today) / step.days + 1;
        return due.addDays(steps * step.days);
    }
    // The due date itself stands at midnight; later candidates stand at now's time of day, so on
    // their own day they are ahead of today's midnight unless now is midnight exactly.
    if (today < due)
        return due;
    const bool atMidnight = now.time() == QTime(0, 0);
    int months = 1;
    // Start near the answer; a long-overdue task must not walk month by month from its year.
    const int gap = (today.year() - due.year()) * 12 + (today.month() - due.month());
    if (gap > 2)
        months = gap - 1;
    QDate candidate = due.addMonths(months);
    while (today > candidate || (today == candidate && atMidnight))
        candidate = due.addMonths(++months);
    return candidate;
}

QDate nextAfter(const QDate& due, Step step, const QDate& today)
{
    if (!due.isValid())
        return due;
    // Advancing from the later of the two days at midnight gives the first date beyond it.
    return advance(due, step, QDateTime(std::max(due, today), QTime(0, 0)));
}

} // namespace veltry::Recurrence
