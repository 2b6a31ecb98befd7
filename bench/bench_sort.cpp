// Sorting the task grid on a title click, next to the floor of sorting bare keys.
#include "store/core/TaskOrder.h"
#include "platform/core/Clock.h"
#include "platform/core/LocaleFormats.h"
#include "store/core/Task.h"
#include "widgets/core/CellStore.h"
#include "widgets/core/GridFile.h"
#include "widgets/core/GridSort.h"

#include <QDate>
#include <QRandomGenerator>
#include <QString>
#include <algorithm>
#include <limits>
#include <benchmark/benchmark.h>
#include <memory>
#include <vector>

using namespace veltry;

namespace {

const QDate kToday(2025, 6, 15);
const QDate kFirstDue(2024, 1, 1);
constexpr int kDueSpanDays = 3 * 365;

void pinToday()
{
    Clock::setInstance(std::make_shared<FixedClock>(QDateTime(kToday, QTime(12, 0))));
}

// Dates and times as the program writes them in the "m/d/yy" locale.
const LocaleFormats kFormats = LocaleFormats::fromPattern(QStringLiteral("m/d/yy"), QLatin1Char('/'));

QString mdy(const QDate& d)
{
    return kFormats.formatDate(d);
}

// 100,000 tasks with all 12 cells filled as the program writes them; a sixth have no due date.
CellStore makeTasks(int n, quint32 seed)
{
    static const char* const words[] = {"call", "buy", "fix", "write", "send", "book", "clean", "plan",
                                        "review", "pay", "order", "check", "mail", "visit", "renew"};
    static const char* const categories[] = {"Business", "Personal", "Phone Calls", "Errands", "Home", "Misc"};
    static const char* const priorities[] = {"1", "2", "3", "\xC2\xA0"};
    QRandomGenerator rng(seed);
    CellStore s;
    s.setColumnCount(TaskCol::Count);
    s.setRowCount(n + 1);
    for (int c = 0; c < TaskCol::Count; ++c)
        s.setCell(c, 0, kTaskTitles[size_t(c)]);
    for (int r = 1; r <= n; ++r) {
        const QString desc = QStringLiteral("%1 %2 %3").arg(QLatin1String(words[rng.bounded(15)]),
                                                            QLatin1String(words[rng.bounded(15)]))
                                 .arg(rng.bounded(100000));
        const QDate due = kFirstDue.addDays(rng.bounded(kDueSpanDays));
        const int minutes = int(rng.bounded(24 * 60));
        const QString time = kFormats.formatTime(QTime(minutes / 60, minutes % 60));
        const bool noDue = rng.bounded(6) == 0;
        s.setCellUtf8(0, r, rng.bounded(4) == 0 ? " " : "x");
        s.setCell(1, r, desc);
        s.setCell(2, r, noDue ? QString() : mdy(due));
        s.setCell(3, r, noDue ? QString() : time);
        s.setCellUtf8(4, r, categories[rng.bounded(6)]);
        s.setCellUtf8(5, r, priorities[rng.bounded(4)]);
        s.setCell(6, r, QStringLiteral("notes for %1").arg(desc));
        s.setCell(7, r, mdy(due.addDays(-int(rng.bounded(60)))));
        s.setCellUtf8(8, r, rng.bounded(2) ? "Y" : "N");
        s.setCellUtf8(9, r, "0");
        s.setCell(10, r, QString::number(rng.bounded(5)));
        s.setCellUtf8(11, r, "-");
    }
    return s;
}

// The rows as the program holds them after reading the list file, which is where a title click
// finds them.
void restore(CellStore& target, const QByteArray& file)
{
    GridFile::decode(target, file);
}

void BM_StdSortParsedKeys(benchmark::State& state)
{
    const int n = int(state.range(0));
    QRandomGenerator rng(1);
    std::vector<qint64> original(static_cast<size_t>(n));
    for (qint64& k : original)
        k = rng.bounded(6) == 0 ? std::numeric_limits<qint64>::min()
                                : kFirstDue.toJulianDay() + rng.bounded(kDueSpanDays);
    std::vector<qint64> keys;
    for (auto _ : state) {
        state.PauseTiming();
        keys = original;
        state.ResumeTiming();
        std::sort(keys.begin(), keys.end());
        benchmark::DoNotOptimize(keys.data());
    }
    state.SetItemsProcessed(state.iterations() * n);
}

// The same tasks, all of priority 1, a tenth of them without a due date.
CellStore makeOnePriorityTasks(int n, quint32 seed)
{
    CellStore s = makeTasks(n, seed);
    QRandomGenerator rng(seed + 1);
    for (int r = 1; r <= n; ++r) {
        s.setCellUtf8(5, r, "1");
        const bool noDue = rng.bounded(10) == 0;
        s.setCell(2, r, noDue ? QString() : mdy(kFirstDue.addDays(rng.bounded(kDueSpanDays))));
    }
    return s;
}

// A title click on `column` of a freshly loaded list: `sort` (the grid's sort, or the window's
// own ordering it hands the click to), then `after` (a further step of the application's own).
using SortStep = void (*)(CellStore&, const SortRequest&, int&);

template<typename After>
void titleClick(benchmark::State& state, quint32 seed, int column, After after,
                CellStore (*make)(int, quint32) = makeTasks, SortStep sort = SortRows)
{
    pinToday();
    const int n = int(state.range(0));
    const QByteArray original = GridFile::encode(make(n, seed));
    CellStore cells = makeTasks(0, seed);
    cells.setRowCount(n + 1);
    const SortFormatCallback getFormat = [](int col, TSortStyle& style) { style = taskGridFormat(col, false); };
    for (auto _ : state) {
        state.PauseTiming();
        restore(cells, original);
        int current = 1;
        state.ResumeTiming();
        sort(cells, {1, n, column, sdAscending, 12, getFormat}, current);
        after(cells, n, current);
        benchmark::DoNotOptimize(current);
    }
    state.SetItemsProcessed(state.iterations() * n);
}

void BM_TitleClickSortDueDate(benchmark::State& state)
{
    titleClick(state, 2, kTaskDueDateColumn, [](CellStore&, int, int&) {});
}

void BM_SortPriorityThenDescription(benchmark::State& state)
{
    titleClick(state, 3, kTaskPriorityColumn, [](CellStore&, int, int&) {}, makeTasks, sortByPriorityThenDescription);
}

// The same tasks with notes of their own, mostly none: the title click leaves the descriptions
// of each priority out of order and many rows tied on every column it compares.
CellStore makeTasksOwnNotes(int n, quint32 seed)
{
    CellStore s = makeTasks(n, seed);
    QRandomGenerator rng(seed + 7);
    for (int r = 1; r <= n; ++r)
        s.setCell(6, r, rng.bounded(3) ? QString() : QStringLiteral("see %1").arg(rng.bounded(1000)));
    return s;
}

void BM_SortPriorityThenDescriptionOwnNotes(benchmark::State& state)
{
    titleClick(state, 3, kTaskPriorityColumn, [](CellStore&, int, int&) {}, makeTasksOwnNotes,
               sortByPriorityThenDescription);
}

// The advanced sort's opening choice on one long run: the grid's sort by priority, then the whole
// list ordered by due date.
void BM_AdvancedSortOnePriority(benchmark::State& state)
{
    LocaleFormats::setCurrent(kFormats);
    titleClick(
        state, 4, kTaskPriorityColumn,
        [](CellStore& cells, int n, int& current) { orderAdvancedSortRuns(cells, 1, n, kDefaultAdvancedSort, current); },
        makeOnePriorityTasks);
}

} // namespace

BENCHMARK(BM_StdSortParsedKeys)->Arg(100000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_TitleClickSortDueDate)->Arg(100000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SortPriorityThenDescription)->Arg(100000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SortPriorityThenDescriptionOwnNotes)->Arg(100000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_AdvancedSortOnePriority)->Arg(100000)->Unit(benchmark::kMillisecond);
