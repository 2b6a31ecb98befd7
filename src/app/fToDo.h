#pragma once

#include "platform/core/Settings.h"
#include "store/TaskListHost.h"
#include "store/core/DataFiles.h"
#include "store/core/SharedListWorker.h"
#include "store/core/Task.h"
#include "widgets/ImageList.h"
#include "widgets/TextGrid.h"

#include <QElapsedTimer>
#include <QMainWindow>
#include <array>
#include <functional>
#include <memory>
#include <vector>

class QAction;
class QKeyEvent;
class QLabel;
class QMenu;
class QTimer;
class QUndoStack;

namespace veltry {

class TTextGrid;
class TfrmTaskHistory;
class TfrmPrefs;
class AlarmScheduler;
class TFlatButton;
class TGradientCaption;
class TfrmAddTask;
class HelpViewer;
class RowCells;
class TaskListSaver;
struct TaskListStep;
struct TaskLogRun;
namespace sync {
class TaskListSync;
}

// The task window: the task list in its grid, the status bar and the one-second timer. Created
// fourth at start; FormCreate loads settings and data, FormDestroy saves them.
class TfrmToDo : public QMainWindow, public TaskListHost
{
    Q_OBJECT

public:
    TfrmToDo(TfrmPrefs* prefs, TfrmTaskHistory* history, QWidget* parent = nullptr);
    ~TfrmToDo() override;

    void FormCreate();
    void FormDestroy();

    // One tick of Timer1: alarms, day icon, shared-list check.
    void Timer1Timer();
    // One alarm pass: rings due tasks (modally, in row order) and renews overdue recurring ones.
    virtual void CheckAlarms();

    // Saves the task list file; a failure is shown with the file's name and reason, and the list
    // stays in memory. A plain list is written off this thread: false only when the save failed
    // at once (a shared list's merge), the worker's failures are shown when they come back.
    bool SaveTaskList() override;
    // Waits until the saves asked for reached the file and shows their failures; returns whether
    // all went through. Tests call it before they read the file.
    bool waitForSaves();
    void RecordFileTimes() override;
    // The shared-list check: reload a data file another copy changed.
    void ReloadChangedFiles();
    void UpdateTaskCount() override;
    // Saves list and settings now (logout, where the end may never come).
    void saveEverything();

    // Moves the checked tasks into the history, saves both files and says how many went
    // (unless confirmations are off or this is the start-up logging), once the list without
    // them is on disk. The history's save (a shared folder's lock, its merge, the disk) runs on
    // the worker; the tasks leave the list when it comes back, those changed or unchecked
    // meanwhile staying. With `wait`, returns how many were logged once all is done; without,
    // returns at once (0), the user going on working meanwhile.
    int LogTasks(bool wait = true);
    // Opens the history window modally, with Timer1 off meanwhile; the menu's form places it
    // beside this window's corner, the toolbar's leaves it where it was.
    void ViewHistory(bool fromMenu);

    // Grid callbacks: row colour by priority, date order of the due column, description order
    // within a sort by priority (the click's whole ordering; false for other columns), notes as
    // hints.
    void TaskGridGetCellColor(int row, int col, TGridDrawState state, QColor& brush, TCellFont& font);
    void TaskGridGetFormat(int col, quint8& style);
    bool TaskGridClickSort(CellStore& cells, const SortRequest& request, int& current);
    void TaskGridGridHint(int row, int col, QString& hint);
    // "Auto-fit Column Widths": fit every shown column, then give the Task column the rest.
    void AutoFitColumnWidths() override;
    // The help text in the status bar's third panel; without one, the calendar server's state.
    void setStatusHelp(const QString& text);
    // The link to the calendar server (inactive unless the settings turn it on).
    sync::TaskListSync* taskListSync() const { return m_sync; }
    // How long a save waits for another copy's lock before the status bar says so; tests
    // shorten it.
    void setSharedWaitNoticeMs(int ms) { m_sharedWaitNoticeMs = ms; }

