#include "ProgramFolder.h"
#include "TestEnv.h"
#include "app/VeltryApp.h"
#include "app/fToDo.h"
#include "config/fPrefs2.h"
#include "editing/TimeEdit.h"
#include "editing/fAddTask.h"
#include "platform/MessageBox.h"
#include "platform/core/Clock.h"
#include "platform/core/ConfigStore.h"
#include "platform/core/LocaleFormats.h"
#include "store/core/Task.h"
#include "widgets/CalComp.h"
#include "widgets/PanelMgr.h"
#include "widgets/PopupCal.h"
#include "widgets/TextGrid.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <QTest>
#include <QTimer>
#include <functional>
#include <optional>

using namespace veltry;
using namespace veltry::test;

namespace {
// Five tasks; the fifth has a time, an alarm, notes and a category no longer in the list.
const QByteArray kFiveTasks = taskListHeader(6)
    + "1,1,one\r\n5,1,1\r\n1,2,two\r\n5,2,2\r\n1,3,three\r\n5,3,3\r\n1,4,four\r\n5,4,\xA0\r\n"
      "1,5,five\r\n2,5,3/20/26\r\n3,5,05:45pm\r\n4,5,Gone\r\n5,5,2\r\n6,5,a\tb\r\n7,5,3/1/26\r\n"
      "8,5,Y\r\n10,5,4\r\n";

// The centre of the day cell showing `date`, or a null point.
QPoint cellOf(const TCalForm* form, const QDate& date)
{
    for (int r = 0; r < 6; ++r)
        for (int c = 0; c < 7; ++c)
            if (form->dateAt(c, r) == date)
                return TCalForm::clientToWidget(
                    QPoint(c * form->cellWidth() + form->cellWidth() / 2,
                           TCalForm::HeaderHeight + (r + 1) * form->cellHeight() + form->cellHeight() / 2));
    return {};
}

void clickTab(TPanelManager* manager, QWidget* panel)
{
    QTest::mouseClick(manager, Qt::LeftButton, {}, manager->tabPolygon(panel).boundingRect().center());
}
} // namespace

class TestAddTask final : public QObject
{
    Q_OBJECT

    std::unique_ptr<ProgramFolder> m_program;
    std::unique_ptr<VeltryApp> m_app;
    TfrmAddTask* m_dlg = nullptr;
    TTextGrid* m_grid = nullptr;

    // `locale`, when given, supplies the formats instead of `format`.
    void start(const QByteArray& list = {}, const QStringList& settingsOn = {}, const QString& format = QStringLiteral("m/d/yy"),
               const QString& locale = {})
    {
        if (!list.isEmpty())
            QVERIFY(m_program->write(kTaskListFileName, list));
        for (const QString& name : settingsOn)
            ConfigStore::shared().setValue(kSettingsKey, name, qint32(1));
        LocaleFormats::setCurrent(locale.isEmpty() ? LocaleFormats::fromPattern(format, QLatin1Char('/'))
                                                   : LocaleFormats::fromLocale(QLocale(locale)));
        m_app = std::make_unique<VeltryApp>();
        m_app->start();
        m_app->toDo()->Timer1->stop();
        m_dlg = m_app->addTask();
        m_grid = m_app->toDo()->TaskGrid;
    }

    // Opens the dialog and runs `actions` inside it; whatever is still open afterwards is
    // cancelled, so a failing check cannot leave the test waiting.
    bool run(bool editing, const std::function<void(TfrmAddTask*)>& actions)
    {
        QTimer::singleShot(0, m_dlg, [this, actions] {
            QVERIFY(QTest::qWaitForWindowActive(m_dlg));
            actions(m_dlg);
            if (m_dlg->isVisible())
                m_dlg->reject();
        });
        return m_dlg->execute(editing);
    }

    static void typeTime(TfrmAddTask* d, const QString& keys)
    {
        QTest::mouseClick(d->edtTime, Qt::LeftButton, {}, QPoint(2, d->edtTime->height() / 2));
        d->edtTime->setCursorPosition(0);
        QTest::keyClicks(d->edtTime, keys);
    }

    static void retypeDate(TfrmAddTask* d, const QString& text)
    {
        d->edtDate->selectAll();
        QTest::keyClick(d->edtDate, Qt::Key_Delete);
        QTest::keyClicks(d->edtDate, text);
    }

private Q_SLOTS:
    void initTestCase() { Clock::setInstance(std::make_shared<FixedClock>(QDateTime(QDate(2026, 3, 15), QTime(10, 0)))); }

