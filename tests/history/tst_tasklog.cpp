#include "history/core/TaskLog.h"
#include "platform/core/Clock.h"
#include "platform/core/LocaleFormats.h"
#include "store/core/Task.h"
#include "widgets/core/CellStore.h"
#include "widgets/core/GridFile.h"

#include <QTest>

using namespace veltry;

namespace {

// A task list from a compact description: one entry per task, "*" before the description
// marks it checked; "?" marks it with a text other than " ".
CellStore makeTasks(const QStringList& tasks)
{
    CellStore s;
    s.setColumnCount(TaskCol::Count);
    s.setRowCount(std::max(2, int(tasks.size()) + 1));
    for (int c = 0; c < TaskCol::Count; ++c)
        s.setCell(c, 0, kTaskTitles[size_t(c)]);
    for (int i = 0; i < tasks.size(); ++i) {
        QString d = tasks[i];
        const int r = i + 1;
        if (d.startsWith(QLatin1Char('*'))) {
            s.setCell(TaskCol::Mark, r, kCheckedMark);
            d.remove(0, 1);
        } else if (d.startsWith(QLatin1Char('?'))) {
            s.setCell(TaskCol::Mark, r, QStringLiteral("x"));
            d.remove(0, 1);
        }
        s.setCell(TaskCol::Task, r, d);
        s.setCell(TaskCol::DueDate, r, d + QStringLiteral("-due"));
        s.setCell(TaskCol::DueTime, r, QStringLiteral("09:30pm"));
        s.setCell(TaskCol::Category, r, d + QStringLiteral("-cat"));
        s.setCell(TaskCol::Priority, r, kEmptyPriority);
        s.setCell(TaskCol::Notes, r, d + QStringLiteral("-line1\r\nline2"));
        s.setCell(TaskCol::CreateDate, r, d + QStringLiteral("-created"));
        s.setCell(TaskCol::Alarm, r, kAlarmOn);
        s.setCell(TaskCol::Type, r, QStringLiteral("2"));
    }
    return s;
}

CellStore emptyHistory()
{
    CellStore h;
    h.setColumnCount(HistCol::Count);
    h.setRowCount(2);
    h.setCell(HistCol::Task, 0, QStringLiteral("Task"));
    return h;
}

QStringList column(const CellStore& s, int col)
{
    QStringList out;
    for (int r = 1; r < s.rowCount(); ++r)
        out << s.cell(col, r);
    return out;
}

} // namespace

