// The import and export dialogs opened from the task window's File menu and driven by keys.
#include "ProgramFolder.h"
#include "TestEnv.h"
#include "app/VeltryApp.h"
#include "app/fToDo.h"
#include "platform/MessageBox.h"
#include "store/core/ICalendar.h"
#include "store/core/Task.h"
#include "store/fExport.h"
#include "store/fImport.h"
#include "widgets/DirectoryListBox.h"
#include "widgets/DriveComboBox.h"
#include "widgets/FileListBox.h"
#include "widgets/TextGrid.h"
#include "widgets/core/GridFile.h"

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <QTimer>
#include <functional>
#include <utility>

using namespace veltry;
using namespace veltry::test;

namespace {

const QString kQuestion = QStringLiteral("Are you sure you want to import this file into your current to-do list?");
const QString kFailed = QStringLiteral("Sorry, there was a problem with that data file. Import failed.");
const QString kSavedAs = QStringLiteral("Your to-do list was saved as:\n\r   ");

// Two tasks of the older standard edition: source columns 1 to 6 are task, due date, category,
// priority, notes and creation date.
const QByteArray kStandardFile = "7,3\r\n1,0,Task\r\n2,0,Due On\r\n3,0,Category\r\n4,0,Pr\r\n5,0,Notes\r\n"
                                 "6,0,Create Date\r\n0,1, \r\n1,1,Old first\r\n3,1,Home\r\n4,1,2\r\n"
                                 "5,1,one\t\btwo\r\n6,1,1/2/26\r\n1,2,Old second\r\n4,2,\xA0\r\n";
const QByteArray kCurrentFile = taskListHeader(2) + "0,1, \r\n1,1,Pro task\r\n5,1,1\r\n10,1,0\r\n";
// A calendar as other programs write it: two to-dos, the second one done, and an event.
const QByteArray kCalendarFile = "BEGIN:VCALENDAR\r\nVERSION:2.0\r\nPRODID:-//Test//EN\r\n"
                                 "BEGIN:VTODO\r\nUID:1\r\nSUMMARY:First to-do\r\nEND:VTODO\r\n"
                                 "BEGIN:VEVENT\r\nUID:2\r\nSUMMARY:A meeting\r\nDTSTART:20260301T100000Z\r\nEND:VEVENT\r\n"
                                 "BEGIN:VTODO\r\nUID:3\r\nSUMMARY:Second to-do\r\nCATEGORIES:Home\r\n"
                                 "DESCRIPTION:one\\ntwo\r\nSTATUS:COMPLETED\r\nEND:VTODO\r\nEND:VCALENDAR\r\n";

QStringList descriptions(const TTextGrid* grid)
{
    QStringList out;
    for (int r = 1; r < grid->RowCount(); ++r)
        out << grid->Cells(TaskCol::Task, r);
    return out;
}

} // namespace

class TestImportExport final : public QObject
{
    Q_OBJECT

    std::unique_ptr<ProgramFolder> m_program;
    std::unique_ptr<VeltryApp> m_app;
    TfrmToDo* m_todo = nullptr;

    void start(const QByteArray& list)
    {
        QVERIFY(m_program->write(kTaskListFileName, list));
        // The dialogs open in the folder the program was started from.
        QVERIFY(QDir::setCurrent(m_program->path()));
        m_app = std::make_unique<VeltryApp>();
        QVERIFY(m_app->start());
        m_todo = m_app->toDo();
        m_todo->Timer1->stop();
    }

    // Runs `command`, which opens a dialog of kind D modally, and `actions` inside it; whatever
    // is still open afterwards is cancelled, so a failing check cannot leave the test waiting.
    template <class D>
    void inDialog(const std::function<void()>& command, const std::function<void(D*)>& actions)
    {
        bool seen = false;
        QTimer::singleShot(0, m_todo, [&] {
            auto* modal = qobject_cast<QDialog*>(QApplication::activeModalWidget());
            auto* d = qobject_cast<D*>(modal);
            if (d && QTest::qWaitForWindowActive(d)) {
                seen = true;
                actions(d);
            }
            if (modal && modal->isVisible())
                modal->reject();
        });
        command();
        QVERIFY(seen);
    }

private Q_SLOTS:
    void init()
    {
        m_program = std::make_unique<ProgramFolder>();
    }

