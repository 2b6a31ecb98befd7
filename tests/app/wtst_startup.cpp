#include "ProgramFolder.h"
#include "TestEnv.h"
#include "app/HelpViewer.h"
#include "app/VeltryApp.h"
#include "app/fToDo.h"
#include "history/fHistory.h"
#include "history/core/TaskLog.h"
#include "platform/core/DataPaths.h"
#include "platform/MessageBox.h"
#include "platform/core/ConfigStore.h"
#include "store/core/SharedFileLock.h"
#include "store/core/Task.h"
#include "sync/TaskListSync.h"
#include "widgets/GradCap.h"
#include "widgets/TextGrid.h"

#include <QApplication>
#include <QDateTime>
#include <QDialog>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QScreen>
#include <QSignalSpy>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTest>
#include <QTimer>

using namespace veltry;
using namespace veltry::test;

class TestStartup : public QObject
{
    Q_OBJECT

    std::unique_ptr<ProgramFolder> m_program;

private Q_SLOTS:
    void init() { m_program = std::make_unique<ProgramFolder>(); }

    void firstRunCreatesTheListAtOnce()
    {
        VeltryApp app;
        app.start();
        QCOMPARE(m_program->read(kTaskListFileName), taskListHeader(2));
        TfrmToDo* todo = app.toDo();
        QVERIFY(todo->isVisible());
        QCOMPARE(todo->windowTitle(), QStringLiteral("Veltry Professional"));
        // The title comes from the caption bar's parts: the bold name, then its own small font.
        const TGradientCaption* bar = todo->GradCaption;
        QCOMPARE(bar->AppNameText().Caption(), QStringLiteral("Veltry"));
        QCOMPARE(bar->AppNameText().FontKind(), TFontKind::fkSystemB);
        QCOMPARE(bar->CaptionText().Caption(), QStringLiteral("Professional"));
        QCOMPARE(bar->CaptionText().FontKind(), TFontKind::fkCustom);
        QCOMPARE(bar->CaptionText().Font().pixelSize(), 11);
        QCOMPARE(bar->CompanyText().FontKind(), TFontKind::fkSystemBI);
        QCOMPARE(bar->frameButtons(), QList<TGradientCaption::TFrameButton>{TGradientCaption::TFrameButton::Close});
        QCOMPARE(bar->NumColors(), 64);
        QCOMPARE(todo->statusPanels[0]->text(), QStringLiteral("Tasks: 0"));
        QCOMPARE(todo->statusPanels[1]->text(), QStringLiteral("Alarms: ON"));
        QCOMPARE(todo->TaskGrid->ColCount(), 6);  // columns 6..11 always hidden
        for (int c = 6; c <= 11; ++c)
            QVERIFY(todo->TaskGrid->IsHiddenColumn(c));
        QVERIFY(todo->Timer1->isActive());
        QCOMPARE(todo->Timer1->interval(), 1);
        QVERIFY(MessageBox::shownTexts().isEmpty());
        app.shutdown();
        // Every "always" value reached the store.
        ConfigStore reread(ConfigStore::shared().filePath());
        QCOMPARE(std::get<qint32>(*reread.value(kSettingsKey, QStringLiteral("VisibleTasks"))), 8);
        QCOMPARE(std::get<qint32>(*reread.value(kSettingsKey, QStringLiteral("PKey"))), 5);
        QVERIFY(!reread.value(kSettingsKey, QStringLiteral("Left")));
    }

