// Loading and saving a long task list against the floor of reading its bytes and cutting lines.
#include "platform/MessageBox.h"
#include "store/core/SharedList.h"
#include "store/core/Task.h"
#include "store/core/TaskListSaver.h"
#include "store/fImport.h"
#include "sync/core/SyncMerge.h"
#include "widgets/TextGrid.h"
#include "widgets/core/CellStore.h"
#include "widgets/core/GridFile.h"

#include <QFile>
#include <QSaveFile>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>
#include <cstring>
#include <map>
#include <memory>
#include <malloc.h>

using namespace veltry;

namespace {

CellStore makeTaskList(int tasks)
{
    CellStore s;
    s.setColumnCount(TaskCol::Count);
    s.setRowCount(tasks + 1);
    for (int c = 0; c < TaskCol::Count; ++c)
        s.setCell(c, 0, kTaskTitles[size_t(c)]);
    const char* categories[] = {"Work", "Home", "Errands", "Garden"};
    for (int r = 1; r <= tasks; ++r) {
        s.setCell(0, r, (r % 3 == 0) ? QStringLiteral(" ") : QString());
        s.setCell(1, r, QStringLiteral("Task number %1, with a description of ordinary length").arg(r));
        s.setCell(2, r, QStringLiteral("%1/%2/%3").arg(r % 12 + 1).arg(r % 28 + 1).arg(25 + r % 3));
        s.setCell(3, r, QStringLiteral("%1:%2%3").arg(r % 12 + 1, 2, 10, QLatin1Char('0')).arg(r % 60, 2, 10, QLatin1Char('0')).arg(r % 2 ? QStringLiteral("am") : QStringLiteral("pm")));
        s.setCell(4, r, QString::fromLatin1(categories[r % 4]));
        s.setCell(5, r, r % 4 == 0 ? QString(QChar(0xA0)) : QString::number(r % 4));
        s.setCell(6, r, QStringLiteral("Notes for task %1\r\nsecond line of notes").arg(r));
        s.setCell(7, r, QStringLiteral("12/%1/26").arg(r % 28 + 1));
        s.setCell(8, r, QStringLiteral("Y"));
        s.setCell(9, r, QStringLiteral("0"));
        s.setCell(10, r, QString::number(r % 5));
        s.setCell(11, r, QStringLiteral("x"));
    }
    return s;
}

struct ListFile
{
    QTemporaryDir dir;
    QString path;
    qint64 size = 0;
    explicit ListFile(int tasks)
    {
        path = dir.filePath(QStringLiteral("veltlist.vlp"));
        GridFile::saveToFile(makeTaskList(tasks), path);
        size = QFile(path).size();
    }
};

ListFile& listFile(int tasks)
{
    static std::map<int, std::unique_ptr<ListFile>> files;
    auto& file = files[tasks];
    if (!file)
        file = std::make_unique<ListFile>(tasks);
    return *file;
}

void BM_RawReadLines(benchmark::State& state)
{
    ListFile& file = listFile(int(state.range(0)));
    for (auto _ : state) {
        QFile f(file.path);
        f.open(QIODevice::ReadOnly);
        const QByteArray bytes = f.readAll();
        std::vector<QByteArrayView> lines;
        lines.reserve(size_t(bytes.size() / 24));
        const char* p = bytes.constData();
        const char* end = p + bytes.size();
        while (p < end) {
            const char* cr = static_cast<const char*>(std::memchr(p, '\r', size_t(end - p)));
            const char* stop = cr ? cr : end;
            lines.emplace_back(p, stop - p);
            p = stop + 1;
            if (cr && p < end && *p == '\n')
                ++p;
        }
        benchmark::DoNotOptimize(lines.data());
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * file.size);
}

void BM_LoadTaskList(benchmark::State& state)
{
    ListFile& file = listFile(int(state.range(0)));
    size_t heap = 0;
    size_t counted = 0;
    for (auto _ : state) {
        state.PauseTiming();
        const size_t before = mallinfo2().uordblks;
        {
            state.ResumeTiming();
            CellStore s;
            GridFile::loadFromFile(s, file.path);
            state.PauseTiming();
            heap = mallinfo2().uordblks - before;
            counted = s.memoryUsage();
        }
        state.ResumeTiming();
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * file.size);
    state.counters["file_MB"] = double(file.size) / 1e6;
    state.counters["grid_heap_MB"] = double(heap) / 1e6;
    state.counters["grid_counted_MB"] = double(counted) / 1e6;
    state.counters["heap_per_file_byte"] = double(heap) / double(file.size);
}

void BM_SaveTaskList(benchmark::State& state)
{
    ListFile& file = listFile(int(state.range(0)));
    CellStore s;
    GridFile::loadFromFile(s, file.path);
    const QString out = file.dir.filePath(QStringLiteral("saved.vlp"));
    for (auto _ : state)
        GridFile::saveToFile(s, out);
    state.SetBytesProcessed(int64_t(state.iterations()) * file.size);
}

// The long list's file imported into a list of a thousand tasks, through the import dialog's own
// step (file read whole, tasks put on top, the grid given the new list).
void BM_ImportTaskFile(benchmark::State& state)
{
    ListFile& file = listFile(int(state.range(0)));
    static ListFile thousand(1000);
    MessageBox::setTestMode(true);  // a failure must not wait for someone to close its box
    TTextGrid grid;
    TfrmImport dialog(&grid, nullptr);
    for (auto _ : state) {
        state.PauseTiming();
        grid.LoadFromFile(thousand.path);
        state.ResumeTiming();
        if (!dialog.ImportFile(file.path))
            state.SkipWithError("the import failed");
    }
    if (grid.RowCount() != 1 + int(state.range(0)) + 1000)
        state.SkipWithError("the list does not hold both lists' tasks");
    state.SetBytesProcessed(int64_t(state.iterations()) * file.size);
}

// A calendar whose one to-do has a SUMMARY line of the given number of MB, imported through the
// dialog's own step like the long list above; its time per byte is to stay near that of the list,
// whatever the length of the line.
void BM_ImportCalendarLongLine(benchmark::State& state)
{
    static QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("long%1.ics").arg(state.range(0)));
    const QByteArray summary(qsizetype(state.range(0)) << 20, 'x');
    const QByteArray calendar = "BEGIN:VCALENDAR\r\nVERSION:2.0\r\nPRODID:-//Bench//EN\r\nBEGIN:VTODO\r\nUID:1\r\n"
                                "SUMMARY:" + summary + "\r\nEND:VTODO\r\nEND:VCALENDAR\r\n";
    {
        QFile f(path);
        if (!f.open(QIODevice::WriteOnly) || f.write(calendar) != calendar.size()) {
            state.SkipWithError("the calendar could not be written");
            return;
        }
    }
    static ListFile thousand(1000);
    MessageBox::setTestMode(true);
    TTextGrid grid;
    TfrmImport dialog(&grid, nullptr);
    for (auto _ : state) {
        state.PauseTiming();
        grid.LoadFromFile(thousand.path);
        state.ResumeTiming();
        if (!dialog.ImportFile(path))
            state.SkipWithError("the import failed");
    }
    if (grid.RowCount() != 1 + 1 + 1000 || grid.Cells(TaskCol::Task, 1).size() != summary.size())
        state.SkipWithError("the list does not hold the to-do with its whole summary");
    state.SetBytesProcessed(int64_t(state.iterations()) * calendar.size());
}

} // namespace