    void cleanup()
    {
        if (m_app)
            m_app->shutdown();
        m_app.reset();
        m_todo = nullptr;
        QDir::setCurrent(QDir::tempPath());
    }

    void importDialogOpensOnTheStartFolder()
    {
        start(taskListHeader(2));
        for (const char* name : {"b.vlo", "A.VLO", "c.vlp", "d.txt", "e.ics"})
            QVERIFY(m_program->write(QString::fromLatin1(name), kStandardFile));
        QVERIFY(QDir(m_program->path()).mkdir(QStringLiteral("sub")));
        inDialog<TfrmImport>([this] { m_todo->Import1->trigger(); }, [this](TfrmImport* d) {
            QCOMPARE(d->windowTitle(), QStringLiteral("Import Existing Veltry"));
            QCOMPARE(d->size(), QSize(290, 295));
            QCOMPARE(d->GroupBox1->title(), QStringLiteral("Import File Type"));
            QCOMPARE(d->RadioButton1->text(), QStringLiteral("Veltry Standard (.vlo)"));
            QCOMPARE(d->RadioButton2->text(), QStringLiteral("Veltry Pro (.vlp)"));
            QCOMPARE(d->RadioButton3->text(), QStringLiteral("iCalendar (.ics)"));
            QVERIFY(d->RadioButton1->isChecked());
            QCOMPARE(d->Label1->text(), QStringLiteral("File to import:"));
            QVERIFY(!d->Edit1->isReadOnly());  // a path can be typed too
            QCOMPARE(d->Edit1->text(), QString());
            QCOMPARE(d->BitBtn1->text(), QStringLiteral("Import"));
            QCOMPARE(d->BitBtn2->text(), QStringLiteral("Cancel"));
            QVERIFY(d->FileListBox1->hasFocus());
            QCOMPARE(d->DirectoryListBox1->Directory(), m_program->path());
            QCOMPARE(d->FileListBox1->Directory(), m_program->path());
            QCOMPARE(d->DriveComboBox1->Drive(),
                     d->DriveComboBox1->places().at(placeHolding(d->DriveComboBox1->places(), m_program->path())).path);
            auto names = [d] {
                QStringList out;
                for (int i = 0; i < d->FileListBox1->count(); ++i)
                    out << d->FileListBox1->item(i)->text();
                return out;
            };
            QCOMPARE(names(), QStringList({"A.VLO", "b.vlo"}));
            QTest::mouseClick(d->RadioButton2, Qt::LeftButton, {}, QPoint(8, d->RadioButton2->height() / 2));
            QCOMPARE(names(), QStringList({"c.vlp", "veltlist.vlp"}));
            QTest::mouseClick(d->RadioButton3, Qt::LeftButton, {}, QPoint(8, d->RadioButton3->height() / 2));
            QCOMPARE(names(), QStringList({"e.ics"}));
            QTest::mouseClick(d->RadioButton1, Qt::LeftButton, {}, QPoint(8, d->RadioButton1->height() / 2));
            QCOMPARE(names(), QStringList({"A.VLO", "b.vlo"}));
            QCOMPARE(d->Edit1->text(), QString());
        });
    }

