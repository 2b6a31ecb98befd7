// What a screen reader finds in the task window: its toolbar as named push buttons that run their
// commands, and the keyboard paths in and out of the task grid.
#include "ProgramFolder.h"
#include "TestEnv.h"
#include "alarms/fRemind.h"
#include "config/fPrefs2.h"
#include "app/HelpViewer.h"
#include "app/VeltryApp.h"
#include "app/fToDo.h"
#include "editing/TimeEdit.h"
#include "editing/fAddTask.h"
#include "history/fAdvSort.h"
#include "history/fHistory.h"
#include "history/gridprev.h"
#include "platform/core/LocaleFormats.h"
#include "platform/MessageBox.h"
#include "store/core/Task.h"
#include "widgets/Accessibility.h"
#include "widgets/FlatBtn.h"
#include "widgets/TextGrid.h"

#include <QAccessible>
#include <QAccessibleActionInterface>
#include <QApplication>
#include <QComboBox>
#include <QDialog>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTimer>

using namespace veltry;
using namespace veltry::test;

namespace {

// Two tasks, the second checked; with `due`, a third whose alarm is long due.
QByteArray listFile(bool due = false)
{
    QByteArray out = taskListHeader(due ? 4 : 3);
    out += "1,1,Water the plants\r\n5,1,\xA0\r\n10,1,0\r\n";
    out += "0,2, \r\n1,2,Call the bank\r\n5,2,\xA0\r\n10,2,0\r\n";
    if (due)
        out += "1,3,Renew the passport\r\n2,3,1/2/20\r\n3,3,09:30am\r\n5,3,1\r\n8,3,Y\r\n10,3,0\r\n";
    return out;
}

// What a command leaves behind that can be seen from outside.
struct Outcome
{
    QStringList modals;  // titles of the modal windows it opened (each closed with Cancel)
    QStringList windows; // titles of the other windows shown
    QStringList messages;
    bool taskWindowShown = true;
    QStringList marks;
    QList<int> widths;
    int sortColumn = 0;

    bool operator==(const Outcome&) const = default;
};

QString describe(const Outcome& o)
{
    return QStringLiteral("modals %1; windows %2; messages %3; shown %4; marks %5; widths %6; sort %7")
        .arg(o.modals.join(u'|'), o.windows.join(u'|'), o.messages.join(u'|'))
        .arg(o.taskWindowShown)
        .arg(o.marks.join(u'|'))
        .arg(QString::number(o.widths.size()))
        .arg(o.sortColumn);
}

} // namespace

class TestAccessibility : public QObject
{
    Q_OBJECT

    std::unique_ptr<ProgramFolder> m_program;
    std::unique_ptr<VeltryApp> m_app;
    TfrmToDo* m_todo = nullptr;
    Outcome m_seen;

