#include "ProgramFolder.h"
#include "TestEnv.h"
#include "app/VeltryApp.h"
#include "app/fToDo.h"
#include "history/fHistory.h"
#include "history/gridprev.h"
#include "platform/MessageBox.h"
#include "platform/core/Clock.h"
#include "platform/core/ConfigStore.h"
#include "platform/core/LocaleFormats.h"
#include "store/core/SharedFileLock.h"
#include "store/core/Task.h"
#include "widgets/FlatBtn.h"
#include "widgets/GridPrint.h"
#include "widgets/TextGrid.h"

#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPrinter>
#include <QToolButton>
#include <QTextBlock>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <set>

using namespace veltry;
using namespace veltry::test;

namespace {

const QString kClearQuestion = QStringLiteral("Are you sure you want to clear your entire history list?");

// A task list file: "*" before a description checks the task.
QByteArray taskListFile(const QStringList& tasks)
{
    QByteArray out = taskListHeader(std::max<qsizetype>(2, tasks.size() + 1));
    for (int i = 0; i < tasks.size(); ++i) {
        QByteArray d = tasks[i].toUtf8();
        const QByteArray r = QByteArray::number(i + 1);
        if (d.startsWith('*')) {
            out += "0," + r + ", \r\n";
            d.remove(0, 1);
        }
        out += "1," + r + "," + d + "\r\n2," + r + ",1/2/26\r\n4," + r + ",Work\r\n5," + r + ",\xA0\r\n6," + r + ","
            + d + " note\r\n7," + r + ",1/1/26\r\n10," + r + ",0\r\n";
    }
    return out;
}

QStringList historyTasks(TTextGrid* g)
{
    QStringList out;
    for (int r = 1; r < g->RowCount(); ++r)
        out << g->Cells(HistCol::Task, r);
    return out;
}

// Entries for a history grid: task and notes per row.
void fillHistory(TTextGrid* g, const QList<QPair<QString, QString>>& rows)
{
    g->setRowCount(int(rows.size()) + 1);
    for (int i = 0; i < rows.size(); ++i) {
        g->setCells(HistCol::Task, i + 1, rows[i].first);
        g->setCells(HistCol::Notes, i + 1, rows[i].second);
        g->setCells(HistCol::LogDate, i + 1, QStringLiteral("3/7/26"));
    }
}

QPoint cellCentre(TTextGrid* g, int col, int row)
{
    return g->cellRect(col, row).center();
}

// What one print or preview of a grid did, seen through the grid's own print hook.
struct PrintSeen
{
    std::set<int> columns;  // real columns measured or printed
    QString title;
};

void watchPrinting(TTextGrid* g, PrintSeen* seen)
{
    g->OnGetCellPrintColor = [seen](TTextGrid* grid, int, int col, TGridDrawState, QColor&, TCellFont&) {
        seen->columns.insert(col);
        seen->title = grid->PrintSettings.TitleText;
    };
}

// Hidden flags and widths by real column, and whether the grid shows.
struct ColumnsShape
{
    QList<bool> hidden;
    QMap<int, int> widths;
    bool shown = false;
    bool operator==(const ColumnsShape&) const = default;
};

ColumnsShape shapeOf(const TTextGrid* g)
{
    ColumnsShape shape;
    for (int c = 0; c < g->RealColCount(); ++c)
        shape.hidden << g->IsHiddenColumn(c);
    for (int k = 0; k < g->ColCount(); ++k)
        shape.widths[g->DisplayToRealColumn(k)] = g->ColWidth(k);
    shape.shown = !g->isHidden();
    return shape;
}

// Runs `inside` on the print preview once it is up, then closes it.
void whilePreviewOpen(QObject* context, std::function<void(TPagePreview*)> inside)
{
    QTimer::singleShot(0, context, [inside] {
        auto* preview = qobject_cast<TPagePreview*>(QApplication::activeModalWidget());
        QVERIFY(preview);
        QVERIFY(QTest::qWaitForWindowExposed(preview));
        inside(preview);
        preview->reject();
    });
}

// The program's printer writes to `file`; an empty name leaves it with no printer at all (the
// tests reach no print service).
void printTo(const QString& file)
{
    Printer().setOutputFormat(QPrinter::PdfFormat);
    Printer().setOutputFileName(file);
}

} // namespace

class TestHistory : public QObject
{
    Q_OBJECT

    std::unique_ptr<ProgramFolder> m_program;

    void setSetting(const char* name, bool on)
    {
        ConfigStore::shared().setValue(kSettingsKey, QLatin1String(name), qint32(on ? 1 : 0));
    }

    // Runs `inside` once the modal history window is up, then closes it with its button.
    static void whileOpen(TfrmTaskHistory* h, std::function<void()> inside)
    {
        QTimer::singleShot(0, h, [h, inside] {
            QVERIFY(QTest::qWaitForWindowExposed(h));
            inside();
            h->btnClose->click();
        });
    }

private Q_SLOTS:
    void init()
    {
        m_program = std::make_unique<ProgramFolder>();
        Clock::setInstance(std::make_shared<FixedClock>(QDateTime(QDate(2026, 3, 7), QTime(10, 0))));
        LocaleFormats::setCurrent(LocaleFormats::fromPattern(QStringLiteral("m/d/yy"), QLatin1Char('/')));
    }

    void cleanup()
    {
        Clock::setInstance(nullptr);
        LocaleFormats::resetCurrent();
    }

    // --- the window on its own ---