    void importByKeys_data()
    {
        QTest::addColumn<QString>("fileName");
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<bool>("pressDown");
        QTest::addColumn<int>("answer");
        QTest::addColumn<QStringList>("messages");
        QTest::addColumn<QStringList>("tasks");

        const QStringList none;
        QTest::newRow("Yes adds the older edition's tasks, the last on top")
            << "old.vlo" << kStandardFile << true << int(QMessageBox::Yes) << QStringList{kQuestion}
            << QStringList{"Old second", "Old first", "Kept"};
        QTest::newRow("Yes adds a current file's task with its mark")
            << "pro.vlp" << kCurrentFile << true << int(QMessageBox::Yes) << QStringList{kQuestion}
            << QStringList{"Pro task", "Kept"};
        QTest::newRow("No adds nothing") << "old.vlo" << kStandardFile << true << int(QMessageBox::No)
                                         << QStringList{kQuestion} << QStringList{"Kept"};
        QTest::newRow("no file chosen") << "old.vlo" << kStandardFile << false << int(QMessageBox::Yes)
                                        << QStringList{"Please choose a file to import"} << QStringList{"Kept"};
        QTest::newRow("a path typed in") << ">old.vlo" << kStandardFile << false << int(QMessageBox::Yes)
                                         << QStringList{kQuestion} << QStringList{"Old second", "Old first", "Kept"};
        QTest::newRow("a damaged file adds nothing, not even the tasks before the damage")
            << "bad.vlo" << kStandardFile + "1,x,broken\r\n" << true << int(QMessageBox::Yes)
            << QStringList{kQuestion, kFailed + "\n\n'x' is not a valid integer value (line 16 of the file)"}
            << QStringList{"Kept"};
        QTest::newRow("a file cut short adds nothing and says where")
            << "cut.vlp" << kCurrentFile + "1,9,Cut" << true << int(QMessageBox::Yes)
            << QStringList{kQuestion, kFailed + QStringLiteral("\n\nThe file ends in the middle of line %1: it was cut short, and that "
                                                "line was not read.").arg(kCurrentFile.count("\r\n") + 1)}
            << QStringList{"Kept"};
        QTest::newRow("a calendar's to-dos, the last on top, and what was skipped")
            << "cal.ics" << kCalendarFile << true << int(QMessageBox::Yes)
            << QStringList{kQuestion, "2 to-dos were imported.\n1 other item was skipped."}
            << QStringList{"Second to-do", "First to-do", "Kept"};
        QTest::newRow("a calendar without to-dos adds nothing and says so")
            << "events.ics" << QByteArray(kCalendarFile).replace("VTODO", "VJOURNAL") << true << int(QMessageBox::Yes)
            << QStringList{kQuestion, "0 to-dos were imported.\n3 other items were skipped."} << QStringList{"Kept"};
        QTest::newRow("a damaged calendar adds nothing and says why in the library's words")
            << "bad.ics" << QByteArray(kCalendarFile).replace("SUMMARY:Second to-do", "DUE:someday") << true
            << int(QMessageBox::Yes)
            << QStringList{kQuestion, kFailed + "\n\nCan't parse as DATE-TIME value in DUE property. Removing entire property: someday"}
            << QStringList{"Kept"};
    }