    void loadsListHidesColumnsAttachesPictures()
    {
        QVERIFY(m_program->write(kTaskListFileName,
                                 taskListHeader(3)
                                     + "0,1, \r\n1,1,done one\r\n6,1,note\r\n5,1,\xA0\r\n1,2,open one\r\n5,2,2\r\n"));
        ConfigStore::shared().setValue(kSettingsKey, QStringLiteral("Col3Hidden"), qint32(1));
        VeltryApp app;
        app.start();
        TTextGrid* g = app.toDo()->TaskGrid;
        QCOMPARE(app.toDo()->statusPanels[0]->text(), QStringLiteral("Tasks: 2"));
        QVERIFY(g->IsHiddenColumn(3));
        QVERIFY(!g->IsHiddenColumn(2));
        QCOMPARE(g->ColCount(), 5);
        QCOMPARE(g->Cells(TaskCol::Priority, 1), QString(QChar(0xA0)));
        const TCellGraphic* mark = g->cellStore().cellImage(TaskCol::Mark, 1);
        QVERIFY(mark && mark->index == 0 && mark->horizontal == 0 && mark->vertical == 0);
        const TCellGraphic* notes = g->cellStore().cellImage(TaskCol::Task, 1);
        QVERIFY(notes && notes->index == 1 && notes->horizontal == 1 && notes->vertical == 0);
        QVERIFY(!g->cellStore().cellImage(TaskCol::Mark, 2));
        app.shutdown();
        ConfigStore reread(ConfigStore::shared().filePath());
        QCOMPARE(std::get<qint32>(*reread.value(kSettingsKey, QStringLiteral("Col3Hidden"))), 1);
    }

    // A damaged list, history or settings file is copied aside untouched and the user is told;
    // the start goes on with what was read, without blank rows past it, and what is saved at
    // exit keeps its titles. A whole file of the older edition loads silently.
    void damagedListIsKeptAside_data()
    {
        QTest::addColumn<QString>("file");
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("message");  // the start of the one message; empty: none
        QTest::addColumn<QString>("count");
        QTest::addColumn<QString>("first");  // cell (1, 1) of the grid the file fills

        const QString list = kTaskListFileName;
        QTest::newRow("older edition, whole")
            << list << QByteArray(taskListHeader(3) + "1,1,Caf\xE9\r\n5,1,\xA0\r\n1,2,b\r\n\x1A") << QString()
            << "Tasks: 2" << "Caf\u00e9";
        QTest::newRow("bad number") << list << QByteArray(taskListHeader(3) + "1,1,kept\r\nx,2,bad\r\n1,2,lost\r\n")
                                    << "'x' is not a valid integer value" << "Tasks: 1" << "kept";
        QTest::newRow("ctrl-z mid-file") << list << QByteArray(taskListHeader(4) + "1,1,kept\r\n\x1A" "1,2,lost\r\n")
                                         << "Line 13 of the file holds an end-of-file mark (Ctrl-Z)" << "Tasks: 1" << "kept";
        QTest::newRow("long list cut short")
            << list << QByteArray(taskListHeader(100001) + "1,1,kept\r\n1,2,second\r\n1,3,thi")
            << "The file ends in the middle of line 14" << "Tasks: 2" << "kept";
        QTest::newRow("cut within the titles") << list << QByteArray("12,100001\r\n1,0,Task\r\n2,0,Du")
                                               << "The file ends in the middle of line 3" << "Tasks: 0" << "";
        QTest::newRow("not utf-8 after the mark")
            << list << QByteArray("\xEF\xBB\xBF" + taskListHeader(3) + "1,1,Caf\xC3\xA9\r\n1,2,Caf\xE9\r\n5,2,\xA0\r\n")
            << "Line 13 of the file is not valid UTF-8 text" << "Tasks: 1" << "Caf\u00e9";
        QTest::newRow("a cell far beyond the declared rows")
            << list << QByteArray(taskListHeader(3) + "1,1,Alpha\r\n1,4999999,far\r\n1,2,b\r\n")
            << "Line 13 of the file names row 4999999, far beyond the 3 rows" << "Tasks: 2" << "Alpha";
        QTest::newRow("history cut short") << QString(kHistoryFileName)
                                           << QByteArray("7,3\r\n1,0,Task\r\n1,1,logged\r\n1,2,cu")
                                           << "The file ends in the middle of line 4" << "Tasks: 0" << "logged";
        QTest::newRow("settings not utf-8")
            << "registry.reg"
            << QByteArray("[HKEY_LOCAL_MACHINE\\SOFTWARE\\Veltry Pro]\n\"AltDirPath\"=\"/caf\xE9/\"\n")
            << "The settings file" << "Tasks: 0" << "";
    }
    void damagedListIsKeptAside()
    {
        QFETCH(QString, file);
        QFETCH(QByteArray, bytes);
        QFETCH(QString, message);
        QFETCH(QString, count);
        QFETCH(QString, first);
        const bool settings = file == QLatin1String("registry.reg");
        const QString path = settings ? ConfigStore::shared().filePath() : m_program->filePath(file);
        QVERIFY(writeAll(path, bytes));
        if (settings)
            ConfigStore::shared().reload();
        const QFileInfo info(path);
        auto copies = [&] {
            return QDir(info.absolutePath())
                .entryList({info.completeBaseName() + QStringLiteral("-unreadable-*.") + info.suffix()});
        };

        VeltryApp app;
        app.start();
        const QStringList shown = MessageBox::shownTexts();
        QCOMPARE(app.toDo()->statusPanels[0]->text(), count);
        TTextGrid* grid = file == kHistoryFileName ? app.history()->TaskHistoryGrid : app.toDo()->TaskGrid;
        QCOMPARE(grid->Cells(1, 1), first);
        QVERIFY(app.toDo()->Timer1->isActive());  // the start-up went on
        if (message.isEmpty()) {
            QVERIFY(shown.isEmpty());
            QVERIFY(copies().isEmpty());
            app.shutdown();
            QVERIFY(m_program->read(kTaskListFileName).contains("1,1,Caf\xE9\r\n5,1,\xA0\r\n"));
            return;
        }
        QCOMPARE(shown.size(), 1);
        QVERIFY2(shown.first().startsWith(message), qPrintable(shown.first()));
        QCOMPARE(copies().size(), 1);
        const QString copy = info.absolutePath() + QLatin1Char('/') + copies().first();
        QVERIFY(shown.first().contains(copy));
        QCOMPARE(readAll(copy), bytes);
        app.shutdown();
        QCOMPARE(readAll(copy), bytes);
        QVERIFY(readAll(path) != bytes);  // written back, from what was read
        if (!settings)
            QVERIFY(readAll(path).contains(file == kHistoryFileName ? QByteArray("1,0,Task\r\n") : kTaskTitleLines));
        QFile::remove(copy);
    }

