// Start to the task window shown with a long list, against the floor: a bare table window
// showing as many rows. Both are timed from nothing built to the window exposed and painted
// once; the application object and the process start, common to both, are left out, so the
// ratio here is no kinder than the one a user sees.
#include "app/VeltryApp.h"
#include "app/fToDo.h"
#include "platform/MessageBox.h"
#include "platform/core/ConfigStore.h"
#include "platform/core/DataPaths.h"
#include "store/core/Task.h"

#include <QCoreApplication>
#include <QFile>
#include <QHeaderView>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QWindow>
#include <benchmark/benchmark.h>

using namespace veltry;

namespace {

QString taskText(int row)
{
    return QStringLiteral("Task number %1 with a few words of description").arg(row);
}

// Twelve columns as the program writes them; a date, a time, a category and a priority on most.
QByteArray taskListFile(int tasks)
{
    static const char* const titles[] = {"Task", "Due On", "Due At", "Category", "Pr", "Notes", "Create Date",
                                         "Alarm", "Lead Time", "Type"};
    QByteArray out = "12," + QByteArray::number(tasks + 1) + "\r\n";
    for (int c = 1; c <= 10; ++c)
        out += QByteArray::number(c) + ",0," + titles[c - 1] + "\r\n";
    for (int r = 1; r <= tasks; ++r) {
        const QByteArray row = "," + QByteArray::number(r) + ",";
        out += "1" + row + taskText(r).toUtf8() + "\r\n";
        if (r % 3 != 0) {
            out += "2" + row + QByteArray::number(1 + r % 12) + "/" + QByteArray::number(1 + r % 28) + "/27\r\n";
            out += "3" + row + QByteArray::number(1 + r % 12) + ":" + QByteArray::number(10 + r % 50) + " PM\r\n";
        }
        out += "4" + row + (r % 2 ? "Work" : "Home") + "\r\n";
        out += "5" + row + QByteArray::number(1 + r % 5) + "\r\n";
        out += "7" + row + "12/1/26\r\n";
    }
    return out;
}

// Until the window is on the (offscreen) screen and its first paint has run.
void waitShown(QWidget* window)
{
    while (!window->windowHandle() || !window->windowHandle()->isExposed())
        QCoreApplication::processEvents();
    QCoreApplication::processEvents();
}

void BM_StartBareTableWindow(benchmark::State& state)
{
    const int tasks = int(state.range(0));
    for (auto _ : state) {
        {
            QTableWidget table(tasks, 6);
            table.setHorizontalHeaderLabels({QStringLiteral("Task"), QStringLiteral("Due On"), QStringLiteral("Due At"),
                                             QStringLiteral("Category"), QStringLiteral("Pr"), QStringLiteral("")});
            for (int r = 0; r < tasks; ++r) {
                table.setItem(r, 0, new QTableWidgetItem(taskText(r + 1)));
                table.setItem(r, 4, new QTableWidgetItem(QString::number(1 + r % 5)));
            }
            table.resize(620, 400);
            table.show();
            waitShown(&table);
            state.PauseTiming();
        }
        state.ResumeTiming();
    }
}
BENCHMARK(BM_StartBareTableWindow)->Arg(10000)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_StartTaskWindow(benchmark::State& state)
{
    const int tasks = int(state.range(0));
    QTemporaryDir dir;
    DataPaths::setProgramDirectoryOverride(dir.path());
    QFile::remove(ConfigStore::shared().filePath());
    ConfigStore::shared().reload();
    MessageBox::setTestMode(true);
    {
        QFile f(dir.filePath(kTaskListFileName));
        if (!f.open(QIODevice::WriteOnly) || f.write(taskListFile(tasks)) < 0) {
            state.SkipWithError("cannot write the task list");
            return;
        }
    }
    for (auto _ : state) {
        VeltryApp app;
        if (!app.start()) {
            state.SkipWithError("another copy holds the lock");
            return;
        }
        waitShown(app.toDo());
        state.PauseTiming();
        app.shutdown();
        state.ResumeTiming();
    }
    if (!MessageBox::shownTexts().isEmpty())
        state.SkipWithError(MessageBox::shownTexts().first().toStdString().c_str());
}
BENCHMARK(BM_StartTaskWindow)->Arg(10000)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace
