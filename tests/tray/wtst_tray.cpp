#include "ProgramFolder.h"
#include "TestEnv.h"
#include "platform/AppIcons.h"
#include "app/VeltryApp.h"
#include "app/fToDo.h"
#include "platform/MessageBox.h"
#include "platform/core/Clock.h"
#include "platform/core/ConfigStore.h"
#include "store/core/Task.h"
#include "tray/TrayIcon.h"
#include "tray/TrayT1.h"
#include "widgets/CalComp.h"
#include "widgets/GradCap.h"
#include "widgets/PopupCal.h"

#include <QAction>
#include <QApplication>
#include <QLabel>
#include <QMenu>
#include <QScreen>
#include <QTest>
#include <QTimer>

using namespace veltry;
using namespace veltry::test;

namespace {
void setSetting(const char* name, qint32 value)
{
    ConfigStore::shared().setValue(kSettingsKey, QString::fromLatin1(name), value);
    QVERIFY(ConfigStore::shared().save());
}

using Msg = TTrayIcon::TrayMessage;
} // namespace

class TestTray : public QObject
{
    Q_OBJECT

    std::unique_ptr<ProgramFolder> m_program;

private Q_SLOTS:
    void init()
    {
        m_program = std::make_unique<ProgramFolder>();
        Clock::setInstance(nullptr);
        TTrayIcon::setTrayAvailableOverride(std::nullopt);
    }

    void cleanup()
    {
        Clock::setInstance(nullptr);
        TTrayIcon::setTrayAvailableOverride(std::nullopt);
    }

    void placeholderAndMenu()
    {
        VeltryApp app;
        QVERIFY(app.start());
        TForm1* form = app.form1();
        QCOMPARE(TForm1::mainForm(), form);
        QVERIFY(!form->isVisible());
        QCOMPARE(form->windowTitle(), QStringLiteral("Placeholder Form"));

        TTrayIcon* tray = form->TrayIcon1;
        QVERIFY(tray->Visible());
        QCOMPARE(tray->systemTrayIcon()->toolTip(), QStringLiteral("Veltry Professional"));
        QVERIFY(!tray->systemTrayIcon()->icon().isNull());
        QCOMPARE(tray->PopupMenu(), form->PopupMenu1);
        // Handed to the tray, which exports it to a status-notifier panel or opens it on X11.
        QCOMPARE(tray->systemTrayIcon()->contextMenu(), form->PopupMenu1);

        QStringList items;
        for (QAction* a : form->PopupMenu1->actions())
            items << (a->isSeparator() ? QStringLiteral("-") : a->text());
        QCOMPARE(items, QStringList({"&Veltry", "&Calendar", "-", "Enable &Alarms", "-", "&Exit"}));
        QVERIFY(form->mnuEnableAlarms->isCheckable() && form->mnuEnableAlarms->isChecked());
        app.shutdown();
        QCOMPARE(TForm1::mainForm(), nullptr);
    }

    // The tray entry carries what was last sent, cut to the tooltip field.
    void tooltip_data()
    {
        QTest::addColumn<QString>("hint");
        QTest::addColumn<bool>("showHint");
        QTest::addColumn<QString>("expected");
        const QString sixtyThree(63, QLatin1Char('x'));
        QTest::newRow("short") << "Veltry Professional" << true << "Veltry Professional";
        QTest::newRow("exactly 63") << sixtyThree << true << sixtyThree;
        QTest::newRow("64 cut") << sixtyThree + "y" << true << sixtyThree;
        QTest::newRow("200 cut") << QString(200, QLatin1Char('z')) << true << QString(63, QLatin1Char('z'));
        QTest::newRow("pair not split") << QString(62, QLatin1Char('a')) + QString::fromUtf8("\xF0\x9F\x93\x85") << true
                                        << QString(62, QLatin1Char('a'));
        QTest::newRow("hint off") << "Veltry Professional" << false << "";
    }

    void tooltip()
    {
        QFETCH(QString, hint);
        QFETCH(bool, showHint);
        QFETCH(QString, expected);
        TTrayIcon tray;
        tray.SetPicture(AppIcons::programIcon());
        tray.SetHint(QStringLiteral("old"));
        tray.SetShowHint(true);
        tray.SetVisible(true);
        tray.SetHint(hint);
        tray.SetShowHint(showHint);
        QCOMPARE(tray.systemTrayIcon()->toolTip(), QStringLiteral("old"));  // not sent yet
        tray.ShowInTray();
        QCOMPARE(tray.systemTrayIcon()->toolTip(), expected);
        QVERIFY(tray.systemTrayIcon()->toolTip().size() <= TTrayIcon::kMaxTipLength);
    }