    void init() { m_program = std::make_unique<ProgramFolder>(); }

    void cleanup()
    {
        if (m_app)
            m_app->shutdown();
        m_app.reset();
    }

    // A keyboard user reaches the calendar button and both panel tabs with Tab; Space opens the
    // calendar and toggles the tab with the focus; Alt+Down in the date opens the calendar too.
    void keyboardReachesCalendarAndPanelTabs()
    {
        start();
        run(false, [](TfrmAddTask* d) {
            int calendars = 0;
            QObject guard;
            QObject::connect(d->CalComp1, &TCalComp::shown, &guard, [&](TCalForm* form) {
                ++calendars;
                QTimer::singleShot(0, form, [form] { QTest::keyClick(form, Qt::Key_Escape); });
            });
            const auto tabFrom = [d](QWidget* w) {
                // Without a window manager the focus does not come back after the calendar.
                d->activateWindow();
                (void)QTest::qWaitForWindowActive(d);  // focus is set by hand below either way
                w->setFocus();
                QTest::keyClick(w, Qt::Key_Tab);
                return QApplication::focusWidget();
            };
            QCOMPARE(tabFrom(d->edtTask), d->edtDate);
            QTest::keyClick(d->edtDate, Qt::Key_Down, Qt::AltModifier);
            QCOMPARE(calendars, 1);
            QCOMPARE(tabFrom(d->edtDate), d->btnShowCal);
            QTest::keyClick(d->btnShowCal, Qt::Key_Space);
            QCOMPARE(calendars, 2);
            TPanelManager* tabs = d->PanelManager1;
            QCOMPARE(tabFrom(d->edtPriority), tabs);
            QCOMPARE(tabs->focusedTab(), d->AdvPanel);
            QTest::keyClick(tabs, Qt::Key_Tab);
            QCOMPARE(tabs->focusedTab(), d->NotesPanel);
            const bool notesOpen = tabs->isExpanded(d->NotesPanel);
            QTest::keyClick(tabs, Qt::Key_Space);
            QCOMPARE(tabs->isExpanded(d->NotesPanel), !notesOpen);
            QTest::keyClick(tabs, Qt::Key_Return);
            QCOMPARE(tabs->isExpanded(d->NotesPanel), notesOpen);
            QVERIFY(d->isVisible());  // Enter on a tab is no OK
        });
    }

    void descriptionOnlyUsesThePlaceholderRow()
    {
        start();
        QVERIFY(run(false, [](TfrmAddTask* d) {
            QCOMPARE(d->windowTitle(), QStringLiteral("Add New Task"));
            QVERIFY(d->edtTask->hasFocus());
            QCOMPARE(d->edtTime->displayText(), QStringLiteral("__:__ __"));
            QTest::keyClicks(d->edtTask, QStringLiteral("Buy milk"));
            QTest::mouseClick(d->btnOK, Qt::LeftButton);
        }));
        QCOMPARE(m_program->read(kTaskListFileName), taskListHeader(2)
                     + "1,1,Buy milk\r\n2,1,3/15/26\r\n5,1,\xA0\r\n7,1,3/15/26\r\n10,1,0\r\n");
        QCOMPARE(m_app->toDo()->statusPanels[0]->text(), QStringLiteral("Tasks: 1"));
        QVERIFY(!m_grid->cellStore().cellImage(TaskCol::Task, 1));
    }

