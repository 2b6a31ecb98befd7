// The preferences dialog driven as a user drives it: clicks, access keys and the dialogs it opens
// (colour and font choosers, folder chooser, file-exists warning, new category).
#include "ProgramFolder.h"
#include "TestEnv.h"
#include "app/VeltryApp.h"
#include "app/fToDo.h"
#include "config/fAddCat.h"
#include "config/fChDir.h"
#include "config/fFExists.h"
#include "config/fPrefs2.h"
#include "platform/core/Autostart.h"
#include "editing/fAddTask.h"
#include "history/fHistory.h"
#include "platform/MessageBox.h"
#include "platform/core/Clock.h"
#include "platform/core/ConfigStore.h"
#include "platform/core/DrivePlaces.h"
#include "store/core/Task.h"
#include "sync/fSyncServer.h"
#include "tray/TrayT1.h"
#include "widgets/TextGrid.h"

#include <QApplication>
#include <QCheckBox>
#include <QColorDialog>
#include <QComboBox>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QLabel>
#include <QFontDialog>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QTabBar>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <cstdlib>
#include <functional>
#include <memory>

using namespace veltry;
using namespace veltry::test;

namespace {

// No keyring service for these tests (and never the user's own): the calendar server's password
// goes where it goes without one. Before anything can connect to the session bus.
const bool g_noSessionBus = (unsetenv("DBUS_SESSION_BUS_ADDRESS"), true);

const QString kNoKeyringNote = QStringLiteral(
    "No keyring service is running: the password is kept in the settings file, readable by you alone.");
const QString kUnencryptedNote = QStringLiteral("The password will travel unencrypted (http).");

QByteArray listFile(const QStringList& tasks)
{
    QByteArray out = taskListHeader(std::max<qsizetype>(tasks.size(), 1) + 1);
    for (int i = 0; i < tasks.size(); ++i) {
        const QByteArray r = QByteArray::number(i + 1);
        out += "1," + r + "," + tasks[i].toLatin1() + "\r\n5," + r + ",\xA0\r\n10," + r + ",0\r\n";
    }
    return out;
}

QByteArray historyFile(const QString& task)
{
    return "7,2\r\n1,1," + task.toLatin1() + "\r\n";
}

// Runs `act` on the next modal window that comes up over `below` (one of its own dialogs) and
// closes it if `act` did not. The returned flag turns true once that is done; the watch gives up
// after five seconds.
std::shared_ptr<bool> onNextModal(QWidget* below, std::function<void(QWidget*)> act)
{
    auto done = std::make_shared<bool>(false);
    auto* poll = new QTimer(below);
    poll->setInterval(5);
    auto clock = std::make_shared<QElapsedTimer>();
    clock->start();
    QObject::connect(poll, &QTimer::timeout, below, [below, poll, clock, done, act] {
        QWidget* top = QApplication::activeModalWidget();
        const bool up = top && top != below && top->isVisible();
        if (!up && clock->elapsed() < 5000)
            return;
        poll->stop();
        poll->deleteLater();
        if (up) {
            act(top);
            // A check that failed inside must not leave the window waiting for a person.
            auto* dialog = qobject_cast<QDialog*>(top);
            if (dialog && dialog->isVisible())
                dialog->reject();
            *done = true;
        }
    });
    poll->start();
    return done;
}

void pressOn(QWidget* target, Qt::Key key, Qt::KeyboardModifiers modifiers = {})
{
    QTest::keyClick(target, key, modifiers);
}

// Keys go where the user's keys go: to the widget with the focus, once the topmost window has
// it back (a dialog that just closed returns it a moment later).
void press(Qt::Key key, Qt::KeyboardModifiers modifiers = {})
{
    QTRY_VERIFY(QApplication::focusWidget()
                && QApplication::focusWidget()->window() == QApplication::activeModalWidget());
    pressOn(QApplication::focusWidget(), key, modifiers);
}

void showPage(TfrmPrefs* d, QWidget* page)
{
    for (int i = 0; i < 3 && d->PageControl1->currentWidget() != page; ++i)
        press(Qt::Key_Tab, Qt::ControlModifier);
    QCOMPARE(d->PageControl1->currentWidget(), page);
}

bool& settingNamed(Settings& s, const QString& name)
{
    static bool none = false;
    const std::pair<const char*, bool*> table[] = {
        {"StartMinimized", &s.StartMinimized}, {"SavePosition", &s.SavePosition},
        {"SaveSize", &s.SaveSize},             {"LogOnStartup", &s.LogOnStartup},
        {"StartCalMonday", &s.StartCalMonday}, {"NoConfirmations", &s.NoConfirmations},
        {"FloatEditedTask", &s.FloatEditedTask}, {"TaskHints", &s.TaskHints},
        {"ShowDayIcon", &s.ShowDayIcon},       {"Networkable", &s.Networkable},
        {"UseAltDirPath", &s.UseAltDirPath}};
    for (const auto& [n, p] : table)
        if (name == QLatin1String(n))
            return *p;
    return none;
}

} // namespace

class TestPrefs final : public QObject
{
    Q_OBJECT

    std::unique_ptr<ProgramFolder> m_program;
    std::unique_ptr<VeltryApp> m_app;
    TfrmToDo* m_todo = nullptr;
    TfrmPrefs* m_dlg = nullptr;

    TTextGrid* grid() const { return m_todo->TaskGrid; }
    Settings& settings() const { return m_todo->settings(); }

    void setSetting(const QString& name, const ConfigStore::Value& value)
    {
        ConfigStore::shared().setValue(kSettingsKey, name, value);
    }