    void start(bool due = false)
    {
        m_program = std::make_unique<ProgramFolder>();
        QVERIFY(m_program->write(kTaskListFileName, listFile(due)));
        m_app = std::make_unique<VeltryApp>();
        QVERIFY(m_app->start());
        m_todo = m_app->toDo();
        m_todo->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(m_todo));
        m_todo->TaskGrid->setFocus();
        m_seen = Outcome();
        // Modal windows are noted and cancelled as they come up.
        auto* poll = new QTimer(m_todo);
        poll->setInterval(5);
        connect(poll, &QTimer::timeout, m_todo, [this] {
            auto* modal = qobject_cast<QDialog*>(QApplication::activeModalWidget());
            if (!modal || !modal->isVisible())
                return;
            m_seen.modals << modal->windowTitle();
            modal->reject();
        });
        poll->start();
    }

    void stop()
    {
        if (m_app)
            m_app->shutdown();
        m_app.reset();
        m_todo = nullptr;
    }

    Outcome outcome() const
    {
        Outcome o = m_seen;
        for (QWidget* w : QApplication::topLevelWidgets())
            if (w != m_todo && w->isVisible() && !w->isModal() && !w->windowTitle().isEmpty())
                o.windows << w->windowTitle();
        o.windows.sort();
        o.messages = MessageBox::shownTexts();
        o.taskWindowShown = m_todo->isVisible();
        TTextGrid* g = m_todo->TaskGrid;
        for (int r = 1; r < g->RowCount(); ++r)
            o.marks << g->Cells(TaskCol::Task, r) + QLatin1Char('=') + g->Cells(TaskCol::Mark, r);
        for (int c = 0; c < g->ColCount(); ++c)
            o.widths << g->ColWidth(c);
        o.sortColumn = g->SortColumn();
        return o;
    }

    // What the command behind `name` does: run by the button's own click, or by a screen
    // reader's press action.
    void runCommand(const QString& name, bool throughScreenReader, Outcome& after)
    {
        start();
        auto* b = m_todo->pnlToolbar->findChild<TFlatButton*>(name);
        QVERIFY(b);
        const Outcome before = outcome();
        if (throughScreenReader) {
            QAccessibleInterface* iface = QAccessible::queryAccessibleInterface(b);
            iface->actionInterface()->doAction(QAccessibleActionInterface::pressAction());
        } else {
            b->click();
        }
        // Give a command that opens a window the time to show it.
        QTest::qWait(150);
        QTRY_VERIFY_WITH_TIMEOUT(!(outcome() == before), 2000);
        after = outcome();
        stop();
    }

private Q_SLOTS:
    void initTestCase()
    {
        // As the program does at start, so each case may run alone.
        installAccessibleWidgets();
        LocaleFormats::setCurrent(LocaleFormats::fromPattern(QStringLiteral("m/d/yy"), QLatin1Char('/')));
    }
    void cleanup()
    {
        TfrmReminder::setShowHook({});
        stop();
    }

    void toolbarButtonsArePushButtons();
    void pressActionRunsTheCommand_data();
    void pressActionRunsTheCommand();
    void addDialogFieldsAreNamed();
    void controlsAreNamedAndReached_data();
    void controlsAreNamedAndReached();
    void reminderIsAnAlertAboutItsTask();
    void tabLeavesTheGridAndComesBack();
    void focusReturnsToTheGridAfterADialog();
};

void TestAccessibility::toolbarButtonsArePushButtons()
{
    start();
    const auto buttons = m_todo->pnlToolbar->findChildren<TFlatButton*>();
    QCOMPARE(buttons.size(), 12);
    QStringList names;
    for (TFlatButton* b : buttons) {
        QAccessibleInterface* iface = QAccessible::queryAccessibleInterface(b);
        QVERIFY(iface);
        QCOMPARE(iface->role(), QAccessible::PushButton);
        const QString name = iface->text(QAccessible::Name);
        QVERIFY2(!name.isEmpty() && !name.contains(u'&'), qPrintable(b->objectName()));
        QVERIFY(iface->actionInterface());
        QVERIFY(iface->actionInterface()->actionNames().contains(QAccessibleActionInterface::pressAction()));
        // Where the hint says more than the caption, it is the description.
        if (b->hint() != name)
            QCOMPARE(iface->text(QAccessible::Description), b->hint());
        names << name;
    }
    // Each button tells itself apart.
    names.removeDuplicates();
    QCOMPARE(names.size(), 12);
}

void TestAccessibility::pressActionRunsTheCommand_data()
{
    QTest::addColumn<QString>("name");
    // Exit only asks the event loop to end, which a test without one cannot see.
    for (const char* name : {"btnMinimize", "btnChecked", "btnAdd", "btnRemove", "btnEdit", "btnPrint",
                             "btnAdvSort", "btnFind", "btnLogTasks", "btnViewHistory", "FlatButton1"})
        QTest::newRow(name) << QString::fromLatin1(name);
}