    // A save killed between writing its temporary file and renaming it leaves the temporary
    // file; the next start removes such files of the program's own saves and nothing else. In
    // a shared folder a fresh one may be another copy's save under way, and stays.
    void saveLeftoversAreRemovedAtStart_data()
    {
        QTest::addColumn<bool>("shared");
        QTest::newRow("own folder") << false;
        QTest::newRow("shared folder") << true;
    }
    void saveLeftoversAreRemovedAtStart()
    {
        QFETCH(bool, shared);
        if (shared)
            ConfigStore::shared().setValue(kSettingsKey, QStringLiteral("Networkable"), qint32(1));
        QDir().mkpath(DataPaths::userDataDirectory());
        auto make = [](const QString& path, bool old) {
            QFile f(path);
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write("partial");
            f.flush();
            if (old)
                QVERIFY(f.setFileTime(QDateTime::currentDateTime().addSecs(-3600), QFileDevice::FileModificationTime));
        };
        const QStringList leftovers{m_program->filePath(QStringLiteral("veltlist.vlp.Ab3dE9")),
                                    m_program->filePath(QStringLiteral("veltlog.vlp.x1Y2z3")),
                                    DataPaths::configDirectory() + QStringLiteral("registry.reg.QwErTy"),
                                    DataPaths::userDataDirectory() + QStringLiteral("sync-state.dat.000000")};
        const QString fresh = m_program->filePath(QStringLiteral("veltlist.vlp.Zz9Yy8"));
        const QStringList others{m_program->filePath(QStringLiteral("veltlist.vlp.bak")),
                                 m_program->filePath(QStringLiteral("veltlist.vlp.Ab3dE9x")),
                                 m_program->filePath(QStringLiteral("veltlist.vlp.Ab-dE9")),
                                 m_program->filePath(QStringLiteral("notes.vlp.Ab3dE9"))};
        for (const QString& path : leftovers + others)
            make(path, true);
        make(fresh, false);

        VeltryApp app;
        app.start();
        for (const QString& path : leftovers)
            QVERIFY2(!QFile::exists(path), qPrintable(path));
        for (const QString& path : others)
            QVERIFY2(QFile::exists(path), qPrintable(path));
        QCOMPARE(QFile::exists(fresh), shared);
        app.shutdown();
        for (const QString& path : others + leftovers + QStringList{fresh})
            QFile::remove(path);
    }