    // The whole road: calendar, time, alarm, type, category, notes; the new task goes on top.
    void everyFieldOnTopOfTheList()
    {
        start(taskListHeader(2) + "1,1,old\r\n5,1,3\r\n");
        QVERIFY(run(false, [](TfrmAddTask* d) {
            QTest::keyClicks(d->edtTask, QStringLiteral("Dentist"));
            auto pick = connect(d->CalComp1, &TCalComp::shown, d, [](TCalForm* form) {
                QCOMPARE(form->startDate(), QDate(2026, 3, 15));
                QTest::mouseClick(form, Qt::LeftButton, {}, TCalForm::clientToWidget(QPoint(125, 6)));
                QTest::mouseClick(form, Qt::LeftButton, {}, cellOf(form, QDate(2026, 4, 3)));
            });
            QTest::mouseClick(d->btnShowCal, Qt::LeftButton);
            disconnect(pick);
            QCOMPARE(d->edtDate->text(), QStringLiteral("4/3/26"));
            typeTime(d, QStringLiteral("0930pm"));
            QTest::mouseClick(d->chkEnableAlarm, Qt::LeftButton);
            QTest::keyClick(d->cboTaskType, Qt::Key_Down);
            QTest::keyClick(d->cboTaskType, Qt::Key_Down);
            QTest::keyClicks(d->cboCategory->lineEdit(), QStringLiteral("Health"));
            QTest::keyClicks(d->edtPriority->lineEdit(), QStringLiteral("1"));
            clickTab(d->PanelManager1, d->NotesPanel);
            QVERIFY(d->mmoNotes->isVisible());
            QCOMPARE(d->NotesPanel->tabColor(), QColor(0, 0, 255));
            QTest::keyClicks(d->mmoNotes, QStringLiteral("bring card"));
            QTest::keyClick(d->mmoNotes, Qt::Key_Return);
            QTest::keyClicks(d->mmoNotes, QStringLiteral("ask"));
            QCOMPARE(d->NotesPanel->tabColor(), QColor(255, 0, 0));
            QTest::mouseClick(d->btnOK, Qt::LeftButton);
        }));
        QCOMPARE(m_program->read(kTaskListFileName), taskListHeader(3)
                     + "1,1,Dentist\r\n2,1,4/3/26\r\n3,1,09:30pm\r\n4,1,Health\r\n5,1,1\r\n"
                       "6,1,bring card\t\bask\r\n7,1,3/15/26\r\n8,1,Y\r\n10,1,2\r\n1,2,old\r\n5,2,3\r\n");
        QCOMPARE(m_app->toDo()->statusPanels[0]->text(), QStringLiteral("Tasks: 2"));
        const TCellGraphic* notes = m_grid->cellStore().cellImage(TaskCol::Task, 1);
        QVERIFY(notes && notes->index == 1);
    }

    void refusals_data()
    {
        QTest::addColumn<QString>("task");
        QTest::addColumn<QString>("date");
        QTest::addColumn<QString>("time");
        QTest::addColumn<QString>("message");
        QTest::addColumn<QString>("dateAfter");

        QTest::newRow("no description") << "" << "3/20/26" << "0930AM"
            << "Please enter a description for this task." << "3/20/26";
        QTest::newRow("no such date") << "x" << "2/30/26" << "0930AM"
            << "The \"due date\" specified cannot be recognized.\n\r\n\rPlease enter a proper date  or a blank date\n\rto continue."
            << "";
        QTest::newRow("no such time") << "x" << "3/20/26" << "1330PM"
            << "The \"due at\" time that was entered cannot be recognized.\n\r\n\rPlease enter a proper time or a blank time to continue.\n\r"
            << "3/20/26";
    }

    void refusals()
    {
        QFETCH(QString, task);
        QFETCH(QString, date);
        QFETCH(QString, time);
        QFETCH(QString, message);
        QFETCH(QString, dateAfter);
        start();
        const QByteArray before = m_program->read(kTaskListFileName);
        QVERIFY(!run(false, [&](TfrmAddTask* d) {
            QTest::keyClicks(d->edtTask, task);
            retypeDate(d, date);
            typeTime(d, time);
            QTest::keyClick(d->edtTime, Qt::Key_Return);  // the default button
            QVERIFY(d->isVisible());
            QCOMPARE(MessageBox::shownTexts(), QStringList{message});
            QCOMPARE(d->edtDate->text(), dateAfter);
            // An emptied date takes the time with it; a refused time is blanked.
            QCOMPARE(d->edtTime->displayText(),
                     task.isEmpty() ? QStringLiteral("09:30 AM") : QStringLiteral("__:__ __"));
        }));
        QCOMPARE(m_program->read(kTaskListFileName), before);
    }