    void importByKeys()
    {
        QFETCH(QString, fileName);
        QFETCH(QByteArray, file);
        QFETCH(bool, pressDown);
        const bool typed = fileName.startsWith(QLatin1Char('>'));  // typed into the field, not chosen
        fileName.remove(0, typed ? 1 : 0);
        QFETCH(int, answer);
        QFETCH(QStringList, messages);
        QFETCH(QStringList, tasks);
        const QByteArray list = taskListHeader(2) + "1,1,Kept\r\n5,1,3\r\n";
        start(list);
        QVERIFY(m_program->write(fileName, file));
        MessageBox::queueAnswer(QMessageBox::StandardButton(answer));
        inDialog<TfrmImport>([this] { m_todo->Import1->trigger(); }, [&](TfrmImport* d) {
            if (fileName.endsWith(QLatin1String(".vlp")) || fileName.endsWith(QLatin1String(".ics"))) {
                QRadioButton* type = fileName.endsWith(QLatin1String(".vlp")) ? d->RadioButton2 : d->RadioButton3;
                QTest::mouseClick(type, Qt::LeftButton, {}, QPoint(8, type->height() / 2));
                d->FileListBox1->setFocus();
            }
            if (pressDown) {
                // The program's own list is there too; pick the one under test.
                QTest::keyClick(d->FileListBox1, Qt::Key_Down);
                while (d->Edit1->text() != m_program->filePath(fileName) && d->FileListBox1->currentRow() + 1 < d->FileListBox1->count())
                    QTest::keyClick(d->FileListBox1, Qt::Key_Down);
                QCOMPARE(d->Edit1->text(), m_program->filePath(fileName));
            }
            if (typed) {
                QTest::mouseClick(d->Edit1, Qt::LeftButton);
                QTest::keyClicks(d->Edit1, m_program->filePath(fileName));
            }
            QTest::keyClick(typed ? static_cast<QWidget*>(d->Edit1) : d->FileListBox1, Qt::Key_Return);
            QVERIFY(!d->isVisible());
        });
        QCOMPARE(MessageBox::shownTexts(), messages);
        const TTextGrid* grid = m_todo->TaskGrid;
        QCOMPARE(descriptions(grid), tasks);
        QCOMPARE(m_todo->statusPanels[0]->text(), QStringLiteral("Tasks: %1").arg(tasks.size()));
        if (tasks.size() == 1) {
            QCOMPARE(m_program->read(kTaskListFileName), list);
            return;
        }
        // Saved at once, with pictures for notes and for imported check marks.
        QCOMPARE(m_program->read(kTaskListFileName), GridFile::encode(std::as_const(*grid).cellStore()));
        const CellStore& cells = std::as_const(*grid).cellStore();
        if (fileName.endsWith(QLatin1String(".vlo"))) {
            QCOMPARE(cells.cell(TaskCol::Category, 2), QStringLiteral("Home"));
            QCOMPARE(cells.cell(TaskCol::Notes, 2), QStringLiteral("one\r\ntwo"));
            QCOMPARE(cells.cell(TaskCol::Mark, 2), QString());
            QVERIFY(cells.cellImage(TaskCol::Task, 2));
            QVERIFY(!cells.cellImage(TaskCol::Task, 1));
        } else if (fileName.endsWith(QLatin1String(".ics"))) {
            QCOMPARE(cells.cell(TaskCol::Category, 1), QStringLiteral("Home"));
            QCOMPARE(cells.cell(TaskCol::Notes, 1), QStringLiteral("one\r\ntwo"));
            QCOMPARE(cells.cell(TaskCol::Mark, 1), kCheckedMark);
            QVERIFY(cells.cellImage(TaskCol::Mark, 1));
            QVERIFY(cells.cellImage(TaskCol::Task, 1));
            QCOMPARE(cells.cell(TaskCol::Mark, 2), QString());
        } else {
            QCOMPARE(cells.cell(TaskCol::Mark, 1), kCheckedMark);
            QVERIFY(cells.cellImage(TaskCol::Mark, 1));
        }
    }

