#include "ProgramFolder.h"
#include "TestEnv.h"
#include "alarms/fRemind.h"
#include "app/VeltryApp.h"
#include "app/fToDo.h"
#include "platform/core/Clock.h"
#include "platform/core/LocaleFormats.h"
#include "store/core/Task.h"
#include "tray/TrayIcon.h"
#include "tray/TrayT1.h"
#include "widgets/TextGrid.h"

#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QPushButton>
#include <QTest>
#include <QTimer>

using namespace veltry;
using namespace veltry::test;

namespace {
struct Row
{
    QString name;
    QString date;
    QString time;
    QString alarm = QStringLiteral("Y");
    QString type = QStringLiteral("0");
};

QByteArray listFile(const QList<Row>& rows)
{
    QByteArray out = taskListHeader(rows.size() + 1);
    for (int i = 0; i < rows.size(); ++i) {
        const QByteArray r = QByteArray::number(i + 1);
        auto cell = [&](int c, const QString& t) {
            if (!t.isEmpty())
                out += QByteArray::number(c) + "," + r + "," + t.toLatin1() + "\r\n";
        };
        cell(TaskCol::Task, rows[i].name);
        cell(TaskCol::DueDate, rows[i].date);
        cell(TaskCol::DueTime, rows[i].time);
        cell(TaskCol::Category, QStringLiteral("Work"));
        cell(TaskCol::Priority, QStringLiteral("1"));
        cell(TaskCol::Alarm, rows[i].alarm);
        cell(TaskCol::Type, rows[i].type);
    }
    return out;
}

QDateTime at(int y, int m, int d, int h = 0, int min = 0, int s = 0)
{
    return QDateTime(QDate(y, m, d), QTime(h, min, s));
}
} // namespace

class TestReminder : public QObject
{
    Q_OBJECT

    std::unique_ptr<ProgramFolder> m_program;
    std::unique_ptr<VeltryApp> m_app;
    std::shared_ptr<FixedClock> m_clock;

    TfrmToDo* todo() const { return m_app->toDo(); }
    TTextGrid* grid() const { return m_app->toDo()->TaskGrid; }
    QString cell(int col, int row) const { return grid()->Cells(col, row); }

    // Starts the program on `rows` with the timer held, so only the test runs alarm passes.
    void startWith(const QList<Row>& rows, const QDateTime& now)
    {
        m_clock->set(now);
        QVERIFY(m_program->write(kTaskListFileName, listFile(rows)));
        m_app = std::make_unique<VeltryApp>();
        m_app->start();
        todo()->Timer1->stop();
    }

    // Runs one pass; `act` handles each reminder as it comes.
    void pass(const std::function<void(TfrmReminder*)>& act)
    {
        TfrmReminder::setShowHook(act);
        todo()->CheckAlarms();
        TfrmReminder::setShowHook({});
        todo()->Timer1->stop();
    }

    QByteArray savedList() const { return m_program->read(kTaskListFileName); }

private Q_SLOTS:
    void initTestCase()
    {
        LocaleFormats::setCurrent(LocaleFormats::fromPattern(QStringLiteral("m/d/yy"), QLatin1Char('/')));
        m_clock = std::make_shared<FixedClock>(at(2025, 6, 10, 12, 0));
        Clock::setInstance(m_clock);
    }

    void init() { m_program = std::make_unique<ProgramFolder>(); }

    void cleanup()
    {
        TfrmReminder::setShowHook({});
        if (m_app)
            m_app->shutdown();
        m_app.reset();
    }