    void start(const QStringList& tasks = {QStringLiteral("one")})
    {
        QVERIFY(m_program->write(kTaskListFileName, listFile(tasks)));
        m_app = std::make_unique<VeltryApp>();
        QVERIFY(m_app->start());
        m_todo = m_app->toDo();
        m_todo->Timer1->stop();
        m_dlg = m_app->prefs();
        QVERIFY(QTest::qWaitForWindowExposed(m_todo));
    }

    // Opens the dialog as the toolbar does and runs `actions` inside it; whatever is still open
    // afterwards is cancelled. True when the dialog closed with OK.
    bool run(const std::function<void(TfrmPrefs*)>& actions)
    {
        QTimer::singleShot(0, m_dlg, [this, actions] {
            QVERIFY(QTest::qWaitForWindowActive(m_dlg));
            actions(m_dlg);
            if (m_dlg->isVisible())
                m_dlg->reject();
        });
        m_todo->ShowPreferences();
        return m_dlg->result() == QDialog::Accepted;
    }

    // Fills the path box through "..." and the folder chooser.
    static void chooseFolder(TfrmPrefs* d, const QString& dir)
    {
        auto done = onNextModal(d, [dir](QWidget* w) {
            auto* chooser = qobject_cast<TfrmChooseDir*>(w);
            QVERIFY(chooser);
            QCOMPARE(chooser->windowTitle(), QStringLiteral("Choose Directory"));
            QCOMPARE(chooser->cboDrive->itemData(0).toString(), QStringLiteral("/"));
            if (QDir::homePath() != QStringLiteral("/"))
                QCOMPARE(chooser->cboDrive->itemData(1).toString(), QDir::cleanPath(QDir::homePath()));
            chooser->setCurrentDirectory(dir);
            QCOMPARE(chooser->currentDirectory(), QDir::cleanPath(dir));
            QTest::mouseClick(chooser->btnOK, Qt::LeftButton);
        });
        QTest::mouseClick(d->btnAltDirPath, Qt::LeftButton);
        QTRY_VERIFY(*done);
        QCOMPARE(d->edtAltDirPath->text(), QDir::cleanPath(dir));
    }

    // Opens "Calendar server..." by its access key and runs `act` in the dialog it opens.
    static void inSyncServer(TfrmPrefs* d, const std::function<void(TfrmSyncServer*)>& act)
    {
        showPage(d, d->tabEditing);
        QVERIFY(!d->chkNetworkable->isChecked());
        auto done = onNextModal(d, [act](QWidget* w) {
            auto* server = qobject_cast<TfrmSyncServer*>(w);
            QVERIFY(server);
            QCOMPARE(server->windowTitle(), QStringLiteral("Calendar Server"));
            act(server);
        });
        press(Qt::Key_R, Qt::AltModifier);
        QTRY_VERIFY(*done);
        // Without a window manager nothing hands the focus back to the dialog.
        d->activateWindow();
    }

    static void typeInto(Qt::Key accessKey, const QString& text)
    {
        press(accessKey, Qt::AltModifier);
        press(Qt::Key_A, Qt::ControlModifier);
        press(Qt::Key_Delete);
        QTest::keyClicks(QApplication::focusWidget(), text);
    }

    static QString storedPassword()
    {
        const auto v = ConfigStore::shared().value(kSettingsKey, QStringLiteral("SyncPassword"));
        return v ? std::get<QString>(*v) : QString();
    }

    static QFile::Permissions settingsFileMode()
    {
        return QFileInfo(ConfigStore::shared().filePath()).permissions()
            & (QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner | QFile::ReadGroup | QFile::WriteGroup
               | QFile::ExeGroup | QFile::ReadOther | QFile::WriteOther | QFile::ExeOther);
    }

    static void tickAltPath(TfrmPrefs* d)
    {
        showPage(d, d->tabEditing);
        press(Qt::Key_U, Qt::AltModifier);
        QTRY_VERIFY(d->chkUseAltDirPath->isChecked());
    }

private Q_SLOTS:
    void initTestCase()
    {
        QApplication::setApplicationDisplayName(QStringLiteral("Veltry Professional"));
        Clock::setInstance(std::make_shared<FixedClock>(QDateTime(QDate(2026, 3, 15), QTime(10, 0))));
    }

    void init() { m_program = std::make_unique<ProgramFolder>(); }

    void cleanup()
    {
        if (m_app)
            m_app->shutdown();
        m_app.reset();
    }

    void okWithoutChangesKeepsFontAndColumnsAndRefits()
    {
        setSetting(QStringLiteral("Col4Hidden"), qint32(1));
        start({QStringLiteral("one"), QStringLiteral("two")});
        // Widths as a user might have dragged them.
        grid()->setColWidth(1, 30);
        grid()->setColWidth(2, 90);
        const QFont font = grid()->font();
        QVERIFY(run([&](TfrmPrefs* d) {
            QCOMPARE(d->windowTitle(), QStringLiteral("Preferences"));
            QCOMPARE(d->size(), QSize(397, 390));
            QCOMPARE(d->PageControl1->currentWidget(), d->tabGeneral);
            QVERIFY(!m_todo->Timer1->isActive());
            QCOMPARE(d->edtGridFont->text(), QStringLiteral("Arial 9 pt."));
            QCOMPARE(d->edtGridFont->font().family(), font.family());
            QCOMPARE(d->edtGridFont->font().pixelSize(), font.pixelSize());
            QCOMPARE(d->chkDueDate->isChecked(), true);
            QCOMPARE(d->chkDueTime->isChecked(), true);
            QCOMPARE(d->chkCategory->isChecked(), false);
            QCOMPARE(d->chkPriority->isChecked(), true);
            QVERIFY(d->rdoSunday->isChecked());
            press(Qt::Key_Return);
        }));
        QCOMPARE(grid()->font(), font);
        QVERIFY(grid()->IsHiddenColumn(TaskCol::Category));
        QVERIFY(!grid()->IsHiddenColumn(TaskCol::DueDate));
        QVERIFY(!grid()->IsHiddenColumn(TaskCol::Priority));
        int sum = 0;
        for (int k = 0; k < grid()->ColCount(); ++k)
            sum += grid()->ColWidth(k);
        QCOMPARE(grid()->ColWidth(0), 20);
        QCOMPARE(sum, grid()->width() - 4 - grid()->ColCount());
        QCOMPARE(grid()->DefaultRowHeight(), QFontMetrics(font).height() + 4);
        QVERIFY(m_todo->Timer1->isActive());
    }