    // --- commands of the toolbar, the menus, the grid's pop-up menu and its keys ---
    // Opens the add/edit dialog for a new task or, with the editing flag set, the selected one.
    void AddTask();
    // Removes the selected task (after asking, unless confirmations are off); the list is
    // saved and counted even when the user says Cancel.
    void RemoveTask();
    // Checks or unchecks the selected task; the file learns of it with the next save.
    void CheckTask();
    // The check button shows whether the current task is checked.
    void UpdateChecked();
    void btnExitClick();
    void btnMinimizeClick();
    void btnAddClick();
    void btnEditClick();
    void btnRemoveClick();
    void btnCheckedClick();
    void HelpTopics1Click();
    void Help1Click();
    void mnuHelpAboutClick();
    // Prints the task list at once on the chosen printer (true) or shows its preview (false);
    // the grid comes back with the columns and widths it had, also when printing fails.
    void PrintTaskList(bool print);
    void mnuFilePrintClick();
    void mnuFilePrintPreviewClick();
    // The system's print dialog; the printer picked there is the one later prints use.
    void mnuFilePrinterSetupClick();
    // File > Import... and File > Export...: one-use modal dialogs; the alarm timer keeps running.
    void Import1Click();
    void mnuExportClick();
    // Advanced sort and find open their dialogs with the alarm timer left running.
    void btnAdvSortClick();
    void btnFindClick();
    // F3 and Shift+F3: the last search again from the current cell, downwards or upwards.
    void FindNext(bool up);
    // Edit > Undo and Redo: the user's last change to the list taken back or made again, saved
    // like any change. A step whose task was changed or removed elsewhere meanwhile does
    // nothing, says so in the status bar and leaves the stack.
    void undoStep();
    void redoStep();
    QUndoStack* undoStack() const { return m_undoStack; }
    // What a step does when taken back (`undo`) or made again; false when its tasks are gone.
    bool applyStep(const TaskListStep& step, bool undo);
    // Runs the command of a key pressed in the grid; returns whether there was one.
    bool TaskGridKeyDown(QKeyEvent* event);
    // The grid's pop-up menu from the keyboard (Menu key, Shift+F10): at the selected task.
    void ShowGridPopupAtSelection();
    void TaskGridKeyUp(QKeyEvent* event);
    // After the grid has handled the press: the check button, and the pop-up menu on a task.
    void TaskGridMouseDown(Qt::MouseButton button, const QPoint& viewportPos);
    void TaskGridDblClick(const QPoint& viewportPos);
    // Around every modal window opened from here: the timer stops before it opens and starts
    // again after it closed only while alarms are on.
    void stopTimerForModal() override;
    void restartTimerAfterModal();
    // The add/edit dialog is made when first opened; this is what makes it (or hands it over).
    void setAddTaskDialog(std::function<TfrmAddTask*()> dialog) { m_addTask = std::move(dialog); }
    TfrmAddTask* addTaskDialog() const { return m_addTask ? m_addTask() : nullptr; }
    // "Preferences" (toolbar and File menu): the dialog modally, with Timer1 off meanwhile.
    void ShowPreferences();
    // Loads both data files from the data folder anew, for the preferences dialog after the
    // folder moved to one that already holds a list (the history only when its file is there).
    void LoadDataFiles() override;
    // Shows the help window at `page` (the contents when empty), creating it on first use.
    HelpViewer* showHelp(const QString& page = QString());
    bool editingFlag() const { return m_editing; }

    QString dataDirectory() const override;
    bool isTaskListEmpty() const;
    Settings& settings() override { return m_settings; }
    const Settings& settings() const { return m_settings; }
    bool dayFirst() const override { return m_dayFirst; }
    bool alarmsEnabled() const override { return m_alarmsEnabled; }
    void setAlarmsEnabled(bool on) override;
    QMetaObject::Connection onAlarmsEnabledChanged(QObject* context, std::function<void(bool)> changed) override
    {
        return connect(this, &TfrmToDo::alarmsEnabledChanged, context, std::move(changed));
    }
    // What the dialogs see of this window.
    QWidget* hostWindow() override { return this; }
    TTextGrid* taskGrid() override { return TaskGrid; }
    QStringList categories() const override;
    const QString& programDirectory() const { return m_programDir; }

    TTextGrid* TaskGrid = nullptr;
    // Paints the title bar and composes the window's title.
    TGradientCaption* GradCaption = nullptr;
    QTimer* Timer1 = nullptr;
    QWidget* pnlToolbar = nullptr;
    std::array<QLabel*, 3> statusPanels{};