    // A list at the row limit has no room at the top: the new task must not take the first
    // task's row.
    void fullListTakesNoTask()
    {
        start(QByteArray("12,2\r\n1,1,Alpha\r\n"));
        // A header may not declare rows its lines do not fill: the grid is filled in place.
        m_grid->setRowCount(CellStore::kMaxRows);
        m_grid->setCells(TaskCol::Task, CellStore::kMaxRows - 1, QStringLiteral("Last"));
        const QByteArray before = m_program->read(kTaskListFileName);
        QVERIFY(!run(false, [&](TfrmAddTask* d) {
            QTest::keyClicks(d->edtTask, QStringLiteral("New"));
            QTest::keyClick(d->edtTask, Qt::Key_Return);
            QVERIFY(d->isVisible());
            QCOMPARE(MessageBox::shownTexts().size(), 1);
        }));
        QCOMPARE(m_grid->Cells(TaskCol::Task, 1), QStringLiteral("Alpha"));
        QCOMPARE(m_grid->RowCount(), CellStore::kMaxRows);
        QCOMPARE(m_program->read(kTaskListFileName), before);
    }

    // Notes of megabytes: OK without opening the notes panel writes them back exactly as they
    // were, breaks of every kind included; with the panel opened they are in the memo to edit.
    void largeNotesKeepEveryByte()
    {
        QByteArray notes;
        while (notes.size() < 1024 * 1024)
            notes += "A line of notes\t\bwith a lone CR\there and\ttwo\t\b";
        const QByteArray list = taskListHeader(2) + "1,1,Big\r\n6,1," + notes + "\r\n";
        start(list);
        m_grid->setCurrentCell(1, 1);
        QVERIFY(run(true, [](TfrmAddTask* d) {
            QCOMPARE(d->NotesPanel->tabColor(), QColor(255, 0, 0));
            QTest::mouseClick(d->btnOK, Qt::LeftButton);
        }));
        QVERIFY(m_program->read(kTaskListFileName).contains(QByteArray("\r\n6,1," + notes + "\r\n")));

        QString memo = QString::fromLatin1(notes);
        memo.replace(QLatin1Char('\t'), QLatin1Char('\n')).remove(QLatin1Char('\b'));
        QVERIFY(run(true, [&](TfrmAddTask* d) {
            clickTab(d->PanelManager1, d->NotesPanel);
            QCOMPARE(d->mmoNotes->toPlainText(), memo);
            d->mmoNotes->moveCursor(QTextCursor::End);
            QTest::keyClicks(d->mmoNotes, QStringLiteral("!"));
            QTest::mouseClick(d->btnOK, Qt::LeftButton);
        }));
        QByteArray saved = notes;
        saved.replace("\t\b", "\t").replace('\t', "\t\b");
        QVERIFY(m_program->read(kTaskListFileName).contains(QByteArray("\r\n6,1," + saved + "!\r\n")));
    }

    void clearingTheDateClearsTimeTypeAndAlarm()
    {
        start();
        QVERIFY(run(false, [](TfrmAddTask* d) {
            QTest::keyClicks(d->edtTask, QStringLiteral("t"));
            typeTime(d, QStringLiteral("0800AM"));
            QTest::mouseClick(d->chkEnableAlarm, Qt::LeftButton);
            QTest::keyClick(d->cboTaskType, Qt::Key_Down);
            retypeDate(d, QString());
            QCOMPARE(d->edtTime->displayText(), QStringLiteral("__:__ __"));
            QVERIFY(!d->edtTime->isEnabled());
            QCOMPARE(d->edtTime->palette().color(QPalette::Base), QApplication::palette().color(QPalette::Button));
            QVERIFY(!d->chkEnableAlarm->isChecked() && !d->chkEnableAlarm->isEnabled());
            QCOMPARE(d->cboTaskType->currentIndex(), 0);
            QTest::mouseClick(d->btnOK, Qt::LeftButton);
        }));
        QCOMPARE(m_program->read(kTaskListFileName), taskListHeader(2)
                     + "1,1,t\r\n5,1,\xA0\r\n7,1,3/15/26\r\n10,1,0\r\n");
    }

    void editing_data()
    {
        QTest::addColumn<bool>("floatEdited");
        QTest::addColumn<int>("rowAfter");
        QTest::newRow("stays") << false << 5;
        QTest::newRow("floats to the top") << true << 1;
    }