    void colours()
    {
        start();
        QVERIFY(run([&](TfrmPrefs* d) {
            QCOMPARE(d->clOne->color(), QColor(255, 0, 0));
            QCOMPARE(d->clTwo->color(), QColor(0, 128, 0));
            QCOMPARE(d->clThree->color(), QColor(0, 0, 255));
            QCOMPARE(d->clElse->color(), QColor(0, 0, 0));
            QTest::mouseClick(d->BitBtn5, Qt::LeftButton);
            QCOMPARE(d->clTwo->color(), QColor(0, 0, 255));
            QCOMPARE(d->clThree->color(), QColor(0, 128, 0));

            auto picked = onNextModal(d, [](QWidget* w) {
                auto* chooser = qobject_cast<QColorDialog*>(w);
                QVERIFY(chooser);
                QCOMPARE(chooser->currentColor(), QColor(0, 0, 0));
                chooser->setCurrentColor(QColor(10, 20, 30));
                chooser->accept();
            });
            QTest::mouseClick(d->clElse, Qt::LeftButton);
            QTRY_VERIFY(*picked);
            QCOMPARE(d->clElse->color(), QColor(10, 20, 30));

            // A choice the user cancels changes nothing; Space works as a click.
            auto cancelled = onNextModal(d, [](QWidget* w) {
                static_cast<QColorDialog*>(w)->setCurrentColor(QColor(1, 2, 3));
                static_cast<QDialog*>(w)->reject();
            });
            pressOn(d->clOne, Qt::Key_Space);
            QTRY_VERIFY(*cancelled);
            QCOMPARE(d->clOne->color(), QColor(255, 0, 0));
            QCOMPARE(settings().clTwo, 32768);  // nothing reaches the settings before OK
            QTest::mouseClick(d->BitBtn1, Qt::LeftButton);
        }));
        QCOMPARE(settings().clOne, 0x0000FF);
        QCOMPARE(settings().clTwo, 0xFF0000);
        QCOMPARE(settings().clThree, 0x008000);
        QCOMPARE(settings().clElse, 0x1E140A);
    }

    void changeFont()
    {
        start();
        const QFont before = grid()->font();
        QFont chosen;
        QVERIFY(run([&](TfrmPrefs* d) {
            showPage(d, d->tabEditing);
            auto cancelled = onNextModal(d, [](QWidget* w) { static_cast<QDialog*>(w)->reject(); });
            QTest::mouseClick(d->BitBtn2, Qt::LeftButton);
            QTRY_VERIFY(*cancelled);
            QCOMPARE(d->edtGridFont->text(), QStringLiteral("Arial 9 pt."));

            auto picked = onNextModal(d, [](QWidget* w) {
                auto* chooser = qobject_cast<QFontDialog*>(w);
                QVERIFY(chooser);
                chooser->setCurrentFont(QFont(QStringLiteral("DejaVu Sans"), 10));
                chooser->accept();
            });
            QTest::mouseClick(d->BitBtn2, Qt::LeftButton);
            QTRY_VERIFY(*picked);
            chosen = d->FontDialog1->selectedFont();
            QCOMPARE(chosen.pointSize(), 10);
            // Name and size run together here.
            QCOMPARE(d->edtGridFont->text(), chosen.family() + QStringLiteral("10 pt."));
            QCOMPARE(d->edtGridFont->font(), chosen);
            QCOMPARE(grid()->font(), before);
            QTest::mouseClick(d->BitBtn1, Qt::LeftButton);
        }));
        QCOMPARE(grid()->font(), chosen);
        QCOMPARE(m_todo->font(), chosen);
        QCOMPARE(grid()->DefaultRowHeight(), QFontMetrics(chosen).height() + 4);
        run([&](TfrmPrefs* d) { QCOMPARE(d->edtGridFont->text(), chosen.family() + QStringLiteral(" 10 pt.")); });
    }

    void visibleColumns_data()
    {
        QTest::addColumn<QList<int>>("hiddenBefore");
        QTest::addColumn<QList<int>>("hiddenAfter");
        QTest::newRow("hide all four") << QList<int>{} << QList<int>{2, 3, 4, 5};
        QTest::newRow("hide the due time") << QList<int>{} << QList<int>{3};
        QTest::newRow("show all again") << QList<int>{2, 3, 4, 5} << QList<int>{};
    }

    void visibleColumns()
    {
        QFETCH(QList<int>, hiddenBefore);
        QFETCH(QList<int>, hiddenAfter);
        for (int c : hiddenBefore)
            setSetting(QStringLiteral("Col%1Hidden").arg(c), qint32(1));
        start();
        QVERIFY(run([&](TfrmPrefs* d) {
            showPage(d, d->tabCategories);
            QCheckBox* boxes[4] = {d->chkDueDate, d->chkDueTime, d->chkCategory, d->chkPriority};
            for (int c = 2; c <= 5; ++c) {
                QCOMPARE(boxes[c - 2]->isChecked(), !hiddenBefore.contains(c));
                if (hiddenBefore.contains(c) != hiddenAfter.contains(c))
                    QTest::mouseClick(boxes[c - 2], Qt::LeftButton);
            }
            QTest::mouseClick(d->BitBtn1, Qt::LeftButton);
        }));
        for (int c = 2; c <= 5; ++c)
            QCOMPARE(grid()->IsHiddenColumn(c), hiddenAfter.contains(c));
        int others = 0;
        for (int k = 0; k < grid()->ColCount(); ++k)
            if (grid()->DisplayToRealColumn(k) != TaskCol::Task)
                others += grid()->ColWidth(k);
        // The description takes what the other shown columns leave.
        QCOMPARE(grid()->ColWidth(1), grid()->width() - 4 - grid()->ColCount() - others);
        if (hiddenAfter.size() == 4)
            QCOMPARE(grid()->ColWidth(1), grid()->width() - 4 - 2 - 20);
        m_app->shutdown();
        for (int c = 2; c <= 5; ++c)
            QCOMPARE(std::get<qint32>(*ConfigStore::shared().value(kSettingsKey, QStringLiteral("Col%1Hidden").arg(c))),
                     hiddenAfter.contains(c) ? 1 : 0);
    }

