// The task window's commands: its toolbar and menus, the buttons, the grid's keys and mouse,
// and the preferences.

#include "app/fToDo.h"
#include "app/fToDo_p.h"

#include "platform/AppIcons.h"
#include "app/HelpViewer.h"
#include "app/fAbout.h"
#include "platform/core/Version.h"
#include "config/fhotkeys.h"
#include "editing/fAddTask.h"
#include "widgets/Accessibility.h"
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
#include "store/core/Task.h"
#include "sync/TaskListSync.h"
#include "tray/TrayIcon.h"
#include "tray/TrayT1.h"
#include "widgets/GridPrint.h"
#include "widgets/TextGrid.h"
#include "widgets/TextGridAccessible.h"
#include "widgets/core/GridFile.h"
#include "app/core/TaskUndo.h"
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
#include <QVBoxLayout>

namespace veltry {

// --- commands ---------------------------------------------------------------------------------

void TfrmToDo::createToolbar()
{
    struct ButtonDef
    {
        TFlatButton** button;
        const char* name;
        int x;
        const char* icon;
        const char* caption;
        const char* hint;
        const char* help;
    };
    const ButtonDef defs[] = {
        {&btnExit, "btnExit", 4, "exit", "E&xit", "Exit", "Exit application."},
        {&btnMinimize, "btnMinimize", 30, "minimize", "&Minimize", "Minimize",
         "Minimize this application to the system tray."},
        {&btnChecked, "btnChecked", 60, "check", "&Check/Uncheck", "Check/Uncheck", "Check/uncheck selected task."},
        {&btnAdd, "btnAdd", 90, "add", "&Add Task", "Add Task", "Add a new task"},
        {&btnRemove, "btnRemove", 116, "remove", "&Remove Task", "Remove Task", "Remove selected task"},
        {&btnEdit, "btnEdit", 142, "edit", "&Edit Task", "Edit Task", "Edit the selected task"},
        {&btnPrint, "btnPrint", 168, "autofit", "Auto-fit Column &Widths", "Auto-fit Column Widths",
         "Auto-fit columns to task grid width"},
        {&btnAdvSort, "btnAdvSort", 198, "advsort", "Advanced &Sort", "Advanced Sort",
         "More options for how the list is sorted"},
        {&btnFind, "btnFind", 224, "find", "&Find Text", "Find Text", "Finds the specified text"},
        {&btnLogTasks, "btnLogTasks", 254, "logtasks", "&Log Completed Tasks", "Log Completed Tasks",
         "Log all completed tasks in history list"},
        {&btnViewHistory, "btnViewHistory", 280, "history", "&View Task History", "View Task History",
         "View task log history"},
        {&FlatButton1, "FlatButton1", 310, "preferences", "&Preferences", "Set Preferences", "Set your preferences"},
    };
    for (const ButtonDef& d : defs) {
        auto* b = new TFlatButton(pnlToolbar);
        b->setObjectName(QString::fromLatin1(d.name));
        b->setGeometry(d.x, 3, 26, 24);
        b->setOptions(TFlatButtonOption::boIconOnly | TFlatButtonOption::boPopupMark | TFlatButtonOption::boShowBevel);
        b->setBitmap(AppIcons::pixmap(QString::fromLatin1(d.icon), QSize(18, 18)));
        b->setCaption(QString::fromLatin1(d.caption));
        // After the caption, which would otherwise replace the hint with its own text.
        b->setHint(QString::fromLatin1(d.hint));
        const QString help = QString::fromLatin1(d.help);
        b->setOnMouseMove([this, help](TFlatButton*, Qt::KeyboardModifiers, int, int) { setStatusHelp(help); });
        // Tab stops after the grid, so the keyboard reaches every command without its letter.
        b->setFocusPolicy(Qt::TabFocus);
        // The command done, the keyboard goes on in the grid it acted on.
        connect(b, &TFlatButton::clicked, this, [this, b] {
            if (focusWidget() == b)
                TaskGrid->setFocus(Qt::OtherFocusReason);
        });
        *d.button = b;
    }
    btnChecked->setGroupIndex(1);

    for (int x : {57, 87, 195, 251, 307}) {
        auto* bar = new QFrame(pnlToolbar);
        bar->setFrameShape(QFrame::VLine);
        bar->setFrameShadow(QFrame::Sunken);
        bar->setGeometry(x, 4, 2, 22);
        setAccessibleRole(bar, QAccessible::Separator);
    }

    btnExit->setOnClick([this](TFlatButton*) { btnExitClick(); });
    btnMinimize->setOnClick([this](TFlatButton*) { btnMinimizeClick(); });
    btnChecked->setOnClick([this](TFlatButton*) { btnCheckedClick(); });
    btnAdd->setOnClick([this](TFlatButton*) { btnAddClick(); });
    btnRemove->setOnClick([this](TFlatButton*) { btnRemoveClick(); });
    btnEdit->setOnClick([this](TFlatButton*) { btnEditClick(); });
    btnPrint->setOnClick([this](TFlatButton*) { AutoFitColumnWidths(); });
    btnLogTasks->setOnClick([this](TFlatButton*) { LogTasks(false); });
    btnViewHistory->setOnClick([this](TFlatButton*) { ViewHistory(false); });
}

void TfrmToDo::createMenus()
{
    auto add = [](QMenu* menu, QAction*& action, const char* name, const char* text) {
        action = menu->addAction(QString::fromLatin1(text));
        action->setObjectName(QString::fromLatin1(name));
        return action;
    };
    QMenuBar* bar = menuBar();
    bar->setObjectName(QStringLiteral("MainMenu1"));

    QMenu* file = bar->addMenu(QStringLiteral("&File"));
    file->setObjectName(QStringLiteral("mnuFile"));
    add(file, mnuFilePreferences, "mnuFilePreferences", "&Preferences...");
    add(file, Import1, "Import1", "&Import...");
    add(file, mnuExport, "mnuExport", "&Export...");
    file->addSeparator();
    add(file, mnuFilePrinterSetup, "mnuFilePrinterSetup", "Printer &Setup...");
    add(file, mnuFilePrintPreview, "mnuFilePrintPreview", "Print Pre&view...");
    add(file, mnuFilePrint, "mnuFilePrint", "P&rint");
    file->addSeparator();
    add(file, mnuFileMinimize, "mnuFileMinimize", "&Minimize");
    add(file, mnuFileExit, "mnuFileExit", "E&xit");

    QMenu* edit = bar->addMenu(QStringLiteral("E&dit"));
    edit->setObjectName(QStringLiteral("mnuEdit"));
    add(edit, CheckUncheckTask1, "CheckUncheckTask1", "&Check/Uncheck Task");
    edit->addSeparator();
    add(edit, mnuEditAdd, "mnuEditAdd", "&Add Task");
    add(edit, EditTask1, "EditTask1", "&Edit Task");
    add(edit, mnuEditRemove, "mnuEditRemove", "&Remove Task");
    edit->addSeparator();
    add(edit, LogCompletedTasks1, "LogCompletedTasks1", "&Log Completed Tasks");
    add(edit, ViewTaskHistory1, "ViewTaskHistory1", "&View Task History");

    QMenu* help = bar->addMenu(QStringLiteral("&Help"));
    help->setObjectName(QStringLiteral("mnuHelp"));
    add(help, HelpTopics1, "HelpTopics1", "&Help Topics");
    add(help, Help1, "Help1", "&Hotkeys");
    help->addSeparator();
    add(help, mnuHelpAbout, "mnuHelpAbout", "&About");

    connect(mnuFileMinimize, &QAction::triggered, this, &TfrmToDo::btnMinimizeClick);
    connect(mnuFileExit, &QAction::triggered, this, &TfrmToDo::btnExitClick);
    connect(CheckUncheckTask1, &QAction::triggered, this, &TfrmToDo::btnCheckedClick);
    connect(mnuEditAdd, &QAction::triggered, this, &TfrmToDo::btnAddClick);
    connect(EditTask1, &QAction::triggered, this, &TfrmToDo::btnEditClick);
    connect(mnuEditRemove, &QAction::triggered, this, &TfrmToDo::btnRemoveClick);
    connect(LogCompletedTasks1, &QAction::triggered, this, [this] { LogTasks(false); });
    connect(ViewTaskHistory1, &QAction::triggered, this, [this] { ViewHistory(true); });
    connect(HelpTopics1, &QAction::triggered, this, &TfrmToDo::HelpTopics1Click);
    connect(Help1, &QAction::triggered, this, &TfrmToDo::Help1Click);
    connect(mnuHelpAbout, &QAction::triggered, this, &TfrmToDo::mnuHelpAboutClick);
    connectImportExport();

    PopupMenu1 = new QMenu(this);
    PopupMenu1->setObjectName(QStringLiteral("PopupMenu1"));
    add(PopupMenu1, popAdd, "popAdd", "&Add");
    add(PopupMenu1, popEdit, "popEdit", "&Edit");
    add(PopupMenu1, popRemove, "popRemove", "&Remove");
    add(PopupMenu1, popCheck, "popCheck", "&Check");
    connect(popAdd, &QAction::triggered, this, &TfrmToDo::btnAddClick);
    connect(popEdit, &QAction::triggered, this, &TfrmToDo::btnEditClick);
    connect(popRemove, &QAction::triggered, this, &TfrmToDo::btnRemoveClick);
    connect(popCheck, &QAction::triggered, this, &TfrmToDo::btnCheckedClick);

    auto* f1 = new QShortcut(QKeySequence(Qt::Key_F1), this);
    connect(f1, &QShortcut::activated, this, &TfrmToDo::HelpTopics1Click);
    // A usable toolbar button's accelerator wins over a menu title's (Alt+F is find text); F10
    // opens the menu bar at its first menu, so the File menu stays within reach of the keyboard.
    auto* f10 = new QShortcut(QKeySequence(Qt::Key_F10), this);
    connect(f10, &QShortcut::activated, this, [bar, file] { bar->setActiveAction(file->menuAction()); });

    TaskGrid->installEventFilter(this);
}

void TfrmToDo::btnExitClick()
{
    // The windows are destroyed, and the list and settings saved, once the event loop has ended.
    QCoreApplication::quit();
}

void TfrmToDo::btnMinimizeClick()
{
    TForm1::putAwayTaskWindow(this);
}

void TfrmToDo::btnAddClick()
{
    m_editing = false;
    AddTask();
}

void TfrmToDo::btnEditClick()
{
    m_editing = true;
    AddTask();
}

void TfrmToDo::btnRemoveClick()
{
    RemoveTask();
}

void TfrmToDo::btnCheckedClick()
{
    CheckTask();
}

void TfrmToDo::stopTimerForModal()
{
    Timer1->stop();
}

void TfrmToDo::restartTimerAfterModal()
{
    if (m_alarmsEnabled)
        Timer1->start();
}

void TfrmToDo::AddTask()
{
    TfrmAddTask* dialog = addTaskDialog();
    if (!dialog)
        return;
    if (m_editing)
        TaskGrid->scrollIntoView();
    stopTimerForModal();
    // The step is taken as the dialog wrote the task, at its save.
    TaskListStep step;
    step.text = m_editing ? QStringLiteral("Edit Task") : QStringLiteral("Add Task");
    const int editedRow = std::max(1, TaskGrid->Selection().top());
    std::optional<RowCells> before;
    if (m_editing && editedRow < TaskGrid->RowCount() && !isTaskListEmpty())
        before = RowStep::keep(TaskGrid->cellStore(), editedRow);
    m_beforeSave = [&] {
        const bool floated = m_editing && m_settings.FloatEditedTask && editedRow > 1;
        const int row = !m_editing || floated ? 1 : editedRow;
        if (row >= TaskGrid->RowCount())
            return;
        if (before)
            step.tasks.changed(std::move(*before), editedRow, TaskGrid->cellStore(), row);
        else
            step.tasks.added(TaskGrid->cellStore(), row);
    };
    const bool done = dialog->execute(m_editing);
    m_beforeSave = nullptr;
    if (done)
        pushStep(std::move(step));
    restartTimerAfterModal();
    UpdateChecked();
}

void TfrmToDo::RemoveTask()
{
    bool remove = true;
    TaskGrid->scrollIntoView();
    if (!m_settings.NoConfirmations)
        remove = MessageBox::show(this, MessageBox::Kind::Information, QStringLiteral("Remove this task?"),
                                  QMessageBox::Ok | QMessageBox::Cancel, QMessageBox::Ok)
            == QMessageBox::Ok;
    if (remove) {
        TaskListStep step;
        step.text = QStringLiteral("Remove Task");
        if (!isTaskListEmpty() && TaskGrid->Row() >= 1)
            step.tasks.removed(TaskGrid->cellStore(), TaskGrid->RowCount() > 2 ? TaskGrid->Row() : 1);
        pushStep(std::move(step));
        if (TaskGrid->RowCount() > 2)
            TaskGrid->RemoveRows(TaskGrid->Row(), 1);
        else
            TaskGrid->ClearRows(1, 1);
    }
    SaveTaskList();
    RecordFileTimes();
    UpdateTaskCount();
    UpdateChecked();
}

void TfrmToDo::CheckTask()
{
    if (isTaskListEmpty())
        return;
    const int r = TaskGrid->Row();
    if (r < 1)
        return;
    // The wheel may have scrolled the task out of sight: the user sees what the command changes.
    TaskGrid->scrollIntoView();
    RowCells before = RowStep::keep(TaskGrid->cellStore(), r);
    const auto record = qScopeGuard([&] {
        TaskListStep step;
        step.text = TaskGrid->Cells(TaskCol::Mark, r).isEmpty() ? QStringLiteral("Uncheck Task")
                                                                 : QStringLiteral("Check Task");
        step.tasks.changed(std::move(before), r, TaskGrid->cellStore(), r);
        pushStep(std::move(step));
    });
    if (!TaskGrid->Cells(TaskCol::Mark, r).isEmpty()) {
        btnChecked->setDown(false);
        TaskGrid->setCells(TaskCol::Mark, r, QString());
        TaskGrid->RemoveCellImage(TaskCol::Mark, r);
    } else {
        btnChecked->setDown(true);
        TaskGrid->setCells(TaskCol::Mark, r, kCheckedMark);
        TaskGrid->SetCellImage(TaskCol::Mark, r, 0, 2, 2);
    }
}

void TfrmToDo::UpdateChecked()
{
    const int r = TaskGrid->Row();
    btnChecked->setDown(r >= 1 && TaskGrid->Cells(TaskCol::Mark, r) == kCheckedMark);
}

bool TfrmToDo::TaskGridKeyDown(QKeyEvent* event)
{
    // The command follows the key alone, whatever Ctrl, Alt, Shift or Meta are held with it;
    // Alt+letters never come here, the toolbar's accelerators and the menu bar take them first.
    switch (event->key()) {
    case Qt::Key_Space:
        CheckTask();
        return true;
    case Qt::Key_Insert:
    case Qt::Key_Plus:    // keypad + and the =/+ key with Shift
    case Qt::Key_Equal:   // the =/+ key
        m_editing = false;
        AddTask();
        return true;
    case Qt::Key_Delete:
    case Qt::Key_Minus:       // keypad - and the -/_ key
    case Qt::Key_Underscore:  // the -/_ key with Shift
        RemoveTask();
        return true;
    case Qt::Key_Menu:
        ShowGridPopupAtSelection();
        return true;
    case Qt::Key_F10:
        if (!(event->modifiers() & Qt::ShiftModifier))
            return false;  // F10 alone opens the menu bar
        ShowGridPopupAtSelection();
        return true;
    default:
        return false;
    }
}

void TfrmToDo::ShowGridPopupAtSelection()
{
    const int row = TaskGrid->Row();
    if (row < 1 || PopupMenu1->isVisible())
        return;
    TaskGrid->setCurrentCell(TaskGrid->Col(), row);
    TaskGrid->scrollIntoView();
    const QRect cell = TaskGrid->cellRect(TaskGrid->Col(), row);
    const QPoint at = cell.isEmpty() ? QPoint(0, 0) : cell.bottomLeft() + QPoint(2, 0);
    PopupMenu1->popup(TaskGrid->viewport()->mapToGlobal(at));
}

void TfrmToDo::TaskGridKeyUp(QKeyEvent*)
{
    UpdateChecked();
}

namespace {
// Whether a point of the grid's viewport lies on the title row (its bottom grid line included).
bool onTitleRow(const TTextGrid* grid, const QPoint& pos)
{
    const QRect title = grid->cellRect(0, 0);
    return !title.isEmpty() && pos.y() <= title.bottom() + 1;
}
} // namespace

void TfrmToDo::TaskGridMouseDown(Qt::MouseButton button, const QPoint& viewportPos)
{
    UpdateChecked();
    if (button != Qt::RightButton || onTitleRow(TaskGrid, viewportPos))
        return;
    // Any x inside the cells finds the row; below the last row means the last row.
    int row = TaskGrid->cellAt(QPoint(2, viewportPos.y())).y();
    if (row < 0)
        row = TaskGrid->RowCount() - 1;
    if (row < 1)
        return;
    TaskGrid->setCurrentCell(TaskGrid->columnMap().realToDisplay(TaskCol::Task), row);
    UpdateChecked();
    PopupMenu1->popup(TaskGrid->viewport()->mapToGlobal(viewportPos));
}

void TfrmToDo::TaskGridDblClick(const QPoint& viewportPos)
{
    // A double click on a title is two title clicks (two sorts), not a request to edit.
    if (onTitleRow(TaskGrid, viewportPos))
        return;
    if (TaskGrid->DisplayToRealColumn(TaskGrid->Col()) == TaskCol::Mark) {
        CheckTask();
        return;
    }
    m_editing = !TaskGrid->Cells(TaskCol::Task, TaskGrid->Row()).isEmpty();
    AddTask();
}

bool TfrmToDo::gridCommandEvent(QObject* watched, QEvent* event)
{
    if (!TaskGrid)
        return false;
    if (watched == TaskGrid) {
        // A key the window acted on is spent: passed on, the grid would also look it up as
        // type-ahead and move the selection away from the task just acted on.
        if (event->type() == QEvent::KeyPress)
            return TaskGridKeyDown(static_cast<QKeyEvent*>(event));
        if (event->type() == QEvent::KeyRelease)
            TaskGridKeyUp(static_cast<QKeyEvent*>(event));
        if (event->type() == QEvent::ContextMenu
            && static_cast<QContextMenuEvent*>(event)->reason() == QContextMenuEvent::Keyboard) {
            ShowGridPopupAtSelection();
            return true;
        }
        return false;
    }
    if (watched != TaskGrid->viewport() || m_passingGridMouse)
        return false;
    const QEvent::Type type = event->type();
    if (type != QEvent::MouseButtonPress && type != QEvent::MouseButtonDblClick)
        return false;
    // The grid moves its selection first; the commands act on where it lands.
    auto* mouse = static_cast<QMouseEvent*>(event);
    const QPoint pos = mouse->position().toPoint();
    const Qt::MouseButton button = mouse->button();
    m_passingGridMouse = true;
    QCoreApplication::sendEvent(watched, event);
    m_passingGridMouse = false;
    if (type == QEvent::MouseButtonPress)
        TaskGridMouseDown(button, pos);
    else if (button == Qt::LeftButton)
        TaskGridDblClick(pos);
    return true;
}

void TfrmToDo::connectPreferences()
{
    if (m_prefs)
        m_prefs->setMainWindow(this, m_history);
    FlatButton1->setOnClick([this](TFlatButton*) { ShowPreferences(); });
    connect(mnuFilePreferences, &QAction::triggered, this, &TfrmToDo::ShowPreferences);
}

void TfrmToDo::ShowPreferences()
{
    if (!m_prefs)
        return;
    stopTimerForModal();
    m_prefs->exec();
    setupSharedList();  // sharing switched, or the data moved to another folder
    restartTimerAfterModal();
}

} // namespace veltry