    void windowAndToolBar()
    {
        TfrmTaskHistory h;
        QCOMPARE(h.windowTitle(), QStringLiteral("Task Log History"));
        QCOMPARE(h.size(), QSize(453, 307));
        QVERIFY(!(h.windowFlags() & Qt::WindowMinimizeButtonHint));
        QVERIFY(!(h.windowFlags() & Qt::WindowMaximizeButtonHint));
        const struct { TFlatButton* button; const char* name; const char* hint; bool enabled; } expected[] = {
            {h.btnClose, "btnClose", "Close History", true},
            {h.btnClear, "btnClear", "Clear History", true},
            {h.btnPrintPreview, "btnPrintPreview", "Print Preview", true},
            {h.FlatButton2, "FlatButton2", "Print Task History", true},
        };
        int left = -1;
        for (const auto& e : expected) {
            QCOMPARE(e.button->objectName(), QLatin1String(e.name));
            QCOMPARE(e.button->hint(), QLatin1String(e.hint));
            QCOMPARE(e.button->toolTip(), QLatin1String(e.hint));
            QCOMPARE(e.button->size(), QSize(26, 24));
            QCOMPARE(e.button->isEnabled(), e.enabled);
            QVERIFY(!e.button->bitmap().isNull());
            QVERIFY(e.button->x() > left);  // left to right in this order
            left = e.button->x();
        }
        QCOMPARE(h.pnlToolbar->height(), 30);
        QCOMPARE(h.lblNotes->text(), QStringLiteral("Notes"));
        QVERIFY(h.Memo1->isReadOnly());
    }

    void titlesAndWidthsComeBackOnEveryActivation()
    {
        TfrmTaskHistory h;
        TTextGrid* g = h.TaskHistoryGrid;
        fillHistory(g, {{"a", ""}, {"b", ""}});
        // A file's title row replaces the window's; activation writes them again.
        g->setCells(HistCol::Task, 0, QStringLiteral("old"));
        h.show();
        QVERIFY(QTest::qWaitForWindowActive(&h));
        const QStringList titles{"", "Task", "Due Date", "Log Date", "Category", "Notes", "Create Date"};
        const int widths[] = {20, -1, 60, 60, 50, 297, 70};
        auto check = [&] {
            for (int c = 0; c < HistCol::Count; ++c) {
                QCOMPARE(g->Cells(c, 0), titles[c]);
                if (widths[c] >= 0)
                    QCOMPARE(g->ColWidth(c), widths[c]);
            }
            QCOMPARE(g->ColWidth(HistCol::Task), g->width() - 9 - 20 - 60 - 60 - 50);
            QCOMPARE(g->Cells(HistCol::Number, 1), QStringLiteral("1"));
            QCOMPARE(g->Cells(HistCol::Number, 2), QStringLiteral("2"));
        };
        check();
        QVERIFY(g->ColWidth(HistCol::Task) > 100);

        // The user widens "Due Date" by dragging its right edge.
        const QRect due = g->cellRect(HistCol::DueDate, 0);
        const QPoint edge(due.right() + 1, due.center().y());
        QTest::mousePress(g->viewport(), Qt::LeftButton, {}, edge);
        QTest::mouseMove(g->viewport(), edge + QPoint(40, 0));
        QTest::mouseRelease(g->viewport(), Qt::LeftButton, {}, edge + QPoint(40, 0));
        QVERIFY(g->ColWidth(HistCol::DueDate) > 60);
        h.btnClose->click();
        QVERIFY(!h.isVisible());
        g->setCells(HistCol::Number, 1, QStringLiteral("stale"));
        h.show();
        QVERIFY(QTest::qWaitForWindowActive(&h));
        check();
    }

    void clickShowsTheNotesLineByLine()
    {
        TfrmTaskHistory h;
        TTextGrid* g = h.TaskHistoryGrid;
        fillHistory(g, {{"three lines", "first\r\nsecond\r\nthird"}, {"no notes", ""}, {"one", "only"}});
        h.show();
        QVERIFY(QTest::qWaitForWindowActive(&h));
        // The entry selected as the window opens shows its notes before any click.
        QCOMPARE(h.Memo1->toPlainText(), QStringLiteral("first\nsecond\nthird"));

        QTest::mouseClick(g->viewport(), Qt::LeftButton, {}, cellCentre(g, HistCol::LogDate, 1));
        QTextDocument* doc = h.Memo1->document();
        QCOMPARE(doc->blockCount(), 3);
        QCOMPARE(doc->findBlockByNumber(0).text(), QStringLiteral("first"));
        QCOMPARE(doc->findBlockByNumber(1).text(), QStringLiteral("second"));
        QCOMPARE(doc->findBlockByNumber(2).text(), QStringLiteral("third"));

        // The box only shows the notes: nothing typed there is taken and then lost.
        h.Memo1->setFocus();
        QTest::keyClicks(h.Memo1, QStringLiteral("typed"));
        QTest::keyClick(h.Memo1, Qt::Key_Delete);
        QCOMPARE(h.Memo1->toPlainText(), QStringLiteral("first\nsecond\nthird"));
        QCOMPARE(g->Cells(HistCol::Notes, 1), QStringLiteral("first\r\nsecond\r\nthird"));

        QTest::mouseClick(g->viewport(), Qt::LeftButton, {}, cellCentre(g, HistCol::Task, 2));
        QCOMPARE(h.Memo1->toPlainText(), QString());

        // Moving with the keys follows the selection as well.
        g->setFocus();
        QTest::keyClick(g, Qt::Key_Down);
        QCOMPARE(g->Row(), 3);
        QCOMPARE(h.Memo1->toPlainText(), QStringLiteral("only"));
    }