    void sameAlternateFolderSavesWithoutWarning()
    {
        QTemporaryDir shared;
        const QString dir = shared.path() + QLatin1Char('/');
        QVERIFY(writeAll(dir + kTaskListFileName, listFile({QStringLiteral("shared task")})));
        setSetting(QStringLiteral("UseAltDirPath"), qint32(1));
        setSetting(QStringLiteral("AltDirPath"), dir);
        start({QStringLiteral("local task")});
        QCOMPARE(m_todo->dataDirectory(), dir);
        QCOMPARE(grid()->Cells(TaskCol::Task, 1), QStringLiteral("shared task"));
        grid()->setCells(TaskCol::Task, 1, QStringLiteral("changed in memory"));
        bool warned = false;
        QVERIFY(run([&](TfrmPrefs* d) {
            showPage(d, d->tabEditing);
            QVERIFY(d->chkUseAltDirPath->isChecked());
            QCOMPARE(d->edtAltDirPath->text(), dir);
            onNextModal(d, [&warned](QWidget* w) {
                warned = true;
                static_cast<QDialog*>(w)->reject();
            });
            QTest::mouseClick(d->BitBtn1, Qt::LeftButton);
        }));
        QVERIFY(!warned);
        QVERIFY(readAll(dir + kTaskListFileName).contains("1,1,changed in memory\r\n"));
        QCOMPARE(m_todo->dataDirectory(), dir);
    }

    void fileExistsWarning_data()
    {
        QTest::addColumn<QString>("answer");
        QTest::newRow("Save") << "save";
        QTest::newRow("Load") << "load";
        QTest::newRow("Cancel") << "cancel";
        QTest::newRow("closed") << "close";
    }

    void fileExistsWarning()
    {
        QFETCH(QString, answer);
        QTemporaryDir shared;
        const QString dir = shared.path() + QLatin1Char('/');
        const QByteArray theirList = listFile({QStringLiteral("theirs")});
        const QByteArray theirLog = historyFile(QStringLiteral("their old"));
        QVERIFY(writeAll(dir + kTaskListFileName, theirList));
        QVERIFY(writeAll(dir + kHistoryFileName, theirLog));
        QVERIFY(m_program->write(kHistoryFileName, historyFile(QStringLiteral("my old"))));
        start({QStringLiteral("mine")});
        const bool keeps = answer == QLatin1String("cancel") || answer == QLatin1String("close");

        const bool accepted = run([&](TfrmPrefs* d) {
            tickAltPath(d);
            chooseFolder(d, shared.path());
            auto asked = onNextModal(d, [&](QWidget* w) {
                auto* warning = qobject_cast<TfrmFileExists*>(w);
                QVERIFY(warning);
                QCOMPARE(warning->windowTitle(), QStringLiteral("Warning: File Already Exists"));
                QCOMPARE(warning->Label1->text(), QStringLiteral("A Veltry Pro data file already exists at:"));
                QCOMPARE(warning->lblDirectory->text(), dir);
                QVERIFY(warning->lblDirectory->font().bold());
                QCOMPARE(warning->Label2->text(),
                         QStringLiteral("Would you like to load the existing to-do list, or save over it?"));
                QCOMPARE(warning->Label3->text(), QStringLiteral("Note:"));
                QCOMPARE(warning->Label4->text(),
                         QStringLiteral("\"Loading\" will overwrite the to-do list currently in\n"
                                        "memory, whereas \"saving\" will overwrite the to-do list\n"
                                        "currently stored at this location.\n"
                                        "If you don't wish to do either, please press \"Cancel\"\n"
                                        "and choose a new alternate file location."));
                if (answer == QLatin1String("save"))
                    QTest::mouseClick(warning->btnSave, Qt::LeftButton);
                else if (answer == QLatin1String("load"))
                    QTest::mouseClick(warning->btnLoad, Qt::LeftButton);
                else if (answer == QLatin1String("cancel"))
                    QTest::mouseClick(warning->btnCancel, Qt::LeftButton);
                else
                    pressOn(warning, Qt::Key_Escape);
            });
            QTest::mouseClick(d->BitBtn1, Qt::LeftButton);
            QVERIFY(*asked);
            QCOMPARE(d->isVisible(), keeps);
            if (keeps) {
                // The cancelled move is undone before the dialog stays open.
                QVERIFY(!settings().UseAltDirPath);
                QVERIFY(settings().AltDirPath.isEmpty());
                QCOMPARE(m_todo->dataDirectory(), m_program->dir());
            }
        });
        QCOMPARE(accepted, !keeps);
        TTextGrid* history = m_app->history()->TaskHistoryGrid;
        if (answer == QLatin1String("save")) {
            QCOMPARE(m_todo->dataDirectory(), dir);
            QCOMPARE(settings().AltDirPath, dir);
            QVERIFY(readAll(dir + kTaskListFileName).contains("1,1,mine\r\n"));
            QVERIFY(readAll(dir + kHistoryFileName).contains("1,1,my old\r\n"));
        } else if (answer == QLatin1String("load")) {
            QCOMPARE(m_todo->dataDirectory(), dir);
            QCOMPARE(grid()->Cells(TaskCol::Task, 1), QStringLiteral("theirs"));
            QCOMPARE(history->Cells(HistCol::Task, 1), QStringLiteral("their old"));
            QCOMPARE(readAll(dir + kTaskListFileName), theirList);
        } else {
            QCOMPARE(grid()->Cells(TaskCol::Task, 1), QStringLiteral("mine"));
            m_app->shutdown();
            // What the user cancelled to protect is still there after the program ended.
            QCOMPARE(readAll(dir + kTaskListFileName), theirList);
            QCOMPARE(readAll(dir + kHistoryFileName), theirLog);
            QVERIFY(m_program->read(kTaskListFileName).contains("1,1,mine\r\n"));
        }
    }

