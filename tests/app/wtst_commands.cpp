// The task window's commands driven the way a user drives them: keys and clicks in the grid,
// toolbar buttons, menus and Alt+letter accelerators.
#include "ProgramFolder.h"
#include "TestEnv.h"
#include "app/VeltryApp.h"
#include "app/fToDo.h"
#include "editing/fAddTask.h"
#include "history/fHistory.h"
#include "platform/MessageBox.h"
#include "store/core/Task.h"
#include "widgets/FlatBtn.h"
#include "widgets/GridPrint.h"
#include "widgets/TextGrid.h"

#include <QAction>
#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPrintDialog>
#include <QPrinter>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>

using namespace veltry;
using namespace veltry::test;

namespace {
// A task list file; a description starting with "*" is a checked task.
QByteArray listFile(const QStringList& tasks)
{
    QByteArray out = taskListHeader(std::max<qsizetype>(tasks.size(), 1) + 1);
    for (int i = 0; i < tasks.size(); ++i) {
        const QByteArray r = QByteArray::number(i + 1);
        QString text = tasks[i];
        if (text.startsWith(QLatin1Char('*'))) {
            out += "0," + r + ", \r\n";
            text.remove(0, 1);
        }
        out += "1," + r + "," + text.toLatin1() + "\r\n5," + r + ",\xA0\r\n10," + r + ",0\r\n";
    }
    return out;
}

// What a modal window looked like while it was open; it is closed with Cancel at once.
struct ModalSeen
{
    int count = 0;
    QString title;
    bool timerWasActive = true;
    bool addTaskEditing = false;
    QPrinter* printer = nullptr;  // the printer a print dialog was opened on
};

// Watches for the next modal windows opened while `guard` lives and closes each of them.
void closeModals(QObject* guard, TfrmToDo* todo, ModalSeen* seen)
{
    auto* poll = new QTimer(guard);
    poll->setInterval(5);
    QObject::connect(poll, &QTimer::timeout, guard, [todo, seen] {
        auto* modal = qobject_cast<QDialog*>(QApplication::activeModalWidget());
        if (!modal || !modal->isVisible())
            return;
        ++seen->count;
        seen->title = modal->windowTitle();
        seen->timerWasActive = todo->Timer1->isActive();
        if (auto* add = qobject_cast<TfrmAddTask*>(modal))
            seen->addTaskEditing = add->isEditing();
        if (auto* print = qobject_cast<QPrintDialog*>(modal))
            seen->printer = print->printer();
        modal->reject();
    });
    poll->start();
}

// Types `description` into the next add/edit dialog opened while `guard` lives and presses OK.
void answerAddTask(QObject* guard, const QString& description)
{
    auto* poll = new QTimer(guard);
    poll->setInterval(5);
    QObject::connect(poll, &QTimer::timeout, guard, [poll, description] {
        auto* dlg = qobject_cast<TfrmAddTask*>(QApplication::activeModalWidget());
        if (!dlg || !dlg->isVisible())
            return;
        poll->stop();
        dlg->edtTask->selectAll();
        QTest::keyClicks(dlg->edtTask, description);
        QTest::mouseClick(dlg->btnOK, Qt::LeftButton);
    });
    poll->start();
}
} // namespace

class TestCommands : public QObject
{
    Q_OBJECT

    std::unique_ptr<ProgramFolder> m_program;
    std::unique_ptr<VeltryApp> m_app;
    TfrmToDo* m_todo = nullptr;

    TTextGrid* grid() const { return m_todo->TaskGrid; }

    void start(const QStringList& tasks)
    {
        QVERIFY(m_program->write(kTaskListFileName, listFile(tasks)));
        m_app = std::make_unique<VeltryApp>();
        QVERIFY(m_app->start());
        m_todo = m_app->toDo();
        QVERIFY(m_todo->isVisible());
        m_todo->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(m_todo));
        grid()->setFocus();
    }

    // The middle of a task cell in the grid's viewport, by real column.
    QPoint cellCentre(int realCol, int row) const
    {
        return grid()->cellRect(grid()->columnMap().realToDisplay(realCol), row).center();
    }