    void windowLayout()
    {
        TTextGrid g;
        TfrmReminder dlg(&g);
        QCOMPARE(dlg.windowTitle(), QStringLiteral("Task Due Reminder"));
        QCOMPARE(dlg.size(), QSize(329, 136));
        QCOMPARE(dlg.minimumSize(), dlg.maximumSize());
        QVERIFY(dlg.windowFlags() & Qt::WindowStaysOnTopHint);
        QVERIFY(!(dlg.windowFlags() & Qt::WindowCloseButtonHint));
        QVERIFY(!(dlg.windowFlags() & Qt::WindowSystemMenuHint));
        const std::pair<QPushButton*, QString> buttons[] = {
            {dlg.btnSnooze, "&Snooze"}, {dlg.btnCancelAlarm, "&Cancel Alarm"},
            {dlg.btnRemoveTask, "&Remove Task"}, {dlg.btnRollover, "Rollover to next due date"}};
        for (const auto& [b, text] : buttons)
            QCOMPARE(b->text(), text);
        QCOMPARE(dlg.btnSnooze->geometry(), QRect(8, 80, 65, 21));
        QCOMPARE(dlg.btnCancelAlarm->geometry(), QRect(162, 80, 75, 21));
        QCOMPARE(dlg.btnRemoveTask->geometry(), QRect(246, 80, 75, 21));
        QCOMPARE(dlg.btnRollover->geometry(), QRect(162, 107, 159, 21));
        QCOMPARE(dlg.Panel1->geometry(), QRect(8, 8, 313, 65));
        QCOMPARE(dlg.pnlTaskType->geometry(), QRect(8, 107, 155, 21));
        QCOMPARE(dlg.lblTaskName->geometry().topLeft(), QPoint(49, 8));
        QCOMPARE(dlg.lblTaskName->width(), 260);
        QCOMPARE(dlg.lblTaskName->parentWidget(), dlg.Panel1);
        const std::pair<QLabel*, QString> captions[] = {
            {dlg.Label5, "Task:"}, {dlg.Label7, "Due on:"}, {dlg.Label9, "Requested by:"},
            {dlg.Label8, "Due at:"}, {dlg.Label10, "Priority:"}, {dlg.Label1, "The task is:"}};
        for (const auto& [l, text] : captions) {
            QCOMPARE(l->text(), text);
            QVERIFY(l->alignment() & Qt::AlignRight);
        }
        // A caption never runs into the value beside it.
        QVERIFY(dlg.Label5->geometry().right() < dlg.lblTaskName->x());
        QVERIFY(dlg.Label9->geometry().right() < dlg.lblOwner->x());
        QVERIFY(dlg.Label10->geometry().right() < dlg.lblPriority->x());
        QVERIFY(dlg.Label1->geometry().right() < dlg.lblTaskType->x());
        QVERIFY(dlg.lblDate->font().bold());
        QCOMPARE(dlg.lblDate->font().pointSize(), 9);
        QCOMPARE(dlg.cboSnooze->count(), 6);
        const QStringList items = {"5 minutes", "15 minutes", "30 minutes", "1 hour", "1 day", "1 week"};
        for (int i = 0; i < 6; ++i)
            QCOMPARE(dlg.cboSnooze->itemText(i), items[i]);
        QCOMPARE(dlg.cboSnooze->isEditable(), false);

        // Tab order: snooze, cancel alarm, the choices, remove, roll over.
        dlg.show();
        QVERIFY(QTest::qWaitForWindowActive(&dlg));
        dlg.btnSnooze->setFocus();
        const QWidget* order[] = {dlg.btnCancelAlarm, dlg.cboSnooze, dlg.btnRemoveTask, dlg.btnRollover, dlg.btnSnooze};
        for (const QWidget* next : order) {
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
            QCOMPARE(QApplication::focusWidget(), next);
        }
        // Escape does not dismiss it: it has no cancel button.
        QTest::keyClick(&dlg, Qt::Key_Escape);
        QVERIFY(dlg.isVisible());
        // Every opening starts at "5 minutes".
        dlg.cboSnooze->setCurrentIndex(4);
        dlg.hide();
        dlg.show();
        QCOMPARE(dlg.cboSnooze->currentIndex(), 0);
    }