    void editing()
    {
        QFETCH(bool, floatEdited);
        QFETCH(int, rowAfter);
        start(kFiveTasks, floatEdited ? QStringList{QStringLiteral("FloatEditedTask")} : QStringList{});
        m_app->prefs()->setCategories({QStringLiteral("Home"), QStringLiteral("Work")});
        m_grid->setCurrentCell(1, 5);
        QVERIFY(run(true, [](TfrmAddTask* d) {
            QCOMPARE(d->windowTitle(), QStringLiteral("Edit Task"));
            QCOMPARE(d->edtDate->text(), QStringLiteral("3/20/26"));
            QCOMPARE(d->edtTime->displayText(), QStringLiteral("05:45 PM"));
            QCOMPARE(d->cboCategory->currentText(), QStringLiteral("Gone"));
            QCOMPARE(d->cboTaskType->currentText(), QStringLiteral("monthly"));
            QVERIFY(d->chkEnableAlarm->isChecked());
            QCOMPARE(d->mmoNotes->toPlainText(), QStringLiteral("a\nb"));
            QCOMPARE(d->NotesPanel->tabColor(), QColor(255, 0, 0));
            QTest::keyClick(d->edtTask, Qt::Key_End);
            QTest::keyClicks(d->edtTask, QStringLiteral("!"));
            QTest::mouseClick(d->btnOK, Qt::LeftButton);
        }));
        QCOMPARE(m_grid->Cells(TaskCol::Task, rowAfter), QStringLiteral("five!"));
        QCOMPARE(m_grid->Cells(TaskCol::Task, floatEdited ? 2 : 1), QStringLiteral("one"));
        QCOMPARE(m_grid->Cells(TaskCol::Task, floatEdited ? 5 : 4), QStringLiteral("four"));
        QVERIFY(m_program->read(kTaskListFileName)
                    .contains(QByteArray("1," + QByteArray::number(rowAfter) + ",five!\r\n")));
    }

    // Opened for editing and accepted untouched, a task is saved byte for byte as it was.
    void openAndOkChangesNothing_data()
    {
        QTest::addColumn<QString>("locale");  // empty: "m/d/yy" with "/" and ":"
        QTest::addColumn<QByteArray>("task");  // the lines of row 1
        QTest::addColumn<QStringList>("categories");
        QTest::addColumn<int>("picked");  // the category item selected
        QTest::addColumn<QString>("shownTime");
        const QStringList homeWork{QStringLiteral("Home"), QStringLiteral("Work")};
        const QByteArray rest = "5,1,\xA0\r\n7,1,3/1/26\r\n10,1,0\r\n";
        QTest::newRow("category not in the list") << "" << "1,1,Weed\r\n4,1,Garden\r\n" + rest << homeWork << -1 << "__:__ __";
        QTest::newRow("category in the list") << "" << "1,1,Report\r\n4,1,Work\r\n" + rest << homeWork << 1 << "__:__ __";
        // The category store may hold a name twice; the dialog offers it once.
        QTest::newRow("category listed twice") << "" << "1,1,Report\r\n4,1,Work\r\n" + rest
            << QStringList{QStringLiteral("Work"), QStringLiteral("Home"), QStringLiteral("Work")} << 1 << "__:__ __";
        QTest::newRow("category in other case") << "" << "1,1,Report\r\n4,1,work\r\n" + rest << homeWork << -1 << "__:__ __";
        QTest::newRow("no category") << "" << "1,1,Nap\r\n" + rest << homeWork << -1 << "__:__ __";
        QTest::newRow("every field") << ""
            << QByteArray("1,1,Dentist\r\n2,1,4/3/26\r\n3,1,09:30pm\r\n4,1,Health\r\n5,1,1\r\n"
                          "6,1,bring card\t\bask\r\n7,1,3/15/26\r\n8,1,Y\r\n10,1,2\r\n")
            << QStringList() << -1 << "09:30 PM";
        QTest::newRow("Finnish, time as stored before") << "fi_FI"
            << "1,1,Sauna\r\n2,1,20.3.2026\r\n3,1,05:45pm\r\n4,1,Garden\r\n" + rest << homeWork << -1 << "05.45 PM";
        QTest::newRow("Finnish, time in its own form") << "fi_FI"
            << "1,1,Sauna\r\n2,1,20.3.2026\r\n3,1,05.45pm\r\n" + rest << homeWork << -1 << "05.45 PM";
        QTest::newRow("Danish, time as stored before") << "da_DK"
            << "1,1,Cykel\r\n2,1,20.03.2026\r\n3,1,12:05am\r\n" + rest << homeWork << -1 << "12.05 AM";
    }