    void failedSaveIsReportedAndListKept()
    {
        VeltryApp app;
        app.start();
        TfrmToDo* todo = app.toDo();
        todo->TaskGrid->setCells(TaskCol::Task, 1, QStringLiteral("precious"));
        QVERIFY(todo->waitForSaves());  // the new list's first save
        QVERIFY(QFile::remove(m_program->filePath(kTaskListFileName)));
        QVERIFY(QDir(m_program->dir()).mkdir(kTaskListFileName));  // the save cannot replace a folder
        todo->SaveTaskList();
        QVERIFY(!todo->waitForSaves());
        QCOMPARE(MessageBox::shownTexts().size(), 1);
        QVERIFY(MessageBox::shownTexts().first().contains(m_program->filePath(kTaskListFileName)));
        QCOMPARE(todo->TaskGrid->Cells(TaskCol::Task, 1), QStringLiteral("precious"));
        QDir(m_program->filePath(kTaskListFileName)).removeRecursively();
        app.shutdown();
        QVERIFY(m_program->read(kTaskListFileName).contains("1,1,precious\r\n"));
    }

    // At the end there is no later save: both lists go to files of their own, named in the
    // messages, and nothing is lost.
    void failedSaveAtExitWritesUnsavedCopies()
    {
        VeltryApp app;
        app.start();
        app.toDo()->TaskGrid->setCells(TaskCol::Task, 1, QStringLiteral("precious"));
        app.toDo()->LogTasks();
        app.history()->TaskHistoryGrid->setCells(HistCol::Task, 1, QStringLiteral("logged"));
        QVERIFY(QFile::remove(m_program->filePath(kTaskListFileName)));
        for (const QString& name : {kTaskListFileName, kHistoryFileName})
            QVERIFY(QDir(m_program->dir()).mkdir(name));  // a save cannot replace a folder
        MessageBox::clearShownTexts();
        app.shutdown();
        const QStringList shown = MessageBox::shownTexts();
        QCOMPARE(shown.size(), 2);
        QDir userData(DataPaths::userDataDirectory());
        const QStringList lists = userData.entryList({QStringLiteral("veltlist-unsaved-*.vlp")});
        const QStringList logs = userData.entryList({QStringLiteral("veltlog-unsaved-*.vlp")});
        QCOMPARE(lists.size(), 1);
        QCOMPARE(logs.size(), 1);
        QVERIFY(shown.at(0).contains(userData.filePath(lists.first())));
        QVERIFY(shown.at(1).contains(userData.filePath(logs.first())));
        QVERIFY(readAll(userData.filePath(lists.first())).contains("1,1,precious\r\n"));
        QVERIFY(readAll(userData.filePath(logs.first())).contains("1,1,logged\r\n"));
        for (const QString& f : lists + logs)
            QVERIFY(userData.remove(f));
    }