    TFlatButton* btnExit = nullptr;
    TFlatButton* btnMinimize = nullptr;
    TFlatButton* btnChecked = nullptr;
    TFlatButton* btnAdd = nullptr;
    TFlatButton* btnRemove = nullptr;
    TFlatButton* btnEdit = nullptr;
    TFlatButton* btnPrint = nullptr;
    TFlatButton* btnAdvSort = nullptr;
    TFlatButton* btnFind = nullptr;
    TFlatButton* btnLogTasks = nullptr;
    TFlatButton* btnViewHistory = nullptr;
    TFlatButton* FlatButton1 = nullptr;

    QAction* mnuFilePreferences = nullptr;
    QAction* Import1 = nullptr;
    QAction* mnuExport = nullptr;
    QAction* mnuFilePrinterSetup = nullptr;
    QAction* mnuFilePrintPreview = nullptr;
    QAction* mnuFilePrint = nullptr;
    QAction* mnuFileMinimize = nullptr;
    QAction* mnuFileExit = nullptr;
    QAction* mnuEditUndo = nullptr;
    QAction* mnuEditRedo = nullptr;
    QAction* CheckUncheckTask1 = nullptr;
    QAction* mnuEditAdd = nullptr;
    QAction* EditTask1 = nullptr;
    QAction* mnuEditRemove = nullptr;
    QAction* LogCompletedTasks1 = nullptr;
    QAction* ViewTaskHistory1 = nullptr;
    QAction* HelpTopics1 = nullptr;
    QAction* Help1 = nullptr;
    QAction* mnuHelpAbout = nullptr;

    QMenu* PopupMenu1 = nullptr;
    QAction* popAdd = nullptr;
    QAction* popEdit = nullptr;
    QAction* popRemove = nullptr;
    QAction* popCheck = nullptr;
    TImageList ImageList2{QSize(14, 12)};