private Q_SLOTS:
    void init() { m_program = std::make_unique<ProgramFolder>(); }

    void cleanup()
    {
        if (m_app)
            m_app->shutdown();
        m_app.reset();
        m_todo = nullptr;
    }

    void toolbarButtons_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<int>("x");
        QTest::addColumn<QString>("hint");
        QTest::addColumn<QString>("caption");
        QTest::addColumn<QString>("help");
        QTest::addColumn<bool>("enabled");
        QTest::newRow("exit") << "btnExit" << 4 << "Exit" << "E&xit" << "Exit application." << true;
        QTest::newRow("minimize") << "btnMinimize" << 30 << "Minimize" << "&Minimize"
                                  << "Minimize this application to the system tray." << true;
        QTest::newRow("check") << "btnChecked" << 60 << "Check/Uncheck" << "&Check/Uncheck"
                               << "Check/uncheck selected task." << true;
        QTest::newRow("add") << "btnAdd" << 90 << "Add Task" << "&Add Task" << "Add a new task" << true;
        QTest::newRow("remove") << "btnRemove" << 116 << "Remove Task" << "&Remove Task" << "Remove selected task" << true;
        QTest::newRow("edit") << "btnEdit" << 142 << "Edit Task" << "&Edit Task" << "Edit the selected task" << true;
        QTest::newRow("autofit") << "btnPrint" << 168 << "Auto-fit Column Widths" << "Auto-fit Column &Widths"
                                 << "Auto-fit columns to task grid width" << true;
        QTest::newRow("advsort") << "btnAdvSort" << 198 << "Advanced Sort" << "Advanced &Sort"
                                 << "More options for how the list is sorted" << true;
        QTest::newRow("find") << "btnFind" << 224 << "Find Text" << "&Find Text" << "Finds the specified text" << true;
        QTest::newRow("log") << "btnLogTasks" << 254 << "Log Completed Tasks" << "&Log Completed Tasks"
                             << "Log all completed tasks in history list" << true;
        QTest::newRow("history") << "btnViewHistory" << 280 << "View Task History" << "&View Task History"
                                 << "View task log history" << true;
        // The hint is not the caption here: it must survive the caption being set.
        QTest::newRow("prefs") << "FlatButton1" << 310 << "Set Preferences" << "&Preferences"
                               << "Set your preferences" << true;
    }

    void toolbarButtons()
    {
        QFETCH(QString, name);
        QFETCH(int, x);
        QFETCH(QString, hint);
        QFETCH(QString, caption);
        QFETCH(QString, help);
        QFETCH(bool, enabled);
        start({QStringLiteral("one")});
        auto* b = m_todo->pnlToolbar->findChild<TFlatButton*>(name);
        QVERIFY(b);
        QCOMPARE(b->geometry(), QRect(x, 3, 26, 24));
        QCOMPARE(b->hint(), hint);
        QCOMPARE(b->toolTip(), hint);
        QCOMPARE(b->caption(), caption);
        QCOMPARE(b->bitmap().size(), QSize(18, 18));
        QVERIFY(b->options().testFlag(TFlatButtonOption::boIconOnly));
        QVERIFY(!b->options().testFlag(TFlatButtonOption::boMonoDisplay));
        QCOMPARE(b->isEnabled(), enabled);
        QCOMPARE(m_todo->pnlToolbar->height(), 30);

        // Over the button: its help text; over the grid: none.
        QTest::mouseMove(b, QPoint(5, 5));
        QTest::mouseMove(b, QPoint(12, 12));
        QTRY_COMPARE(m_todo->statusPanels[2]->text(), enabled ? help : QString());
        QTest::mouseMove(grid()->viewport(), QPoint(40, 60));
        QTRY_COMPARE(m_todo->statusPanels[2]->text(), QString());
    }

    void menuItems_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("enabled");
        QTest::newRow("prefs") << "mnuFilePreferences" << "&Preferences..." << true;
        QTest::newRow("import") << "Import1" << "&Import..." << true;
        QTest::newRow("export") << "mnuExport" << "&Export..." << true;
        QTest::newRow("printer") << "mnuFilePrinterSetup" << "Printer &Setup..." << true;
        QTest::newRow("preview") << "mnuFilePrintPreview" << "Print Pre&view..." << true;
        QTest::newRow("print") << "mnuFilePrint" << "P&rint" << true;
        QTest::newRow("minimize") << "mnuFileMinimize" << "&Minimize" << true;
        QTest::newRow("exit") << "mnuFileExit" << "E&xit" << true;
        QTest::newRow("undo, nothing to undo") << "mnuEditUndo" << "&Undo" << false;
        QTest::newRow("redo, nothing to redo") << "mnuEditRedo" << "&Redo" << false;
        QTest::newRow("check") << "CheckUncheckTask1" << "&Check/Uncheck Task" << true;
        QTest::newRow("add") << "mnuEditAdd" << "&Add Task" << true;
        QTest::newRow("edit") << "EditTask1" << "&Edit Task" << true;
        QTest::newRow("remove") << "mnuEditRemove" << "&Remove Task" << true;
        QTest::newRow("log") << "LogCompletedTasks1" << "&Log Completed Tasks" << true;
        QTest::newRow("history") << "ViewTaskHistory1" << "&View Task History" << true;
        QTest::newRow("topics") << "HelpTopics1" << "&Help Topics" << true;
        QTest::newRow("hotkeys") << "Help1" << "&Hotkeys" << true;
        QTest::newRow("about") << "mnuHelpAbout" << "&About" << true;
        QTest::newRow("pop add") << "popAdd" << "&Add" << true;
        QTest::newRow("pop edit") << "popEdit" << "&Edit" << true;
        QTest::newRow("pop remove") << "popRemove" << "&Remove" << true;
        QTest::newRow("pop check") << "popCheck" << "&Check" << true;
    }

    void menuItems()
    {
        QFETCH(QString, name);
        QFETCH(QString, text);
        QFETCH(bool, enabled);
        start({QStringLiteral("one")});
        auto* action = m_todo->findChild<QAction*>(name);
        QVERIFY(action);
        QCOMPARE(action->text(), text);
        QVERIFY(action->isVisible());
        QCOMPARE(action->isEnabled(), enabled);
        const bool undoRedo = name == QLatin1String("mnuEditUndo") || name == QLatin1String("mnuEditRedo");
        QCOMPARE(action->shortcut().isEmpty(), !undoRedo);  // undo and redo have their Ctrl keys
    }

    void spaceTogglesTheCheckMark()
    {
        start({QStringLiteral("first"), QStringLiteral("second")});
        const QByteArray before = m_program->read(kTaskListFileName);
        grid()->setCurrentCell(1, 2);
        QTest::keyClick(grid(), Qt::Key_Space);
        QCOMPARE(grid()->Cells(TaskCol::Mark, 2), kCheckedMark);
        const TCellGraphic* mark = grid()->cellStore().cellImage(TaskCol::Mark, 2);
        QVERIFY(mark && mark->index == 0 && mark->horizontal == 2 && mark->vertical == 2);
        QVERIFY(m_todo->btnChecked->isDown());
        QVERIFY(grid()->Cells(TaskCol::Mark, 1).isEmpty());
        // Checking alone does not write the file.
        QCOMPARE(m_program->read(kTaskListFileName), before);

        QTest::keyClick(grid(), Qt::Key_Space);
        QVERIFY(grid()->Cells(TaskCol::Mark, 2).isEmpty());
        QVERIFY(!grid()->cellStore().cellImage(TaskCol::Mark, 2));
        QVERIFY(!m_todo->btnChecked->isDown());
    }

    // Space acts on the task the user sees selected, and the selection stays on it: the grid
    // never takes the same key as type-ahead (which would look for " " in the mark column).
    void spaceActsOnTheSelectedTaskOnly()
    {
        start({"one", "two", "three", "four", "five", "six"});
        QCOMPARE(grid()->Row(), 1);
        QTest::keyClick(grid(), Qt::Key_Space);
        for (int i = 0; i < 4; ++i)
            QTest::keyClick(grid(), Qt::Key_Down);
        QTest::keyClick(grid(), Qt::Key_Space);
        QCOMPARE(grid()->Row(), 5);
        QVERIFY(m_todo->btnChecked->isDown());
        QTest::keyClick(grid(), Qt::Key_Space);
        QCOMPARE(grid()->Row(), 5);
        QVERIFY(!m_todo->btnChecked->isDown());
        QStringList marks;
        for (int r = 1; r < grid()->RowCount(); ++r)
            marks << grid()->Cells(TaskCol::Mark, r);
        QCOMPARE(marks, (QStringList{kCheckedMark, "", "", "", "", ""}));
    }

    // A command on the current task first brings it into sight; the wheel scrolled it away.
    void commandsShowTheirTask()
    {
        start(QStringList(60, QStringLiteral("task")));
        for (const Qt::Key key : {Qt::Key_Space, Qt::Key_Menu}) {
            grid()->setTopRow(40);
            QTest::keyClick(grid(), key);
            QVERIFY2(!grid()->cellRect(1, 1).isEmpty(), qPrintable(QKeySequence(key).toString()));
        }
        m_todo->PopupMenu1->close();
    }

    // The grid's keys act by their key alone, whatever Ctrl, Alt or Meta are held with them.
    void gridKeysActWhateverTheModifiers_data()
    {
        QTest::addColumn<int>("key");
        QTest::addColumn<int>("modifiers");
        QTest::addColumn<QString>("effect");
        QTest::newRow("Ctrl+Space") << int(Qt::Key_Space) << int(Qt::ControlModifier) << "checked";
        QTest::newRow("Meta+Space") << int(Qt::Key_Space) << int(Qt::MetaModifier) << "checked";
        QTest::newRow("Ctrl+Insert") << int(Qt::Key_Insert) << int(Qt::ControlModifier) << "add dialog";
        QTest::newRow("Alt+Insert") << int(Qt::Key_Insert) << int(Qt::AltModifier) << "add dialog";
        QTest::newRow("Ctrl+=") << int(Qt::Key_Equal) << int(Qt::ControlModifier) << "add dialog";
        QTest::newRow("Ctrl+Delete") << int(Qt::Key_Delete) << int(Qt::ControlModifier) << "removed";
        QTest::newRow("Ctrl+Shift+Delete") << int(Qt::Key_Delete) << int(Qt::ControlModifier | Qt::ShiftModifier) << "removed";
        QTest::newRow("Alt+keypad -") << int(Qt::Key_Minus) << int(Qt::AltModifier | Qt::KeypadModifier) << "removed";
    }

    void gridKeysActWhateverTheModifiers()
    {
        QFETCH(int, key);
        QFETCH(int, modifiers);
        QFETCH(QString, effect);
        start({QStringLiteral("keep a"), QStringLiteral("target"), QStringLiteral("keep b")});
        m_todo->settings().NoConfirmations = true;
        grid()->setCurrentCell(1, 2);
        QObject guard;
        ModalSeen seen;
        closeModals(&guard, m_todo, &seen);
        QTest::keyClick(grid(), Qt::Key(key), Qt::KeyboardModifiers(modifiers));
        QCOMPARE(seen.count, effect == QLatin1String("add dialog") ? 1 : 0);
        QCOMPARE(grid()->Cells(TaskCol::Mark, 2) == kCheckedMark, effect == QLatin1String("checked"));
        QCOMPARE(grid()->RowCount(), effect == QLatin1String("removed") ? 3 : 4);
        QCOMPARE(grid()->Cells(TaskCol::Task, 2), effect == QLatin1String("removed") ? "keep b" : "target");
        QCOMPARE(grid()->Row(), 2);
    }

    // The Menu key and Shift+F10 open the grid's pop-up menu at the selected task, and its
    // commands act on that task; F10 alone stays the menu bar's.
    void popupMenuFromTheKeyboard_data()
    {
        QTest::addColumn<int>("key");
        QTest::addColumn<int>("modifiers");
        QTest::newRow("Menu key") << int(Qt::Key_Menu) << int(Qt::NoModifier);
        QTest::newRow("Shift+F10") << int(Qt::Key_F10) << int(Qt::ShiftModifier);
    }

    void popupMenuFromTheKeyboard()
    {
        QFETCH(int, key);
        QFETCH(int, modifiers);
        start({QStringLiteral("one"), QStringLiteral("two"), QStringLiteral("three")});
        QTest::keyClick(grid(), Qt::Key_Down);
        QTest::keyClick(grid(), Qt::Key_Down);
        QTest::keyClick(grid(), Qt::Key(key), Qt::KeyboardModifiers(modifiers));
        QMenu* popup = m_todo->PopupMenu1;
        QTRY_VERIFY(popup->isVisible());
        const QRect row = grid()->cellRect(grid()->Col(), 3).translated(grid()->viewport()->mapToGlobal(QPoint(0, 0)));
        QVERIFY2(popup->geometry().top() >= row.top() && popup->geometry().top() <= row.bottom() + 2,
                 qPrintable(QStringLiteral("menu at %1, row %2..%3").arg(popup->geometry().top()).arg(row.top()).arg(row.bottom())));
        m_todo->popCheck->trigger();
        popup->hide();
        QCOMPARE(grid()->Cells(TaskCol::Mark, 3), kCheckedMark);
        QCOMPARE(grid()->Row(), 3);

        QTest::keyClick(grid(), Qt::Key_F10);
        QVERIFY(!popup->isVisible());
        QVERIFY(m_todo->menuBar()->activeAction());
        QTest::keyClick(m_todo->menuBar(), Qt::Key_Escape);
    }

    void checkButtonFollowsTheCurrentRow()
    {
        start({QStringLiteral("*done"), QStringLiteral("open"), QStringLiteral("*also done")});
        QTest::mouseClick(grid()->viewport(), Qt::LeftButton, {}, cellCentre(TaskCol::Task, 1));
        QCOMPARE(grid()->Row(), 1);
        QVERIFY(m_todo->btnChecked->isDown());
        QTest::keyClick(grid(), Qt::Key_Down);
        QCOMPARE(grid()->Row(), 2);
        QVERIFY(!m_todo->btnChecked->isDown());
        QTest::mouseClick(grid()->viewport(), Qt::LeftButton, {}, cellCentre(TaskCol::Task, 3));
        QVERIFY(m_todo->btnChecked->isDown());
        // The toolbar button unchecks the current task and pops up.
        QTest::mouseClick(m_todo->btnChecked, Qt::LeftButton, {}, QPoint(13, 12));
        QVERIFY(grid()->Cells(TaskCol::Mark, 3).isEmpty());
        QVERIFY(!m_todo->btnChecked->isDown());
    }

    void foreignMarkCountsAsCheckedOnlyForUnchecking()
    {
        start({QStringLiteral("one")});
        grid()->setCells(TaskCol::Mark, 1, QStringLiteral("x"));
        QTest::keyClick(grid(), Qt::Key_Space);
        QVERIFY(grid()->Cells(TaskCol::Mark, 1).isEmpty());
    }

    void escapeNeverChangesATask_data()
    {
        QTest::addColumn<QStringList>("tasks");
        QTest::addColumn<QString>("before");          // what the user does before Escape
        QTest::addColumn<QString>("after");           // and after it
        QTest::addColumn<QStringList>("descriptions"); // the list afterwards
        QTest::addColumn<QByteArray>("saved");        // a line of the list file at exit
        QTest::addColumn<QString>("logged");          // the history's newest task
        QTest::newRow("checked task, then Alt+L")
            << QStringList{"*done", "open"} << "" << "log" << QStringList{"open"} << QByteArray("1,1,open\r\n") << "done";
        QTest::newRow("Space checks")
            << QStringList{"one"} << "space" << "" << QStringList{"one"} << QByteArray("0,1, \r\n") << "";
        QTest::newRow("edited in the dialog")
            << QStringList{"Alpha", "Beta"} << "edit" << "" << QStringList{"Alpha", "Beta edited"}
            << QByteArray(",Beta edited\r\n") << "";
        QTest::newRow("added to an empty list")
            << QStringList{} << "add" << "add" << QStringList{"Second", "First"} << QByteArray("1,2,First\r\n") << "";
    }

    // Escape undoes nothing in the task list, which has no in-place editing; whatever the
    // program or the user wrote stays.
    void escapeNeverChangesATask()
    {
        QFETCH(QStringList, tasks);
        QFETCH(QString, before);
        QFETCH(QString, after);
        QFETCH(QStringList, descriptions);
        QFETCH(QByteArray, saved);
        QFETCH(QString, logged);
        start(tasks);
        m_todo->settings().NoConfirmations = true;
        const auto addOrEdit = [this](Qt::Key key, const QString& description) {
            m_todo->activateWindow();  // back from an earlier dialog
            QVERIFY(QTest::qWaitForWindowActive(m_todo));
            QObject guard;
            answerAddTask(&guard, description);
            QTest::keyClick(m_todo, key, Qt::AltModifier);
        };
        if (before == QLatin1String("space")) {
            QTest::keyClick(grid(), Qt::Key_Space);
        } else if (before == QLatin1String("edit")) {
            grid()->setCurrentCell(1, 2);
            addOrEdit(Qt::Key_E, QStringLiteral("Beta edited"));
        } else if (before == QLatin1String("add")) {
            grid()->setCurrentCell(1, 1);
            addOrEdit(Qt::Key_A, QStringLiteral("First"));
        }
        QTest::keyClick(grid(), Qt::Key_Escape);
        if (after == QLatin1String("log")) {
            QTest::keyClick(m_todo, Qt::Key_L, Qt::AltModifier);
            m_todo->waitForSaves();
        }
        else if (after == QLatin1String("add"))
            addOrEdit(Qt::Key_A, QStringLiteral("Second"));

        QStringList shown;
        for (int r = 1; r < grid()->RowCount(); ++r)
            shown << grid()->Cells(TaskCol::Task, r);
        QCOMPARE(shown, descriptions);
        QCOMPARE(m_app->history()->TaskHistoryGrid->Cells(HistCol::Task, 1), logged);
        m_app->shutdown();
        m_app.reset();
        QVERIFY(m_program->read(kTaskListFileName).contains(saved));
    }

    void checkOnEmptyListDoesNothing()
    {
        start({});
        QTest::keyClick(grid(), Qt::Key_Space);
        QVERIFY(grid()->Cells(TaskCol::Mark, 1).isEmpty());
        QVERIFY(!m_todo->btnChecked->isDown());
    }

    void addKeysOpenTheDialog_data()
    {
        QTest::addColumn<int>("key");
        QTest::addColumn<int>("modifiers");
        QTest::newRow("Insert") << int(Qt::Key_Insert) << int(Qt::NoModifier);
        QTest::newRow("keypad +") << int(Qt::Key_Plus) << int(Qt::KeypadModifier);
        QTest::newRow("=/+ key") << int(Qt::Key_Equal) << int(Qt::NoModifier);
        QTest::newRow("shifted =/+ key") << int(Qt::Key_Plus) << int(Qt::ShiftModifier);
    }

    void addKeysOpenTheDialog()
    {
        QFETCH(int, key);
        QFETCH(int, modifiers);
        start({QStringLiteral("one"), QStringLiteral("two")});
        QVERIFY(m_todo->Timer1->isActive());
        QObject guard;
        ModalSeen seen;
        seen.addTaskEditing = true;
        closeModals(&guard, m_todo, &seen);
        QTest::keyClick(grid(), Qt::Key(key), Qt::KeyboardModifiers(modifiers));
        QCOMPARE(seen.count, 1);
        QVERIFY(!seen.addTaskEditing);
        QVERIFY(!m_todo->editingFlag());
        QVERIFY(!seen.timerWasActive);
        QVERIFY(m_todo->Timer1->isActive());
        QCOMPARE(grid()->RowCount(), 3);  // cancelled: nothing added
    }

    void removeKeysRemoveWithoutQuestion_data()
    {
        QTest::addColumn<int>("key");
        QTest::addColumn<int>("modifiers");
        QTest::newRow("Delete") << int(Qt::Key_Delete) << int(Qt::NoModifier);
        QTest::newRow("keypad -") << int(Qt::Key_Minus) << int(Qt::KeypadModifier);
        QTest::newRow("-/_ key") << int(Qt::Key_Minus) << int(Qt::NoModifier);
        QTest::newRow("shifted -/_ key") << int(Qt::Key_Underscore) << int(Qt::ShiftModifier);
    }

    void removeKeysRemoveWithoutQuestion()
    {
        QFETCH(int, key);
        QFETCH(int, modifiers);
        start({QStringLiteral("keep a"), QStringLiteral("drop"), QStringLiteral("keep b")});
        m_todo->settings().NoConfirmations = true;
        grid()->setCurrentCell(1, 2);
        QTest::keyClick(grid(), Qt::Key(key), Qt::KeyboardModifiers(modifiers));
        QVERIFY(MessageBox::shownTexts().isEmpty());
        QCOMPARE(grid()->RowCount(), 3);
        QCOMPARE(grid()->Cells(TaskCol::Task, 1), QStringLiteral("keep a"));
        QCOMPARE(grid()->Cells(TaskCol::Task, 2), QStringLiteral("keep b"));
        QCOMPARE(m_todo->statusPanels[0]->text(), QStringLiteral("Tasks: 2"));
        const QByteArray saved = m_program->read(kTaskListFileName);
        QVERIFY(saved.startsWith("12,3\r\n"));
        QVERIFY(!saved.contains("drop"));
    }

    void removeQuestion_data()
    {
        QTest::addColumn<int>("answer");
        QTest::addColumn<int>("rowsAfter");
        QTest::newRow("OK") << int(QMessageBox::Ok) << 2;
        QTest::newRow("Cancel") << int(QMessageBox::Cancel) << 3;
    }

    void removeQuestion()
    {
        QFETCH(int, answer);
        QFETCH(int, rowsAfter);
        start({QStringLiteral("first"), QStringLiteral("second")});
        // A check not yet saved: the remove command's save carries it to the file either way.
        grid()->setCurrentCell(1, 1);
        QTest::keyClick(grid(), Qt::Key_Space);
        QVERIFY(!m_program->read(kTaskListFileName).contains("0,1, \r\n"));
        grid()->setCurrentCell(1, 2);
        MessageBox::queueAnswer(QMessageBox::StandardButton(answer));
        QTest::keyClick(grid(), Qt::Key_Delete);
        QCOMPARE(MessageBox::shownTexts(), QStringList{QStringLiteral("Remove this task?")});
        QCOMPARE(grid()->RowCount(), rowsAfter);
        const QByteArray saved = m_program->read(kTaskListFileName);
        QVERIFY(saved.contains("0,1, \r\n"));
        QCOMPARE(saved.contains("second"), rowsAfter == 3);
        QCOMPARE(m_todo->statusPanels[0]->text(), QStringLiteral("Tasks: %1").arg(rowsAfter - 1));
    }

    void removingTheOnlyTaskLeavesThePlaceholderRow()
    {
        start({QStringLiteral("*only")});
        QTest::keyClick(grid(), Qt::Key_Delete);
        QCOMPARE(grid()->RowCount(), 2);
        for (int c = 0; c < TaskCol::Count; ++c)
            QVERIFY(grid()->Cells(c, 1).isEmpty());
        QVERIFY(!grid()->cellStore().cellImage(TaskCol::Mark, 1));
        QCOMPARE(m_todo->statusPanels[0]->text(), QStringLiteral("Tasks: 0"));
        QVERIFY(!m_todo->btnChecked->isDown());
        QCOMPARE(m_program->read(kTaskListFileName), taskListHeader(2));
    }

    void rightClick_data()
    {
        QTest::addColumn<QString>("where");
        QTest::addColumn<int>("expectedRow");
        QTest::newRow("on a task") << "row 2" << 2;
        QTest::newRow("below the last row") << "below" << 3;
        QTest::newRow("on the titles") << "title" << 1;
    }

    void rightClick()
    {
        QFETCH(QString, where);
        QFETCH(int, expectedRow);
        start({QStringLiteral("one"), QStringLiteral("two"), QStringLiteral("*three")});
        grid()->setCurrentCell(2, 1);
        QPoint pos;
        if (where == QLatin1String("row 2"))
            pos = cellCentre(TaskCol::DueDate, 2);
        else if (where == QLatin1String("below"))
            pos = QPoint(cellCentre(TaskCol::Category, 3).x(), grid()->cellRect(0, 3).bottom() + 30);
        else
            pos = cellCentre(TaskCol::Task, 0);
        QVERIFY(pos.y() < grid()->viewport()->height());
        QTest::mouseClick(grid()->viewport(), Qt::RightButton, {}, pos);
        const bool onTask = where != QLatin1String("title");
        QCOMPARE(m_todo->PopupMenu1->isVisible(), onTask);
        QCOMPARE(grid()->Row(), expectedRow);
        QCOMPARE(grid()->Col(), onTask ? 1 : 2);
        QCOMPARE(m_todo->btnChecked->isDown(), expectedRow == 3);
        m_todo->PopupMenu1->hide();
    }

    void popupMenuActsOnTheClickedTask()
    {
        start({QStringLiteral("one"), QStringLiteral("two")});
        m_todo->settings().NoConfirmations = true;
        QTest::mouseClick(grid()->viewport(), Qt::RightButton, {}, cellCentre(TaskCol::Task, 2));
        QVERIFY(m_todo->PopupMenu1->isVisible());
        m_todo->popCheck->trigger();
        QCOMPARE(grid()->Cells(TaskCol::Mark, 2), kCheckedMark);
        m_todo->PopupMenu1->hide();
        QTest::mouseClick(grid()->viewport(), Qt::RightButton, {}, cellCentre(TaskCol::Task, 1));
        m_todo->popRemove->trigger();
        m_todo->PopupMenu1->hide();
        QCOMPARE(grid()->RowCount(), 2);
        QCOMPARE(grid()->Cells(TaskCol::Task, 1), QStringLiteral("two"));
    }

    void doubleClick_data()
    {
        QTest::addColumn<QStringList>("tasks");
        QTest::addColumn<int>("column");
        QTest::addColumn<int>("row");
        QTest::addColumn<int>("dialogs");
        QTest::addColumn<bool>("editing");
        QTest::addColumn<bool>("checked");
        const QStringList two{QStringLiteral("one"), QStringLiteral("two")};
        QTest::newRow("mark column checks") << two << int(TaskCol::Mark) << 2 << 0 << false << true;
        QTest::newRow("task column edits") << two << int(TaskCol::Task) << 2 << 1 << true << false;
        QTest::newRow("due column edits") << two << int(TaskCol::DueDate) << 1 << 1 << true << false;
        QTest::newRow("placeholder row adds") << QStringList() << int(TaskCol::Task) << 1 << 1 << false << false;
        QTest::newRow("title row does nothing") << two << int(TaskCol::Task) << 0 << 0 << false << false;
    }

    void doubleClick()
    {
        QFETCH(QStringList, tasks);
        QFETCH(int, column);
        QFETCH(int, row);
        QFETCH(int, dialogs);
        QFETCH(bool, editing);
        QFETCH(bool, checked);
        start(tasks);
        QObject guard;
        ModalSeen seen;
        closeModals(&guard, m_todo, &seen);
        // As the window system delivers it: a press (which selects), then the double click.
        const QPoint pos = cellCentre(column, row);
        QTest::mouseClick(grid()->viewport(), Qt::LeftButton, {}, pos);
        QTest::mouseDClick(grid()->viewport(), Qt::LeftButton, {}, pos);
        QCOMPARE(seen.count, dialogs);
        if (dialogs > 0)
            QCOMPARE(seen.addTaskEditing, editing);
        const int r = row == 0 ? 1 : row;
        QCOMPARE(grid()->Cells(TaskCol::Mark, r) == kCheckedMark, checked);
    }

    void modalWindowsKeepTheTimerRule_data()
    {
        QTest::addColumn<QString>("command");
        QTest::addColumn<bool>("alarmsOn");
        QTest::addColumn<QString>("title");
        QTest::addColumn<bool>("stopsTimer");
        const struct
        {
            const char* command;
            const char* title;
            bool stopsTimer;
        } commands[] = {{"hotkeys", "Veltry Hotkeys", true}, {"about", "About Veltry Professional", true},
                        {"add", "Add New Task", true},       {"edit", "Edit Task", true},
                        {"history", "Task Log History", true}, {"import", "Import Existing Veltry", false},
                        {"export", "Export Data File", false},
                        {"prefs button", "Preferences", true}, {"prefs menu", "Preferences", true},
                        {"print preview", "Print preview", true}};
        for (const auto& c : commands) {
            for (bool on : {true, false})
                QTest::newRow(qPrintable(QStringLiteral("%1, alarms %2").arg(QLatin1String(c.command), on ? "on" : "off")))
                    << QString::fromLatin1(c.command) << on << QString::fromLatin1(c.title) << c.stopsTimer;
        }
    }

    void modalWindowsKeepTheTimerRule()
    {
        QFETCH(QString, command);
        QFETCH(bool, alarmsOn);
        QFETCH(QString, title);
        QFETCH(bool, stopsTimer);
        start({QStringLiteral("one")});
        m_todo->setAlarmsEnabled(alarmsOn);
        QObject guard;
        ModalSeen seen;
        closeModals(&guard, m_todo, &seen);
        if (command == QLatin1String("hotkeys"))
            m_todo->Help1->trigger();
        else if (command == QLatin1String("about"))
            m_todo->mnuHelpAbout->trigger();
        else if (command == QLatin1String("add"))
            m_todo->mnuEditAdd->trigger();
        else if (command == QLatin1String("edit"))
            m_todo->EditTask1->trigger();
        else if (command == QLatin1String("prefs button"))
            QTest::mouseClick(m_todo->FlatButton1, Qt::LeftButton, {}, QPoint(13, 12));
        else if (command == QLatin1String("prefs menu"))
            m_todo->mnuFilePreferences->trigger();
        else if (command == QLatin1String("import"))
            m_todo->Import1->trigger();
        else if (command == QLatin1String("export"))
            m_todo->mnuExport->trigger();
        else if (command == QLatin1String("history"))
            m_todo->ViewTaskHistory1->trigger();
        else
            m_todo->mnuFilePrintPreview->trigger();
        QCOMPARE(seen.count, 1);
        QCOMPARE(seen.title, title);
        QCOMPARE(seen.timerWasActive, alarmsOn && !stopsTimer);
        QCOMPARE(m_todo->Timer1->isActive(), alarmsOn);
    }

    void printerSetupLeavesTheTimerRunning()
    {
        start({QStringLiteral("one")});
        QObject guard;
        ModalSeen seen;
        closeModals(&guard, m_todo, &seen);
        // A printer to file, as the tests reach no print service.
        QPrinter& printer = Printer();
        printer.setOutputFileName(sandboxRoot() + QStringLiteral("/setup.pdf"));
        m_todo->mnuFilePrinterSetup->trigger();
        QCOMPARE(seen.count, 1);
        QVERIFY(seen.timerWasActive);
        // The dialog sets up the printer that later prints use.
        QCOMPARE(seen.printer, &printer);
        QCOMPARE(&Printer(), &printer);
        QVERIFY(m_todo->Timer1->isActive());
        printer.setOutputFileName(QString());
    }

    void accelerators_data()
    {
        QTest::addColumn<int>("key");
        QTest::addColumn<QString>("effect");
        QTest::newRow("Alt+C checks") << int(Qt::Key_C) << "checked";
        QTest::newRow("Alt+R removes") << int(Qt::Key_R) << "removed";
        QTest::newRow("Alt+A adds") << int(Qt::Key_A) << "add dialog";
        QTest::newRow("Alt+E edits") << int(Qt::Key_E) << "edit dialog";
        QTest::newRow("Alt+L logs") << int(Qt::Key_L) << "logged";
        QTest::newRow("Alt+V shows history") << int(Qt::Key_V) << "history";
        QTest::newRow("Alt+M hides") << int(Qt::Key_M) << "hidden";
        QTest::newRow("Alt+S opens the advanced sort") << int(Qt::Key_S) << "advanced sort";
        QTest::newRow("Alt+P shows the preferences") << int(Qt::Key_P) << "preferences";
    }

    void accelerators()
    {
        QFETCH(int, key);
        QFETCH(QString, effect);
        start({QStringLiteral("*done"), QStringLiteral("open")});
        m_todo->settings().NoConfirmations = true;
        grid()->setCurrentCell(1, 2);
        QObject guard;
        ModalSeen seen;
        closeModals(&guard, m_todo, &seen);
        QTest::keyClick(m_todo, Qt::Key(key), Qt::AltModifier);
        QTest::qWait(20);
        if (effect == QLatin1String("checked")) {
            QCOMPARE(grid()->Cells(TaskCol::Mark, 2), kCheckedMark);
        } else if (effect == QLatin1String("removed")) {
            QCOMPARE(grid()->RowCount(), 2);
            QCOMPARE(grid()->Cells(TaskCol::Task, 1), QStringLiteral("done"));
        } else if (effect.endsWith(QLatin1String("dialog"))) {
            QCOMPARE(seen.count, 1);
            QCOMPARE(seen.addTaskEditing, effect == QLatin1String("edit dialog"));
        } else if (effect == QLatin1String("logged")) {
            QCOMPARE(grid()->RowCount(), 2);
            QCOMPARE(grid()->Cells(TaskCol::Task, 1), QStringLiteral("open"));
            QCOMPARE(m_app->history()->TaskHistoryGrid->Cells(HistCol::Task, 1), QStringLiteral("done"));
        } else if (effect == QLatin1String("history")) {
            QCOMPARE(seen.count, 1);
        } else if (effect == QLatin1String("preferences")) {
            QCOMPARE(seen.count, 1);
            QCOMPARE(seen.title, QStringLiteral("Preferences"));
        } else if (effect == QLatin1String("advanced sort")) {
            QCOMPARE(seen.count, 1);
            QCOMPARE(seen.title, QStringLiteral("Advanced Sort"));
            QVERIFY(seen.timerWasActive);
        } else if (effect == QLatin1String("hidden")) {
            QVERIFY(!m_todo->isVisible());
        } else {
            QCOMPARE(seen.count, 0);
            QCOMPARE(grid()->RowCount(), 3);
            QVERIFY(m_todo->isVisible());
        }
    }

    // The hot-keys sheet promises Alt+F for find text: once the button can be used it takes Alt+F
    // every time, and the File menu is still reached by tapping Alt, by F10 and by the mouse.
    void altFIsFindTextOnceFindIsThere_data()
    {
        QTest::addColumn<bool>("findEnabled");
        QTest::addColumn<QString>("how");  // pressed four times
        QTest::addColumn<int>("finds");
        QTest::addColumn<int>("fileMenus");
        QTest::newRow("Alt+F with find") << true << "Alt+F" << 4 << 0;
        QTest::newRow("Alt+F without find") << false << "Alt+F" << 0 << 4;
        QTest::newRow("Alt tapped, then F") << true << "Alt, F" << 0 << 4;
        QTest::newRow("F10") << true << "F10" << 0 << 4;
        QTest::newRow("mouse") << true << "mouse" << 0 << 4;
    }

    void altFIsFindTextOnceFindIsThere()
    {
        QFETCH(bool, findEnabled);
        QFETCH(QString, how);
        QFETCH(int, finds);
        QFETCH(int, fileMenus);
        start({QStringLiteral("one")});
        m_todo->btnFind->setEnabled(findEnabled);
        m_todo->btnFind->setOnClick({});  // which command the key reaches is counted, not run
        QSignalSpy findClicks(m_todo->btnFind, &TFlatButton::clicked);
        QMenuBar* bar = m_todo->menuBar();
        QMenu* file = bar->findChild<QMenu*>(QStringLiteral("mnuFile"));
        QVERIFY(file);
        QSignalSpy fileShown(file, &QMenu::aboutToShow);
        QWindow* window = m_todo->windowHandle();
        for (int i = 0; i < 4; ++i) {
            grid()->setFocus();
            QCoreApplication::processEvents();  // the focus changes settle before the next key
            if (how == QLatin1String("Alt+F")) {
                QTest::keyClick(window, Qt::Key_F, Qt::AltModifier);
            } else if (how == QLatin1String("Alt, F")) {
                QTest::keyClick(window, Qt::Key_Alt, Qt::AltModifier);
                QTest::keyClick(window, Qt::Key_F);
            } else if (how == QLatin1String("F10")) {
                QTest::keyClick(window, Qt::Key_F10);
            } else {
                QTest::mouseClick(bar, Qt::LeftButton, {}, bar->actionGeometry(file->menuAction()).center());
            }
            QCOMPARE(file->isVisible(), i < fileMenus);
            // Closed as a user would: Escape closes the menu, another leaves the menu bar.
            if (file->isVisible())
                QTest::keyClick(file, Qt::Key_Escape);
            if (bar->hasFocus())
                QTest::keyClick(bar, Qt::Key_Escape);
            QVERIFY(!file->isVisible() && !bar->hasFocus());
        }
        QCOMPARE(findClicks.count(), finds);
        QCOMPARE(fileShown.count(), fileMenus);
        QCOMPARE(grid()->RowCount(), 2);
    }

    void exitEndsTheEventLoop_data()
    {
        QTest::addColumn<QString>("how");
        QTest::newRow("Alt+X") << "alt";
        QTest::newRow("button") << "button";
        QTest::newRow("menu") << "menu";
    }

    void exitEndsTheEventLoop()
    {
        QFETCH(QString, how);
        start({QStringLiteral("one")});
        QTimer::singleShot(0, m_todo, [this, how] {
            if (how == QLatin1String("alt"))
                QTest::keyClick(m_todo, Qt::Key_X, Qt::AltModifier);
            else if (how == QLatin1String("button"))
                QTest::mouseClick(m_todo->btnExit, Qt::LeftButton, {}, QPoint(13, 12));
            else
                m_todo->mnuFileExit->trigger();
        });
        // Should the command not end the loop, this does, with a code the test rejects.
        QTimer::singleShot(5000, qApp, [] { QCoreApplication::exit(7); });
        QCOMPARE(QCoreApplication::exec(), 0);
    }
};

QTEST_MAIN(TestCommands)
#include "wtst_commands.moc"