    // A program folder that cannot be written is left for the user's data folder, which starts
    // from copies of the lists found there, once, with a word to the user.
    void readOnlyProgramFolderListsAreCopiedOnce()
    {
        QVERIFY(m_program->write(kTaskListFileName, taskListHeader(2) + "1,1,old task\r\n"));
        QVERIFY(m_program->write(kHistoryFileName, "7,2\r\n1,1,old entry\r\n"));
        DataPaths::setProgramDirectoryOverride(m_program->path(), true);
        QDir userData(DataPaths::userDataDirectory());
        QCOMPARE(DataPaths::programDirectory(), userData.path() + QLatin1Char('/'));
        for (int run = 0; run < 2; ++run) {
            MessageBox::clearShownTexts();
            VeltryApp app;
            app.start();
            QCOMPARE(app.history()->TaskHistoryGrid->Cells(HistCol::Task, 1), QStringLiteral("old entry"));
            if (run == 0) {
                QCOMPARE(app.toDo()->TaskGrid->Cells(TaskCol::Task, 1), QStringLiteral("old task"));
                QCOMPARE(MessageBox::shownTexts().size(), 1);
                QVERIFY(MessageBox::shownTexts().first().contains(userData.path()));
                app.toDo()->TaskGrid->setCells(TaskCol::Task, 1, QStringLiteral("changed here"));
                app.toDo()->SaveTaskList();
            } else {
                QVERIFY(MessageBox::shownTexts().isEmpty());
                QCOMPARE(app.toDo()->TaskGrid->Cells(TaskCol::Task, 1), QStringLiteral("changed here"));
            }
            app.shutdown();
        }
        QVERIFY(m_program->read(kTaskListFileName).contains("old task"));
        for (const QString& name : {kTaskListFileName, kHistoryFileName})
            QVERIFY(userData.remove(name));
    }

    void sharedListReloadsOtherCopiesWrites()
    {
        ConfigStore::shared().setValue(kSettingsKey, QStringLiteral("Networkable"), qint32(1));
        VeltryApp app;
        app.start();
        TfrmToDo* todo = app.toDo();
        // Our own save is not reloaded.
        todo->TaskGrid->setCells(TaskCol::Task, 1, QStringLiteral("mine"));
        todo->SaveTaskList();
        todo->RecordFileTimes();
        todo->TaskGrid->setCells(TaskCol::Category, 1, QStringLiteral("unsaved"));
        todo->Timer1Timer();
        todo->waitForSaves();
        QCOMPARE(todo->TaskGrid->Cells(TaskCol::Category, 1), QStringLiteral("unsaved"));
        // Another copy's write is, also with an unchanged time. It is merged: that copy dropped
        // our task, but the change we have not saved yet keeps it.
        const QString listPath = m_program->filePath(kTaskListFileName);
        const QDateTime oldTime = QFileInfo(listPath).lastModified();
        {
            QFile f(listPath);
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write(taskListHeader(3) + "0,1, \r\n1,1,theirs\r\n1,2,second\r\n6,2,n\r\n");
            f.flush();
            f.setFileTime(oldTime, QFileDevice::FileModificationTime);
        }
        todo->Timer1Timer();
        todo->waitForSaves();
        QCOMPARE(todo->TaskGrid->RowCount(), 4);
        QCOMPARE(todo->TaskGrid->Cells(TaskCol::Task, 1), QStringLiteral("theirs"));
        QVERIFY(todo->TaskGrid->Cells(TaskCol::Category, 1).isEmpty());
        QCOMPARE(todo->TaskGrid->Cells(TaskCol::Task, 3), QStringLiteral("mine"));
        QCOMPARE(todo->TaskGrid->Cells(TaskCol::Category, 3), QStringLiteral("unsaved"));
        QVERIFY(todo->TaskGrid->IsHiddenColumn(6));
        QVERIFY(todo->TaskGrid->cellStore().cellImage(TaskCol::Mark, 1));
        QVERIFY(todo->TaskGrid->cellStore().cellImage(TaskCol::Task, 2));
        QCOMPARE(todo->statusPanels[0]->text(), QStringLiteral("Tasks: 3"));

        // A history written by another copy is reloaded too.
        QVERIFY(m_program->write(kHistoryFileName, "7,2\r\n1,1,logged elsewhere\r\n"));
        todo->Timer1Timer();
        todo->waitForSaves();
        QCOMPARE(app.history()->TaskHistoryGrid->Cells(1, 1), QStringLiteral("logged elsewhere"));

        // A half-written file from another copy leaves our list alone.
        QVERIFY(writeAll(listPath, QByteArray("12,3\r\n1,1,partial\r\nbroken")));
        todo->Timer1Timer();
        todo->waitForSaves();
        QCOMPARE(todo->TaskGrid->Cells(TaskCol::Task, 1), QStringLiteral("theirs"));
        MessageBox::clearShownTexts();
        app.shutdown();
    }