    void openAndOkChangesNothing()
    {
        QFETCH(QString, locale);
        QFETCH(QByteArray, task);
        QFETCH(QStringList, categories);
        QFETCH(int, picked);
        QFETCH(QString, shownTime);
        const QByteArray file = taskListHeader(2) + task;
        start(file, {}, QStringLiteral("m/d/yy"), locale);
        m_app->prefs()->setCategories(categories);
        m_grid->setCurrentCell(1, 1);
        const QString category = m_grid->Cells(TaskCol::Category, 1);
        QVERIFY(run(true, [&](TfrmAddTask* d) {
            QCOMPARE(d->cboCategory->currentText(), category);
            QCOMPARE(d->cboCategory->currentIndex(), picked);
            QCOMPARE(d->edtTime->displayText(), shownTime);
            QTest::keyClick(d->edtTask, Qt::Key_Return);  // the default button
        }));
        QCOMPARE(MessageBox::shownTexts(), QStringList());
        QCOMPARE(m_program->read(kTaskListFileName), file);
    }

    // The time field writes the separator the reader wants, so a typed time is taken and stored
    // in the locale's form.
    void typedTimeIsStoredInTheLocaleForm_data()
    {
        QTest::addColumn<QString>("locale");
        QTest::addColumn<QString>("shown");
        QTest::addColumn<QString>("stored");
        QTest::newRow("en_US") << "en_US" << "09:30 PM" << "09:30pm";
        QTest::newRow("fi_FI") << "fi_FI" << "09.30 PM" << "09.30pm";
        QTest::newRow("da_DK") << "da_DK" << "09.30 PM" << "09.30pm";
        QTest::newRow("id_ID") << "id_ID" << "09.30 PM" << "09.30pm";
        QTest::newRow("de_DE") << "de_DE" << "09:30 PM" << "09:30pm";
    }

    void typedTimeIsStoredInTheLocaleForm()
    {
        QFETCH(QString, locale);
        QFETCH(QString, shown);
        QFETCH(QString, stored);
        start({}, {}, {}, locale);
        QVERIFY(run(false, [&](TfrmAddTask* d) {
            QTest::keyClicks(d->edtTask, QStringLiteral("Call"));
            typeTime(d, QStringLiteral("0930pm"));
            QCOMPARE(d->edtTime->displayText(), shown);
            QTest::keyClick(d->edtTime, Qt::Key_Return);
        }));
        QCOMPARE(MessageBox::shownTexts(), QStringList());
        QCOMPARE(m_grid->Cells(TaskCol::DueTime, 1), stored);
        QVERIFY(m_program->read(kTaskListFileName).contains(QByteArray("3,1," + stored.toLatin1() + "\r\n")));
        QCOMPARE(LocaleFormats::current().parseTime(stored), std::optional<QTime>(QTime(21, 30)));
    }

    void calendarStart_data()
    {
        QTest::addColumn<QString>("format");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QDate>("start");   // invalid when the calendar must not open
        QTest::addColumn<QString>("error");

        QTest::newRow("short year") << "m/d/yy" << "7/3/26" << QDate(2026, 7, 3) << "";
        QTest::newRow("long year as written") << "m/d/yy" << "7/3/2126" << QDate(2126, 7, 3) << "";
        QTest::newRow("day first") << "dd/mm/yyyy" << "7/3/99" << QDate(1999, 3, 7) << "";
        QTest::newRow("day above 31") << "m/d/yy" << "2/45/27" << QDate(2027, 3, 15) << "";
        QTest::newRow("no such day") << "m/d/yy" << "2/31/27" << QDate(2026, 3, 15) << "";
        QTest::newRow("not a number") << "m/d/yy" << "7/x/26" << QDate() << "'x' is not a valid integer value";
        QTest::newRow("missing part") << "m/d/yy" << "7/3" << QDate() << "'' is not a valid integer value";
    }

    void calendarStart()
    {
        QFETCH(QString, format);
        QFETCH(QString, text);
        QFETCH(QDate, start);
        QFETCH(QString, error);
        this->start({}, {}, format);
        QDate opened;
        run(false, [&](TfrmAddTask* d) {
            retypeDate(d, text);
            auto c = connect(d->CalComp1, &TCalComp::shown, d, [&](TCalForm* form) {
                opened = form->startDate();
                QTest::keyClick(form, Qt::Key_Escape);
            });
            QTest::mouseClick(d->btnShowCal, Qt::LeftButton);
            disconnect(c);
            QCOMPARE(d->edtDate->text(), text);
        });
        QCOMPARE(opened, start);
        QCOMPARE(MessageBox::shownTexts(), error.isEmpty() ? QStringList() : QStringList{error});
    }