void TestAccessibility::pressActionRunsTheCommand()
{
    QFETCH(QString, name);
    Outcome clicked;
    Outcome pressed;
    runCommand(name, false, clicked);
    if (QTest::currentTestFailed())
        return;
    runCommand(name, true, pressed);
    if (QTest::currentTestFailed())
        return;
    QVERIFY2(clicked == pressed, qPrintable(describe(clicked) + QStringLiteral(" / ") + describe(pressed)));
}

void TestAccessibility::addDialogFieldsAreNamed()
{
    TfrmAddTask dlg;
    dlg.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dlg));
    const std::pair<QWidget*, QLabel*> fields[] = {
        {dlg.edtDate, dlg.Label7}, {dlg.cboCategory, dlg.Label9}, {dlg.edtPriority, dlg.Label10},
        {dlg.edtTime, dlg.Label8}, {dlg.cboTaskType, dlg.Label3}};
    for (const auto& [field, label] : fields) {
        QAccessibleInterface* iface = QAccessible::queryAccessibleInterface(field);
        QVERIFY(iface);
        // The caption beside the field labels it (a box reads its text as its name and its
        // caption through this relation).
        bool labelled = false;
        for (const auto& [other, relation] : iface->relations(QAccessible::Label))
            labelled = labelled || (other->object() == label && !label->text().isEmpty());
        QVERIFY2(labelled, qPrintable(field->objectName()));
    }
    QVERIFY(!QAccessible::queryAccessibleInterface(dlg.btnShowCal)->text(QAccessible::Name).isEmpty());

    // The time field is text to edit, read with its value.
    QAccessibleInterface* time = QAccessible::queryAccessibleInterface(dlg.edtTime);
    QCOMPARE(time->role(), QAccessible::EditableText);
    dlg.edtTime->setText(QStringLiteral("09:30am"));
    QCOMPARE(time->text(QAccessible::Value), dlg.edtTime->text());
    QVERIFY(time->textInterface());
}

void TestAccessibility::controlsAreNamedAndReached_data()
{
    QTest::addColumn<QString>("window");
    QTest::addColumn<QString>("control");
    QTest::addColumn<QString>("name");
    QTest::addColumn<int>("role");
    QTest::addColumn<bool>("tabStop");
    QTest::newRow("path") << "prefs" << "edtAltDirPath" << "Alternate file path" << -1 << true;
    QTest::newRow("categories") << "prefs" << "lstCategory" << "Categories" << -1 << true;
    QTest::newRow("history notes") << "history" << "Memo1" << "Notes" << -1 << true;
    QTest::newRow("history close") << "history" << "btnClose" << "Close History" << -1 << true;
    QTest::newRow("sort help") << "sort" << "SpeedButton1" << "Explain the sorting" << -1 << true;
    QTest::newRow("next page") << "preview" << "btnNextPage" << "Next page" << -1 << false;
    QTest::newRow("page") << "preview" << "PaintBox1" << "Page 1 of 1" << int(QAccessible::Graphic) << false;
    QTest::newRow("help window") << "help" << "" << "Veltry Professional Help" << int(QAccessible::Window) << false;
    QTest::newRow("category box") << "add" << "cboCategory" << "Category" << int(QAccessible::ComboBox) << true;
}

void TestAccessibility::controlsAreNamedAndReached()
{
    QFETCH(QString, window);
    QFETCH(QString, control);
    QFETCH(QString, name);
    QFETCH(int, role);
    QFETCH(bool, tabStop);
    TTextGrid grid;
    std::unique_ptr<QWidget> w(window == "prefs" ? static_cast<QWidget*>(new TfrmPrefs) : window == "history"
                                   ? new TfrmTaskHistory : window == "sort" ? new TfrmAdvSort(AdvancedSortChoice{})
                                   : window == "preview" ? new TPagePreview(nullptr, &grid)
                                   : window == "help" ? static_cast<QWidget*>(new HelpViewer) : new TfrmAddTask);
    w->show();
    QVERIFY(QTest::qWaitForWindowExposed(w.get()));
    QWidget* c = control.isEmpty() ? w.get() : w->findChild<QWidget*>(control);
    QAccessibleInterface* iface = QAccessible::queryAccessibleInterface(c);
    QCOMPARE(iface->text(QAccessible::Name), name);
    QVERIFY(role < 0 || iface->role() == role);
    QCOMPARE(bool(c->focusPolicy() & Qt::TabFocus), tabStop);
}

