// The task window's links to other copies of the list: the calendar server's sync and the
// list shared through a folder, whose saves and reloads merge.

#include "app/fToDo.h"
#include "app/fToDo_p.h"

#include "platform/AppIcons.h"
#include "app/HelpViewer.h"
#include "app/fAbout.h"
#include "platform/core/Version.h"
#include "config/fhotkeys.h"
#include "editing/fAddTask.h"
#include "widgets/FlatBtn.h"
#include "widgets/GradCap.h"

#include "alarms/core/AlarmScheduler.h"
#include "alarms/fRemind.h"
#include "config/fPrefs2.h"
#include "history/fAdvSort.h"
#include "history/fFind.h"
#include "history/fHistory.h"
#include "history/TaskLogGrid.h"
#include "history/gridprev.h"
#include "store/fExport.h"
#include "store/fImport.h"
#include "platform/MessageBox.h"
#include "platform/core/AppError.h"
#include "platform/core/Autostart.h"
#include "platform/core/Clock.h"
#include "platform/core/ConfigStore.h"
#include "platform/core/DataPaths.h"
#include "platform/core/FileSafety.h"
#include "platform/core/LocaleFormats.h"
#include "platform/core/ScreenFit.h"
#include "store/core/SharedList.h"
#include "store/core/TaskListSaver.h"
#include "store/core/Task.h"
#include "sync/TaskListSync.h"
#include "tray/TrayIcon.h"
#include "tray/TrayT1.h"
#include "widgets/GridPrint.h"
#include "widgets/TextGrid.h"
#include "widgets/TextGridAccessible.h"
#include "widgets/core/GridFile.h"
#include "store/core/TaskOrder.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QContextMenuEvent>
#include <QFrame>
#include <QKeyEvent>
#include <QMenu>
#include <QSet>
#include <QMenuBar>
#include <QShortcut>
#include <QMouseEvent>
#include <QPrintDialog>
#include <QPointer>
#include <QPrinter>
#include <algorithm>
#include <cmath>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QLayout>
#include <QScopeGuard>
#include <QScreen>
#include <QScrollBar>
#include <QStatusBar>
#include <QTimer>
#include <QUndoStack>
#include <QVBoxLayout>

