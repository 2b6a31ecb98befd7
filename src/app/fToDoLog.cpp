#include "app/fToDo.h"
#include "app/fToDo_p.h"
#include "alarms/core/AlarmScheduler.h"
#include "app/core/TaskUndo.h"
#include "history/TaskLogGrid.h"
#include "history/fHistory.h"
#include "platform/MessageBox.h"
#include "platform/core/AppError.h"
#include "platform/core/Clock.h"
#include "platform/core/LocaleFormats.h"
#include "store/core/SharedList.h"
#include "store/core/Task.h"
#include "store/core/TaskListSaver.h"
#include "sync/TaskListSync.h"
#include "widgets/TextGrid.h"
#include "widgets/core/GridFile.h"

#include <QSet>
#include <QTimer>
#include <algorithm>

// Logging: the checked tasks go into the history, whose save runs on the worker; they leave the
// list when it comes back.

namespace veltry {

namespace {
using shared::SharedListWorker;
using Outcome = shared::SharedList::Outcome;
} // namespace

int TfrmToDo::LogTasks(bool wait)
{
    // A merge still out would come back onto rows taken apart below, and one run at a time.
    if (m_logRun || m_sharedWorker->isOut()) {
        if (!wait) {
            m_logAgain = true;
            return 0;
        }
        settleLogging();
        settleSharedJobs();
    }
    m_history->ensureHistoryShape();
    TextGridRows tasks(TaskGrid);
    TextGridRows history(m_history->TaskHistoryGrid);
    auto run = std::make_unique<TaskLogRun>();
    run->copy = copyCompletedTasks(tasks, history, todaysLogDate());
    m_logLastCount = 0;
    if (run->copy.count == 0) {
        SaveTaskList();
        announceLogging(0);
    } else {
        // Taken before the history's save, which may merge other copies' entries in.
        run->step.text = QStringLiteral("Log Completed Tasks");
        for (int r = 1; r < TaskGrid->RowCount(); ++r)
            if (TaskGrid->Cells(TaskCol::Mark, r) == kCheckedMark)
                run->step.tasks.removed(TaskGrid->cellStore(), r);
        const CellStore& historyCells = m_history->TaskHistoryGrid->cellStore();
        for (int r = 1; r <= run->copy.count; ++r)
            run->step.history.added(historyCells, r);
        run->historyGeneration = historyCells.generation();
        // The tasks leave the list only once the history holds them on disk: a kill in between
        // leaves them in both files, never in neither.
        auto rows = std::make_shared<CellStore>(TaskListSaver::snapshot(historyCells));
        run->directory = dataDirectory();
        const QString path = run->directory + kHistoryFileName;
        if (sharedListActive()) {
            // Logging saves the task list right after: both reach their files under one hold
            // of the lock, let go once the list's save is done.
            m_sharedWorker->post([list = m_shared, rows, lockWaitMs = *m_sharedHistoryWaitMs] {
                SharedListWorker::Result r;
                r.kind = SharedListWorker::Result::Log;
                r.history = list->saveHistory(*rows, lockWaitMs, true);
                return r;
            });
        } else {
            m_sharedWorker->post([rows, path] {
                SharedListWorker::Result r;
                r.kind = SharedListWorker::Result::Log;
                try {
                    GridFile::saveToFile(*rows, path);
                } catch (const AppError& e) {
                    r.history.status = Outcome::Failed;
                    r.history.error = e.message();
                }
                return r;
            });
        }
        m_logRun = std::move(run);
    }
    if (!wait)
        return 0;
    settleLogging();
    // The history already holds the tasks: the list must lose them on disk before the user is
    // told, or a kill now would log them twice at the next start.
    waitForSaves();
    return m_logLastCount;
}

void TfrmToDo::logHistorySaved(SharedListWorker::Result& r)
{
    if (!m_logRun)
        return;
    Outcome& o = r.history;
    TTextGrid* grid = m_history->TaskHistoryGrid;
    if (!o.notice.isEmpty())
        MessageBox::showError(this, o.notice);
    if (o.status == Outcome::Done) {
        if (sharedListActive()) {
            // Merged with other copies' entries: shown unless the history changed meanwhile,
            // which its next save merges again.
            bool taken = true;
            if (o.cells) {
                taken = grid->cellStore().generation() == m_logRun->historyGeneration && syncMayChangeList();
                if (taken) {
                    grid->replaceCells(std::move(*o.cells));
                    m_logRun->historyGeneration = grid->cellStore().generation();
                }
            }
            m_shared->answer(true, taken);
            if (taken)
                m_watch.setHistoryStamp(o.stamp);
        } else {
            m_watch.recordHistory(dataDirectory());
        }
        m_history->UpdateHistoryCount();
        m_logRun->saved = true;
    } else {
        m_logRun->error = o.status == Outcome::Failed || !m_shared
            ? o.error
            : sharedListBusyText(m_logRun->directory + kHistoryFileName, *m_shared);
    }
    m_logRun->back = true;
    QTimer::singleShot(0, this, [this] { finishLogging(false); });
}

void TfrmToDo::settleLogging()
{
    if (!m_logRun)
        return;
    settleSharedJobs();
    finishLogging(true);
}

void TfrmToDo::finishLogging(bool force)
{
    if (!m_logRun || !m_logRun->back || (!force && !syncMayChangeList()))
        return;
    const std::unique_ptr<TaskLogRun> run = std::move(m_logRun);
    TTextGrid* historyGrid = m_history->TaskHistoryGrid;
    if (!run->saved) {
        if (historyGrid->cellStore().generation() == run->historyGeneration) {
            TextGridRows history(historyGrid);
            undoTaskLogCopy(history, run->copy);
        } else {
            // Changed meanwhile: the copies are found by their texts.
            historyGrid->editCells([&](CellStore& cells) { run->step.history.apply(cells, true); });
        }
        m_history->UpdateHistoryCount();
        m_logAgain = false;
        MessageBox::showError(this, run->error + QStringLiteral("\n\nThe completed tasks stay in your task list."));
        return;
    }
    // The tasks as they were copied; one changed or unchecked since stays on the list.
    std::vector<int> rows;
    for (int r : run->step.tasks.find(TaskGrid->cellStore(), false))
        if (r > 0)
            rows.push_back(r);
    std::sort(rows.begin(), rows.end());
    TaskListStep step;
    step.text = run->step.text;
    step.history = std::move(run->step.history);
    for (int r : rows)
        step.tasks.removed(TaskGrid->cellStore(), r);
    if (m_sync && m_sync->isEnabled()) {
        std::vector<sync::TaskRow> logged;
        for (int r : rows)
            logged.push_back(taskRow(TaskGrid->cellStore(), r));
        m_sync->tasksLogged(logged, Clock::instance().now());
    }
    renewLoggedTasks(step, rows);
    TextGridRows tasks(TaskGrid);
    removeTaskRows(tasks, rows);
    pushStep(std::move(step));
    if (run->directory == dataDirectory()) {
        SaveTaskList();
    } else {
        // Another folder's files are about to be loaded: the list the tasks left goes back to the
        // folder whose history holds them, and nothing of it into the new one.
        try {
            GridFile::saveToFile(TaskGrid->cellStore(), run->directory + kTaskListFileName);
        } catch (const AppError& e) {
            MessageBox::showError(this, e.message());
        }
    }
    if (m_shared && !m_sharedWorker->isOut())
        m_shared->fileLock().unlock();  // a save job lets go itself when it ends
    UpdateTaskCount();
    UpdateChecked();
    TaskGrid->viewport()->update();
    m_logLastCount = run->copy.count;
    announceLogging(run->copy.count);
    if (std::exchange(m_logAgain, false))
        QTimer::singleShot(0, this, [this] { LogTasks(false); });
}

void TfrmToDo::announceLogging(int count)
{
    if (m_loggingAtStart || m_settings.NoConfirmations)
        return;
    whenSaved([this, count](bool) {
        MessageBox::show(this, MessageBox::Kind::Plain,
                         QString::number(count) + QStringLiteral(" tasks were logged in your history file"));
    });
}

void TfrmToDo::renewLoggedTasks(TaskListStep& step, const std::vector<int>& logged)
{
    // However a recurring task is finished, on time, early or late, its series goes on.
    const QDate today = Clock::instance().today();
    std::vector<int> added;
    std::vector<bool> isLogged;
    TaskGrid->editCells([&](CellStore& cells) {
        isLogged.assign(size_t(cells.rowCount()), false);
        for (int r : logged) {
            isLogged[size_t(r)] = true;
            const int next = AlarmScheduler::renewLoggedTask(cells, r, today, LocaleFormats::current(), [this] {
                TaskGrid->setRowCount(TaskGrid->RowCount() + 1);
                return TaskGrid->RowCount() - 1;
            });
            if (next > 0) {
                added.push_back(next);
                step.tasks.added(cells, next);
            }
        }
        // A copy renewed before this log still carries the logged task's UID. It is a task of
        // its own from now on: left with that UID, the sync would move the completed to-do to
        // the copy's date instead of closing it. It gets a UID of its own at the next sync.
        QSet<QByteArray> loggedUids;
        for (int r : logged)
            if (!cells.cellUtf8(TaskCol::Reserved, r).isEmpty())
                loggedUids.insert(cells.cellUtf8(TaskCol::Reserved, r).toByteArray());
        for (int r = 1; r < cells.rowCount(); ++r)
            if ((size_t(r) >= isLogged.size() || !isLogged[size_t(r)])
                && loggedUids.contains(cells.cellUtf8(TaskCol::Reserved, r).toByteArray())) {
                RowCells before = RowStep::keep(cells, r);
                cells.setCellUtf8(TaskCol::Reserved, r, QByteArrayView());
                step.tasks.changed(std::move(before), r, cells, r);
            }
    });
    for (int r : added)
        if (!TaskGrid->Cells(TaskCol::Notes, r).isEmpty())
            TaskGrid->SetCellImage(TaskCol::Task, r, 1, 1, 0);
}

} // namespace veltry