BENCHMARK(BM_RawReadLines)->Arg(100000)->Unit(benchmark::kMillisecond);
// The list against the calendar server: 10,000 tasks agreed, 100 changed here and 100 others
// changed there. Measured from the list's cells, as the sync takes them, to the merged result.
void BM_SyncCompare(benchmark::State& state)
{
    using namespace veltry::sync;
    const int tasks = int(state.range(0));
    CellStore list = makeTaskList(tasks);
    QHash<QString, Agreed> base;
    for (int r = 1; r <= tasks; ++r) {
        list.setCell(TaskCol::Reserved, r, QStringLiteral("uid-%1").arg(r));
        TaskRow row;
        for (int c = 0; c < TaskCol::Count; ++c)
            row[size_t(c)] = list.cell(c, r);
        base.insert(uidOf(row), Agreed{QStringLiteral("/cal/uid-%1.ics").arg(r), "\"1\"", row, {}, false});
    }
    QHash<QString, RemoteChange> remote;
    for (int k = 0; k < 100; ++k) {
        const int here = 1 + k * (tasks / 100);
        list.setCell(TaskCol::Task, here, QStringLiteral("Changed here %1").arg(k));
        const int there = here + 1;
        Agreed a = base.value(QStringLiteral("uid-%1").arg(there));
        a.cells[TaskCol::Category] = QStringLiteral("Changed there");
        remote.insert(uidOf(a.cells), RemoteChange{a.href, "\"2\"", a.cells, {}});
    }
    int uploads = 0;
    for (auto _ : state) {
        std::vector<TaskRow> rows(size_t(list.rowCount() - 1));
        for (int r = 1; r < list.rowCount(); ++r)
            for (int c = 0; c < TaskCol::Count; ++c)
                rows[size_t(r - 1)][size_t(c)] = list.cell(c, r);
        assignUids(rows, &makeUid);
        QHash<QString, RemoteChange> changes = remote;
        discountRoundTrips(changes, base, rows);
        const MergeResult m = merge(rows, base, changes, {}, &makeUid);
        uploads = int(m.uploads.size());
        benchmark::DoNotOptimize(m.local.data());
    }
    state.counters["uploads"] = uploads;
}
BENCHMARK(BM_SyncCompare)->Arg(10000)->Unit(benchmark::kMillisecond);

