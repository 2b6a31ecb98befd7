// The task window's undo and redo: the user's steps on a stack, taken back and made again as
// changes of their own, saved and shared like any other.

#include "app/fToDo.h"
#include "app/fToDo_p.h"

#include "app/core/TaskUndo.h"
#include "history/fHistory.h"
#include "history/TaskLogGrid.h"
#include "platform/core/AppError.h"
#include "platform/core/Clock.h"
#include "platform/MessageBox.h"
#include "store/core/Task.h"
#include "sync/TaskListSync.h"
#include "widgets/TextGrid.h"

#include <QAction>
#include <QApplication>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QUndoStack>

namespace veltry {

namespace {
// The kept steps hold only the rows they changed; this many fit a long working session.
constexpr int kUndoSteps = 100;

class TaskListCommand final : public QUndoCommand
{
public:
    TaskListCommand(TfrmToDo* window, TaskListStep&& step)
        : QUndoCommand(step.text), m_window(window), m_step(std::move(step))
    {
    }
    void undo() override
    {
        if (!m_window->applyStep(m_step, true))
            setObsolete(true);
    }
    void redo() override
    {
        // Pushed once the user's change is made: the first redo has nothing to do.
        if (m_pushed) {
            m_pushed = false;
            return;
        }
        if (!m_window->applyStep(m_step, false))
            setObsolete(true);
    }

private:
    TfrmToDo* m_window;
    TaskListStep m_step;
    bool m_pushed = true;
};
} // namespace

void TfrmToDo::setupUndo()
{
    m_undoStack = new QUndoStack(this);
    m_undoStack->setUndoLimit(kUndoSteps);
    QMenu* edit = menuBar()->findChild<QMenu*>(QStringLiteral("mnuEdit"));
    QAction* first = edit->actions().value(0);
    mnuEditUndo = new QAction(QStringLiteral("&Undo"), this);
    mnuEditUndo->setObjectName(QStringLiteral("mnuEditUndo"));
    mnuEditUndo->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Z));
    mnuEditRedo = new QAction(QStringLiteral("&Redo"), this);
    mnuEditRedo->setObjectName(QStringLiteral("mnuEditRedo"));
    mnuEditRedo->setShortcuts({QKeySequence(Qt::CTRL | Qt::Key_Y), QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Z)});
    edit->insertAction(first, mnuEditUndo);
    edit->insertAction(first, mnuEditRedo);
    edit->insertSeparator(first);
    const auto update = [this] {
        const QString undo = m_undoStack->undoText();
        const QString redo = m_undoStack->redoText();
        mnuEditUndo->setText(undo.isEmpty() ? QStringLiteral("&Undo") : QStringLiteral("&Undo ") + undo);
        mnuEditRedo->setText(redo.isEmpty() ? QStringLiteral("&Redo") : QStringLiteral("&Redo ") + redo);
        mnuEditUndo->setEnabled(m_undoStack->canUndo());
        mnuEditRedo->setEnabled(m_undoStack->canRedo());
    };
    connect(m_undoStack, &QUndoStack::indexChanged, this, update);
    connect(m_undoStack, &QUndoStack::canUndoChanged, this, update);
    connect(m_undoStack, &QUndoStack::canRedoChanged, this, update);
    update();
    connect(mnuEditUndo, &QAction::triggered, this, &TfrmToDo::undoStep);
    connect(mnuEditRedo, &QAction::triggered, this, &TfrmToDo::redoStep);
}

namespace {
// A reminder, a dialog or an open cell edit holds rows by number; the Edit menu itself does not.
bool mayUndo(const TfrmToDo* window, bool inAlarmPass)
{
    return !inAlarmPass && !window->TaskGrid->EditorMode() && !QApplication::activeModalWidget();
}
} // namespace

void TfrmToDo::undoStep()
{
    if (m_undoStack->canUndo() && mayUndo(this, m_inAlarmPass))
        m_undoStack->undo();
}

