#include "ProgramFolder.h"
#include "TestEnv.h"
#include "app/VeltryApp.h"
#include "app/fToDo.h"
#include "history/fHistory.h"
#include "history/core/TaskLog.h"
#include "platform/core/DataPaths.h"
#include "platform/MessageBox.h"
#include "platform/core/ConfigStore.h"
#include "store/core/Task.h"
#include "widgets/GradCap.h"
#include "widgets/TextGrid.h"

#include <QDir>
#include <QFile>
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

    void damagedListIsKeptAside()
    {
        const QByteArray damaged = taskListHeader(3) + "1,1,kept\r\nx,2,bad\r\n1,2,lost\r\n";
        QVERIFY(m_program->write(kTaskListFileName, damaged));
        VeltryApp app;
        app.start();
        const QStringList shown = MessageBox::shownTexts();
        QCOMPARE(shown.size(), 1);
        QVERIFY(shown.first().startsWith(QStringLiteral("'x' is not a valid integer value")));
        const QStringList copies = QDir(m_program->dir()).entryList({QStringLiteral("veltlist-unreadable-*.vlp")});
        QCOMPARE(copies.size(), 1);
        QVERIFY(shown.first().contains(copies.first()));
        QCOMPARE(m_program->read(copies.first()), damaged);
        // The start-up goes on with what was read.
        QCOMPARE(app.toDo()->TaskGrid->Cells(TaskCol::Task, 1), QStringLiteral("kept"));
        QVERIFY(app.toDo()->Timer1->isActive());
        app.shutdown();
        QCOMPARE(m_program->read(copies.first()), damaged);
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