// What the window's thread does for one added task, from the new row to the save asked for:
// written there and then (0) or handed to the saver's thread as a copy of the rows (1). The
// saver's own writing runs meanwhile on the other core and is not counted.
void BM_AddAndSaveWindowThread(benchmark::State& state)
{
    const int tasks = int(state.range(0));
    const bool onWorker = state.range(1) != 0;
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("veltlist.vlp"));
    TTextGrid grid;
    CellStore list = makeTaskList(tasks);
    for (int r = 1; r <= tasks; ++r)  // every task has notes: the window shows their picture
        list.setCellImage(TaskCol::Task, r, TCellGraphic{TCellGraphic::ImageList, 1, 1, 0});
    grid.replaceCells(std::move(list));
    TaskListSaver saver({});
    if (onWorker)
        saver.prepareFollowing(grid.cellStore());  // as the window does after loading the list
    int added = 0;
    for (auto _ : state) {
        grid.editCells([&](CellStore& cells) {
            cells.insertRows(1, 1);
            cells.setCell(TaskCol::Task, 1, QStringLiteral("Added task %1").arg(++added));
            cells.setCell(TaskCol::Priority, 1, QStringLiteral("1"));
        });
        if (onWorker)
            saver.requestFollowing(grid.cellStore(), path);
        else
            grid.SaveToFile(path);
    }
    saver.waitUntilIdle();  // after the timed loop
}
BENCHMARK(BM_AddAndSaveWindowThread)
    ->Args({10000, 0})->Args({10000, 1})->Args({100000, 0})->Args({100000, 1})
    ->Unit(benchmark::kMillisecond);

BENCHMARK(BM_LoadTaskList)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SaveTaskList)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond);

// A save of a shared list after the other copy changed 100 tasks and this one 100 others: the
// file read, the three-way merge with the base, the write and the base's record.
void BM_SharedSaveMerge(benchmark::State& state)
{
    const int tasks = int(state.range(0));
    QTemporaryDir folder;
    QTemporaryDir records;
    const QString dir = folder.path() + QLatin1Char('/');
    const QString path = dir + kTaskListFileName;
    CellStore base = makeTaskList(tasks);
    for (int r = 1; r <= tasks; ++r)
        base.setCell(TaskCol::Reserved, r, QStringLiteral("uid-%1").arg(r));
    const QByteArray baseBytes = GridFile::encode(base);
    CellStore theirs;
    GridFile::decode(theirs, baseBytes);
    CellStore ours;
    GridFile::decode(ours, baseBytes);
    for (int k = 0; k < 100; ++k) {
        const int here = 1 + k * (tasks / 100);
        ours.setCell(TaskCol::Task, here, QStringLiteral("Changed here %1").arg(k));
        theirs.setCell(TaskCol::Category, here + 1, QStringLiteral("Changed there"));
    }
    const QByteArray theirBytes = GridFile::encode(theirs);
    // As the other copy saves: whole, and on the disk before it lets go of the lock.
    auto write = [&](const QByteArray& bytes) {
        QSaveFile f(path);
        f.open(QIODevice::WriteOnly);
        f.write(bytes);
        f.commit();
    };
    int rows = 0;
    for (auto _ : state) {
        state.PauseTiming();
        write(baseBytes);
        shared::SharedList list(dir, records.path() + QLatin1Char('/'));
        CellStore agreed;
        GridFile::decode(agreed, baseBytes);
        CellStore history;
        list.agree(agreed, history);
        write(theirBytes);  // the other copy's save
        state.ResumeTiming();
        shared::SharedList::Outcome o = list.saveTasks(ours, true, 1000);
        if (o.status != shared::SharedList::Outcome::Done || !o.cells)
            state.SkipWithError("the save did not merge");
        else
            rows = o.cells->rowCount() - 1;
    }
    if (rows != tasks)
        state.SkipWithError("the merged list lost or gained tasks");
}
BENCHMARK(BM_SharedSaveMerge)->Arg(10000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ImportTaskFile)->Arg(100000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ImportCalendarLongLine)->Arg(5)->Arg(10)->Arg(20)->Arg(40)->Unit(benchmark::kMillisecond);