void TestAccessibility::reminderIsAnAlertAboutItsTask()
{
    QString role;
    QString description;
    TfrmReminder::setShowHook([&](TfrmReminder* dlg) {
        QAccessibleInterface* iface = QAccessible::queryAccessibleInterface(dlg);
        role = iface->role() == QAccessible::AlertMessage ? QStringLiteral("alert") : QStringLiteral("other");
        description = iface->text(QAccessible::Description);
        dlg->done(0);
    });
    m_program = std::make_unique<ProgramFolder>();
    QVERIFY(m_program->write(kTaskListFileName, listFile(true)));
    m_app = std::make_unique<VeltryApp>();
    QVERIFY(m_app->start());
    m_todo = m_app->toDo();
    if (role.isEmpty())
        m_todo->CheckAlarms();
    QCOMPARE(role, QStringLiteral("alert"));
    QVERIFY2(description.contains(QStringLiteral("Renew the passport")) && description.contains(QStringLiteral("1/2/20"))
                 && description.contains(QStringLiteral("09:30am")),
             qPrintable(description));
}

void TestAccessibility::tabLeavesTheGridAndComesBack()
{
    start();
    TTextGrid* grid = m_todo->TaskGrid;
    QTRY_VERIFY(grid->hasFocus());
    QTest::keyClick(grid, Qt::Key_Tab);
    QWidget* next = QApplication::focusWidget();
    QVERIFY(next && next != grid);
    QVERIFY(m_todo->isAncestorOf(next));
    // The next stop is a command a screen reader can name and Space runs.
    auto* button = qobject_cast<TFlatButton*>(next);
    QVERIFY(button);
    QVERIFY(!QAccessible::queryAccessibleInterface(button)->text(QAccessible::Name).isEmpty());
    QTest::keyClick(next, Qt::Key_Backtab);
    QTRY_COMPARE(QApplication::focusWidget(), static_cast<QWidget*>(grid));

    // All the way round comes back to the grid too.
    int steps = 0;
    do {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    } while (QApplication::focusWidget() != grid && ++steps < 30);
    QCOMPARE(QApplication::focusWidget(), static_cast<QWidget*>(grid));
}

void TestAccessibility::focusReturnsToTheGridAfterADialog()
{
    start();
    TTextGrid* grid = m_todo->TaskGrid;
    QTRY_VERIFY(grid->hasFocus());
    // Insert opens the add dialog, which the watcher cancels.
    QTest::keyClick(grid, Qt::Key_Insert);
    QTRY_COMPARE(m_seen.modals.size(), 1);
    // The window's focus is where the keyboard goes on as the window is active again.
    QTRY_COMPARE(m_todo->focusWidget(), static_cast<QWidget*>(grid));
    m_todo->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(m_todo));
    // The same from a toolbar button reached by Tab and pressed with Space.
    int steps = 0;
    while (QApplication::focusWidget()->objectName() != QLatin1String("btnFind") && ++steps < 30)
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    QWidget* button = QApplication::focusWidget();
    QCOMPARE(button->objectName(), QStringLiteral("btnFind"));
    QTest::keyClick(button, Qt::Key_Space);
    QTRY_COMPARE(m_seen.modals.size(), 2);
    QTRY_COMPARE(m_todo->focusWidget(), static_cast<QWidget*>(grid));
}

QTEST_MAIN(TestAccessibility)
#include "wtst_accessibility.moc"