    void foldersAndPlaces()
    {
        start(taskListHeader(2));
        QVERIFY(QDir(m_program->path()).mkpath(QStringLiteral("sub/deeper")));
        QVERIFY(m_program->write(QStringLiteral("sub/inside.vlo"), kStandardFile));
        inDialog<TfrmImport>([this] { m_todo->Import1->trigger(); }, [this](TfrmImport* d) {
            TDirectoryListBox* dirs = d->DirectoryListBox1;
            // Enter opens the folder and is not taken for "Import".
            dirs->setFocus();
            const QList<QListWidgetItem*> sub = dirs->findItems(QStringLiteral("sub"), Qt::MatchExactly);
            QCOMPARE(sub.size(), 1);
            dirs->setCurrentItem(sub.first());
            QTest::keyClick(dirs, Qt::Key_Return);
            QVERIFY(d->isVisible());
            QCOMPARE(MessageBox::shownTexts(), QStringList());
            QCOMPARE(dirs->Directory(), m_program->filePath(QStringLiteral("sub")));
            QCOMPARE(d->FileListBox1->count(), 1);
            QCOMPARE(d->FileListBox1->item(0)->text(), QStringLiteral("inside.vlo"));
            // The folders above the current one come first, the root at the top.
            QCOMPARE(TDirectoryListBox::itemPath(dirs->item(0)), QStringLiteral("/"));
            QCOMPARE(TDirectoryListBox::itemPath(dirs->currentItem()), m_program->filePath(QStringLiteral("sub")));
            QCOMPARE(dirs->item(dirs->count() - 1)->text(), QStringLiteral("deeper"));

            // The places: the root and the home folder; choosing one shows it.
            TDriveComboBox* drives = d->DriveComboBox1;
            QCOMPARE(drives->places().at(0).path, QStringLiteral("/"));
            QCOMPARE(drives->places().at(1).path, QDir::homePath());
            drives->setFocus();
            QTest::keyClick(drives, Qt::Key_End);
            QCOMPARE(drives->Drive(), drives->places().last().path);
            QCOMPARE(dirs->Directory(), drives->places().last().path);
            QTest::keyClick(drives, Qt::Key_Home);
            QCOMPARE(drives->Drive(), QStringLiteral("/"));
            QCOMPARE(dirs->Directory(), QStringLiteral("/"));
            QCOMPARE(d->FileListBox1->Directory(), QStringLiteral("/"));
        });
    }

    void exportByKeys_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("folder");     // below the start folder, entered with Enter
        QTest::addColumn<QByteArray>("existing");  // what the file held before; empty when none
        QTest::addColumn<int>("answer");
        QTest::addColumn<QStringList>("messages");  // "%1" stands for the file's path
        QTest::addColumn<bool>("written");