    static const QRect kDesignedFrame;
    // The task count's status panel as designed; a count too long for it widens it.
    static constexpr int kCountPanelWidth = 75;

Q_SIGNALS:
    // The alarm switch changed, whoever changed it.
    void alarmsEnabledChanged(bool on);

protected:
    void closeEvent(QCloseEvent* event) override;
    void showEvent(QShowEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;

private:
    void setupTaskGrid();
    void setupCaption();
    void setupEmptyTaskList();
    // Removes the temporary files that saves killed part-way left beside the program's files.
    void clearSaveLeftovers();
    // Logging a recurring task appends its next occurrence, as renewal does. `rows`: the logged
    // tasks, in ascending order.
    void renewLoggedTasks(TaskListStep& step, const std::vector<int>& rows);
    // The second half of logging, once the history's save came back: the tasks leave the list,
    // or the history loses the copies again. Put off while a dialog holds rows by number,
    // unless `force`d (exit, another folder); the one-second timer tries again.
    void finishLogging(bool force);
    // Until a logging run out has finished.
    void settleLogging();
    void logHistorySaved(shared::SharedListWorker::Result& r);
    // Says how many tasks were logged once the list without them is on disk.
    void announceLogging(int count);
    std::unique_ptr<TaskLogRun> m_logRun;
    int m_logLastCount = 0;
    bool m_logAgain = false;  // asked for while a run or a merge was out
    // The widths of a first start: the Task column takes what the others leave.
    void setFirstColumnWidths();
    bool m_haveStoredWidths = false;
    void loadTaskList();
    void loadHistory();
    void attachTaskImages();
    void applyColumnSettings();
    void saveSettings();
    // The width the task grid can show its columns in, left of its vertical scroll bar.
    int showableGridWidth() const;
    // At the first showing: stored widths wider than the grid are narrowed until all columns fit.
    void fitStoredColumnWidths();
    bool m_storedWidthsFitted = false;
    // The last save: when it fails the list goes to an emergency file, named in the message.
    void saveTaskListAtExit();
    // What the saver's finished saves came to: file times recorded, failures shown.
    bool takeSaveResults();
    bool handleSaveResults();
    // Calls `done` once every save asked for so far has come back (none running, waiting or to
    // be tried again), with whether all of them went through.
    void whenSaved(std::function<void(bool saved)> done);
    void runWhenSaved();
    std::vector<std::function<void(bool)>> m_whenSaved;
    bool m_savesFailed = false;
    std::unique_ptr<TaskListSaver> m_saver;
    QColor priorityColor(int row) const;
    void createToolbar();
    void createMenus();
    void connectPreferences();
    void setupPrinting();
    void connectImportExport();
    // After an import the tasks get their pictures and count, and reach the file at once, so they
    // are safe even if the program is killed before its next save.
    void tasksImported();
    void connectSortAndFind();
    // The text of the last Find, for Find Next.
    QString m_findText;

    // Undo and redo of the user's own changes; the merges of other copies never come on it.
    void setupUndo();
    // A step the user just made (it is already done); empty steps are dropped.
    void pushStep(TaskListStep&& step);
    // The reminder's change of `row`, by comparing the row with what it was before.
    void reminderDone(RowCells&& before, int row, int rowsBefore);
    QUndoStack* m_undoStack = nullptr;
    // Run by the next SaveTaskList before it saves: a dialog's change is taken as it wrote it,
    // before a shared list's merge can move the rows.
    std::function<void()> m_beforeSave;
    // Where the list stood before an import, to tell its new rows.
    int m_rowsBeforeImport = 0;
    bool m_emptyBeforeImport = false;
    // Keys and mouse presses of the grid, seen before (keys) or right after (mouse) the grid.
    bool gridCommandEvent(QObject* watched, QEvent* event);
    // Loads a data file into a grid; on a damaged file keeps an untouched copy beside it and
    // says where. `partialOk` keeps what was read (start-up); otherwise the grid stays as it was.
    bool loadGridFile(TTextGrid* grid, const QString& path, bool partialOk);

    TfrmPrefs* m_prefs;
    TfrmTaskHistory* m_history;
    Settings m_settings;
    DataFileWatch m_watch;
    QString m_programDir;
    std::array<int, 4> m_sortKeys{5, 0, 2, 0};
    bool m_editing = false;
    bool m_alarmsEnabled = true;
    bool m_dayFirst = false;
    bool m_loggingAtStart = false;
    bool m_created = false;
    std::unique_ptr<AlarmScheduler> m_alarms;
    bool m_inAlarmPass = false;
    std::function<TfrmAddTask*()> m_addTask;
    HelpViewer* m_helpViewer = nullptr;
    bool m_passingGridMouse = false;

    // The calendar server sees the list as rows and may put a merged list in its place, but
    // never while a dialog or an open edit holds one of its rows.
    void setupSync();
    bool syncMayChangeList() const;
    void replaceTaskRows(const std::vector<std::array<QString, TaskCol::Count>>& rows, std::function<void(bool)> done);
    sync::TaskListSync* m_sync = nullptr;
    QString m_syncStatus;
    bool m_applyingSync = false;

    // A list shared through a folder ("Networkable"): every save merges with the file under the
    // folder's lock, every reload merges the file into the grid, both on the worker's thread. A
    // save that cannot have the lock soon is tried again from a timer, the window staying usable
    // meanwhile.
    void setupSharedList();
    bool sharedListActive() const;
    // Throws AppError at exit when the list cannot reach the file; otherwise reports failures
    // (when the save's result comes back).
    bool saveSharedTaskList(bool atExit, bool retrying = false);
    bool requestSharedSave(bool retrying, bool notify);
    void postSharedSave(bool mayChange, int lockWaitMs, bool notify);
    void reloadSharedFiles();
    // What the worker's job came to, put in the grids when they can take it; false after a
    // failed save. Posts the save asked for meanwhile.
    bool takeSharedResult();
    bool sharedSaveDone(shared::SharedList::Outcome& o, quint64 generation, bool notify, bool atExit);
    void sharedReloadDone(shared::SharedListWorker::Result& r);
    // Until no job is out, its result taken: before the list is used on this thread.
    bool settleSharedJobs();
    // Puts a merged list in the grid; the current task stays current wherever it went.
    void showMergedTasks(CellStore&& cells);
    void setSharedStatus(const QString& text);
    // The status bar's third panel: the text, and the same in its hint.
    void showStatusText(const QString& text);
    std::shared_ptr<shared::SharedList> m_shared;
    std::unique_ptr<shared::SharedListWorker> m_sharedWorker;
    bool m_sharedSaveAgain = false;  // asked for while a job was out
    bool m_sharedAgainNotify = false;
    QTimer* m_sharedRetry = nullptr;
    std::shared_ptr<int> m_sharedHistoryWaitMs;  // how long the history's saves wait for the lock
    QElapsedTimer m_sharedWaiting;
    int m_sharedWaitNoticeMs = 10000;
    QString m_sharedStatus;
};

} // namespace veltry