    void titleClickSortsAndRenumbers()
    {
        TfrmTaskHistory h;
        TTextGrid* g = h.TaskHistoryGrid;
        fillHistory(g, {{"banana", ""}, {"apple", ""}, {"cherry", ""}});
        h.show();
        QVERIFY(QTest::qWaitForWindowActive(&h));
        QTest::mouseClick(g->viewport(), Qt::LeftButton, {}, cellCentre(g, HistCol::Task, 0));
        QCOMPARE(historyTasks(g), (QStringList{"apple", "banana", "cherry"}));
        for (int r = 1; r <= 3; ++r)
            QCOMPARE(g->Cells(HistCol::Number, r), QString::number(r));
        // The number column is no sort key.
        QTest::mouseClick(g->viewport(), Qt::LeftButton, {}, cellCentre(g, HistCol::Number, 0));
        QCOMPARE(historyTasks(g), (QStringList{"apple", "banana", "cherry"}));
        QCOMPARE(g->SortColumn(), int(HistCol::Task));
    }

    void clearing_data()
    {
        QTest::addColumn<bool>("noConfirmations");
        QTest::addColumn<int>("answer");
        QTest::addColumn<bool>("asked");
        QTest::addColumn<bool>("cleared");
        QTest::newRow("OK") << false << int(QMessageBox::Ok) << true << true;
        QTest::newRow("Cancel") << false << int(QMessageBox::Cancel) << true << false;
        QTest::newRow("no confirmations") << true << int(QMessageBox::Cancel) << false << true;
    }

    void clearing()
    {
        QFETCH(bool, noConfirmations);
        QFETCH(int, answer);
        QFETCH(bool, asked);
        QFETCH(bool, cleared);
        const QByteArray before = "7,3\r\n1,1,keep me\r\n1,2,and me\r\n";
        QVERIFY(m_program->write(kHistoryFileName, before));
        TfrmTaskHistory h;
        h.setDataDirectoryProvider([this] { return m_program->dir(); });
        h.setNoConfirmations(noConfirmations);
        TTextGrid* g = h.TaskHistoryGrid;
        fillHistory(g, {{"keep me", "n1"}, {"and me", ""}});
        h.show();
        QVERIFY(QTest::qWaitForWindowActive(&h));
        QTest::mouseClick(g->viewport(), Qt::LeftButton, {}, cellCentre(g, HistCol::Task, 1));
        h.statusPanels[0]->setText(QStringLiteral("Tasks: 2"));
        MessageBox::queueAnswer(QMessageBox::StandardButton(answer));

        QTest::mouseMove(h.btnClear, h.btnClear->rect().center());
        QTest::mouseClick(h.btnClear, Qt::LeftButton, {}, h.btnClear->rect().center());

        QCOMPARE(MessageBox::shownTexts(), asked ? QStringList{kClearQuestion} : QStringList{});
        QCOMPARE(h.statusPanels[0]->text(), QStringLiteral("Tasks: 2"));
        if (!cleared) {
            QCOMPARE(historyTasks(g), (QStringList{"keep me", "and me"}));
            QCOMPARE(m_program->read(kHistoryFileName), before);
            return;
        }
        QCOMPARE(g->RowCount(), 2);
        for (int c = 0; c < HistCol::Count; ++c) {
            QVERIFY(g->Cells(c, 0).isEmpty());
            QVERIFY(g->Cells(c, 1).isEmpty());
        }
        QVERIFY(h.Memo1->toPlainText().isEmpty());
        // On disk at once, not only at the end.
        QCOMPARE(m_program->read(kHistoryFileName), QByteArray("7,2\r\n"));
        // The next activation brings the titles and the number back.
        h.btnClose->click();
        h.show();
        QVERIFY(QTest::qWaitForWindowActive(&h));
        QTRY_COMPARE(g->Cells(HistCol::Task, 0), QStringLiteral("Task"));
        QCOMPARE(g->Cells(HistCol::Number, 1), QStringLiteral("1"));
    }

    // --- with the main window ---

    void loggingFromTheButton()
    {
        QVERIFY(m_program->write(kTaskListFileName, taskListFile({"*A", "open", "*B", "*C"})));
        VeltryApp app;
        app.start();
        TfrmToDo* todo = app.toDo();
        TTextGrid* hist = app.history()->TaskHistoryGrid;
        QCOMPARE(todo->statusPanels[0]->text(), QStringLiteral("Tasks: 4"));

        QCOMPARE(todo->LogTasks(), 3);
        QCOMPARE(historyTasks(hist), (QStringList{"C", "B", "A"}));
        for (int r = 1; r <= 3; ++r) {
            QCOMPARE(hist->Cells(HistCol::LogDate, r), QStringLiteral("3/7/26"));
            QCOMPARE(hist->Cells(HistCol::DueDate, r), QStringLiteral("1/2/26"));
            QCOMPARE(hist->Cells(HistCol::CreateDate, r), QStringLiteral("1/1/26"));
            QCOMPARE(hist->Cells(HistCol::Category, r), QStringLiteral("Work"));
        }
        QCOMPARE(hist->Cells(HistCol::Notes, 1), QStringLiteral("C note"));
        QCOMPARE(todo->TaskGrid->RowCount(), 2);
        QCOMPARE(todo->TaskGrid->Cells(TaskCol::Task, 1), QStringLiteral("open"));
        QCOMPARE(todo->statusPanels[0]->text(), QStringLiteral("Tasks: 1"));
        QCOMPARE(MessageBox::shownTexts(), QStringList{"3 tasks were logged in your history file"});

        // Both files hold the move before the program ends.
        const QByteArray log = m_program->read(kHistoryFileName);
        QVERIFY(log.startsWith("7,4\r\n"));
        QVERIFY(log.contains("1,1,C\r\n") && log.contains("1,2,B\r\n") && log.contains("1,3,A\r\n"));
        const QByteArray list = m_program->read(kTaskListFileName);
        QVERIFY(list.startsWith("12,2\r\n"));
        QVERIFY(!list.contains("1,1,A\r\n") && list.contains("1,1,open\r\n"));
        app.shutdown();
    }

