#include "ProgramFolder.h"
#include "TestEnv.h"
#include "app/VeltryApp.h"
#include "app/fToDo.h"
#include "history/fHistory.h"
#include "platform/MessageBox.h"
#include "platform/core/ConfigStore.h"
#include "store/core/Task.h"
#include "widgets/TextGrid.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
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

    void failedSaveIsReportedAndListKept()
    {
        VeltryApp app;
        app.start();
        TfrmToDo* todo = app.toDo();
        todo->TaskGrid->setCells(TaskCol::Task, 1, QStringLiteral("precious"));
        QVERIFY(QFile::remove(m_program->filePath(kTaskListFileName)));
        QVERIFY(QDir(m_program->dir()).mkdir(kTaskListFileName));  // the save cannot replace a folder
        QVERIFY(!todo->SaveTaskList());
        QCOMPARE(MessageBox::shownTexts().size(), 1);
        QVERIFY(MessageBox::shownTexts().first().contains(m_program->filePath(kTaskListFileName)));
        QCOMPARE(todo->TaskGrid->Cells(TaskCol::Task, 1), QStringLiteral("precious"));
        QDir(m_program->filePath(kTaskListFileName)).removeRecursively();
        app.shutdown();
        QVERIFY(m_program->read(kTaskListFileName).contains("1,1,precious\r\n"));
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
        QCOMPARE(todo->TaskGrid->Cells(TaskCol::Category, 1), QStringLiteral("unsaved"));
        // Another copy's write is, also with an unchanged time.
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
        QCOMPARE(todo->TaskGrid->RowCount(), 3);
        QCOMPARE(todo->TaskGrid->Cells(TaskCol::Task, 1), QStringLiteral("theirs"));
        QVERIFY(todo->TaskGrid->Cells(TaskCol::Category, 1).isEmpty());
        QVERIFY(todo->TaskGrid->IsHiddenColumn(6));
        QVERIFY(todo->TaskGrid->cellStore().cellImage(TaskCol::Mark, 1));
        QVERIFY(todo->TaskGrid->cellStore().cellImage(TaskCol::Task, 2));
        QCOMPARE(todo->statusPanels[0]->text(), QStringLiteral("Tasks: 2"));

        // A history written by another copy is reloaded too.
        QVERIFY(m_program->write(kHistoryFileName, "7,2\r\n1,1,logged elsewhere\r\n"));
        todo->Timer1Timer();
        QCOMPARE(app.history()->TaskHistoryGrid->Cells(1, 1), QStringLiteral("logged elsewhere"));

        // A half-written file from another copy leaves our list alone.
        QVERIFY(writeAll(listPath, QByteArray("12,3\r\n1,1,partial\r\nbroken")));
        todo->Timer1Timer();
        QCOMPARE(todo->TaskGrid->Cells(TaskCol::Task, 1), QStringLiteral("theirs"));
        MessageBox::clearShownTexts();
        app.shutdown();
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