    void sharedSaveWaitsForTheLock()
    {
        ConfigStore::shared().setValue(kSettingsKey, QStringLiteral("Networkable"), qint32(1));
        QVERIFY(m_program->write(kTaskListFileName, taskListHeader(2) + "1,1,Seed\r\n5,1,\xA0\r\n"));
        VeltryApp app;
        app.start();
        TfrmToDo* todo = app.toDo();
        todo->setSharedWaitNoticeMs(500);
        // Another copy saves (a live process on this machine: its lock is never taken over).
        shared::SharedFileLock other(m_program->filePath(QStringLiteral("veltlist.lock")));
        QVERIFY(other.tryLock());
        todo->TaskGrid->setCells(TaskCol::Task, 1, QStringLiteral("changed"));
        QVERIFY(todo->SaveTaskList());
        QVERIFY(!m_program->read(kTaskListFileName).contains("changed"));
        // The window goes on meanwhile, and after a while says what the save waits for.
        QTRY_VERIFY_WITH_TIMEOUT(todo->statusPanels[2]->text().startsWith(QStringLiteral("Waiting to save")), 5000);
        QVERIFY(todo->statusPanels[2]->text().contains(QString::number(QCoreApplication::applicationPid())));
        QCOMPARE(todo->statusPanels[2]->toolTip(), todo->statusPanels[2]->text());  // in full, however narrow
        QVERIFY(!m_program->read(kTaskListFileName).contains("changed"));
        other.unlock();
        QTRY_VERIFY_WITH_TIMEOUT(m_program->read(kTaskListFileName).contains("1,1,changed\r\n"), 3000);
        todo->waitForSaves();
        QVERIFY(!todo->statusPanels[2]->text().startsWith(QStringLiteral("Waiting to save")));
        QVERIFY(MessageBox::shownTexts().isEmpty());
        app.shutdown();
        QVERIFY(!QFile::exists(m_program->filePath(QStringLiteral("veltlist.lock"))));
    }

    void narrowerReloadShowsTheTaskColumns_data()
    {
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<QList<int>>("hidden");  // optional columns switched off
        QTest::newRow("7 columns, 3 and 4 hidden") << QByteArray("7,3\r\n1,1,theirs\r\n5,1,2\r\n6,2,n\r\n1,2,more\r\n")
                                                  << QList<int>{3, 4};
        QTest::newRow("2 columns, none hidden") << QByteArray("2,3\r\n1,1,theirs\r\n1,2,more\r\n") << QList<int>{};
    }

    // Another copy's list with fewer columns keeps the hidden columns hidden and the others shown.
    void narrowerReloadShowsTheTaskColumns()
    {
        QFETCH(QByteArray, file);
        QFETCH(QList<int>, hidden);
        ConfigStore::shared().setValue(kSettingsKey, QStringLiteral("Networkable"), qint32(1));
        for (int c : hidden)
            ConfigStore::shared().setValue(kSettingsKey, QStringLiteral("Col%1Hidden").arg(c), qint32(1));
        VeltryApp app;
        app.start();
        TTextGrid* g = app.toDo()->TaskGrid;
        QVERIFY(m_program->write(kTaskListFileName, file));
        app.toDo()->Timer1Timer();
        app.toDo()->waitForSaves();
        QCOMPARE(g->Cells(TaskCol::Task, 1), QStringLiteral("theirs"));
        QCOMPARE(g->ColCount(), 6 - int(hidden.size()));
        int k = 0;
        for (int c = 0; c < TaskCol::Count; ++c) {
            const bool shown = c < 2 || (c <= 5 && !hidden.contains(c));
            QCOMPARE(g->IsHiddenColumn(c), !shown);
            if (shown)
                QCOMPARE(g->DisplayToRealColumn(k++), c);
        }
        QCOMPARE(g->cellLayout(1, 1).lines.first(), QStringLiteral("theirs"));
        app.shutdown();
        QVERIFY(m_program->read(kTaskListFileName).startsWith("12,3\r\n"));
    }