class TestTaskLog : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init()
    {
        Clock::setInstance(std::make_shared<FixedClock>(QDateTime(QDate(2026, 3, 7), QTime(10, 0))));
        LocaleFormats::setCurrent(LocaleFormats::fromPattern(QStringLiteral("m/d/yy"), QLatin1Char('/')));
    }
    void cleanup()
    {
        Clock::setInstance(nullptr);
        LocaleFormats::resetCurrent();
    }

    void logsTheCheckedTasks_data()
    {
        QTest::addColumn<QStringList>("tasks");
        QTest::addColumn<QStringList>("history");  // entries already there, top first
        QTest::addColumn<QStringList>("remaining");
        QTest::addColumn<QStringList>("expectedHistory");
        QTest::addColumn<int>("count");

        QTest::newRow("last checked on top") << QStringList{"*A", "*B", "*C"} << QStringList{}
                                             << QStringList{""} << QStringList{"C", "B", "A"} << 3;
        QTest::newRow("only task checked") << QStringList{"*A"} << QStringList{} << QStringList{""}
                                           << QStringList{"A"} << 1;
        QTest::newRow("open tasks keep their order")
            << QStringList{"A", "*B", "C", "*D", "E"} << QStringList{} << QStringList{"A", "C", "E"}
            << QStringList{"D", "B"} << 2;
        QTest::newRow("last row checked, others open")
            << QStringList{"A", "*B"} << QStringList{} << QStringList{"A"} << QStringList{"B"} << 1;
        QTest::newRow("first row checked, others open")
            << QStringList{"*A", "B"} << QStringList{} << QStringList{"B"} << QStringList{"A"} << 1;
        QTest::newRow("new entries above the old ones")
            << QStringList{"*A", "B"} << QStringList{"old2", "old1"} << QStringList{"B"}
            << QStringList{"A", "old2", "old1"} << 1;
        QTest::newRow("other mark text stays") << QStringList{"?A", "*B"} << QStringList{}
                                               << QStringList{"A"} << QStringList{"B"} << 1;
        QTest::newRow("nothing checked") << QStringList{"A", "B"} << QStringList{"old"}
                                         << QStringList{"A", "B"} << QStringList{"old"} << 0;
        QTest::newRow("empty list") << QStringList{} << QStringList{} << QStringList{""} << QStringList{""} << 0;
    }

    void logsTheCheckedTasks()
    {
        QFETCH(QStringList, tasks);
        QFETCH(QStringList, history);
        QFETCH(QStringList, remaining);
        QFETCH(QStringList, expectedHistory);
        QFETCH(int, count);

        CellStore list = makeTasks(tasks);
        CellStore log = emptyHistory();
        if (!history.isEmpty()) {
            log.setRowCount(int(history.size()) + 1);
            for (int i = 0; i < history.size(); ++i)
                log.setCell(HistCol::Task, i + 1, history[i]);
        }
        QCOMPARE(logCompletedTasks(list, log, todaysLogDate()), count);
        QCOMPARE(column(list, TaskCol::Task), remaining);
        QCOMPARE(column(log, HistCol::Task), expectedHistory);
        QCOMPARE(log.cell(HistCol::Task, 0), QStringLiteral("Task"));
        // No checked mark is left behind.
        for (int r = 1; r < list.rowCount(); ++r)
            QVERIFY(list.cell(TaskCol::Mark, r) != kCheckedMark);
    }

    void entryHoldsTheHistoryColumns()
    {
        CellStore list = makeTasks({"A", "*B"});
        CellStore log = emptyHistory();
        QCOMPARE(logCompletedTasks(list, log, todaysLogDate()), 1);
        QCOMPARE(log.rowCount(), 2);
        QCOMPARE(log.cell(HistCol::Task, 1), QStringLiteral("B"));
        QCOMPARE(log.cell(HistCol::DueDate, 1), QStringLiteral("B-due"));
        QCOMPARE(log.cell(HistCol::LogDate, 1), QStringLiteral("3/7/26"));
        QCOMPARE(log.cell(HistCol::Category, 1), QStringLiteral("B-cat"));
        QCOMPARE(log.cell(HistCol::Notes, 1), QStringLiteral("B-line1\r\nline2"));
        QCOMPARE(log.cell(HistCol::CreateDate, 1), QStringLiteral("B-created"));
        QCOMPARE(log.columnCount(), int(HistCol::Count));
    }

    void logDateFollowsTheLocale()
    {
        LocaleFormats::setCurrent(LocaleFormats::fromPattern(QStringLiteral("dd.mm.yyyy"), QLatin1Char('.')));
        QCOMPARE(todaysLogDate(), QStringLiteral("07.03.2026"));
    }

    void otherMarkTextIsNeitherCopiedNorRemoved_data()
    {
        QTest::addColumn<QString>("mark");
        QTest::newRow("two blanks") << QStringLiteral("  ");
        QTest::newRow("no-break space") << QString(QChar(0xA0));
        QTest::newRow("letter") << QStringLiteral("x");
        QTest::newRow("blank and letter") << QStringLiteral(" x");
    }

    void otherMarkTextIsNeitherCopiedNorRemoved()
    {
        QFETCH(QString, mark);
        CellStore list = makeTasks({"A"});
        list.setCell(TaskCol::Mark, 1, mark);
        CellStore log = emptyHistory();
        QCOMPARE(logCompletedTasks(list, log, todaysLogDate()), 0);
        QCOMPARE(list.cell(TaskCol::Task, 1), QStringLiteral("A"));
        QCOMPARE(list.cell(TaskCol::Mark, 1), mark);
        QVERIFY(isListEmpty(log));
    }

    void onlyTaskLeavesTheEmptyList()
    {
        CellStore list = makeTasks({"*A"});
        list.setCellImage(TaskCol::Mark, 1, TCellGraphic{});
        CellStore log = emptyHistory();
        QCOMPARE(logCompletedTasks(list, log, todaysLogDate()), 1);
        QCOMPARE(list.rowCount(), 2);
        for (int c = 0; c < TaskCol::Count; ++c)
            QVERIFY(list.isCellEmpty(c, 1));
        QVERIFY(!list.cellImage(TaskCol::Mark, 1));
        QVERIFY(isListEmpty(list));
        QCOMPARE(historyCountText(log), QStringLiteral("Tasks: 1"));
    }

    void undoTakesBackTheCopies_data()
    {
        QTest::addColumn<QStringList>("history");
        QTest::newRow("into an empty history") << QStringList{};
        QTest::newRow("above old entries") << QStringList{"old2", "old1"};
    }

    void undoTakesBackTheCopies()
    {
        QFETCH(QStringList, history);
        CellStore list = makeTasks({"*A", "B", "*C"});
        CellStore log = emptyHistory();
        if (!history.isEmpty()) {
            log.setRowCount(int(history.size()) + 1);
            for (int i = 0; i < history.size(); ++i)
                log.setCell(HistCol::Task, i + 1, history[i]);
        }
        const QByteArray before = GridFile::encode(log);
        CellStoreRows tasks(list);
        CellStoreRows rows(log);
        const TaskLogCopy copy = copyCompletedTasks(tasks, rows, todaysLogDate());
        QCOMPARE(copy.count, 2);
        QCOMPARE(copy.reusedEmptyRow, history.isEmpty());
        undoTaskLogCopy(rows, copy);
        QCOMPARE(GridFile::encode(log), before);
        // The task list is untouched by copying.
        QCOMPARE(column(list, TaskCol::Task), (QStringList{"A", "B", "C"}));
    }

    void historyFileHeader()
    {
        CellStore list = makeTasks({"*A", "*B"});
        CellStore log = emptyHistory();
        logCompletedTasks(list, log, todaysLogDate());
        QVERIFY(GridFile::encode(log).startsWith("7,3\r\n"));
    }

    void countText_data()
    {
        QTest::addColumn<int>("rows");
        QTest::addColumn<QString>("task1");
        QTest::addColumn<QString>("expected");
        QTest::newRow("blank history") << 2 << QString() << QStringLiteral("Tasks: 0");
        QTest::newRow("one entry") << 2 << QStringLiteral("A") << QStringLiteral("Tasks: 1");
        QTest::newRow("three rows, first blank") << 3 << QString() << QStringLiteral("Tasks: 2");
        QTest::newRow("many") << 12 << QStringLiteral("A") << QStringLiteral("Tasks: 11");
    }

    void countText()
    {
        QFETCH(int, rows);
        QFETCH(QString, task1);
        QFETCH(QString, expected);
        CellStore log = emptyHistory();
        log.setRowCount(rows);
        log.setCell(HistCol::Task, 1, task1);
        QCOMPARE(historyCountText(log), expected);
    }
};

QTEST_GUILESS_MAIN(TestTaskLog)
#include "tst_tasklog.moc"