namespace veltry {

// One task row as the calendar server's sync sees it.
sync::TaskRow taskRow(const CellStore& cells, int row)
{
    sync::TaskRow task;
    for (int c = 0; c < TaskCol::Count && c < cells.columnCount(); ++c)
        task[size_t(c)] = cells.cell(c, row);
    return task;
}

void TfrmToDo::setupSync()
{
    if (!m_sync) {
        sync::SyncEngine::Host host;
        host.rows = [this] {
            std::vector<sync::TaskRow> rows;
            const CellStore& cells = TaskGrid->cellStore();
            rows.reserve(size_t(std::max(0, cells.rowCount() - 1)));
            for (int r = 1; r < cells.rowCount(); ++r) {
                sync::TaskRow row = taskRow(cells, r);
                // An empty list's placeholder row is no task.
                if (std::any_of(row.begin(), row.end(), [](const QString& cell) { return !cell.isEmpty(); }))
                    rows.push_back(std::move(row));
            }
            return rows;
        };
        host.mayChange = [this] { return syncMayChangeList(); };
        host.replaceRows = [this](const std::vector<sync::TaskRow>& rows, std::function<void(bool)> done) {
            replaceTaskRows(rows, std::move(done));
        };
        m_sync = new sync::TaskListSync(std::move(host), this);
        connect(m_sync, &sync::TaskListSync::statusChanged, this, [this](const QString& text) {
            const bool showingStatus = statusPanels[2]->text() == m_syncStatus;
            m_syncStatus = text;
            if (showingStatus)
                showStatusText(text);
        });
        m_prefs->setSyncProber(&sync::TaskListSync::probe);
        // Once the password is stored, so the new settings start with it.
        connect(m_prefs, &TfrmPrefs::syncServerChanged, this, [this] {
            m_sync->configure(m_settings.SyncUrl, m_settings.SyncUser, m_settings.SyncEnabled);
        });
    }
    m_sync->configure(m_settings.SyncUrl, m_settings.SyncUser, m_settings.SyncEnabled);
}

bool TfrmToDo::syncMayChangeList() const
{
    // A reminder, the add/edit dialog or an open cell edit refer to rows by number.
    return m_created && !m_inAlarmPass && !TaskGrid->EditorMode() && !QApplication::activeModalWidget()
        && !QApplication::activePopupWidget();
}

void TfrmToDo::replaceTaskRows(const std::vector<sync::TaskRow>& rows, std::function<void(bool)> done)
{
    const CellStore& old = TaskGrid->cellStore();
    CellStore cells;
    cells.setColumnCount(std::max<int>(TaskCol::Count, old.columnCount()));
    cells.setRowCount(int(std::max<size_t>(rows.size(), 1)) + 1);
    for (int c = 0; c < cells.columnCount(); ++c)
        cells.setCellUtf8(c, 0, old.cellUtf8(c, 0));
    for (size_t i = 0; i < rows.size(); ++i)
        for (int c = 0; c < TaskCol::Count; ++c)
            cells.setCell(c, int(i) + 1, rows[i][size_t(c)]);
    showMergedTasks(std::move(cells));
    m_applyingSync = true;
    const bool saved = SaveTaskList();
    m_applyingSync = false;
    // The server's changes count as taken in only once they are on disk.
    if (saved)
        whenSaved(std::move(done));
    else
        done(false);
}

void TfrmToDo::LoadDataFiles()
{
    settleLogging();  // its tasks leave this folder's list
    waitForSaves();  // a save landing after the load would be taken for another copy's
    const QString dir = dataDirectory();
    if (loadGridFile(TaskGrid, dir + kTaskListFileName, false))
        attachTaskImages();
    if (QFile::exists(dir + kHistoryFileName))
        loadGridFile(m_history->TaskHistoryGrid, dir + kHistoryFileName, false);
    RecordFileTimes();
    m_shared.reset();  // what the new folder's files hold is agreed anew
    m_undoStack->clear();  // the steps were taken on the other folder's lists
    setupSharedList();
    UpdateTaskCount();
    UpdateChecked();
}

// --- a list shared through a folder ------------------------------------------------------------

namespace {
// Normally another copy holds the lock for a few milliseconds; a save's job waits this long for
// it, then the save is tried again from a timer, and the status bar says so after a while.
constexpr int kSharedLockWaitMs = 500;
constexpr int kSharedRetryMs = 250;
// The history's save comes with logging, whose message waits for it.
constexpr int kSharedHistoryLockWaitMs = 2000;
// At the end the list goes to a file of its own (merged at the next start) rather than keep a
// session's logout or a SIGTERM waiting: a lock held longer than this is no ordinary save.
constexpr int kSharedExitLockWaitMs = 1000;

using shared::SharedListWorker;
using Outcome = shared::SharedList::Outcome;
} // namespace

QString sharedListBusyText(const QString& path, shared::SharedList& list)
{
    return QStringLiteral("Could not save \"%1\": the shared list is in use by %2.").arg(path, list.fileLock().holderText());
}

bool TfrmToDo::sharedListActive() const
{
    // A move to another folder is saved plainly; the new folder's files are agreed afterwards.
    return m_shared && m_settings.Networkable && m_shared->directory() == dataDirectory();
}

void TfrmToDo::setupSharedList()
{
    if (!m_sharedRetry) {
        m_sharedRetry = new QTimer(this);
        m_sharedRetry->setInterval(kSharedRetryMs);
        connect(m_sharedRetry, &QTimer::timeout, this, [this] { saveSharedTaskList(false, true); });
        // The worker's thread only posts; what its jobs came to is taken here, on the window's.
        m_sharedWorker = std::make_unique<SharedListWorker>(
            [this] { QMetaObject::invokeMethod(this, [this] { takeSharedResult(); }, Qt::QueuedConnection); });
    }
    settleLogging();
    settleSharedJobs();  // the list below may go
    if (!m_settings.Networkable) {
        m_shared.reset();
        m_sharedRetry->stop();
        setSharedStatus(QString());
        m_history->setSaver([grid = m_history->TaskHistoryGrid, window = QPointer<TfrmToDo>(this)](const QString& dir) {
            // A logging run's save of the same file, on the worker, must not land after this one.
            if (window)
                window->settleSharedJobs();
            grid->SaveToFile(dir + kHistoryFileName);
        });
        return;
    }
    if (m_shared && m_shared->directory() == dataDirectory())
        return;
    m_sharedRetry->stop();
    setSharedStatus(QString());
    m_shared = std::make_shared<shared::SharedList>(dataDirectory());
    std::optional<CellStore> unsaved;
    TaskGrid->editCells([&](CellStore& cells) { unsaved = m_shared->agree(cells, m_history->TaskHistoryGrid->cellStore()); });
    // The history window outlives this one at the end, so its saver holds the shared list itself.
    m_sharedHistoryWaitMs = std::make_shared<int>(kSharedHistoryLockWaitMs);
    m_history->setSaver([list = m_shared, grid = m_history->TaskHistoryGrid, wait = m_sharedHistoryWaitMs,
                         window = QPointer<TfrmToDo>(this)](const QString& directory) {
        if (directory != list->directory()) {
            grid->SaveToFile(directory + kHistoryFileName);
            return;
        }
        // The list is touched on this thread only while no job of the worker's is out.
        if (window)
            window->settleSharedJobs();
        // A logging made again saves the task list right after: both reach their files under
        // one hold of the lock, let go once the command is done.
        shared::SharedList::Outcome o = list->saveHistory(grid->cellStore(), *wait, true);
        if (o.status != shared::SharedList::Outcome::Done)
            throw AppError(o.status == shared::SharedList::Outcome::Failed
                               ? o.error
                               : sharedListBusyText(directory + kHistoryFileName, *list));
        QTimer::singleShot(0, [weak = std::weak_ptr<shared::SharedList>(list), window] {
            // A job of the worker's lets go itself when it ends.
            if (window && window->m_sharedWorker->isOut())
                return;
            if (auto held = weak.lock())
                held->fileLock().unlock();
        });
        if (o.cells)
            grid->replaceCells(std::move(*o.cells));
    });
    // What could not reach the file at the last end joins it now.
    if (unsaved) {
        showMergedTasks(std::move(*unsaved));
        SaveTaskList();
    }
}

bool TfrmToDo::saveSharedTaskList(bool atExit, bool retrying)
{
    // A save already waiting takes this change too: it reads the grid when it runs.
    if (!atExit && !retrying && m_sharedRetry->isActive())
        return true;
    if (!sharedListActive()) {
        m_sharedRetry->stop();
        setSharedStatus(QString());
        return SaveTaskList();
    }
    // A plain save from before the list was shared must not land after the merge's.
    if (m_saver->busy())
        waitForSaves();
    const bool notify = m_sync && !m_applyingSync;
    if (atExit) {
        settleSharedJobs();
        if (m_sharedHistoryWaitMs)
            *m_sharedHistoryWaitMs = kSharedExitLockWaitMs;  // the history's last save follows
        // At the end the grid may take the merged list whatever holds rows by number: nothing
        // acts on them any more.
        const quint64 generation = TaskGrid->cellStore().generation();
        Outcome o = m_shared->saveTasks(TaskListSaver::snapshot(TaskGrid->cellStore()), true, kSharedExitLockWaitMs);
        return sharedSaveDone(o, generation, notify, true);
    }
    return requestSharedSave(retrying, notify);
}

bool TfrmToDo::requestSharedSave(bool retrying, bool notify)
{
    // One job at a time; the change goes with the next save.
    if (m_sharedWorker->isOut()) {
        m_sharedSaveAgain = true;
        m_sharedAgainNotify = m_sharedAgainNotify || notify;
        return true;
    }
    const bool mayChange = syncMayChangeList();
    // While a dialog holds rows by number a retry would only read and merge in vain.
    if (retrying && !mayChange)
        return true;
    postSharedSave(mayChange, retrying ? 0 : kSharedLockWaitMs, notify);
    return true;
}

void TfrmToDo::postSharedSave(bool mayChange, int lockWaitMs, bool notify)
{
    auto rows = std::make_shared<CellStore>(TaskListSaver::snapshot(TaskGrid->cellStore()));
    const quint64 generation = TaskGrid->cellStore().generation();
    m_sharedWorker->post([list = m_shared, rows, generation, mayChange, lockWaitMs, notify] {
        SharedListWorker::Result r;
        r.kind = SharedListWorker::Result::Save;
        r.tasks = list->saveTasks(std::move(*rows), mayChange, lockWaitMs);
        r.tasksGeneration = generation;
        r.notify = notify;
        return r;
    });
}

bool TfrmToDo::sharedSaveDone(Outcome& o, quint64 generation, bool notify, bool atExit)
{
    if (!o.notice.isEmpty())
        MessageBox::showError(this, o.notice);
    switch (o.status) {
    case Outcome::Done: {
        m_sharedRetry->stop();
        setSharedStatus(QString());
        m_watch.setTaskListStamp(o.stamp);
        // Whatever reached the file must be in the grid too, or the next save would drop it. A
        // grid changed since it was read keeps its rows, to be merged with the file by the save
        // its change brings; one held by a dialog gets them from a retry once it can.
        bool taken = true;
        if (o.cells || !o.uids.empty()) {
            taken = TaskGrid->cellStore().generation() == generation && (atExit || syncMayChangeList());
            if (taken && o.cells) {
                showMergedTasks(std::move(*o.cells));
            } else if (taken) {
                TaskGrid->editCells([&o](CellStore& cells) {
                    for (const auto& [row, uid] : o.uids)
                        cells.setCellUtf8(TaskCol::Reserved, row, uid);
                });
            } else if (!syncMayChangeList() && !m_sharedRetry->isActive()) {
                m_sharedWaiting.start();
                m_sharedRetry->start();
            }
        }
        m_shared->answer(taken);
        if (notify && m_sync)
            m_sync->listSaved();
        return true;
    }
    case Outcome::Busy:
    case Outcome::Deferred:
        if (atExit)
            throw AppError(sharedListBusyText(dataDirectory() + kTaskListFileName, *m_shared));
        if (!m_sharedRetry->isActive()) {
            m_sharedWaiting.start();
            m_sharedRetry->start();
        }
        if (o.status == Outcome::Busy && m_sharedWaiting.elapsed() >= m_sharedWaitNoticeMs)
            setSharedStatus(QStringLiteral("Waiting to save: the shared list is in use by %1")
                                .arg(m_shared->fileLock().holderText()));
        return true;
    case Outcome::Failed:
        break;
    }
    m_sharedRetry->stop();
    setSharedStatus(QString());
    if (atExit)
        throw AppError(o.error);
    m_savesFailed = true;
    MessageBox::showError(this, o.error
                                    + QStringLiteral("\n\nYour tasks are still in the list; they will be saved "
                                                     "again with the next change or at exit."));
    return false;
}

void TfrmToDo::reloadSharedFiles()
{
    // A save waiting for the lock merges the file itself; a dialog or an open edit holds rows by
    // number, so the check waits for them (the file times stay unrecorded until then).
    if (m_sharedRetry->isActive() || !syncMayChangeList() || m_sharedWorker->isOut())
        return;
    const QString dir = dataDirectory();
    const bool tasksMoved = fileStamp(dir + kTaskListFileName) != m_watch.taskListStamp();
    const bool historyMoved = fileStamp(dir + kHistoryFileName) != m_watch.historyStamp();
    if (!tasksMoved && !historyMoved)
        return;
    auto tasks = std::make_shared<CellStore>();
    auto history = std::make_shared<CellStore>();
    if (tasksMoved)
        *tasks = TaskListSaver::snapshot(TaskGrid->cellStore());
    if (historyMoved)
        *history = TaskListSaver::snapshot(m_history->TaskHistoryGrid->cellStore());
    const quint64 tasksGeneration = TaskGrid->cellStore().generation();
    const quint64 historyGeneration = m_history->TaskHistoryGrid->cellStore().generation();
    m_sharedWorker->post([list = m_shared, tasks, history, tasksGeneration, historyGeneration, watch = m_watch, dir,
                          tasksMoved, historyMoved]() mutable {
        SharedListWorker::Result r;
        r.kind = SharedListWorker::Result::Reload;
        r.tasksGeneration = tasksGeneration;
        r.historyGeneration = historyGeneration;
        // Read under the lock: another copy's logging writes both files before it lets go. A
        // folder where no lock can be made (read-only) is read all the same.
        if (!list->fileLock().tryLock() && list->fileLock().error().isEmpty()) {
            r.locked = false;
            return r;
        }
        const auto release = qScopeGuard([&list] { list->fileLock().unlock(); });
        if (tasksMoved && watch.taskListChanged(dir)) {
            r.tasksRead = true;
            r.tasksStamp = watch.taskListStamp();
            r.tasks = list->reloadTasks(*tasks);
        }
        if (historyMoved && watch.historyChanged(dir)) {
            r.historyRead = true;
            r.historyStamp = watch.historyStamp();
            r.history = list->reloadHistory(*history);
        }
        return r;
    });
}

void TfrmToDo::sharedReloadDone(SharedListWorker::Result& r)
{
    if (!r.locked)
        return;
    // A grid changed since it was read keeps its rows, and the file stays to be merged: by the
    // save that change brings, or by the next check.
    bool tasksTaken = true;
    if (r.tasks.cells) {
        tasksTaken = TaskGrid->cellStore().generation() == r.tasksGeneration && syncMayChangeList();
        if (tasksTaken)
            showMergedTasks(std::move(*r.tasks.cells));
    }
    bool historyTaken = true;
    if (r.history.cells) {
        historyTaken = m_history->TaskHistoryGrid->cellStore().generation() == r.historyGeneration && syncMayChangeList();
        if (historyTaken)
            m_history->TaskHistoryGrid->replaceCells(std::move(*r.history.cells));
    }
    m_shared->answer(tasksTaken, historyTaken);
    if (r.tasksRead && tasksTaken)
        m_watch.setTaskListStamp(r.tasksStamp);
    if (r.historyRead && historyTaken)
        m_watch.setHistoryStamp(r.historyStamp);
}

bool TfrmToDo::takeSharedResult()
{
    std::optional<SharedListWorker::Result> r = m_sharedWorker ? m_sharedWorker->takeResult() : std::nullopt;
    if (!r)
        return true;
    bool saved = true;
    if (r->kind == SharedListWorker::Result::Save)
        saved = sharedSaveDone(r->tasks, r->tasksGeneration, r->notify, false);
    else if (r->kind == SharedListWorker::Result::Log)
        logHistorySaved(*r);
    else
        sharedReloadDone(*r);
    if (m_sharedSaveAgain && !m_sharedWorker->isOut()) {
        m_sharedSaveAgain = false;
        const bool notify = std::exchange(m_sharedAgainNotify, false);
        // A save waiting for the lock reads the grid when it runs.
        if (sharedListActive() && !m_sharedRetry->isActive())
            requestSharedSave(false, notify);
    }
    if (m_logAgain && !m_logRun && !m_sharedWorker->isOut()) {
        m_logAgain = false;
        QTimer::singleShot(0, this, [this] { LogTasks(false); });
    }
    runWhenSaved();
    return saved;
}

bool TfrmToDo::settleSharedJobs()
{
    bool saved = true;
    while (m_sharedWorker && m_sharedWorker->isOut()) {
        m_sharedWorker->waitUntilDone();
        saved = takeSharedResult() && saved;
    }
    return saved;
}

void TfrmToDo::showMergedTasks(CellStore&& cells)
{
    // The current task stays current wherever it moved to, so the next key acts on it.
    const int newCurrent = rowOfTaskIn(TaskGrid->cellStore(), TaskGrid->Row(), cells);
    TaskGrid->replaceCells(std::move(cells));
    if (newCurrent > 0 && newCurrent < TaskGrid->RowCount())
        TaskGrid->setRow(newCurrent);
    attachTaskImages();
    UpdateTaskCount();
    UpdateChecked();
    TaskGrid->viewport()->update();
}

void TfrmToDo::setSharedStatus(const QString& text)
{
    if (text == m_sharedStatus)
        return;
    m_sharedStatus = text;
    showStatusText(text.isEmpty() ? m_syncStatus : text);
}

void TfrmToDo::showStatusText(const QString& text)
{
    // The panel has what the other two leave of the window's width; a holder's host and process
    // or a server's error cut off there are read in full in its hint.
    statusPanels[2]->setText(text);
    statusPanels[2]->setToolTip(text);
}

} // namespace veltry
