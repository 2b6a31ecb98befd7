#include "app/core/TaskOrder.h"
#include "platform/core/Clock.h"
#include "widgets/core/CellStore.h"

#include <QRandomGenerator>
#include <QTest>

using namespace veltry;

namespace {

const QString kNoPriority = QStringLiteral("\u00A0");

// A task grid: title row, then one row per "priority:description".
CellStore makeTasks(const QStringList& tasks)
{
    CellStore s;
    s.setColumnCount(12);
    s.setRowCount(int(tasks.size()) + 1);
    s.setCell(1, 0, QStringLiteral("Task"));
    s.setCell(5, 0, QStringLiteral("Pr"));
    for (int r = 0; r < tasks.size(); ++r) {
        const QString& t = tasks.at(r);
        const qsizetype colon = t.indexOf(QLatin1Char(':'));
        s.setCell(5, r + 1, t.left(colon));
        s.setCell(1, r + 1, t.mid(colon + 1));
    }
    return s;
}

QStringList tasksOf(const CellStore& s)
{
    QStringList out;
    for (int r = 1; r < s.rowCount(); ++r)
        out << s.cell(5, r) + QLatin1Char(':') + s.cell(1, r);
    return out;
}

// The ordering as the window always did it: runs of equal priority text, each put in order by a
// selection sort of whole rows.
void referenceOrder(CellStore& s)
{
    const int last = s.rowCount() - 1;
    int start = 1;
    while (start <= last) {
        int end = start;
        while (end + 1 <= last && s.cellUtf8(5, end + 1) == s.cellUtf8(5, start))
            ++end;
        for (int p = start; p < end; ++p) {
            int m = p;
            for (int k = p + 1; k <= end; ++k)
                if (s.cell(1, k).toUtf8() < s.cell(1, m).toUtf8())
                    m = k;
            s.swapRows(p, m);
        }
        start = end + 1;
    }
}

} // namespace