    void visibility()
    {
        TTrayIcon tray;
        QVERIFY(!tray.Visible());
        tray.SetPicture(AppIcons::programIcon());
        tray.SetVisible(true);
        QVERIFY(tray.Visible() && tray.systemTrayIcon()->isVisible());
        const QIcon other = QIcon(QPixmap(16, 16));
        tray.SetPicture(other);  // the tray keeps the old picture until told
        QVERIFY(tray.systemTrayIcon()->icon().cacheKey() != other.cacheKey());
        tray.ShowInTray();
        QCOMPARE(tray.systemTrayIcon()->icon().cacheKey(), other.cacheKey());
        tray.SetVisible(false);
        QVERIFY(!tray.Visible() && !tray.systemTrayIcon()->isVisible());
    }

    // Presses and releases become clicks; a right click is the tray's to answer with the menu
    // when there is one (the tray holds it), and a click otherwise.
    void mouse_data()
    {
        QTest::addColumn<QList<Msg>>("messages");
        QTest::addColumn<bool>("withMenu");
        QTest::addColumn<bool>("autoPopup");
        QTest::addColumn<int>("clicks");
        QTest::addColumn<int>("doubleClicks");
        QTest::addColumn<bool>("menuOpen");  // by the tray, which holds the menu
        QTest::addColumn<QString>("buttons");  // D/U + l/r, in order
        QTest::newRow("left click") << QList<Msg>{Msg::LeftDown, Msg::LeftUp} << true << true << 1 << 0 << false << "DlUl";
        QTest::newRow("release without press") << QList<Msg>{Msg::LeftUp} << true << true << 0 << 0 << false << "Ul";
        QTest::newRow("double click") << QList<Msg>{Msg::LeftDown, Msg::LeftUp, Msg::LeftDouble, Msg::LeftUp}
                                      << true << true << 1 << 1 << false << "DlUlUl";
        QTest::newRow("right double") << QList<Msg>{Msg::RightDouble} << true << true << 0 << 1 << false << "";
        QTest::newRow("right opens menu") << QList<Msg>{Msg::RightDown, Msg::RightUp} << true << true << 0 << 0 << true
                                          << "DrUr";
        QTest::newRow("right without menu") << QList<Msg>{Msg::RightDown, Msg::RightUp} << false << true << 1 << 0
                                            << false << "DrUr";
        QTest::newRow("right, popup off") << QList<Msg>{Msg::RightDown, Msg::RightUp} << true << false << 1 << 0
                                          << false << "DrUr";
        QTest::newRow("move") << QList<Msg>{Msg::MouseMove} << true << true << 0 << 0 << false << "";
    }

    void mouse()
    {
        QFETCH(QList<Msg>, messages);
        QFETCH(bool, withMenu);
        QFETCH(bool, autoPopup);
        QFETCH(int, clicks);
        QFETCH(int, doubleClicks);
        QFETCH(bool, menuOpen);
        QFETCH(QString, buttons);

        QMenu menu;
        menu.addAction(QStringLiteral("item"));
        TTrayIcon tray;
        if (withMenu)
            tray.SetPopupMenu(&menu);
        tray.SetAutoPopup(autoPopup);
        int clicked = 0, doubled = 0, moved = 0;
        QString seen;
        tray.OnClick = [&](TTrayIcon* sender) { QCOMPARE(sender, &tray); ++clicked; };
        tray.OnDblClick = [&](TTrayIcon*) { ++doubled; };
        tray.OnMouseMove = [&](TTrayIcon*, Qt::KeyboardModifiers, int, int) { ++moved; };
        auto record = [&](QChar kind) {
            return [&seen, kind](TTrayIcon*, Qt::MouseButton b, Qt::KeyboardModifiers shift, int x, int y) {
                QCOMPARE(shift, Qt::NoModifier);
                QCOMPARE(QPoint(x, y), QPoint(0, 0));
                seen += kind;
                seen += b == Qt::LeftButton ? QLatin1Char('l') : QLatin1Char('r');
            };
        };
        tray.OnMouseDown = record(QLatin1Char('D'));
        tray.OnMouseUp = record(QLatin1Char('U'));
        for (Msg m : messages)
            tray.handleTrayMessage(m);
        QCOMPARE(clicked, clicks);
        QCOMPARE(doubled, doubleClicks);
        QCOMPARE(tray.systemTrayIcon()->contextMenu(), withMenu && autoPopup ? &menu : nullptr);
        if (menuOpen)
            QCOMPARE(tray.systemTrayIcon()->contextMenu(), &menu);
        QVERIFY(!menu.isVisible());  // never a second menu of our own beside the tray's
        QCOMPARE(seen, buttons);
        QCOMPARE(moved, messages.contains(Msg::MouseMove) ? 1 : 0);
        menu.close();
    }