    void switchingOnFillsTheWorkingDirectory()
    {
        start();
        QVERIFY(!run([](TfrmPrefs* d) {
            showPage(d, d->tabEditing);
            QVERIFY(!d->edtAltDirPath->isEnabled());
            QVERIFY(!d->btnAltDirPath->isEnabled());
            QVERIFY(d->edtAltDirPath->text().isEmpty());
            const QColor face = d->palette().color(QPalette::Button);
            QCOMPARE(d->edtAltDirPath->palette().color(QPalette::Base), face);
            tickAltPath(d);
            QCOMPARE(d->edtAltDirPath->text(), QDir::currentPath());
            QVERIFY(d->edtAltDirPath->isEnabled());
            QVERIFY(d->edtAltDirPath->isReadOnly());
            QVERIFY(d->btnAltDirPath->isEnabled());
            QCOMPARE(d->edtAltDirPath->palette().color(QPalette::Base), d->palette().color(QPalette::Base));
            press(Qt::Key_U, Qt::AltModifier);
            QTRY_VERIFY(!d->chkUseAltDirPath->isChecked());
            QVERIFY(!d->edtAltDirPath->isEnabled());
            QCOMPARE(d->edtAltDirPath->text(), QDir::currentPath());
        }));
        QVERIFY(!settings().UseAltDirPath);
    }

    // Faults: no folder in the box, or a folder that is gone by the time OK is pressed.
    void unusableAlternateFolder_data()
    {
        QTest::addColumn<QString>("problem");
        QTest::newRow("empty path box") << "empty";
        QTest::newRow("folder gone") << "gone";
    }

    void unusableAlternateFolder()
    {
        QFETCH(QString, problem);
        if (problem == QLatin1String("empty")) {
            // Only a stored folder that was dropped at start leaves the box empty with the path on.
            setSetting(QStringLiteral("UseAltDirPath"), qint32(1));
            setSetting(QStringLiteral("AltDirPath"), QStringLiteral("/no/such/folder/"));
        }
        start();
        auto gone = std::make_unique<QTemporaryDir>();
        const QString goneDir = gone->path() + QLatin1Char('/');
        const bool accepted = run([&](TfrmPrefs* d) {
            showPage(d, d->tabEditing);
            if (problem == QLatin1String("empty")) {
                QVERIFY(d->chkUseAltDirPath->isChecked());
                QVERIFY(d->edtAltDirPath->text().isEmpty());
            } else {
                tickAltPath(d);
                chooseFolder(d, gone->path());
                gone.reset();
            }
            QTest::mouseClick(d->BitBtn1, Qt::LeftButton);
        });
        QVERIFY(!settings().UseAltDirPath);
        QVERIFY(settings().AltDirPath.isEmpty());
        QCOMPARE(m_todo->dataDirectory(), m_program->dir());
        if (problem == QLatin1String("empty")) {
            // Nothing to go to: the alternate path counts as off.
            QVERIFY(accepted);
            QVERIFY(MessageBox::shownTexts().isEmpty());
        } else {
            // Said so, and the dialog stayed open for another choice.
            QVERIFY(!accepted);
            QCOMPARE(MessageBox::shownTexts().size(), 1);
            QVERIFY(MessageBox::shownTexts().first().contains(goneDir));
            QVERIFY(!QFile::exists(goneDir + kTaskListFileName));
        }
    }