    // Every window opens wholly on its screen: the task window at its designed place and the
    // windows opened from it. Also run on a 1280 x 900 screen at 100, 150 and 200 %.
    void windowsOpenOnTheScreen()
    {
        QVERIFY(m_program->write(kTaskListFileName, taskListHeader(2) + "1,1,one\r\n5,1,1\r\n"));
        VeltryApp app;
        app.start();
        TfrmToDo* todo = app.toDo();
        QVERIFY(QTest::qWaitForWindowExposed(todo));
        QStringList offScreen;
        auto check = [&](QWidget* w) {
            const QRect area = w->screen()->availableGeometry();
            if (!area.contains(w->frameGeometry()))
                offScreen << QStringLiteral("%1 at %2,%3 %4x%5 on %6x%7")
                                 .arg(w->objectName()).arg(w->frameGeometry().x()).arg(w->frameGeometry().y())
                                 .arg(w->frameGeometry().width()).arg(w->frameGeometry().height())
                                 .arg(area.width()).arg(area.height());
        };
        check(todo);
        QStringList opened;
        QTimer poll;
        poll.setInterval(5);
        connect(&poll, &QTimer::timeout, this, [&] {
            QWidget* w = QApplication::activeModalWidget();
            if (!w || !w->isVisible())
                return;
            opened << w->objectName();
            check(w);
            if (auto* dialog = qobject_cast<QDialog*>(w))
                dialog->reject();
            else
                w->close();
        });
        poll.start();
        todo->ShowPreferences();
        todo->ViewHistory(true);
        todo->mnuHelpAboutClick();
        todo->btnAdvSortClick();
        todo->btnFindClick();
        todo->btnAddClick();
        todo->PrintTaskList(false);
        poll.stop();
        QCOMPARE(opened.size(), 7);
        check(todo->showHelp());
        QVERIFY2(offScreen.isEmpty(), qPrintable(offScreen.join(QStringLiteral("; "))));
        app.shutdown();
    }

    // Settings that would put the window or the tasks out of reach: the window lies wholly on
    // its screen, every column shows a few characters, every task stands out from the grid.
    void settingsOutOfReach_data()
    {
        QTest::addColumn<QList<qint32>>("frame");  // Left, Top, ListWidth, ListHeight; none when empty
        QTest::addColumn<bool>("zeroWidths");
        QTest::addColumn<qint32>("clTwo");
        QTest::newRow("huge size at its place") << QList<qint32>{200, 150, 100000, 100000} << false << qint32(32768);
        QTest::newRow("far right and down, low") << QList<qint32>{0x7fffffff, 0x7fffffff, 407, 60} << false << qint32(32768);
        QTest::newRow("far up and left") << QList<qint32>{-100000, -100000, 407, 264} << false << qint32(32768);
        QTest::newRow("column widths 0") << QList<qint32>{} << true << qint32(32768);
        QTest::newRow("priority colour of the background") << QList<qint32>{} << false << qint32(0xffffffff);
        QTest::newRow("priority colour near the background") << QList<qint32>{} << false << qint32(0x00f0ffff);
    }
    void settingsOutOfReach()
    {
        QFETCH(QList<qint32>, frame);
        QFETCH(bool, zeroWidths);
        QFETCH(qint32, clTwo);
        QVERIFY(m_program->write(kTaskListFileName, taskListHeader(3) + "1,1,urgent\r\n5,1,1\r\n1,2,normal\r\n5,2,2\r\n"));
        ConfigStore& store = ConfigStore::shared();
        if (!frame.isEmpty()) {
            store.setValue(kSettingsKey, QStringLiteral("SavePosition"), qint32(1));
            store.setValue(kSettingsKey, QStringLiteral("SaveSize"), qint32(1));
            store.setValue(kSettingsKey, QStringLiteral("Left"), frame[0]);
            store.setValue(kSettingsKey, QStringLiteral("Top"), frame[1]);
            store.setValue(kSettingsKey, QStringLiteral("ListWidth"), frame[2]);
            store.setValue(kSettingsKey, QStringLiteral("ListHeight"), frame[3]);
        }
        if (zeroWidths)
            for (int k = 0; k < 12; ++k)
                store.setValue(QStringLiteral("HKEY_CURRENT_USER\\ HKEY_LOCAL_MACHINE\\SOFTWARE\\Veltry\\ColumnSize"),
                               QStringLiteral("col%1").arg(k), QStringLiteral("0"));
        store.setValue(kSettingsKey, QStringLiteral("clTwo"), clTwo);
        VeltryApp app;
        app.start();
        TfrmToDo* todo = app.toDo();
        QVERIFY(QTest::qWaitForWindowExposed(todo));
        const QRect area = todo->screen()->availableGeometry();
        QVERIFY2(area.contains(todo->frameGeometry()),
                 qPrintable(QStringLiteral("%1,%2 %3x%4").arg(todo->x()).arg(todo->y()).arg(todo->width()).arg(todo->height())));
        TTextGrid* g = todo->TaskGrid;
        // The rows are within the window, so within the screen.
        QVERIFY(g->viewport()->height() > 0);
        const int fewCharacters = g->fontMetrics().horizontalAdvance(QStringLiteral("ab"));
        for (int k = 0; k < g->ColCount(); ++k)
            QVERIFY2(g->ColWidth(k) >= fewCharacters, qPrintable(QStringLiteral("column %1: %2 px").arg(k).arg(g->ColWidth(k))));
        const QColor background = g->palette().color(QPalette::Base);
        for (int row : {1, 2}) {
            TCellFont font;
            QColor brush;
            todo->TaskGridGetCellColor(row, 1, 0, brush, font);
            QVERIFY(font.Color != background);
            if (row == 1)
                QCOMPARE(font.Color, QColor(255, 0, 0));  // a readable colour stays
            else if (clTwo != 32768)
                QCOMPARE(font.Color, g->palette().color(QPalette::Text));
        }
        app.shutdown();
    }