    // Closing and minimising only put the task window away; the tray brings it back.
    void putAwayAndBack_data()
    {
        QTest::addColumn<bool>("trayAvailable");
        QTest::addColumn<int>("away");  // 0 close, 1 Minimize command, 2 a click on the painted close box
        QTest::addColumn<int>("back");  // 0 click, 1 double click, 2 "&Veltry", 3 right click without menu
        for (bool tray : {true, false}) {
            const char* t = tray ? "tray" : "no tray";
            QTest::addRow("%s, close, click", t) << tray << 0 << 0;
            QTest::addRow("%s, minimize, double click", t) << tray << 1 << 1;
            QTest::addRow("%s, close, menu", t) << tray << 0 << 2;
            QTest::addRow("%s, minimize, right click without menu", t) << tray << 1 << 3;
            QTest::addRow("%s, close box, click", t) << tray << 2 << 0;
        }
    }

    void putAwayAndBack()
    {
        QFETCH(bool, trayAvailable);
        QFETCH(int, away);
        QFETCH(int, back);
        TTrayIcon::setTrayAvailableOverride(trayAvailable);
        VeltryApp app;
        QVERIFY(app.start());
        TfrmToDo* todo = app.toDo();
        TForm1* form = app.form1();
        QVERIFY(QTest::qWaitForWindowExposed(todo));

        if (away == 0) {
            QVERIFY(!todo->close());
        } else if (away == 2) {
            const QPoint box = todo->GradCaption->buttonRect(TGradientCaption::TFrameButton::Close).center();
            QTest::mouseClick(todo->windowHandle(), Qt::LeftButton, {}, box);
        } else {
            todo->btnMinimizeClick();
        }
        if (trayAvailable) {
            QVERIFY(!todo->isVisible());
        } else {
            // Without a tray the task bar is the only way back.
            QVERIFY(todo->isVisible());
            QVERIFY(todo->isMinimized());
        }
        QVERIFY(todo->Timer1->isActive());  // alarms go on while the window is away

        QSystemTrayIcon* sys = form->TrayIcon1->systemTrayIcon();
        switch (back) {
        case 0:
            Q_EMIT sys->activated(QSystemTrayIcon::Trigger);
            break;
        case 1:
            Q_EMIT sys->activated(QSystemTrayIcon::Trigger);
            Q_EMIT sys->activated(QSystemTrayIcon::DoubleClick);
            break;
        case 2:
            form->mnuRestore->trigger();
            break;
        case 3:
            form->TrayIcon1->SetPopupMenu(nullptr);
            Q_EMIT sys->activated(QSystemTrayIcon::Context);
            break;
        }
        QVERIFY(todo->isVisible());
        QVERIFY(!todo->isMinimized());
        QVERIFY(QTest::qWaitForWindowActive(todo));
        QVERIFY(!app.form1()->isVisible());
        app.shutdown();
    }