    void snooze_data()
    {
        QTest::addColumn<QDateTime>("now");
        QTest::addColumn<int>("choice");
        QTest::addColumn<QString>("date");
        QTest::addColumn<QString>("time");
        QTest::newRow("seconds dropped") << at(2025, 6, 10, 13, 2, 45) << 0 << "6/10/25" << "01:07pm";
        QTest::newRow("15 minutes") << at(2025, 6, 10, 9, 50, 59) << 1 << "6/10/25" << "10:05am";
        QTest::newRow("30 minutes over midnight") << at(2025, 6, 10, 23, 45) << 2 << "6/11/25" << "12:15am";
        QTest::newRow("1 hour at 11:30 am") << at(2025, 6, 10, 11, 30) << 3 << "6/10/25" << "12:30pm";
        QTest::newRow("1 hour at 11:30 pm") << at(2025, 6, 10, 23, 30) << 3 << "6/11/25" << "12:30am";
        QTest::newRow("1 day on New Year's Eve") << at(2025, 12, 31, 23, 50) << 4 << "1/1/26" << "11:50pm";
        QTest::newRow("1 week") << at(2025, 12, 28, 8, 0) << 5 << "1/4/26" << "08:00am";
    }
    void snooze()
    {
        QFETCH(QDateTime, now);
        QFETCH(int, choice);
        QFETCH(QString, date);
        QFETCH(QString, time);
        startWith({{"call the bank", "6/1/25", "09:00am"}}, now);
        int shown = 0;
        pass([&](TfrmReminder* dlg) {
            ++shown;
            QCOMPARE(dlg->cboSnooze->currentIndex(), 0);
            dlg->cboSnooze->setCurrentIndex(choice);
            QTest::mouseClick(dlg->btnSnooze, Qt::LeftButton);
            QCOMPARE(dlg->result(), int(QDialog::Accepted));
            QVERIFY(!dlg->isVisible());
        });
        QCOMPARE(shown, 1);
        QCOMPARE(cell(TaskCol::DueDate, 1), date);
        QCOMPARE(cell(TaskCol::DueTime, 1), time);
        QCOMPARE(cell(TaskCol::Alarm, 1), QStringLiteral("Y"));
        // Quiet until the new moment, which rings at its whole minute.
        const QDateTime rings = QDateTime(LocaleFormats::current().parseDate(date, now.date()),
                                          *LocaleFormats::current().parseTime(time));
        m_clock->set(rings.addMSecs(-1));
        pass([&](TfrmReminder*) { ++shown; });
        QCOMPARE(shown, 1);
        m_clock->set(rings);
        pass([&](TfrmReminder* dlg) {
            ++shown;
            QTest::mouseClick(dlg->btnCancelAlarm, Qt::LeftButton);
        });
        QCOMPARE(shown, 2);
    }

    void cancelAlarmKeepsTheTask()
    {
        startWith({{"call", "6/10/25", "11:00am", "Y", "1"}}, at(2025, 6, 10, 11, 0));
        pass([](TfrmReminder* dlg) { QTest::mouseClick(dlg->btnCancelAlarm, Qt::LeftButton); });
        QCOMPARE(cell(TaskCol::Alarm, 1), QString());
        QCOMPARE(cell(TaskCol::DueDate, 1), QStringLiteral("6/10/25"));
        QCOMPARE(cell(TaskCol::DueTime, 1), QStringLiteral("11:00am"));
        int shown = 0;
        pass([&](TfrmReminder*) { ++shown; });
        QCOMPARE(shown, 0);
        QCOMPARE(grid()->RowCount(), 2);
        // Now an alarm-off daily task: renewed once its day is over.
        m_clock->set(at(2025, 6, 11, 0, 0, 1));
        pass([&](TfrmReminder*) { ++shown; });
        QCOMPARE(shown, 0);
        QCOMPARE(grid()->RowCount(), 3);
        QCOMPARE(cell(TaskCol::DueDate, 2), QStringLiteral("6/12/25"));
        QCOMPARE(cell(TaskCol::Type, 1), QStringLiteral("0"));
        QCOMPARE(todo()->statusPanels[0]->text(), QStringLiteral("Tasks: 2"));
    }

    void removeTask_data()
    {
        QTest::addColumn<int>("tasks");
        QTest::newRow("one of two") << 2;
        QTest::newRow("the only task") << 1;
    }
    void removeTask()
    {
        QFETCH(int, tasks);
        QList<Row> rows = {{"due one", "6/10/25", ""}};
        if (tasks == 2)
            rows.append({"other", "7/10/25", "", ""});
        startWith(rows, at(2025, 6, 10, 8, 0));
        todo()->settings().NoConfirmations = true;  // the reminder asks all the same
        const QByteArray before = savedList();
        MessageBox::queueAnswer(QMessageBox::Cancel);
        MessageBox::queueAnswer(QMessageBox::Ok);
        pass([&](TfrmReminder* dlg) {
            QTest::mouseClick(dlg->btnRemoveTask, Qt::LeftButton);
            QVERIFY(dlg->isVisible());  // declined: nothing happened
            QCOMPARE(dlg->result(), 0);
            QCOMPARE(cell(TaskCol::Task, 1), QStringLiteral("due one"));
            QCOMPARE(savedList(), before);
            QTest::mouseClick(dlg->btnRemoveTask, Qt::LeftButton);
            QVERIFY(!dlg->isVisible());
        });
        QCOMPARE(MessageBox::shownTexts(), QStringList({"Remove this task?", "Remove this task?"}));
        QCOMPARE(grid()->RowCount(), 2);
        if (tasks == 2) {
            QCOMPARE(cell(TaskCol::Task, 1), QStringLiteral("other"));
            QCOMPARE(todo()->statusPanels[0]->text(), QStringLiteral("Tasks: 1"));
            QVERIFY(savedList().contains("1,1,other\r\n"));
        } else {
            for (int c = 0; c < TaskCol::Count; ++c)
                QCOMPARE(cell(c, 1), QString());
            QCOMPARE(todo()->statusPanels[0]->text(), QStringLiteral("Tasks: 0"));
            QCOMPARE(savedList(), listFile({}).replace("12,1\r\n", "12,2\r\n"));
        }
    }

