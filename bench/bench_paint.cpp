// A repaint of the task list when one visible cell holds a huge text: what the window pays on
// every refresh, which must not grow with the size of the cell.
#include "widgets/TextGrid.h"

#include <QApplication>
#include <QImage>
#include <benchmark/benchmark.h>

using namespace veltry;

namespace {

void needApplication()
{
    static int argc = 1;
    static char name[] = "veltry_bench";
    static char* argv[] = {name, nullptr};
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    static QApplication app(argc, argv);
}

// A grid laid out like the task list: six shown columns, a screenful of short tasks, and row 1's
// description holding `hugeChars` characters, on one line or on lines of 80.
void BM_PaintHugeCell(benchmark::State& state)
{
    needApplication();
    const int hugeChars = int(state.range(0));
    const bool manyLines = state.range(1) != 0;
    TTextGrid grid;
    grid.setColCount(6);
    grid.setRowCount(25);
    grid.setDefaultRowHeight(18);
    grid.EnhTextSize = true;
    grid.Multilinecells = true;
    grid.resize(640, 480);
    for (int c = 0; c < 6; ++c) {
        grid.setColWidth(c, c == 1 ? 300 : 60);
        for (int r = 0; r < grid.RowCount(); ++r)
            grid.setCells(c, r, QStringLiteral("task %1 cell %2").arg(r).arg(c));
    }
    const QString words = QStringLiteral("The quick brown fox jumps over the lazy dog, again and again and ag");
    const QString chunk = words + (manyLines ? QStringLiteral("ain.\r\n") : QStringLiteral("ain. "));
    QString huge = chunk.repeated(hugeChars / chunk.size() + 1);
    huge.truncate(hugeChars);
    grid.setCells(1, 1, huge);
    grid.show();
    QImage image(grid.size(), QImage::Format_RGB32);
    for (auto _ : state)
        grid.render(&image);
}

} // namespace

BENCHMARK(BM_PaintHugeCell)
    ->Args({100, 0})
    ->Args({10'000'000, 0})
    ->Args({10'000'000, 1})
    ->ArgNames({"chars", "lines"})
    ->Unit(benchmark::kMillisecond);
