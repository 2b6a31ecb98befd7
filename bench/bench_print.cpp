// Printing the task list into a PDF file, next to the floor of drawing the same texts at fixed
// places on as many pages.
#include "app/fToDo.h"
#include "config/fPrefs2.h"
#include "history/fHistory.h"
#include "platform/core/Clock.h"
#include "store/core/Task.h"
#include "widgets/GridPrint.h"
#include "widgets/TextGrid.h"

#include <QPainter>
#include <QPdfWriter>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>
#include <memory>

using namespace veltry;

namespace {

// The task window with `tasks` ordinary tasks, its columns hidden as at start.
struct TaskWindow
{
    TfrmPrefs prefs;
    TfrmTaskHistory history;
    std::unique_ptr<TfrmToDo> todo;
    explicit TaskWindow(int tasks)
    {
        todo = std::make_unique<TfrmToDo>(&prefs, &history);
        TTextGrid* g = todo->TaskGrid;
        g->setRowCount(tasks + 1);
        for (int c = 0; c < TaskCol::Count; ++c)
            g->setCells(c, 0, kTaskTitles[size_t(c)]);
        const char* categories[] = {"Work", "Home", "Errands", "Garden"};
        for (int r = 1; r <= tasks; ++r) {
            g->setCells(TaskCol::Task, r, QStringLiteral("Task number %1, with a description of ordinary length").arg(r));
            g->setCells(TaskCol::DueDate, r, QStringLiteral("%1/%2/%3").arg(r % 12 + 1).arg(r % 28 + 1).arg(25 + r % 3));
            g->setCells(TaskCol::DueTime, r, QStringLiteral("%1:%2%3").arg(r % 12 + 1, 2, 10, QLatin1Char('0'))
                                                 .arg(r % 60, 2, 10, QLatin1Char('0'))
                                                 .arg(r % 2 ? QStringLiteral("am") : QStringLiteral("pm")));
            g->setCells(TaskCol::Category, r, QString::fromLatin1(categories[r % 4]));
            g->setCells(TaskCol::Priority, r, QString::number(r % 4));
            g->setCells(TaskCol::Notes, r, QStringLiteral("Notes for task %1\r\nsecond line of notes").arg(r));
        }
        for (int c = TaskCol::Notes; c < TaskCol::Count; ++c)
            g->HideColumn(c);
        g->PrintSettings.TitleText = QStringLiteral("Veltry v1.0: Task List");
    }
};

void setUpWriter(QPdfWriter& writer)
{
    writer.setPageSize(QPageSize(QPageSize::A4));
    writer.setResolution(1200);
}

void BM_PrintTaskList(benchmark::State& state)
{
    Clock::setInstance(std::make_shared<FixedClock>(QDateTime(QDate(2026, 3, 7), QTime(10, 0))));
    TaskWindow window(int(state.range(0)));
    TTextGrid* g = window.todo->TaskGrid;
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("tasks.pdf"));
    int pages = 0;
    for (auto _ : state) {
        // As the print command does it: status, category and priority off the paper meanwhile.
        TGridPrintScope scope(*g, {TaskCol::Mark, TaskCol::Category, TaskCol::Priority});
        QPdfWriter writer(path);
        setUpWriter(writer);
        pages = TGridPrint(*g).Print(writer);
    }
    state.counters["pages"] = pages;
    Clock::setInstance(nullptr);
}
BENCHMARK(BM_PrintTaskList)->Arg(10000)->Unit(benchmark::kMillisecond);

// The same cell texts in the same font, at places fixed in advance, on as many pages: what a
// PDF file of this list costs at the least.
void BM_PdfDrawTextOnly(benchmark::State& state)
{
    const int tasks = int(state.range(0));
    TaskWindow window(tasks);
    const TTextGrid* g = window.todo->TaskGrid;
    const int cols[] = {TaskCol::Task, TaskCol::DueDate, TaskCol::DueTime};
    QStringList texts;
    for (int r = 0; r <= tasks; ++r)
        for (int c : cols)
            texts << g->Cells(c, r);
    QFont font(QStringLiteral("Arial"));
    font.setPixelSize(42);  // 12 points in tenths of a millimetre
    constexpr int kRowsPerPage = 40;
    constexpr int kPitch = 65;
    const int xs[] = {60, 1100, 1400};
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("floor.pdf"));
    for (auto _ : state) {
        QPdfWriter writer(path);
        setUpWriter(writer);
        QPainter p(&writer);
        const qreal scale = writer.resolution() / 254.0;
        p.scale(scale, scale);
        p.setFont(font);
        for (int r = 0; r <= tasks; ++r) {
            if (r > 0 && r % kRowsPerPage == 0)
                writer.newPage();
            const int y = 200 + (r % kRowsPerPage) * kPitch;
            for (int i = 0; i < 3; ++i)
                p.drawText(QPointF(xs[i], y), texts[r * 3 + i]);
        }
    }
    state.counters["pages"] = tasks / kRowsPerPage + 1;
}
BENCHMARK(BM_PdfDrawTextOnly)->Arg(10000)->Unit(benchmark::kMillisecond);

} // namespace
