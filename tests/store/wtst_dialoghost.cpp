#include "FakeTaskListHost.h"
#include "TestEnv.h"
#include "alarms/fRemind.h"
#include "config/fPrefs2.h"
#include "editing/fAddTask.h"
#include "platform/MessageBox.h"
#include "platform/core/Clock.h"
#include "tray/TrayT1.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTimer>

using namespace veltry;
using namespace veltry::test;

// The dialogs and the tray's placeholder built against a fake host, without the task window:
// what they write reaches the host's rows and its save.
class TestDialogHost : public QObject
{
    Q_OBJECT

    static void addRow(FakeTaskListHost& host, const QString& task)
    {
        TTextGrid* g = host.grid;
        if (!g->Cells(TaskCol::Task, 1).isEmpty())
            g->InsertRows(1, 1);
        g->setCells(TaskCol::Task, 1, task);
        g->setCells(TaskCol::Alarm, 1, kAlarmOn);
    }

    // Runs the add/edit dialog, `fill` acting on it while it is open, and OK.
    static bool runAddTask(TfrmAddTask& dialog, bool editing, const std::function<void()>& fill)
    {
        QTimer::singleShot(0, &dialog, [&dialog, fill] {
            fill();
            QTest::mouseClick(dialog.btnOK, Qt::LeftButton);
        });
        return dialog.execute(editing);
    }

private Q_SLOTS:
    void init()
    {
        MessageBox::setTestMode(true);
        MessageBox::clearShownTexts();
    }

    void addAndEditWriteTheRowAndSaveOnce()
    {
        FakeTaskListHost host;
        host.categoryList = {QStringLiteral("Home"), QStringLiteral("Work")};
        TfrmAddTask dialog;
        dialog.setHost(&host);

        // The empty list's placeholder row becomes the task; the host's categories are offered.
        QVERIFY(runAddTask(dialog, false, [&] {
            QCOMPARE(dialog.cboCategory->count(), 2);
            dialog.edtTask->setText(QStringLiteral("first"));
            dialog.cboCategory->setCurrentIndex(1);
        }));
        QCOMPARE(host.grid->RowCount(), 2);
        QCOMPARE(host.grid->Cells(TaskCol::Task, 1), QStringLiteral("first"));
        QCOMPARE(host.grid->Cells(TaskCol::Category, 1), QStringLiteral("Work"));
        QCOMPARE(host.saves, 1);
        QCOMPARE(host.fileTimesRecorded, 1);
        QCOMPARE(host.counts, 1);
        QVERIFY(host.timerStops > 0);

        // A second task goes on top; editing the lower one with "float edited task" lifts it.
        QVERIFY(runAddTask(dialog, false, [&] { dialog.edtTask->setText(QStringLiteral("second")); }));
        QCOMPARE(host.grid->RowCount(), 3);
        host.config.FloatEditedTask = true;
        host.grid->setRow(2);
        QVERIFY(runAddTask(dialog, true, [&] {
            QCOMPARE(dialog.edtTask->text(), QStringLiteral("first"));
            dialog.edtTask->setText(QStringLiteral("first, edited"));
        }));
        QCOMPARE(host.grid->RowCount(), 3);
        QCOMPARE(host.grid->Cells(TaskCol::Task, 1), QStringLiteral("first, edited"));
        QCOMPARE(host.grid->Cells(TaskCol::Category, 1), QStringLiteral("Work"));
        QCOMPARE(host.grid->Cells(TaskCol::Task, 2), QStringLiteral("second"));
        QCOMPARE(host.saves, 3);
    }

    void reminderRemoveTakesTheRowAndSaves_data()
    {
        QTest::addColumn<bool>("confirm");
        QTest::newRow("confirmed") << true;
        QTest::newRow("cancelled") << false;
    }

    void reminderRemoveTakesTheRowAndSaves()
    {
        QFETCH(bool, confirm);
        FakeTaskListHost host;
        addRow(host, QStringLiteral("older"));
        addRow(host, QStringLiteral("due"));
        MessageBox::queueAnswer(confirm ? QMessageBox::Ok : QMessageBox::Cancel);
        bool shown = false;
        TfrmReminder::setShowHook([&](TfrmReminder* reminder) {
            shown = true;
            QCOMPARE(reminder->lblTaskName->text(), QStringLiteral("due"));
            QCOMPARE(reminder->parentWidget(), host.hostWindow());
            QTest::mouseClick(reminder->btnRemoveTask, Qt::LeftButton);
        });
        TfrmReminder::RaiseFor(&host, 1, 0);
        TfrmReminder::setShowHook({});
        QVERIFY(shown);
        QCOMPARE(host.grid->Cells(TaskCol::Task, 1), confirm ? QStringLiteral("older") : QStringLiteral("due"));
        QCOMPARE(host.grid->RowCount(), confirm ? 2 : 3);
        QCOMPARE(host.saves, confirm ? 1 : 0);
        QCOMPARE(host.counts, confirm ? 1 : 0);
    }

    void preferencesWriteTheHostsSettingsAndColumns()
    {
        FakeTaskListHost host;
        host.folder = sandboxRoot() + QStringLiteral("/data/");
        TfrmPrefs prefs;
        prefs.setMainWindow(&host, nullptr);
        prefs.show();
        QVERIFY(host.timerStops > 0);
        QVERIFY(prefs.chkDueDate->isChecked());
        QVERIFY(!prefs.chkFloatEditedTask->isChecked());
        prefs.chkDueDate->setChecked(false);
        prefs.chkFloatEditedTask->setChecked(true);
        prefs.btnOKClick();
        QVERIFY(host.config.FloatEditedTask);
        QVERIFY(host.grid->IsHiddenColumn(TaskCol::DueDate));
        QVERIFY(!host.grid->IsHiddenColumn(TaskCol::DueTime));
        QCOMPARE(host.fits, 1);
        // The data folder stayed: nothing is saved or loaded.
        QCOMPARE(host.saves, 0);
        QCOMPARE(host.loads, 0);
        QCOMPARE(host.window.font(), host.grid->font());
    }

    void trayAlarmSwitchFlipsTheHost()
    {
        auto host = std::make_unique<FakeTaskListHost>();
        TForm1 form;
        form.setTaskWindow(host.get());
        QCOMPARE(form.taskWindow(), static_cast<TaskListHost*>(host.get()));
        form.mnuEnableAlarmsClick();
        QVERIFY(!host->alarms);
        QVERIFY(!form.mnuEnableAlarms->isChecked());
        form.mnuEnableAlarmsClick();
        QVERIFY(host->alarms);
        QVERIFY(form.mnuEnableAlarms->isChecked());
        // The menu follows the switch whoever turns it (a panel reads the check mark it shows).
        host->setAlarmsEnabled(false);
        QVERIFY(!form.mnuEnableAlarms->isChecked());
        host->setAlarmsEnabled(true);

        // Once the host's window is gone the switch has nothing to reach and shows alarms on.
        form.mnuEnableAlarmsClick();
        host.reset();
        QCOMPARE(form.taskWindow(), nullptr);
        form.mnuEnableAlarmsClick();
        QVERIFY(form.mnuEnableAlarms->isChecked());
    }
};

QTEST_MAIN(TestDialogHost)
#include "wtst_dialoghost.moc"