    // With a shared list, the tick's reload must not bring back the file a removal wrote and
    // throw away an answer given later in the same pass.
    void answersOfOnePassSurviveTheSharedListCheck()
    {
        startWith({{"remove me", "6/10/25", ""}, {"not due", "", ""}, {"snooze me", "6/10/25", ""}}, at(2025, 6, 10, 8, 0));
        todo()->settings().Networkable = true;
        MessageBox::queueAnswer(QMessageBox::Ok);
        TfrmReminder::setShowHook([](TfrmReminder* dlg) {
            QTest::mouseClick(dlg->lblTaskName->text() == "remove me" ? dlg->btnRemoveTask : dlg->btnSnooze,
                              Qt::LeftButton);
        });
        todo()->Timer1Timer();
        TfrmReminder::setShowHook({});
        todo()->Timer1->stop();
        QCOMPARE(grid()->RowCount(), 3);
        QCOMPARE(cell(TaskCol::Task, 2), QStringLiteral("snooze me"));
        QCOMPARE(cell(TaskCol::DueTime, 2), QStringLiteral("08:05am"));
    }

    void reminderAlsoNotifiesTheDesktop()
    {
        startWith({{"call the bank", "6/10/25", "09:00am"}}, at(2025, 6, 10, 9, 0));
        TTrayIcon* tray = TForm1::mainForm()->TrayIcon1;
        if (!QSystemTrayIcon::supportsMessages())
            QSKIP("this platform shows no tray messages");
        pass([&](TfrmReminder* dlg) {
            QCOMPARE(tray->lastNotification(), QStringLiteral("Task Due Reminder\ncall the bank\nDue 6/10/25 09:00am"));
            Q_EMIT tray->systemTrayIcon()->messageClicked();  // brings the reminder forward
            QVERIFY(dlg->isVisible());
            QTest::mouseClick(dlg->btnCancelAlarm, Qt::LeftButton);
        });
    }

    void rollover_data()
    {
        QTest::addColumn<QString>("type");
        QTest::addColumn<QString>("due");
        QTest::addColumn<QString>("typeText");
        QTest::addColumn<QString>("next");
        // Today is 6/10/25.
        QTest::newRow("weekly, 3 days ago") << "2" << "6/7/25" << "weekly" << "6/14/25";
        QTest::newRow("bi-weekly, 20 days ago") << "3" << "5/21/25" << "bi-weekly" << "6/18/25";
        QTest::newRow("daily, today") << "1" << "6/10/25" << "daily" << "6/11/25";
        QTest::newRow("monthly, 10th of last month") << "4" << "5/10/25" << "monthly" << "6/10/25";
        QTest::newRow("monthly, 31st") << "4" << "3/31/25" << "monthly" << "6/30/25";
    }
    void rollover()
    {
        QFETCH(QString, type);
        QFETCH(QString, due);
        QFETCH(QString, typeText);
        QFETCH(QString, next);
        startWith({{"report", due, "07:15am", "Y", type}, {"later", "8/1/25", "", "Y"}}, at(2025, 6, 10, 9, 0));
        pass([&](TfrmReminder* dlg) {
            QCOMPARE(dlg->lblTaskType->text(), typeText);
            QVERIFY(dlg->btnRollover->isEnabled());
            QVERIFY(dlg->pnlTaskType->isEnabled());
            QTest::mouseClick(dlg->btnRollover, Qt::LeftButton);
            QVERIFY(!dlg->isVisible());
        });
        QCOMPARE(cell(TaskCol::DueDate, 1), next);
        QCOMPARE(cell(TaskCol::DueTime, 1), QStringLiteral("07:15am"));
        QCOMPARE(cell(TaskCol::Alarm, 1), QStringLiteral("Y"));
        QCOMPARE(cell(TaskCol::Type, 1), type);
        QCOMPARE(grid()->RowCount(), 3);  // never a copy
    }