    // Logging a recurring task with Alt+L keeps its series going: the list gets its next
    // occurrence, the first date of the series after both its due date and today (3/7/26), as
    // renewal makes it; a task renewal already turned one-time comes back only once.
    void loggingARecurringTaskRenewsIt_data()
    {
        QTest::addColumn<QByteArray>("type");
        QTest::addColumn<QByteArray>("due");
        QTest::addColumn<QString>("next");  // empty: the task leaves for good
        QTest::newRow("weekly, due in three days") << QByteArray("2") << QByteArray("3/10/26") << "3/17/26";
        QTest::newRow("daily, due today") << QByteArray("1") << QByteArray("3/7/26") << "3/8/26";
        QTest::newRow("bi-weekly, renewed the day after") << QByteArray("3") << QByteArray("3/6/26") << "3/20/26";
        QTest::newRow("monthly, early") << QByteArray("4") << QByteArray("3/31/26") << "4/30/26";
        QTest::newRow("monthly, renewed long after") << QByteArray("4") << QByteArray("1/31/26") << "3/31/26";
        QTest::newRow("one-time") << QByteArray("0") << QByteArray("3/10/26") << "";
    }
    void loggingARecurringTaskRenewsIt()
    {
        QFETCH(QByteArray, type);
        QFETCH(QByteArray, due);
        QFETCH(QString, next);
        QByteArray file = taskListFile({"open", "*Water plants"});
        file.replace("2,2,1/2/26", QByteArray("2,2," + due + "\r\n3,2,09:30am"));
        file.replace("10,2,0", QByteArray("10,2," + type + "\r\n11,2,uid-of-the-logged-task"));
        QVERIFY(m_program->write(kTaskListFileName, file));
        setSetting("NoConfirmations", true);
        VeltryApp app;
        app.start();
        TfrmToDo* todo = app.toDo();
        TTextGrid* g = todo->TaskGrid;
        const bool overdue = due == "3/6/26" || due == "1/31/26";
        todo->CheckAlarms();  // an overdue task is renewed before it is logged
        QCOMPARE(g->RowCount(), overdue ? 4 : 3);
        todo->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(todo));
        QTest::keyClick(todo, Qt::Key_L, Qt::AltModifier);
        todo->waitForSaves();  // the tasks leave the list once the history's save is back