    // The calendar sync beside the window: a server's error holds nothing up until someone
    // clicks, and the changes are tried again on the usual schedule.
    void syncServerErrorIsRetriedWithoutAClick()
    {
        QTcpServer server;  // answers every request with 500
        QVERIFY(server.listen(QHostAddress::LocalHost));
        int requests = 0;
        connect(&server, &QTcpServer::newConnection, this, [&] {
            QTcpSocket* s = server.nextPendingConnection();
            ++requests;
            connect(s, &QTcpSocket::readyRead, s, [s] {
                s->readAll();
                s->write("HTTP/1.1 500 Internal Server Error\r\nContent-Length: 0\r\nConnection: close\r\n\r\n");
                s->disconnectFromHost();
            });
        });
        QWidget window;
        auto* link = new sync::TaskListSync({[] { return std::vector<sync::TaskRow>(1); },
                                             [] { return !QApplication::activeModalWidget(); },
                                             [](const std::vector<sync::TaskRow>&, const std::function<void(bool)>& done) {
                                                 done(true);
                                             }},
                                            &window);
        QSignalSpy status(link, &sync::TaskListSync::statusChanged);
        link->configure(QStringLiteral("http://127.0.0.1:%1/cal/").arg(server.serverPort()), QStringLiteral("me"), true);
        QTRY_VERIFY_WITH_TIMEOUT(!status.isEmpty() && status.last().at(0).toString().contains("500"), 15000);
        const int failedOnce = requests;
        link->listSaved();
        QTRY_VERIFY_WITH_TIMEOUT(requests > failedOnce, 10000);
        QCOMPARE(MessageBox::shownTexts(), QStringList());
    }

    void startMinimizedShowsNoWindow()
    {
        ConfigStore::shared().setValue(kSettingsKey, QStringLiteral("StartMinimized"), qint32(1));
        VeltryApp app;
        app.start();
        QVERIFY(!app.toDo()->isVisible());
        QVERIFY(app.toDo()->Timer1->isActive());
        app.shutdown();
    }
};

QTEST_MAIN(TestStartup)
#include "wtst_startup.moc"