void TfrmToDo::redoStep()
{
    if (m_undoStack->canRedo() && mayUndo(this, m_inAlarmPass))
        m_undoStack->redo();
}

void TfrmToDo::pushStep(TaskListStep&& step)
{
    if (!m_undoStack || (step.tasks.isEmpty() && step.history.isEmpty()))
        return;
    m_undoStack->push(new TaskListCommand(this, std::move(step)));
}

bool TfrmToDo::applyStep(const TaskListStep& step, bool undo)
{
    bool applied = false;
    TTextGrid* historyGrid = m_history->TaskHistoryGrid;
    TaskGrid->editCells([&](CellStore& tasks) {
        historyGrid->editCells([&](CellStore& history) { applied = step.apply(tasks, history, undo); });
    });
    if (!applied) {
        statusPanels[2]->setText(undo ? QStringLiteral("Nothing undone: the task was changed or removed elsewhere")
                                      : QStringLiteral("Nothing redone: the task was changed or removed elsewhere"));
        return false;
    }
    attachTaskImages();
    UpdateTaskCount();
    UpdateChecked();
    TaskGrid->viewport()->update();
    if (!step.history.isEmpty()) {
        m_history->UpdateHistoryCount();
        // The files must not come apart either: the step is taken back in both lists.
        const auto takeBack = [&] {
            TaskGrid->editCells([&](CellStore& tasks) {
                historyGrid->editCells([&](CellStore& history) { step.apply(tasks, history, !undo); });
            });
            attachTaskImages();
            UpdateTaskCount();
            UpdateChecked();
            m_history->UpdateHistoryCount();
        };
        // A logging taken back: the list has its tasks again on disk before the history loses
        // them, so that a kill in between leaves them in both files, never in neither.
        if (undo) {
            SaveTaskList();
            if (!waitForSaves()) {  // the failure was shown
                takeBack();
                return false;
            }
        }
        try {
            m_history->SaveHistory();
        } catch (const AppError& e) {
            takeBack();
            MessageBox::showError(this, e.message() + QStringLiteral("\n\nThe task list and the history stay as they were."));
            return false;
        }
        // Logged again: the server completes them instead of removing them.
        if (!undo && m_sync && m_sync->isEnabled()) {
            std::vector<sync::TaskRow> logged;
            CellStore one;
            one.setColumnCount(TaskCol::Count);
            one.setRowCount(1);
            for (const RowCells* row : step.tasks.rowsTakenAway(false)) {
                one.row(0) = row->clone();
                logged.push_back(taskRow(one, 0));
            }
            m_sync->tasksLogged(logged, Clock::instance().now());
        }
    }
    SaveTaskList();
    RecordFileTimes();
    return true;
}

void TfrmToDo::reminderDone(RowCells&& before, int row, int rowsBefore)
{
    TaskListStep step;
    const CellStore& cells = TaskGrid->cellStore();
    if (TaskGrid->RowCount() < rowsBefore || isTaskListEmpty()) {
        step.text = QStringLiteral("Remove Task");
        step.tasks.removed(std::move(before), row);
    } else if (row < cells.rowCount()) {
        const bool alarmCancelled = cells.isCellEmpty(TaskCol::Alarm, row)
            && before.storedCount() > TaskCol::Alarm && !before.cell(TaskCol::Alarm).isEmpty();
        // A rollover keeps the time of day; a snooze starts from now.
        const bool sameTime = before.storedCount() > TaskCol::DueTime
            && before.cell(TaskCol::DueTime) == cells.cellUtf8(TaskCol::DueTime, row);
        step.text = alarmCancelled ? QStringLiteral("Cancel Alarm")
            : sameTime             ? QStringLiteral("Rollover")
                                   : QStringLiteral("Snooze");
        step.tasks.changed(std::move(before), row, cells, row);
    }
    pushStep(std::move(step));
}

} // namespace veltry