        const int yes = int(QMessageBox::Yes);
        const int no = int(QMessageBox::No);
        const QString replace = QStringLiteral("\"%1\" already exists.\n\nDo you want to replace it?");
        QTest::newRow("a new file") << "copy.vlp" << "" << QByteArray() << yes << QStringList{kSavedAs + "%1"} << true;
        QTest::newRow("into a folder below the start folder")
            << "copy.vlp" << "sub" << QByteArray() << yes << QStringList{kSavedAs + "%1"} << true;
        QTest::newRow("no name") << "" << "" << QByteArray() << yes << QStringList{"Please enter a filename"} << false;
        QTest::newRow("an existing file is kept when the answer is No")
            << "copy.vlp" << "" << QByteArray("precious\r\n") << no << QStringList{replace} << false;
        QTest::newRow("an existing file is replaced when the answer is Yes")
            << "copy.vlp" << "" << QByteArray("precious\r\n") << yes << QStringList{replace, kSavedAs + "%1"} << true;
        QTest::newRow("the program's own list needs no question")
            << "veltlist.vlp" << "" << QByteArray("same list\r\n") << no << QStringList{kSavedAs + "%1"} << true;
        QTest::newRow("a name ending in .ics writes a calendar")
            << "copy.ICS" << "" << QByteArray() << yes << QStringList{kSavedAs + "%1"} << true;
        QTest::newRow("a full path typed is the place itself")
            << "%p/typed.vlp" << "sub" << QByteArray() << yes << QStringList{kSavedAs + "%1"} << true;
        QTest::newRow("a failed write is reported, never as saved")
            << "no such folder/copy.vlp" << "" << QByteArray() << yes << QStringList{"Could not save \"%1\": "} << false;
    }

    void exportByKeys()
    {
        QFETCH(QString, name);
        QFETCH(QString, folder);
        QFETCH(QByteArray, existing);
        QFETCH(int, answer);
        QFETCH(QStringList, messages);
        QFETCH(bool, written);
        start(taskListHeader(3) + "0,1, \r\n1,1,First\r\n6,1,a\t\bb\r\n1,2,Second\r\n5,2,\xA0\r\n");
        QVERIFY(QDir(m_program->path()).mkdir(QStringLiteral("sub")));
        name.replace(QLatin1String("%p"), m_program->path());
        const QString dir = folder.isEmpty() ? m_program->path() : m_program->filePath(folder);
        const QString path = name.startsWith(QLatin1Char('/')) ? name : dir + QLatin1Char('/') + name;
        if (!existing.isEmpty())
            QVERIFY(writeAll(path, existing));
        const QByteArray list = GridFile::encode(std::as_const(*m_todo->TaskGrid).cellStore());
        MessageBox::queueAnswer(QMessageBox::StandardButton(answer));
        inDialog<TfrmExport>([this] { m_todo->mnuExport->trigger(); }, [&](TfrmExport* d) {
            QCOMPARE(d->windowTitle(), QStringLiteral("Export Data File"));
            QCOMPARE(d->size(), QSize(290, 223));
            QCOMPARE(d->Label1->text(), QStringLiteral("Filename:"));
            QCOMPARE(d->Label2->text(), QStringLiteral("Save in:"));
            QCOMPARE(d->BitBtn1->text(), QStringLiteral("Save"));
            QCOMPARE(d->DirectoryListBox1->Directory(), m_program->path());
            QVERIFY(d->edtFilename->hasFocus());
            QCOMPARE(d->edtFilename->selectedText(), QStringLiteral("veltlist.vlp"));
            if (!folder.isEmpty()) {
                d->DirectoryListBox1->setFocus();
                d->DirectoryListBox1->setCurrentItem(d->DirectoryListBox1->findItems(folder, Qt::MatchExactly).value(0));
                QTest::keyClick(d->DirectoryListBox1, Qt::Key_Return);
                QCOMPARE(d->DirectoryListBox1->Directory(), dir);
                d->edtFilename->setFocus();
                d->edtFilename->selectAll();
            }
            // Typing replaces the proposed name.
            if (name.isEmpty())
                QTest::keyClick(d->edtFilename, Qt::Key_Delete);
            else
                QTest::keyClicks(d->edtFilename, name);
            QTest::keyClick(d->edtFilename, Qt::Key_Return);
            // Only a saved list closes the dialog; everything else returns to it.
            QCOMPARE(d->isVisible(), !written);
        });
        QStringList shown = MessageBox::shownTexts();
        QCOMPARE(shown.size(), messages.size());
        for (int i = 0; i < messages.size(); ++i) {
            const QString expected = messages.at(i).contains(QLatin1String("%1")) ? messages.at(i).arg(path) : messages.at(i);
            QVERIFY2(expected.endsWith(QLatin1String(": ")) ? shown.at(i).startsWith(expected) : shown.at(i) == expected,
                     qPrintable(shown.at(i)));
        }
        if (!name.endsWith(QLatin1String(".ics"), Qt::CaseInsensitive)) {
            QCOMPARE(readAll(path), written ? list : existing);
            return;
        }
        // The same tasks as to-dos, in the same order.
        const ICalendar::Tasks back = ICalendar::decode(readAll(path));
        QCOMPARE(back.todos, 2);
        const CellStore& cells = std::as_const(*m_todo->TaskGrid).cellStore();
        for (int r = 1; r <= 2; ++r)
            for (int c : {TaskCol::Mark, TaskCol::Task, TaskCol::Notes})
                QCOMPARE(back.rows.cell(c, r), cells.cell(c, r));
        // Each task got its UID for good: in the calendar, and in the list saved with it, so the
        // next export names the same to-dos.
        const QByteArray saved = readAll(m_program->filePath(kTaskListFileName));
        for (int r = 1; r <= 2; ++r) {
            const QString uid = cells.cell(TaskCol::Reserved, r);
            QVERIFY(!uid.isEmpty());
            QCOMPARE(back.rows.cell(TaskCol::Reserved, r), uid);
            QVERIFY2(saved.contains(QStringLiteral("11,%1,%2\r\n").arg(r).arg(uid).toLatin1()), saved.constData());
        }
    }
};

QTEST_MAIN(TestImportExport)
#include "wtst_impexp.moc"