        QCOMPARE(historyTasks(app.history()->TaskHistoryGrid), QStringList{"Water plants"});
        QCOMPARE(app.history()->TaskHistoryGrid->Cells(HistCol::DueDate, 1), QString::fromLatin1(due));
        QStringList left;
        for (int r = 1; r < g->RowCount(); ++r)
            left << g->Cells(TaskCol::Task, r) + QLatin1Char(' ') + g->Cells(TaskCol::DueDate, r);
        QStringList expected{"open 1/2/26"};
        if (!next.isEmpty())
            expected << QStringLiteral("Water plants ") + next;
        QCOMPARE(left, expected);
        if (!next.isEmpty()) {
            QVERIFY(g->Cells(TaskCol::Mark, 2).isEmpty());
            QCOMPARE(g->Cells(TaskCol::DueTime, 2), QStringLiteral("09:30am"));
            QCOMPARE(g->Cells(TaskCol::Notes, 2), QStringLiteral("Water plants note"));
            QCOMPARE(g->Cells(TaskCol::Type, 2), QString::fromLatin1(type));
            // The logged task keeps its UID, renewed before the log or not; the sync gives the
            // next occurrence its own.
            QVERIFY(g->Cells(TaskCol::Reserved, 2).isEmpty());
        }
        QCOMPARE(todo->statusPanels[0]->text(), QStringLiteral("Tasks: %1").arg(g->RowCount() - 1));
        // The list file holds it at once.
        QCOMPARE(m_program->read(kTaskListFileName).contains("1,2,Water plants\r\n"), !next.isEmpty());
        app.shutdown();
    }

    void onlyTaskCheckedLeavesTheEmptyList()
    {
        QVERIFY(m_program->write(kTaskListFileName, taskListFile({"*only"})));
        VeltryApp app;
        app.start();
        TfrmToDo* todo = app.toDo();
        QCOMPARE(todo->LogTasks(), 1);
        QCOMPARE(todo->statusPanels[0]->text(), QStringLiteral("Tasks: 0"));
        QVERIFY(todo->isTaskListEmpty());
        QVERIFY(!todo->TaskGrid->cellStore().cellImage(TaskCol::Mark, 1));
        QCOMPARE(historyTasks(app.history()->TaskHistoryGrid), QStringList{"only"});
        QCOMPARE(m_program->read(kTaskListFileName), taskListHeader(2));

        // A second logging run adds one more entry: two entries make the header 7,3.
        todo->TaskGrid->setCells(TaskCol::Task, 1, QStringLiteral("second"));
        todo->TaskGrid->setCells(TaskCol::Mark, 1, kCheckedMark);
        QCOMPARE(todo->LogTasks(), 1);
        QVERIFY(m_program->read(kHistoryFileName).startsWith("7,3\r\n"));
        app.shutdown();
        QVERIFY(m_program->read(kHistoryFileName).startsWith("7,3\r\n"));
    }

    void otherMarkIsNotLogged()
    {
        QByteArray file = taskListFile({"odd"});
        file += "0,1,x\r\n";
        QVERIFY(m_program->write(kTaskListFileName, file));
        VeltryApp app;
        app.start();
        QCOMPARE(app.toDo()->LogTasks(), 0);
        QCOMPARE(app.toDo()->TaskGrid->Cells(TaskCol::Task, 1), QStringLiteral("odd"));
        QCOMPARE(app.toDo()->TaskGrid->Cells(TaskCol::Mark, 1), QStringLiteral("x"));
        QCOMPARE(MessageBox::shownTexts(), QStringList{"0 tasks were logged in your history file"});
        QVERIFY(app.history()->TaskHistoryGrid->Cells(HistCol::Task, 1).isEmpty());
        app.shutdown();
    }

    void loggedMessage_data()
    {
        QTest::addColumn<bool>("logOnStartup");
        QTest::addColumn<bool>("noConfirmations");
        QTest::addColumn<bool>("messageForButton");
        QTest::newRow("plain") << false << false << true;
        QTest::newRow("log on startup") << true << false << true;
        QTest::newRow("no confirmations") << false << true << false;
        QTest::newRow("both") << true << true << false;
    }

    void loggedMessage()
    {
        QFETCH(bool, logOnStartup);
        QFETCH(bool, noConfirmations);
        QFETCH(bool, messageForButton);
        setSetting("LogOnStartup", logOnStartup);
        setSetting("NoConfirmations", noConfirmations);
        QVERIFY(m_program->write(kTaskListFileName, taskListFile({"*A", "B"})));
        VeltryApp app;
        app.start();
        TfrmToDo* todo = app.toDo();
        // The start-up logging moves the task silently.
        QVERIFY(MessageBox::shownTexts().isEmpty());
        QCOMPARE(historyTasks(app.history()->TaskHistoryGrid), logOnStartup ? QStringList{"A"} : QStringList{""});
        QCOMPARE(todo->statusPanels[0]->text(), logOnStartup ? QStringLiteral("Tasks: 1") : QStringLiteral("Tasks: 2"));

        todo->TaskGrid->setCells(TaskCol::Mark, 1, kCheckedMark);
        todo->LogTasks();
        QCOMPARE(MessageBox::shownTexts(),
                 messageForButton ? QStringList{"1 tasks were logged in your history file"} : QStringList{});
        app.shutdown();
    }

    void historyThatCannotBeSavedKeepsTheTasks()
    {
        QVERIFY(m_program->write(kTaskListFileName, taskListFile({"*A", "*B"})));
        VeltryApp app;
        app.start();
        TfrmToDo* todo = app.toDo();
        // A folder where the history file should be: every save of it fails.
        QVERIFY(QDir().mkdir(m_program->filePath(kHistoryFileName)));
        const QByteArray listBefore = m_program->read(kTaskListFileName);

        QCOMPARE(todo->LogTasks(), 0);
        const QStringList shown = MessageBox::shownTexts();
        QCOMPARE(shown.size(), 1);
        QVERIFY(shown.first().endsWith(QStringLiteral("The completed tasks stay in your task list.")));
        QCOMPARE(todo->TaskGrid->RowCount(), 3);
        QCOMPARE(todo->TaskGrid->Cells(TaskCol::Mark, 1), kCheckedMark);
        QCOMPARE(todo->statusPanels[0]->text(), QStringLiteral("Tasks: 2"));
        QCOMPARE(historyTasks(app.history()->TaskHistoryGrid), QStringList{""});
        QCOMPARE(m_program->read(kTaskListFileName), listBefore);

        // Once the history can be written again the same tasks are logged once.
        QVERIFY(QDir().rmdir(m_program->filePath(kHistoryFileName)));
        MessageBox::clearShownTexts();
        QCOMPARE(todo->LogTasks(), 2);
        QCOMPARE(historyTasks(app.history()->TaskHistoryGrid), (QStringList{"B", "A"}));

        // Taken back while the list cannot be written: the history file keeps the tasks.
        QVERIFY(QFile::remove(m_program->filePath(kTaskListFileName)));
        QVERIFY(QDir().mkdir(m_program->filePath(kTaskListFileName)));
        MessageBox::clearShownTexts();
        todo->undoStep();
        QCOMPARE(MessageBox::shownTexts().size(), 1);
        QVERIFY(m_program->read(kHistoryFileName).contains(",A\r\n"));
        QCOMPARE(historyTasks(app.history()->TaskHistoryGrid), (QStringList{"B", "A"}));
        QVERIFY(QDir().rmdir(m_program->filePath(kTaskListFileName)));
        app.shutdown();
    }

    void openingCommand_data()
    {
        QTest::addColumn<bool>("fromMenu");
        QTest::addColumn<bool>("alarms");
        QTest::newRow("button") << false << true;
        QTest::newRow("menu") << true << true;
        QTest::newRow("alarms off") << false << false;
    }

    void openingCommand()
    {
        QFETCH(bool, fromMenu);
        QFETCH(bool, alarms);
        QVERIFY(m_program->write(kHistoryFileName,
                                 "7,4\r\n1,0,Task\r\n0,1,stale\r\n1,1,one\r\n1,2,two\r\n1,3,three\r\n"));
        VeltryApp app;
        app.start();
        TfrmToDo* todo = app.toDo();
        TfrmTaskHistory* h = app.history();
        todo->setAlarmsEnabled(alarms);
        todo->move(300, 200);
        const QPoint historyBefore(123, 45);
        h->move(historyBefore);
        bool ran = false;
        whileOpen(h, [&] {
            ran = true;
            QVERIFY(h->isModal());
            QVERIFY(!todo->Timer1->isActive());
            QCOMPARE(h->statusPanels[0]->text(), QStringLiteral("Tasks: 3"));
            QCOMPARE(h->TaskHistoryGrid->Cells(HistCol::Number, 1), QStringLiteral("1"));
            QCOMPARE(h->TaskHistoryGrid->Cells(HistCol::Number, 3), QStringLiteral("3"));
            QCOMPARE(h->pos(), fromMenu ? todo->pos() + QPoint(40, 40) : historyBefore);
            // Every activation stops the timer again.
            todo->Timer1->start();
            QEvent activate(QEvent::WindowActivate);
            QCoreApplication::sendEvent(h, &activate);
            QVERIFY(!todo->Timer1->isActive());
        });
        todo->ViewHistory(fromMenu);
        QVERIFY(ran);
        QVERIFY(!h->isVisible());
        QCOMPARE(todo->Timer1->isActive(), alarms);
        app.shutdown();
    }

    // --- printing ---

    void printTaskList_data()
    {
        QTest::addColumn<QList<int>>("hiddenByUser");
        QTest::addColumn<bool>("print");
        QTest::addColumn<QList<int>>("printed");
        for (bool print : {true, false}) {
            const char* how = print ? "print" : "preview";
            QTest::newRow(qPrintable(QStringLiteral("%1: description and due date and time").arg(QLatin1String(how))))
                << QList<int>{} << print << QList<int>{1, 2, 3};
            QTest::newRow(qPrintable(QStringLiteral("%1: due date and time hidden, priority prints").arg(QLatin1String(how))))
                << QList<int>{2, 3} << print << QList<int>{1, 5};
            QTest::newRow(qPrintable(QStringLiteral("%1: hidden category stays hidden").arg(QLatin1String(how))))
                << QList<int>{4} << print << QList<int>{1, 2, 3};
        }
    }

    void printTaskList()
    {
        QFETCH(QList<int>, hiddenByUser);
        QFETCH(bool, print);
        QFETCH(QList<int>, printed);
        for (int c : hiddenByUser)
            setSetting(qPrintable(QStringLiteral("Col%1Hidden").arg(c)), true);
        QVERIFY(m_program->write(kTaskListFileName, taskListFile({"Pay the rent", "*Buy stamps"})));
        VeltryApp app;
        app.start();
        TfrmToDo* todo = app.toDo();
        TTextGrid* g = todo->TaskGrid;
        for (int k = 0; k < g->ColCount(); ++k)
            g->setColWidth(k, 40 + 9 * k);
        const ColumnsShape before = shapeOf(g);
        QVERIFY(before.shown);
        PrintSeen seen;
        watchPrinting(g, &seen);
        const QString pdf = m_program->filePath(QStringLiteral("tasks.pdf"));
        printTo(pdf);
        bool previewed = false;
        if (print) {
            todo->mnuFilePrint->trigger();
        } else {
            whilePreviewOpen(todo, [&](TPagePreview* preview) {
                previewed = true;
                QVERIFY(!todo->Timer1->isActive());
                QVERIFY(g->isHidden());
                QCOMPARE(preview->parentWidget(), todo);
                // The page is drawn while the preview shows.
                preview->PaintBox1->repaint();
            });
            todo->mnuFilePrintPreview->trigger();
            QVERIFY(previewed);
            QVERIFY(todo->Timer1->isActive());
        }
        QCOMPARE(MessageBox::shownTexts(), QStringList{});
        QCOMPARE(std::set<int>(printed.begin(), printed.end()), seen.columns);
        QCOMPARE(seen.title, QStringLiteral("Veltry v1.0: Task List"));
        QCOMPARE(g->PrintSettings.TitleText, QStringLiteral("Veltry v1.0: Task List"));
        QCOMPARE(shapeOf(g), before);
        if (print)
            QVERIFY(readAll(pdf).startsWith("%PDF"));
        printTo(QString());
        app.shutdown();
    }

    void printHistory_data()
    {
        QTest::addColumn<bool>("print");
        QTest::newRow("print") << true;
        QTest::newRow("preview") << false;
    }

    void printHistory()
    {
        QFETCH(bool, print);
        TfrmTaskHistory h;
        TTextGrid* g = h.TaskHistoryGrid;
        fillHistory(g, {{"paid", "secret note"}, {"posted", "second\r\nnote"}});
        h.show();
        QVERIFY(QTest::qWaitForWindowActive(&h));
        const ColumnsShape before = shapeOf(g);
        PrintSeen seen;
        watchPrinting(g, &seen);
        const QString pdf = m_program->filePath(QStringLiteral("history.pdf"));
        printTo(pdf);
        if (print) {
            QTest::mouseClick(h.FlatButton2, Qt::LeftButton, {}, h.FlatButton2->rect().center());
            QVERIFY(readAll(pdf).startsWith("%PDF"));
        } else {
            bool previewed = false;
            whilePreviewOpen(&h, [&](TPagePreview* preview) {
                previewed = true;
                QCOMPARE(preview->parentWidget(), &h);
                QVERIFY(g->IsHiddenColumn(HistCol::Notes));
                preview->PaintBox1->repaint();
            });
            QTest::mouseClick(h.btnPrintPreview, Qt::LeftButton, {}, h.btnPrintPreview->rect().center());
            QVERIFY(previewed);
        }
        QCOMPARE(MessageBox::shownTexts(), QStringList{});
        QCOMPARE(seen.columns, (std::set<int>{0, 1, 2, 3, 4, 6}));
        QCOMPARE(seen.title, QStringLiteral("Veltry: Task History"));
        // "Notes" is back in the window, where it was.
        QVERIFY(!g->IsHiddenColumn(HistCol::Notes));
        QCOMPARE(g->Cells(g->DisplayToRealColumn(HistCol::Notes), 0), QStringLiteral("Notes"));
        QCOMPARE(shapeOf(g), before);
        printTo(QString());
    }

    void printingWithoutPrinter_data()
    {
        QTest::addColumn<bool>("history");
        QTest::newRow("task list") << false;
        QTest::newRow("history") << true;
    }

    void printingWithoutPrinter()
    {
        QFETCH(bool, history);
        VeltryApp app;
        app.start();
        TTextGrid* g = history ? app.history()->TaskHistoryGrid : app.toDo()->TaskGrid;
        const ColumnsShape before = shapeOf(g);
        printTo(QString());
        if (history)
            app.history()->PrintHistory(true);
        else
            app.toDo()->PrintTaskList(true);
        const QStringList shown = MessageBox::shownTexts();
        QCOMPARE(shown.size(), 1);
        QVERIFY2(shown.first().startsWith(QStringLiteral("No printer is set up.")), qPrintable(shown.first()));
        QCOMPARE(shapeOf(g), before);
        app.shutdown();
    }

    void previewWindow()
    {
        TfrmTaskHistory h;
        TTextGrid* g = h.TaskHistoryGrid;
        QList<QPair<QString, QString>> rows;
        for (int i = 0; i < 80; ++i)
            rows.append({QStringLiteral("entry %1").arg(i), QString()});
        fillHistory(g, rows);
        QTimer timer;
        timer.start(1000);
        TPagePreview preview(&h, g);
        preview.setAlarmTimer(&timer);
        QCOMPARE(preview.windowTitle(), QStringLiteral("Print preview"));
        QVERIFY(!(preview.windowFlags() & (Qt::WindowMinimizeButtonHint | Qt::WindowMaximizeButtonHint)));
        QCOMPARE(preview.palette().color(QPalette::Window), QColor(255, 255, 255));
        preview.show();
        QVERIFY(QTest::qWaitForWindowActive(&preview));
        QCOMPARE(preview.frameGeometry(), QRect(245, 96, 511, 446));
        QVERIFY(!timer.isActive());

        const int pages = preview.pageCount();
        QVERIFY(pages >= 3);
        auto label = [&](int page) { return QStringLiteral("Page %1 of %2").arg(page).arg(pages); };
        QCOMPARE(preview.page(), 0);
        QCOMPARE(preview.lblPageCount->text(), label(1));
        QVERIFY(!preview.btnPrevPage->isEnabled());
        QTest::keyClick(&preview, Qt::Key_PageDown);
        QCOMPARE(preview.lblPageCount->text(), label(2));
        QTest::keyClick(&preview, Qt::Key_PageUp);
        QTest::keyClick(&preview, Qt::Key_PageUp);
        QCOMPARE(preview.page(), 0);
        for (int i = 1; i < pages + 2; ++i)
            QTest::mouseClick(preview.btnNextPage, Qt::LeftButton);
        QCOMPARE(preview.page(), pages - 1);
        QCOMPARE(preview.lblPageCount->text(), label(pages));
        QVERIFY(!preview.btnNextPage->isEnabled());
        QTest::mouseClick(preview.btnPrevPage, Qt::LeftButton);
        QCOMPARE(preview.page(), pages - 2);

        // A taller window holds more of the list on each page.
        preview.resize(preview.width(), preview.height() * 3);
        QTRY_VERIFY(preview.pageCount() < pages);
        QVERIFY(preview.page() < preview.pageCount());
        QTest::keyClick(&preview, Qt::Key_Escape);
        QVERIFY(!preview.isVisible());
    }

    void emptyHistoryCountsZero()
    {
        VeltryApp app;
        app.start();
        whileOpen(app.history(), [&] {
            QCOMPARE(app.history()->statusPanels[0]->text(), QStringLiteral("Tasks: 0"));
        });
        app.toDo()->ViewHistory(false);
        app.shutdown();
        // The history file is written at the end with the window's titles.
        QVERIFY(m_program->read(kHistoryFileName).startsWith("7,2\r\n1,0,Task\r\n"));
    }

    void escapeUndoesOnlyAnOpenEdit_data()
    {
        QTest::addColumn<bool>("editing");
        QTest::newRow("right after opening") << false;
        QTest::newRow("in an open edit") << true;
    }

    // Escape puts back the text an in-place edit began with and nothing else; without an open
    // edit it closes the window.
    void escapeUndoesOnlyAnOpenEdit()
    {
        QFETCH(bool, editing);
        const QByteArray history = "7,3\r\n1,0,Task\r\n1,1,one\r\n1,2,two\r\n";
        QVERIFY(m_program->write(kHistoryFileName, history));
        VeltryApp app;
        app.start();
        TfrmTaskHistory* h = app.history();
        TTextGrid* g = h->TaskHistoryGrid;
        bool stillOpen = false;
        whileOpen(h, [&] {
            g->setFocus();
            if (editing) {
                QTest::keyClick(g, Qt::Key_F2);
                QVERIFY(g->EditorMode());
                QTest::keyClicks(g->inplaceEditor(), QStringLiteral(" edited"));
                QVERIFY(g->Cells(HistCol::Task, 1) != QLatin1String("one"));
            }
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape);
            stillOpen = h->isVisible();
            QCOMPARE(g->Cells(HistCol::Task, 1), QStringLiteral("one"));
        });
        app.toDo()->ViewHistory(false);
        QCOMPARE(stillOpen, editing);
        app.shutdown();
        QVERIFY(m_program->read(kHistoryFileName).contains("1,1,one\r\n"));
    }

    // While another copy holds the folder, logging waits off the window's thread; what the user
    // does meanwhile stays, and the message comes once both files are written.
    void loggingGoesOnWhileTheFolderIsHeld()
    {
        setSetting("Networkable", true);
        QVERIFY(m_program->write(kTaskListFileName, taskListFile({"*A", "*B", "C"})));
        VeltryApp app;
        app.start();
        TfrmToDo* todo = app.toDo();
        TTextGrid* g = todo->TaskGrid;
        shared::SharedFileLock other(m_program->filePath(QStringLiteral("veltlist.lock")));
        QVERIFY(other.tryLock());
        MessageBox::clearShownTexts();
        QCOMPARE(todo->LogTasks(false), 0);
        g->setCells(TaskCol::Mark, 2, QString());  // B unchecked
        g->setCells(TaskCol::Mark, 3, kCheckedMark);  // C checked after the copy
        g->InsertRows(1, 1);
        g->setCells(TaskCol::Task, 1, QStringLiteral("D"));
        QVERIFY(MessageBox::shownTexts().isEmpty());
        other.unlock();
        todo->waitForSaves();

        QCOMPARE(historyTasks(app.history()->TaskHistoryGrid), (QStringList{"B", "A"}));
        QStringList left;
        for (int r = 1; r < g->RowCount(); ++r)
            left << g->Cells(TaskCol::Mark, r) + g->Cells(TaskCol::Task, r);
        QCOMPARE(left, (QStringList{"D", "B", " C"}));
        const QByteArray list = m_program->read(kTaskListFileName);
        QVERIFY(!list.contains(",A\r\n") && list.contains(",C\r\n") && list.contains(",D\r\n"));
        QVERIFY(m_program->read(kHistoryFileName).contains(",A\r\n"));
        QCOMPARE(MessageBox::shownTexts(), QStringList{"2 tasks were logged in your history file"});
        app.shutdown();
    }

    // The files of another folder are loaded before a logging run came to its end: the list the
    // tasks left goes back to their own folder, and the other folder's list stays as it was.
    void loggingEndsInItsOwnFolder()
    {
        QVERIFY(m_program->write(kTaskListFileName, taskListFile({"*A", "B"})));
        QTemporaryDir other;
        const QByteArray theirs = taskListFile({"theirs"});
        QFile f(other.filePath(kTaskListFileName));
        QVERIFY(f.open(QIODevice::WriteOnly) && f.write(theirs) == theirs.size());
        f.close();
        setSetting("NoConfirmations", true);
        VeltryApp app;
        app.start();
        TfrmToDo* todo = app.toDo();
        todo->LogTasks(false);
        todo->settings().UseAltDirPath = true;
        todo->settings().AltDirPath = other.path() + QLatin1Char('/');
        todo->LoadDataFiles();
        QCOMPARE(todo->TaskGrid->Cells(TaskCol::Task, 1), QStringLiteral("theirs"));
        f.open(QIODevice::ReadOnly);
        QCOMPARE(f.readAll(), theirs);
        const QByteArray ours = m_program->read(kTaskListFileName);
        QVERIFY(!ours.contains(",A\r\n") && ours.contains(",B\r\n"));
        QVERIFY(m_program->read(kHistoryFileName).contains(",A\r\n"));
        app.shutdown();
    }

    void historyOfAnotherCopyIsReloaded()
    {
        setSetting("Networkable", true);
        QVERIFY(m_program->write(kTaskListFileName, taskListFile({"*mine"})));
        VeltryApp app;
        app.start();
        TfrmToDo* todo = app.toDo();
        TfrmTaskHistory* h = app.history();
        MessageBox::clearShownTexts();
        todo->LogTasks();
        // Our own save is not reloaded.
        h->TaskHistoryGrid->setCells(HistCol::Category, 1, QStringLiteral("unsaved"));
        todo->Timer1Timer();
        todo->waitForSaves();
        QCOMPARE(h->TaskHistoryGrid->Cells(HistCol::Category, 1), QStringLiteral("unsaved"));

        QVERIFY(m_program->write(kHistoryFileName,
                                 "7,3\r\n1,0,Task\r\n1,1,theirs\r\n5,1,first\tsecond\r\n1,2,older\r\n"));
        todo->Timer1Timer();
        todo->waitForSaves();
        whileOpen(h, [&] {
            TTextGrid* g = h->TaskHistoryGrid;
            // Merged: the entry changed here and not saved yet stays on top of theirs.
            QCOMPARE(historyTasks(g), (QStringList{"mine", "theirs", "older"}));
            QCOMPARE(g->Cells(HistCol::Category, 1), QStringLiteral("unsaved"));
            QCOMPARE(h->statusPanels[0]->text(), QStringLiteral("Tasks: 3"));
            QCOMPARE(g->Cells(HistCol::Number, 2), QStringLiteral("2"));
            QCOMPARE(g->Cells(HistCol::Task, 0), QStringLiteral("Task"));
            QTest::mouseClick(g->viewport(), Qt::LeftButton, {}, cellCentre(g, HistCol::Task, 2));
            QCOMPARE(h->Memo1->toPlainText(), QStringLiteral("first\nsecond"));
        });
        todo->ViewHistory(false);
        app.shutdown();
    }
};

QTEST_MAIN(TestHistory)
#include "wtst_history.moc"
