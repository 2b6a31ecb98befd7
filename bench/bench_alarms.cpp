// A tick of the alarm check in which nothing is due: the price of the one-second timer on a big
// list.
#include "alarms/core/AlarmScheduler.h"
#include "platform/core/LocaleFormats.h"
#include "store/core/Task.h"
#include "widgets/core/CellStore.h"
#include "widgets/core/GridFile.h"

#include <QDate>
#include <QRandomGenerator>
#include <benchmark/benchmark.h>

using namespace veltry;

namespace {

const QDateTime kNow(QDate(2025, 6, 15), QTime(12, 0, 30));

// Dates and times as the program writes them in the "m/d/yy" locale.
const LocaleFormats kFormats = LocaleFormats::fromPattern(QStringLiteral("m/d/yy"), QLatin1Char('/'));

QString mdy(const QDate& d)
{
    return kFormats.formatDate(d);
}

// Tasks as the program writes them, none with anything to do at kNow: alarms and recurring tasks
// ahead, finished one-time tasks behind, and some without a due date.
CellStore makeQuietTasks(int n)
{
    QRandomGenerator rng(7);
    CellStore s;
    s.setColumnCount(TaskCol::Count);
    s.setRowCount(n + 1);
    for (int c = 0; c < TaskCol::Count; ++c)
        s.setCell(c, 0, kTaskTitles[size_t(c)]);
    for (int r = 1; r <= n; ++r) {
        const int kind = int(rng.bounded(6));
        const bool ahead = kind < 3;
        const QDate due = ahead ? kNow.date().addDays(1 + rng.bounded(700)) : kNow.date().addDays(-1 - int(rng.bounded(700)));
        const int minutes = int(rng.bounded(24 * 60));
        const QString time = kFormats.formatTime(QTime(minutes / 60, minutes % 60));
        s.setCell(TaskCol::Task, r, QStringLiteral("task number %1 of the list").arg(r));
        if (kind != 5) {
            s.setCell(TaskCol::DueDate, r, mdy(due));
            s.setCell(TaskCol::DueTime, r, rng.bounded(4) ? time : QString());
        }
        s.setCellUtf8(TaskCol::Category, r, "Business");
        s.setCellUtf8(TaskCol::Priority, r, "2");
        s.setCell(TaskCol::Notes, r, QStringLiteral("notes for task %1").arg(r));
        s.setCell(TaskCol::CreateDate, r, mdy(due.addDays(-10)));
        s.setCellUtf8(TaskCol::Alarm, r, ahead && rng.bounded(2) ? "Y" : "");
        s.setCell(TaskCol::Type, r, ahead ? QString::number(rng.bounded(5)) : QStringLiteral("0"));
    }
    // Hold the rows as the program does after reading the list file.
    CellStore loaded;
    GridFile::decode(loaded, GridFile::encode(s));
    return loaded;
}

void BM_AlarmTickNothingDue(benchmark::State& state)
{
    CellStore cells = makeQuietTasks(int(state.range(0)));
    const LocaleFormats& formats = kFormats;
    AlarmScheduler scheduler;
    int actions = 0;
    AlarmScheduler::Hooks hooks;
    hooks.raiseReminder = [&](int, int) { ++actions; };
    hooks.appendRow = [&] { ++actions; cells.setRowCount(cells.rowCount() + 1); return cells.rowCount() - 1; };
    hooks.reportUnreadable = [&](const QString&) { ++actions; };
    scheduler.checkAlarms(cells, kNow, formats, hooks);  // the first tick after a load reads every row
    for (auto _ : state)
        scheduler.checkAlarms(cells, kNow, formats, hooks);
    if (actions != 0)
        state.SkipWithError("something was due");
}

// The same tick right after the user changed one cell: only the changed row may be parsed again.
void BM_AlarmTickAfterEdit(benchmark::State& state)
{
    CellStore cells = makeQuietTasks(int(state.range(0)));
    const LocaleFormats& formats = kFormats;
    AlarmScheduler scheduler;
    AlarmScheduler::Hooks hooks;
    scheduler.checkAlarms(cells, kNow, formats, hooks);
    int flip = 0;
    for (auto _ : state) {
        cells.setCellUtf8(TaskCol::Category, 1, (++flip & 1) ? "Home" : "Business");
        scheduler.checkAlarms(cells, kNow, formats, hooks);
    }
}

// The tick right after a task was added at the top (range 1 = 0) or the top task was removed
// (range 1 = 1): every row below has moved by one, and the kept rows move along. The change
// itself is not timed.
void BM_AlarmTickAfterInsertOrRemove(benchmark::State& state)
{
    CellStore cells = makeQuietTasks(int(state.range(0)));
    const bool remove = state.range(1) != 0;
    AlarmScheduler scheduler;
    AlarmScheduler::Hooks hooks;
    scheduler.checkAlarms(cells, kNow, kFormats, hooks);
    const QString ahead = mdy(kNow.date().addDays(3));
    auto insertTop = [&] {
        cells.insertRows(1, 1);
        cells.setCell(TaskCol::Task, 1, QStringLiteral("a new task"));
        cells.setCell(TaskCol::DueDate, 1, ahead);
        cells.setCellUtf8(TaskCol::Type, 1, "0");
    };
    for (auto _ : state) {
        state.PauseTiming();
        if (remove) {
            insertTop();
            scheduler.checkAlarms(cells, kNow, kFormats, hooks);
            cells.removeRows(1, 1);
        } else {
            insertTop();
        }
        state.ResumeTiming();
        scheduler.checkAlarms(cells, kNow, kFormats, hooks);
        if (!remove) {
            state.PauseTiming();
            cells.removeRows(1, 1);
            scheduler.checkAlarms(cells, kNow, kFormats, hooks);
            state.ResumeTiming();
        }
    }
}
} // namespace

BENCHMARK(BM_AlarmTickNothingDue)->Arg(1000)->Arg(100000)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_AlarmTickAfterEdit)->Arg(1000)->Arg(10000)->Arg(100000)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_AlarmTickAfterInsertOrRemove)
    ->ArgsProduct({{10000, 100000}, {0, 1}})
    ->ArgNames({"tasks", "removed"})
    ->Unit(benchmark::kMillisecond);