    void categories()
    {
        start();
        m_dlg->setCategories({QStringLiteral("Home")});
        run([](TfrmPrefs* d) {
            showPage(d, d->tabCategories);
            auto add = [d](const QString& text) {
                auto done = onNextModal(d, [text](QWidget* w) {
                    auto* dialog = qobject_cast<TfrmAddCategory*>(w);
                    QVERIFY(dialog);
                    QCOMPARE(dialog->windowTitle(), QStringLiteral("Add Task Category"));
                    QVERIFY(dialog->edtCategory->text().isEmpty());
                    QTRY_VERIFY(dialog->edtCategory->hasFocus());
                    QTest::keyClicks(dialog->edtCategory, text);
                    pressOn(dialog->edtCategory, Qt::Key_Return);
                });
                press(Qt::Key_A, Qt::AltModifier);
                QTRY_VERIFY(*done);
                // Without a window manager nothing hands the focus back to the dialog.
                d->activateWindow();
            };
            add(QStringLiteral("work"));
            add(QString());
            add(QStringLiteral("Errands"));
            add(QStringLiteral("work"));
            QStringList shown;
            for (int i = 0; i < d->lstCategory->count(); ++i)
                shown << d->lstCategory->item(i)->text();
            // Exactly as typed, the empty one and the second "work" too.
            QCOMPARE(shown, (QStringList{"", "Errands", "Home", "work", "work"}));

            // Nothing selected: nothing removed.
            d->lstCategory->clearSelection();
            QTest::mouseClick(d->BitBtn4, Qt::LeftButton);
            QCOMPARE(d->lstCategory->count(), 5);
            QTest::mouseClick(d->lstCategory->viewport(), Qt::LeftButton, {},
                              d->lstCategory->visualItemRect(d->lstCategory->item(2)).center());
            press(Qt::Key_R, Qt::AltModifier);
            QTRY_COMPARE(d->lstCategory->count(), 4);
            // Cancel does not undo them.
        });
        QCOMPARE(m_dlg->categories(), (QStringList{"Errands", "work"}));
        // The add/edit dialog offers each name once.
        TfrmAddTask* add = m_app->addTask();
        QTimer::singleShot(0, add, [add] {
            QTRY_VERIFY(add->isVisible());
            QCOMPARE(add->cboCategory->count(), 2);
            add->reject();
        });
        add->execute(false);
        m_app->shutdown();
        // The store holds what the list box showed, entry for entry, and the next start shows it.
        const ConfigStore& store = ConfigStore::shared();
        QCOMPARE(std::get<qint32>(*store.value(kSettingsKey, QStringLiteral("CategoryNum"))), 4);
        QStringList stored;
        for (int n = 0; n < 4; ++n)
            stored << std::get<QString>(*store.value(kSettingsKey, QStringLiteral("Cat%1").arg(n)));
        QCOMPARE(stored, (QStringList{"", "Errands", "work", "work"}));
        m_app.reset();
        // A run that never opens the dialog keeps the list for the next.
        start();
        m_app.reset();
        start();
        m_dlg->buildControls();
        QStringList shown;
        for (int i = 0; i < m_dlg->lstCategory->count(); ++i)
            shown << m_dlg->lstCategory->item(i)->text();
        QCOMPARE(shown, stored);
    }

    // "Remove Category" removes the entry the user chose and leaves nothing selected, so a
    // second press removes nothing more.
    void removeTwiceRemovesOneCategory()
    {
        start();
        m_dlg->setCategories({QStringLiteral("Errands"), QStringLiteral("Home"), QStringLiteral("Work")});
        run([](TfrmPrefs* d) {
            showPage(d, d->tabCategories);
            QTest::mouseClick(d->lstCategory->viewport(), Qt::LeftButton, {},
                              d->lstCategory->visualItemRect(d->lstCategory->item(1)).center());
            press(Qt::Key_R, Qt::AltModifier);
            QTRY_COMPARE(d->lstCategory->count(), 2);
            press(Qt::Key_R, Qt::AltModifier);
            QTest::qWait(300);  // a button pressed by its key clicks a moment later
            QStringList shown;
            for (int i = 0; i < d->lstCategory->count(); ++i)
                shown << d->lstCategory->item(i)->text();
            QCOMPARE(shown, (QStringList{"Errands", "Work"}));
            QVERIFY(d->lstCategory->selectedItems().isEmpty());
            press(Qt::Key_Return);
        });
        QCOMPARE(m_dlg->categories(), (QStringList{"Errands", "Work"}));
    }

    // The folder chooser opens on the place that holds the folder most closely.
    void placeHolding_data()
    {
        QTest::addColumn<QString>("path");
        QTest::addColumn<int>("place");
        QTest::newRow("system folder") << "/etc" << 0;
        QTest::newRow("home itself") << "/home/ann" << 1;
        QTest::newRow("below home") << "/home/ann/letters/" << 1;
        QTest::newRow("a name that only starts alike") << "/home/annex" << 0;
        QTest::newRow("the longer of two volumes") << "/media/usb2/x" << 3;
        QTest::newRow("volume with a trailing slash") << "/media/usb/" << 2;
    }

    void placeHolding()
    {
        QFETCH(QString, path);
        QFETCH(int, place);
        const QList<DrivePlace> places{{"/", "/"}, {"/home/ann", "/home/ann"}, {"/media/usb", "/media/usb"},
                                       {"/media/usb2", "/media/usb2 [STICK]"}};
        QCOMPARE(veltry::placeHolding(places, path), place);
    }

    void accessKeys_data()
    {
        QTest::addColumn<int>("page");
        QTest::addColumn<int>("key");
        QTest::addColumn<QString>("control");
        QTest::addColumn<QString>("setting");
        QTest::newRow("Alt+M start minimized") << 0 << int(Qt::Key_M) << "chkStartMin" << "StartMinimized";
        QTest::newRow("Alt+P save position") << 0 << int(Qt::Key_P) << "chkSavePos" << "SavePosition";
        QTest::newRow("Alt+S save size") << 0 << int(Qt::Key_S) << "chkSaveSize" << "SaveSize";
        QTest::newRow("Alt+L log on startup") << 0 << int(Qt::Key_L) << "chkLogOnStartup" << "LogOnStartup";
        QTest::newRow("Alt+D desktop session") << 0 << int(Qt::Key_D) << "chkAutostart" << "autostart entry";
        QTest::newRow("Alt+O Monday") << 0 << int(Qt::Key_O) << "rdoMonday" << "StartCalMonday";
        QTest::newRow("Alt+C no confirmations") << 1 << int(Qt::Key_C) << "chkNoConfirmations" << "NoConfirmations";
        QTest::newRow("Alt+M move to top") << 1 << int(Qt::Key_M) << "chkFloatEditedTask" << "FloatEditedTask";
        QTest::newRow("Alt+F flyover hints") << 1 << int(Qt::Key_F) << "chkTaskHints" << "TaskHints";
        QTest::newRow("Alt+D day icon") << 1 << int(Qt::Key_D) << "chkShowDayIcon" << "ShowDayIcon";
        QTest::newRow("Alt+S shared") << 1 << int(Qt::Key_S) << "chkNetworkable" << "Networkable";
    }