    void restoreWhileShownOnlyRaises()
    {
        VeltryApp app;
        QVERIFY(app.start());
        TfrmToDo* todo = app.toDo();
        QWidget other;
        other.show();
        other.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&other));
        const QRect frame = todo->geometry();
        app.form1()->mnuRestore->trigger();
        QVERIFY(QTest::qWaitForWindowActive(todo));
        QCOMPARE(todo->geometry(), frame);
        app.shutdown();
    }

    void exitEndsTheRun()
    {
        VeltryApp app;
        QVERIFY(app.start());
        app.toDo()->close();  // even with the task window away
        QTimer::singleShot(0, app.form1()->mnuExit, &QAction::trigger);
        QCOMPARE(app.run(), 0);
        QCOMPARE(app.toDo(), nullptr);  // the run's end destroyed the windows
        QVERIFY(QFile::exists(m_program->filePath(kTaskListFileName)));
    }

    // A window that only hides on close must not keep the program from ending.
    void quitRequestEndsTheRun()
    {
        VeltryApp app;
        QVERIFY(app.start());
        QTimer::singleShot(0, qApp, &QCoreApplication::quit);
        QTimer failSafe;
        failSafe.setSingleShot(true);
        connect(&failSafe, &QTimer::timeout, qApp, [] { QCoreApplication::exit(99); });
        failSafe.start(5000);
        QCOMPARE(app.run(), 0);
    }

    void alarmSwitch()
    {
        VeltryApp app;
        QVERIFY(app.start());
        TfrmToDo* todo = app.toDo();
        TForm1* form = app.form1();
        QTRY_COMPARE(todo->Timer1->interval(), 1000);  // the first tick has run

        form->mnuEnableAlarms->trigger();
        QVERIFY(!todo->alarmsEnabled());
        QVERIFY(!todo->Timer1->isActive());
        QVERIFY(!form->mnuEnableAlarms->isChecked());
        QCOMPARE(todo->statusPanels[1]->text(), QStringLiteral("Alarms: OFF"));
        QTest::qWait(50);
        QVERIFY(!todo->Timer1->isActive());

        form->mnuEnableAlarms->trigger();
        QVERIFY(todo->alarmsEnabled());
        QVERIFY(todo->Timer1->isActive());
        QCOMPARE(todo->Timer1->interval(), 1000);
        QVERIFY(form->mnuEnableAlarms->isChecked());
        QCOMPARE(todo->statusPanels[1]->text(), QStringLiteral("Alarms: ON"));

        // The menu a panel shows follows the switch whoever turns it.
        todo->setAlarmsEnabled(false);
        QVERIFY(!form->mnuEnableAlarms->isChecked());
        todo->setAlarmsEnabled(true);
        QVERIFY(form->mnuEnableAlarms->isChecked());
        app.shutdown();
    }

    // A modal window opened from the task window restarts the timer only while alarms are on.
    void timerAfterModal_data()
    {
        QTest::addColumn<int>("modal");  // 0 hot keys, 1 about box
        QTest::addColumn<bool>("alarmsOn");
        QTest::newRow("hot keys, alarms off") << 0 << false;
        QTest::newRow("about, alarms off") << 1 << false;
        QTest::newRow("hot keys, alarms on") << 0 << true;
        QTest::newRow("about, alarms on") << 1 << true;
    }

    void timerAfterModal()
    {
        QFETCH(int, modal);
        QFETCH(bool, alarmsOn);
        VeltryApp app;
        QVERIFY(app.start());
        TfrmToDo* todo = app.toDo();
        if (!alarmsOn)
            app.form1()->mnuEnableAlarms->trigger();
        bool timerRanDuringModal = true;
        QTimer::singleShot(0, [&] {
            timerRanDuringModal = todo->Timer1->isActive();
            if (QWidget* w = QApplication::activeModalWidget())
                w->close();
        });
        if (modal == 0)
            todo->Help1Click();
        else
            todo->mnuHelpAboutClick();
        QVERIFY(!timerRanDuringModal);
        QCOMPARE(todo->Timer1->isActive(), alarmsOn);
        QCOMPARE(todo->statusPanels[1]->text(), alarmsOn ? QStringLiteral("Alarms: ON") : QStringLiteral("Alarms: OFF"));
        app.shutdown();
    }

    void calendarNearTrayCorner_data()
    {
        QTest::addColumn<bool>("monday");
        QTest::newRow("week from Sunday") << false;
        QTest::newRow("week from Monday") << true;
    }

    void calendarNearTrayCorner()
    {
        QFETCH(bool, monday);
        setSetting("StartCalMonday", monday ? 1 : 0);
        Clock::setInstance(std::make_shared<FixedClock>(QDateTime(QDate(2031, 7, 19), QTime(10, 0))));
        VeltryApp app;
        QVERIFY(app.start());
        TForm1* form = app.form1();
        QPoint at;
        int firstWeekday = 0;
        QDate start;
        connect(form->CalComp1, &TCalComp::shown, this, [&](TCalForm* cal) {
            at = cal->pos();
            firstWeekday = cal->firstWeekday();
            start = cal->startDate();
            // A picked date is not used: pick one and see that nothing changes.
            QTimer::singleShot(0, cal, [cal] { QTest::keyClick(cal, Qt::Key_Escape); });
        });
        const int tasksBefore = app.toDo()->TaskGrid->RowCount();
        form->Calendar1->trigger();
        const QSize screen = QGuiApplication::primaryScreen()->size();
        QCOMPARE(at, QPoint(screen.width() - 150, screen.height() - 170));
        QCOMPARE(firstWeekday, monday ? 1 : 7);
        QCOMPARE(start, QDate(2031, 7, 19));
        QVERIFY(!form->CalComp1->activeForm());
        QCOMPARE(app.toDo()->TaskGrid->RowCount(), tasksBefore);
        app.shutdown();
    }

    void dayPicturesAllDiffer()
    {
        TForm1 form;
        QCOMPARE(form.imgDay.count(), 32);
        QSet<QByteArray> seen;
        for (int d = 1; d <= 31; ++d) {
            const QImage image = form.imgDay.image(d).toImage();
            QCOMPARE(image.size(), QSize(16, 16));
            seen.insert(QByteArray(reinterpret_cast<const char*>(image.constBits()), image.sizeInBytes()));
        }
        QCOMPARE(seen.size(), 31);
    }

    // The tray follows the (injected) date while the setting is on, and gets the program's own
    // picture back when it is switched off.
    void dayIcon_data()
    {
        QTest::addColumn<QDate>("first");
        QTest::addColumn<QDate>("next");
        QTest::newRow("1st to 2nd") << QDate(2030, 1, 1) << QDate(2030, 1, 2);
        QTest::newRow("31st to 1st") << QDate(2030, 1, 31) << QDate(2030, 2, 1);
        QTest::newRow("leap day") << QDate(2028, 2, 28) << QDate(2028, 2, 29);
        QTest::newRow("9th to 10th") << QDate(2030, 5, 9) << QDate(2030, 5, 10);
    }

    void dayIcon()
    {
        QFETCH(QDate, first);
        QFETCH(QDate, next);
        setSetting("ShowDayIcon", 1);
        auto clock = std::make_shared<FixedClock>(QDateTime(first, QTime(23, 59, 59)));
        Clock::setInstance(clock);
        VeltryApp app;
        QVERIFY(app.start());
        TForm1* form = app.form1();
        TfrmToDo* todo = app.toDo();
        QCOMPARE(form->shownDay(), first.day());  // at once, before the first tick
        QVERIFY(!form->savedTrayPicture.isNull());
        QVERIFY(form->savedTrayPicture.cacheKey() != form->dayIcon(first.day()).cacheKey());

        clock->set(QDateTime(next, QTime(0, 0, 1)));
        todo->Timer1Timer();
        QCOMPARE(form->shownDay(), next.day());
        QCOMPARE(form->TrayIcon1->systemTrayIcon()->icon().cacheKey(), form->dayIcon(next.day()).cacheKey());

        // Alarms off stops the daily change with the rest of the tick.
        form->mnuEnableAlarms->trigger();
        clock->set(QDateTime(next.addDays(1), QTime(12, 0)));
        QTest::qWait(1200);
        QCOMPARE(form->shownDay(), next.day());

        todo->settings().ShowDayIcon = false;
        form->RestoreTrayPicture();
        QCOMPARE(form->shownDay(), 0);
        QCOMPARE(form->TrayIcon1->systemTrayIcon()->icon().cacheKey(), form->savedTrayPicture.cacheKey());
        app.shutdown();
    }

    void noDayIconWhenSwitchedOff()
    {
        Clock::setInstance(std::make_shared<FixedClock>(QDateTime(QDate(2030, 3, 14), QTime(9, 0))));
        VeltryApp app;
        QVERIFY(app.start());
        QTest::qWait(20);
        app.toDo()->Timer1Timer();
        QCOMPARE(app.form1()->shownDay(), 0);
        QCOMPARE(app.form1()->TrayIcon1->systemTrayIcon()->icon().cacheKey(),
                 app.form1()->savedTrayPicture.cacheKey());
        app.shutdown();
    }
};

QTEST_MAIN(TestTray)
#include "wtst_tray.moc"