    void pickedDateFollowsTheDayOrder()
    {
        start({}, {QStringLiteral("StartCalMonday")}, QStringLiteral("dd/mm/yyyy"));
        run(false, [](TfrmAddTask* d) {
            auto c = connect(d->CalComp1, &TCalComp::shown, d, [](TCalForm* form) {
                QCOMPARE(form->firstWeekday(), 1);
                QTest::mouseClick(form, Qt::LeftButton, {}, cellOf(form, QDate(2026, 3, 7)));
            });
            QTest::mouseClick(d->btnShowCal, Qt::LeftButton);
            disconnect(c);
            QCOMPARE(d->edtDate->text(), QStringLiteral("7/3/26"));
        });
    }

    void heightFollowsThePanels()
    {
        start();
        run(false, [](TfrmAddTask* d) {
            const qreal dpi = d->screen()->logicalDotsPerInch();
            auto check = [d, dpi](bool adv, bool notes) {
                QCOMPARE(d->PanelManager1->isExpanded(d->AdvPanel), adv);
                QCOMPARE(d->PanelManager1->isExpanded(d->NotesPanel), notes);
                QCOMPARE(d->frameGeometry().height(), TfrmAddTask::heightFor(adv, notes, dpi));
            };
            check(true, false);
            clickTab(d->PanelManager1, d->NotesPanel);
            check(true, true);
            clickTab(d->PanelManager1, d->AdvPanel);
            check(false, true);
            clickTab(d->PanelManager1, d->NotesPanel);
            check(false, false);
            clickTab(d->PanelManager1, d->AdvPanel);
            check(true, false);
        });
        QCOMPARE(TfrmAddTask::heightFor(true, true, 120), 338);   // 337.5 to the even neighbour
        QCOMPARE(TfrmAddTask::heightFor(false, false, 120), 149); // 148.75
        QCOMPARE(TfrmAddTask::heightFor(true, false, 144), 244);  // 244.5
    }

    // Floated out of the dialog, the notes panel shows every caption whole, inside the window.
    void floatedNotesShowTheirCaptions()
    {
        start();
        run(false, [](TfrmAddTask* d) {
            clickTab(d->PanelManager1, d->NotesPanel);
            TFloatPanel* win = d->PanelManager1->floatPanel(d->NotesPanel, d->mapToGlobal(QPoint(0, d->height())));
            for (QLabel* label : d->NotesPanel->findChildren<QLabel*>())
                QVERIFY2(label->sizeHint().width() <= label->width() && win->rect().contains(label->geometry()),
                         qPrintable(label->text()));
        });
    }

    // Not a check: pictures for looking at (scripts/screenshots-addtask.sh sets the folder).
    void screenshots()
    {
        const QString out = qEnvironmentVariable("VELTRY_SHOTS");
        if (out.isEmpty())
            QSKIP("VELTRY_SHOTS is not set");
        start(kFiveTasks);
        m_grid->setCurrentCell(1, 5);
        run(true, [&out](TfrmAddTask* d) {
            clickTab(d->PanelManager1, d->NotesPanel);
            QTest::qWait(50);
            d->grab().save(out + QStringLiteral("/addtask-expanded.png"));
            clickTab(d->PanelManager1, d->NotesPanel);
            clickTab(d->PanelManager1, d->AdvPanel);
            QTest::qWait(50);
            d->grab().save(out + QStringLiteral("/addtask-collapsed.png"));
            clickTab(d->PanelManager1, d->AdvPanel);
            auto c = connect(d->CalComp1, &TCalComp::shown, d, [&out](TCalForm* form) {
                QTest::qWait(50);
                form->grab().save(out + QStringLiteral("/calendar-days.png"));
                QTest::keyClick(form, Qt::Key_Space);
                form->grab().save(out + QStringLiteral("/calendar-months.png"));
                QTest::keyClick(form, Qt::Key_Escape);
            });
            QTest::mouseClick(d->btnShowCal, Qt::LeftButton);
            disconnect(c);
        });
    }
};

QTEST_MAIN(TestAddTask)
#include "wtst_addtask.moc"
