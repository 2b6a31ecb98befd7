// Opening the notes panel of a task whose notes run to megabytes, against the floor: the same
// text loaded once into a plain editor of the same size, shown.
#include "app/fToDo.h"
#include "config/fPrefs2.h"
#include "editing/fAddTask.h"
#include "history/fHistory.h"
#include "store/core/Task.h"
#include "widgets/PanelMgr.h"
#include "widgets/TextGrid.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QPlainTextEdit>
#include <QTimer>
#include <benchmark/benchmark.h>
#include <memory>

using namespace veltry;

namespace {

// Notes as the cell keeps them: lines of ordinary length ending in CR LF.
QString notesOf(qsizetype megabytes, const QString& lineBreak)
{
    const QString line = QStringLiteral("Call the supplier about the order, then write up the notes") + lineBreak;
    QString text;
    text.reserve(megabytes * 1024 * 1024 + line.size());
    while (text.size() < megabytes * 1024 * 1024)
        text += line;
    return text;
}

void BM_NotesPanelOpen(benchmark::State& state)
{
    TfrmPrefs prefs;
    TfrmTaskHistory history;
    TfrmToDo todo(&prefs, &history);
    TTextGrid* g = todo.TaskGrid;
    g->setRowCount(2);
    for (int c = 0; c < TaskCol::Count; ++c)
        g->setCells(c, 0, kTaskTitles[size_t(c)]);
    g->setCells(TaskCol::Task, 1, QStringLiteral("A task with long notes"));
    g->setCells(TaskCol::Notes, 1, notesOf(state.range(0), QStringLiteral("\r\n")));
    TfrmAddTask dlg(&todo);
    dlg.setHost(&todo);
    for (auto _ : state) {
        double seconds = 0;
        QTimer::singleShot(0, &dlg, [&] {
            QElapsedTimer timer;
            timer.start();
            dlg.PanelManager1->togglePanel(dlg.NotesPanel);
            QCoreApplication::processEvents();  // shown and drawn
            seconds = double(timer.nsecsElapsed()) * 1e-9;
            dlg.PanelManager1->togglePanel(dlg.NotesPanel);  // the next opening starts folded again
            dlg.reject();
        });
        dlg.execute(true);
        if (!dlg.mmoNotes->document()->characterCount())
            state.SkipWithError("the notes never reached the panel");
        state.SetIterationTime(seconds);
    }
}

void BM_NotesPlainEditorFloor(benchmark::State& state)
{
    const QString text = notesOf(state.range(0), QStringLiteral("\n"));
    for (auto _ : state) {
        auto editor = std::make_unique<QPlainTextEdit>();
        editor->resize(354, 101);
        editor->show();
        QCoreApplication::processEvents();
        QElapsedTimer timer;
        timer.start();
        editor->setPlainText(text);
        QCoreApplication::processEvents();
        state.SetIterationTime(double(timer.nsecsElapsed()) * 1e-9);
    }
}
} // namespace

BENCHMARK(BM_NotesPanelOpen)->Arg(5)->Arg(10)->Arg(20)->UseManualTime()->Iterations(3)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_NotesPlainEditorFloor)->Arg(5)->Arg(10)->Arg(20)->UseManualTime()->Iterations(3)->Unit(benchmark::kMillisecond);