    // The type panel takes no input for a one-time task, but its caption looks as it does for a
    // recurring one, beside the type in the same bold black.
    void typeCaptionKeepsItsLook()
    {
        startWith({{"once", "6/10/25", "09:00am"}, {"weekly", "6/10/25", "09:00am", "Y", "2"}}, at(2025, 6, 10, 12, 0));
        QList<QImage> captions;
        QList<bool> enabled;
        pass([&](TfrmReminder* dlg) {
            captions << dlg->Label1->grab().toImage();
            enabled << dlg->pnlTaskType->isEnabled();
            QCOMPARE(dlg->lblTaskType->palette().color(dlg->lblTaskType->foregroundRole()), QColor(Qt::black));
            QTest::mouseClick(dlg->btnCancelAlarm, Qt::LeftButton);
        });
        QCOMPARE(enabled, (QList<bool>{false, true}));
        QCOMPARE(captions.size(), 2);
        QCOMPARE(captions[0], captions[1]);
    }

    void reminderShowsTheRow()
    {
        startWith({{"first", "6/10/25", "09:00am"},
                   {"not yet", "6/10/25", "12:01pm"},
                   {"second", "6/9/25", "", "Y", ""},
                   {"third", "6/10/25", "11:59am", "Y", "4"}},
                  at(2025, 6, 10, 12, 0));
        QStringList seen;
        pass([&](TfrmReminder* dlg) {
            seen << dlg->lblTaskName->text() + QLatin1Char('|') + dlg->lblDate->text() + QLatin1Char('|')
                    + dlg->lblTime->text() + QLatin1Char('|') + dlg->lblOwner->text() + QLatin1Char('|')
                    + dlg->lblPriority->text() + QLatin1Char('|') + dlg->lblTaskType->text()
                    + (dlg->btnRollover->isEnabled() ? "|roll" : "|fixed");
            QVERIFY(!todo()->Timer1->isActive());  // stopped for the whole pass
            QVERIFY(dlg->isVisible());
            QTest::mouseClick(dlg->btnCancelAlarm, Qt::LeftButton);
        });
        QCOMPARE(seen, QStringList({"first|6/10/25|09:00am|Work|1|one-time|fixed",
                                    "second|6/9/25||Work|1|one-time|fixed",
                                    "third|6/10/25|11:59am|Work|1|monthly|roll"}));
        QCOMPARE(cell(TaskCol::Type, 3), QStringLiteral("0"));  // the empty type was written
    }

    void unreadableRowKeepsTheTimerAndTheOthers()
    {
        startWith({{"garbled", "31/31/25", "09:00am"}, {"fine", "6/10/25", "09:00am"}}, at(2025, 6, 10, 12, 0));
        int shown = 0;
        auto count = [&](TfrmReminder*) { ++shown; };
        TfrmReminder::setShowHook(count);
        for (int i = 0; i < 3; ++i) {
            todo()->CheckAlarms();
            QVERIFY(todo()->Timer1->isActive());
            m_clock->advanceSeconds(1);
        }
        QCOMPARE(shown, 3);
        QCOMPARE(MessageBox::shownTexts(), QStringList({"got screwed up in check alarms. Blank due date maybe?"}));
        // With alarms switched off the pass leaves the timer off.
        todo()->setAlarmsEnabled(false);
        todo()->CheckAlarms();
        QVERIFY(!todo()->Timer1->isActive());
    }

    void modalReminderFromTheTimer()
    {
        startWith({{"ring", "6/10/25", "11:00am"}}, at(2025, 6, 10, 11, 0));
        bool handled = false;
        bool timerWasStopped = false;
        QString name;
        // Waits for the modal window to come up, then answers it with its access key.
        QTimer poll;
        poll.setInterval(10);
        connect(&poll, &QTimer::timeout, this, [&] {
            auto* dlg = qobject_cast<TfrmReminder*>(QApplication::activeModalWidget());
            if (!dlg || !dlg->isVisible())
                return;
            poll.stop();
            timerWasStopped = !todo()->Timer1->isActive();
            name = dlg->lblTaskName->text();
            QTest::keyClick(dlg, Qt::Key_C, Qt::AltModifier);
            if (dlg->isVisible())
                dlg->btnCancelAlarm->click();  // no access keys without a focused window
            handled = true;
        });
        poll.start();
        todo()->Timer1Timer();
        QVERIFY(handled);
        QVERIFY(timerWasStopped);
        QCOMPARE(name, QStringLiteral("ring"));
        QCOMPARE(cell(TaskCol::Alarm, 1), QString());
        QVERIFY(todo()->Timer1->isActive());
        QCOMPARE(todo()->Timer1->interval(), 1000);
        QVERIFY(!QApplication::activeModalWidget());
    }
};

QTEST_MAIN(TestReminder)
#include "wtst_reminder.moc"