    // Ctrl+Tab turns the pages from anywhere (here from OK), an access key reaches its option,
    // Enter is OK.
    void accessKeys()
    {
        QFETCH(int, page);
        QFETCH(int, key);
        QFETCH(QString, control);
        QFETCH(QString, setting);
        const bool autostart = setting == QLatin1String("autostart entry");
        const auto isOn = [&] { return autostart ? Autostart::isEnabled() : settingNamed(settings(), setting); };
        start();
        QVERIFY(run([&](TfrmPrefs* d) {
            d->BitBtn1->setFocus();
            for (int i = 0; i < page; ++i)
                pressOn(d->BitBtn1, Qt::Key_Tab, Qt::ControlModifier);
            QCOMPARE(d->PageControl1->currentIndex(), page);
            auto* box = d->findChild<QAbstractButton*>(control);
            QVERIFY(box);
            if (setting == QLatin1String("TaskHints")) {
                // "Change &Font" shares this key: the key moves between the two, Space ticks.
                for (int i = 0; i < 2 && QApplication::focusWidget() != box; ++i)
                    press(Qt::Key(key), Qt::AltModifier);
                QCOMPARE(QApplication::focusWidget(), box);
                QVERIFY(!box->isChecked());
                press(Qt::Key_Space);
            } else {
                press(Qt::Key(key), Qt::AltModifier);
            }
            QTRY_VERIFY(box->isChecked());
            QVERIFY(!isOn());  // nothing before OK
            press(Qt::Key_Return);
        }));
        QVERIFY(isOn());
        if (autostart) {
            QVERIFY(readAll(Autostart::entryPath()).contains(QCoreApplication::applicationFilePath().toUtf8()));
            QVERIFY(Autostart::setEnabled(false, {}));
        }
        if (setting == QLatin1String("ShowDayIcon"))
            QCOMPARE(m_app->form1()->shownDay(), 15);
    }

    // The calendar server dialog through its keys: the fields, the test through the prober the
    // task window gives, the checks at OK, and the values reaching the settings only with the
    // preferences' OK.
    void syncServer_data()
    {
        QTest::addColumn<QString>("url");
        QTest::addColumn<QString>("prober");  // "none", "connects", "fails", "late": answers after the dialog closed
        QTest::addColumn<QString>("testResult");
        QTest::addColumn<bool>("unencrypted");
        QTest::addColumn<QString>("refusal");
        QTest::addColumn<bool>("prefsOk");
        const QString https = QStringLiteral("https://dav.example.org/cal/ann/tasks/");
        QTest::newRow("https, connects, preferences OK applies")
            << https << "connects" << "Connected: Tasks" << false << QString() << true;
        QTest::newRow("http elsewhere, fails, preferences Cancel drops")
            << "http://dav.example.org/tasks/" << "fails" << "Host dav.example.org not found" << true << QString()
            << false;
        QTest::newRow("http on this machine, no prober")
            << "http://127.0.0.1:5232/ann/tasks/" << "none" << "Testing is not available." << false << QString() << true;
        QTest::newRow("closed while testing") << https << "late" << "Testing..." << false << QString() << true;
        QTest::newRow("not an address") << "dav.example.org/tasks" << "none" << "Testing is not available." << false
                                        << "is not a server address" << true;
        QTest::newRow("ftp address") << "ftp://dav.example.org/" << "none" << "Testing is not available." << false
                                     << "is not a server address" << true;
        QTest::newRow("on without an address") << "" << "none" << "Testing is not available." << false
                                               << "Please enter the server address" << true;
    }

    void syncServer()
    {
        QFETCH(QString, url);
        QFETCH(QString, prober);
        QFETCH(QString, testResult);
        QFETCH(bool, unencrypted);
        QFETCH(QString, refusal);
        QFETCH(bool, prefsOk);
        start();
        std::function<void(const QString&, const QString&)> answer;
        QStringList asked;
        m_dlg->setSyncProber(prober == QLatin1String("none")
                                 ? TfrmSyncServer::Prober()
                                 : [&](const QUrl& u, const QString& user, const QString& password,
                                       std::function<void(const QString&, const QString&)> done) {
                                       asked = {u.toString(), user, password};
                                       answer = std::move(done);
                                   });
        bool accepted = false;
        const bool ok = run([&](TfrmPrefs* d) {
            inSyncServer(d, [&](TfrmSyncServer* server) {
                QVERIFY(server->url().isEmpty() && server->password().isEmpty() && !server->enabled());
                typeInto(Qt::Key_A, url);
                typeInto(Qt::Key_U, QStringLiteral("ann"));
                typeInto(Qt::Key_P, QStringLiteral("secret"));
                QCOMPARE(server->edtSyncPassword->echoMode(), QLineEdit::Password);
                press(Qt::Key_K, Qt::AltModifier);
                QTRY_VERIFY(server->chkSyncEnabled->isChecked());
                QVERIFY(server->lblPasswordNote->text().contains(kNoKeyringNote));
                QCOMPARE(server->lblPasswordNote->text().contains(kUnencryptedNote), unencrypted);

                press(Qt::Key_T, Qt::AltModifier);
                QTRY_VERIFY(!server->lblTestResult->text().isEmpty());
                if (answer) {
                    QCOMPARE(asked, QStringList({url, "ann", "secret"}));
                    QCOMPARE(server->lblTestResult->text(), QStringLiteral("Testing..."));
                    QVERIFY(!server->btnTestConnection->isEnabled());
                    if (prober == QLatin1String("connects"))
                        answer(QString(), QStringLiteral("Tasks"));
                    else if (prober == QLatin1String("fails"))
                        answer(QStringLiteral("Host dav.example.org not found"), QString());
                }
                QCOMPARE(server->lblTestResult->text(), testResult);
                if (prober == QLatin1String("late")) {
                    press(Qt::Key_Escape);
                    QVERIFY(!server->isVisible());
                    return;
                }
                QVERIFY(server->btnTestConnection->isEnabled());

                MessageBox::clearShownTexts();
                press(Qt::Key_Return);
                if (refusal.isEmpty()) {
                    QVERIFY(MessageBox::shownTexts().isEmpty());
                    QVERIFY(!server->isVisible());
                    accepted = true;
                    return;
                }
                QCOMPARE(MessageBox::shownTexts().size(), 1);
                QVERIFY2(MessageBox::shownTexts().first().contains(refusal), qPrintable(MessageBox::shownTexts().first()));
                QVERIFY(server->isVisible());
                QCOMPARE(QApplication::focusWidget(), server->edtSyncUrl);
                press(Qt::Key_Escape);
            });
            if (prober == QLatin1String("late") && answer)
                answer(QString(), QStringLiteral("Tasks"));  // the dialog is gone: nothing may break
            QVERIFY(settings().SyncUrl.isEmpty() && !settings().SyncEnabled);  // nothing before OK
            press(prefsOk ? Qt::Key_Return : Qt::Key_Escape);
        });
        QCOMPARE(ok, prefsOk);
        const bool applied = accepted && prefsOk;
        QCOMPARE(settings().SyncUrl, applied ? url : QString());
        QCOMPARE(settings().SyncUser, applied ? QStringLiteral("ann") : QString());
        QCOMPARE(settings().SyncEnabled, applied);
        if (applied)
            QTRY_COMPARE(storedPassword(), QStringLiteral("secret"));
        else
            QVERIFY(storedPassword().isEmpty());
        m_dlg->setSyncProber({});
    }