class TestTaskOrder final : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void cleanupTestCase() { Clock::setInstance(nullptr); }

    void withinPriority_data()
    {
        QTest::addColumn<QStringList>("tasks");
        QTest::addColumn<QStringList>("expected");

        QTest::newRow("b then a") << QStringList{"1:b", "1:a"} << QStringList{"1:a", "1:b"};
        QTest::newRow("capital before small") << QStringList{"2:a", "2:B"} << QStringList{"2:B", "2:a"};
        QTest::newRow("runs stay apart") << QStringList{"1:z", "1:y", "2:b", "2:a", "1:c"}
                                         << QStringList{"1:y", "1:z", "2:a", "2:b", "1:c"};
        QTest::newRow("after a descending sort") << QStringList{"3:b", "3:a", "2:d", "2:c"}
                                                 << QStringList{"3:a", "3:b", "2:c", "2:d"};
        QTest::newRow("no priority") << QStringList{kNoPriority + ":b", kNoPriority + ":a"}
                                     << QStringList{kNoPriority + ":a", kNoPriority + ":b"};
        QTest::newRow("priority compared as text") << QStringList{"1:b", "01:a"} << QStringList{"1:b", "01:a"};
        QTest::newRow("prefix first") << QStringList{"1:ab", "1:a", "1:"} << QStringList{"1:", "1:a", "1:ab"};
        QTest::newRow("character codes past ASCII") << QStringList{QStringLiteral("1:\u00E9"), "1:z"}
                                                    << QStringList{"1:z", QStringLiteral("1:\u00E9")};
    }
    void withinPriority()
    {
        QFETCH(QStringList, tasks);
        QFETCH(QStringList, expected);
        CellStore s = makeTasks(tasks);
        int current = 0;
        orderByDescriptionWithinPriority(s, 1, s.rowCount() - 1, current);
        QCOMPARE(tasksOf(s), expected);
        QCOMPARE(s.cell(1, 0), QStringLiteral("Task"));
    }

    // The selection follows its task: after the ordering the same task is current.
    void currentRowFollowsTask()
    {
        CellStore s = makeTasks({"1:c", "1:b", "1:a"});
        TCellGraphic check;
        s.setCellImage(0, 1, check);
        int current = 1;  // "c"
        orderByDescriptionWithinPriority(s, 1, 3, current);
        QCOMPARE(current, 3);
        QCOMPARE(s.cell(1, current), QStringLiteral("c"));
        QVERIFY(s.cellImage(0, 3));
    }

    void matchesSelectionSort()
    {
        QRandomGenerator rng(4711);
        const QStringList priorities{"1", "2", "3", kNoPriority};
        for (int round = 0; round < 40; ++round) {
            QStringList tasks;
            const int n = int(rng.bounded(200));
            for (int i = 0; i < n; ++i) {
                // Distinct descriptions; the order among equal ones is free.
                const QString desc = QStringLiteral("%1%2").arg(QChar(QLatin1Char(char('A' + rng.bounded(52)))))
                                         .arg(i);
                tasks << priorities.at(int(rng.bounded(round % 2 ? 4 : 2))) + QLatin1Char(':') + desc;
            }
            CellStore fast = makeTasks(tasks);
            CellStore slow = makeTasks(tasks);
            int current = 0;
            orderByDescriptionWithinPriority(fast, 1, fast.rowCount() - 1, current);
            referenceOrder(slow);
            QCOMPARE(tasksOf(fast), tasksOf(slow));
        }
    }

    void gridFormat_data()
    {
        QTest::addColumn<int>("col");
        QTest::addColumn<bool>("dayFirst");
        QTest::addColumn<int>("style");
        QTest::newRow("due date day first") << 2 << true << int(ssDateDMY);
        QTest::newRow("due date month first") << 2 << false << int(ssDateMDY);
        QTest::newRow("task") << 1 << true << int(ssText);
        QTest::newRow("priority") << 5 << false << int(ssText);
        QTest::newRow("creation date") << 7 << true << int(ssText);
    }
    void gridFormat()
    {
        QFETCH(int, col);
        QFETCH(bool, dayFirst);
        QFETCH(int, style);
        QCOMPARE(int(taskGridFormat(col, dayFirst)), style);
    }

    // A title click on the due-date column with day-first dates puts 02/01 after 31/12 of the year
    // before; read month-first, 31/12 is no date at all.
    void dueDateSort_data()
    {
        QTest::addColumn<bool>("dayFirst");
        QTest::addColumn<QStringList>("expected");
        QTest::newRow("day first") << true << QStringList{"31/12/24", "02/01/25", "01/12/25"};
        QTest::newRow("month first") << false << QStringList{"31/12/24", "01/12/25", "02/01/25"};
    }
    void dueDateSort()
    {
        QFETCH(bool, dayFirst);
        QFETCH(QStringList, expected);
        Clock::setInstance(std::make_shared<FixedClock>(QDateTime(QDate(2025, 3, 1), QTime(9, 0))));
        CellStore s = makeTasks({"1:a", "1:b", "1:c"});
        s.setCell(2, 1, QStringLiteral("02/01/25"));
        s.setCell(2, 2, QStringLiteral("31/12/24"));
        s.setCell(2, 3, QStringLiteral("01/12/25"));
        int current = 1;
        SortRows(s, {1, 3, kTaskDueDateColumn, sdAscending, 12,
                     [dayFirst](int col, TSortStyle& style) { style = taskGridFormat(col, dayFirst); }},
                 current);
        QCOMPARE((QStringList{s.cell(2, 1), s.cell(2, 2), s.cell(2, 3)}), expected);
        QCOMPARE(s.cell(2, current), QStringLiteral("02/01/25"));
    }
};

QTEST_GUILESS_MAIN(TestTaskOrder)
#include "tst_taskorder.moc"