    // Without a keyring the password is kept in the settings file, which is then readable by
    // the user alone, also after later saves; the dialog reads it back and says where it is.
    void passwordWithoutKeyring()
    {
        QVERIFY(ConfigStore::shared().save());
        QVERIFY(QFile::setPermissions(ConfigStore::shared().filePath(),
                                      QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup | QFile::ReadOther));
        start();
        const QFile::Permissions privateMode = QFile::ReadOwner | QFile::WriteOwner;
        auto fill = [&](const QString& password, const QString& expectShown) {
            QVERIFY(run([&](TfrmPrefs* d) {
                inSyncServer(d, [&](TfrmSyncServer* server) {
                    QCOMPARE(server->password(), expectShown);
                    QCOMPARE(server->lblPasswordNote->text(), kNoKeyringNote);
                    typeInto(Qt::Key_A, QStringLiteral("https://dav.example.org/tasks/"));
                    typeInto(Qt::Key_P, password);
                    press(Qt::Key_Return);
                });
                press(Qt::Key_Return);
            }));
        };
        fill(QStringLiteral("s3cret \"quoted\""), QString());
        QTRY_COMPARE(storedPassword(), QStringLiteral("s3cret \"quoted\""));
        QCOMPARE(settingsFileMode(), privateMode);
        QVERIFY(readAll(ConfigStore::shared().filePath()).contains("SyncPassword"));

        // A later save of the settings, and one by a store that knows nothing of the password.
        setSetting(QStringLiteral("ShowNotes"), qint32(1));
        QVERIFY(ConfigStore::shared().save());
        QCOMPARE(settingsFileMode(), privateMode);
        ConfigStore other(ConfigStore::shared().filePath());
        other.setValue(kSettingsKey, QStringLiteral("ShowNotes"), qint32(0));
        QVERIFY(other.save());
        QCOMPARE(settingsFileMode(), privateMode);

        // Read back when the dialog comes up again; an emptied password leaves the file.
        fill(QString(), QStringLiteral("s3cret \"quoted\""));
        QTRY_VERIFY(!ConfigStore::shared().value(kSettingsKey, QStringLiteral("SyncPassword")));
        QVERIFY(!readAll(ConfigStore::shared().filePath()).contains("SyncPassword"));
    }

    void tabReachesEveryControl_data()
    {
        QTest::addColumn<int>("page");
        QTest::addColumn<QStringList>("controls");
        QTest::newRow("General") << 0
                                 << QStringList{"chkStartMin", "chkSavePos", "chkSaveSize", "chkLogOnStartup", "chkAutostart", "rdoSunday",
                                                "clOne", "clTwo", "clThree", "clElse", "BitBtn5", "BitBtn1", "btnCancel"};
        QTest::newRow("Editing") << 1
                                 << QStringList{"chkNoConfirmations", "chkFloatEditedTask", "chkTaskHints", "chkShowDayIcon",
                                                "chkNetworkable", "chkUseAltDirPath", "edtAltDirPath", "btnAltDirPath",
                                                "btnSyncServer", "BitBtn2", "edtGridFont", "BitBtn1", "btnCancel"};
        QTest::newRow("Categories") << 2
                                    << QStringList{"lstCategory", "BitBtn3", "BitBtn4", "chkDueDate", "chkDueTime",
                                                   "chkCategory", "chkPriority", "BitBtn1", "btnCancel"};
    }

    void tabReachesEveryControl()
    {
        QFETCH(int, page);
        QFETCH(QStringList, controls);
        setSetting(QStringLiteral("UseAltDirPath"), qint32(1));
        setSetting(QStringLiteral("AltDirPath"), m_program->dir());
        start();
        run([&](TfrmPrefs* d) {
            d->PageControl1->setCurrentIndex(page);
            d->PageControl1->tabBar()->setFocus();
            QStringList reached;
            for (int i = 0; i < 30; ++i) {
                press(Qt::Key_Tab);
                reached << QApplication::focusWidget()->objectName();
            }
            for (const QString& name : controls)
                QVERIFY2(reached.contains(name), qPrintable(name));
        });
    }
};

QTEST_MAIN(TestPrefs)
#include "wtst_prefs.moc"
