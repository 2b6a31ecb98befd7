#include "store/core/TaskOrder.h"
#include "platform/core/Clock.h"
#include "platform/core/LocaleFormats.h"
#include "widgets/core/CellStore.h"
#include "widgets/core/GridFile.h"

#include <QRandomGenerator>
#include <QTest>
#include <algorithm>
#include <numeric>
#include <random>

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

const QDate kToday(2025, 6, 15);
const LocaleFormats kMonthFirst = LocaleFormats::fromPattern(QStringLiteral("m/d/yy"), QLatin1Char('/'));

// A task grid from rows "description|due date|due time|category|priority|mark"; an empty list
// is the placeholder row alone.
CellStore makeFullTasks(const QStringList& tasks)
{
    static constexpr int kColumn[] = {1, 2, 3, 4, 5, 0};
    CellStore s;
    s.setColumnCount(12);
    s.setRowCount(int(std::max<qsizetype>(tasks.size(), 1)) + 1);
    s.setCell(1, 0, QStringLiteral("Task"));
    for (int r = 0; r < tasks.size(); ++r) {
        const QStringList cells = tasks.at(r).split(QLatin1Char('|'));
        for (int k = 0; k < cells.size(); ++k)
            s.setCell(kColumn[k], r + 1, cells.at(k));
    }
    return s;
}

QStringList descriptionsOf(const CellStore& s)
{
    QStringList out;
    for (int r = 1; r < s.rowCount(); ++r)
        out << s.cell(1, r);
    return out;
}

// The ordering of runs as the sort dialog always did it, for values that can all be read: runs of
// exactly equal primary text, each put in order by a selection sort of whole rows.
void referenceRunOrder(CellStore& s, const RunOrdering& how)
{
    auto before = [&](int j, int best) {
        const QString a = s.cell(how.keyColumn, j);
        const QString b = s.cell(how.keyColumn, best);
        int c = 0;
        if (how.kind == RunKeyKind::Date) {
            const qint64 x = kMonthFirst.parseDate(a, kToday).toJulianDay();
            const qint64 y = kMonthFirst.parseDate(b, kToday).toJulianDay();
            c = x < y ? -1 : x > y;
        } else if (how.kind == RunKeyKind::Time) {
            const int x = kMonthFirst.parseTime(a)->msecsSinceStartOfDay();
            const int y = kMonthFirst.parseTime(b)->msecsSinceStartOfDay();
            c = x < y ? -1 : x > y;
        } else {
            const QByteArray x = a.toUtf8();
            const QByteArray y = b.toUtf8();
            c = x < y ? -1 : x > y;
        }
        return how.direction == sdAscending ? c < 0 : c > 0;
    };
    const int rows = s.rowCount();
    for (int start = 1, last = 1; start < rows; start = ++last) {
        while (last + 1 < rows && s.cellUtf8(how.runColumn, last + 1) == s.cellUtf8(how.runColumn, start))
            ++last;
        for (int i = start; i < last; ++i) {
            int best = i;
            for (int j = i + 1; j <= last; ++j)
                if (before(j, best))
                    best = j;
            s.swapRows(i, best);
        }
    }
}

} // namespace

class TestTaskOrder final : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void cleanupTestCase()
    {
        Clock::setInstance(nullptr);
        LocaleFormats::resetCurrent();
    }

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
        QTest::newRow("same first sixteen bytes") << QStringList{"1:the same long start, b", "1:the same long start, a"}
                                                  << QStringList{"1:the same long start, a", "1:the same long start, b"};
        QTest::newRow("prefix first") << QStringList{"1:ab", "1:a", "1:"} << QStringList{"1:", "1:a", "1:ab"};
        QTest::newRow("character codes past ASCII") << QStringList{QStringLiteral("1:\u00E9"), "1:z"}
                                                    << QStringList{"1:z", QStringLiteral("1:\u00E9")};
        QTest::newRow("code-page bytes") << QStringList{QStringLiteral("2:x\u00E9 cafe"), QStringLiteral("2:x\u20AC euro")}
                                         << QStringList{QStringLiteral("2:x\u20AC euro"), QStringLiteral("2:x\u00E9 cafe")};
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

    // A title click on the priority: the grid's sort, then the descriptions of each priority in
    // the bytes of the file, equal ones (and long runs sharing long starts) as the grid left them;
    // the window's single pass ends in the same order.
    void priorityClickMatchesStableReference()
    {
        QRandomGenerator rng(2024);
        const QStringList starts{"", "the same long start of a task, ", "the same long start of a task ", "Call me ",
                                 "call ", QStringLiteral("x\u00E9 "), QStringLiteral("x\u20AC ")};
        const QStringList ends{"", "a", "b", "B", "7", QStringLiteral("\u00E9"), QStringLiteral("\u20AC")};
        for (int round = 0; round < 300; ++round) {
            QStringList tasks;
            for (int i = 0, n = int(rng.bounded(700)); i < n; ++i)
                tasks << QStringLiteral("%1%2|%3||t%4|%5")
                             .arg(starts.at(int(rng.bounded(7))), ends.at(int(rng.bounded(7))),
                                  round % 5 || i ? QString() : QStringLiteral("\u4E2D"))  // not in the code page
                             .arg(i)
                             .arg(round % 7 == 6 ? QString::number(rng.bounded(40))  // many priorities
                                                 : QStringList{"1", "2", kNoPriority}.at(int(rng.bounded(round % 3 + 1))));
            // The columns the grid goes on to: all empty (rows alike wherever it looks), a
            // different text on every row, or a few texts.
            const int spread = round % 3;
            QStringList notes, last;
            for (int i = 0; i < tasks.size(); ++i) {
                notes << QStringList{"", "n", "the same long note for a tie "}.at(spread ? int(rng.bounded(3)) : 0);
                last << (spread == 0 ? QString() : QString::number(spread == 1 ? i : int(rng.bounded(3))));
            }
            auto make = [&] {
                CellStore s = makeFullTasks(tasks);
                for (int i = 0; i < tasks.size(); ++i) {
                    s.setCell(6, i + 1, notes.at(i));
                    s.setCell(10, i + 1, last.at(i));
                }
                return s;
            };
            CellStore fast = make();
            CellStore slow = make();
            CellStore onePass = make();
            int current = 1 + int(rng.bounded(quint32(fast.rowCount() - 1)));
            int onePassCurrent = current;
            int slowCurrent = current;
            const SortRequest click{1, fast.rowCount() - 1, kTaskPriorityColumn, TSortDirection(round % 2), 12, {}};
            SortRows(fast, click, current);
            SortRows(slow, click, slowCurrent);
            orderByDescriptionWithinPriority(fast, 1, fast.rowCount() - 1, current);
            if (spread == 1)
                QVERIFY(priorityThenDescriptionOrder(onePass, click));
            sortByPriorityThenDescription(onePass, click, onePassCurrent);
            for (int r = 1; r < fast.rowCount(); ++r)
                QCOMPARE(onePass.cell(4, r), fast.cell(4, r));
            QCOMPARE(onePassCurrent, current);
            const bool codePage = GridFile::writtenInCodePage(slow);
            auto fileBytes = [&](int r) {
                QByteArray out = codePage ? QByteArray() : slow.cell(1, r).toUtf8();
                for (const uint c : codePage ? slow.cell(1, r).toUcs4() : QList<uint>())
                    out += char(GridFile::codePageByte(char32_t(c)));
                return out;
            };
            std::vector<int> rows(size_t(slow.rowCount() - 1));
            std::iota(rows.begin(), rows.end(), 1);
            for (auto b = rows.begin(), e = b; b != rows.end(); b = e) {
                e = std::find_if(b, rows.end(), [&](int r) { return slow.cell(5, r) != slow.cell(5, *b); });
                std::stable_sort(b, e, [&](int x, int y) { return fileBytes(x) < fileBytes(y); });
            }
            for (int r = 1; r < fast.rowCount(); ++r)
                QCOMPARE(fast.cell(4, r), slow.cell(4, rows[size_t(r - 1)]));
        }
    }

    // The whole advanced sort: the grid's sort on the primary key, then the runs of equal primary
    // text by the secondary key.
    void advancedSort_data()
    {
        QTest::addColumn<QStringList>("tasks");
        QTest::addColumn<QList<int>>("choice");
        QTest::addColumn<QStringList>("expected");
        const QList<int> opening{5, 0, 2, 0};
        QTest::newRow("priority, then due date")
            << QStringList{"c|3/1/27|||1", "x|1/1/27|||2", "a|1/5/27|||1", "b|12/1/26|||1"} << opening
            << QStringList{"b", "a", "c", "x"};
        QTest::newRow("a task without a due date among its priority")
            << QStringList{"three|3/1/27|||1", "none||||1", "one|1/5/27|||1", "two|2/1/27|||2"} << opening
            << QStringList{"none", "one", "three", "two"};
        QTest::newRow("runs of one keep the primary order")
            << QStringList{"z|2/1/27|||3", "y|1/1/27|||1", "x||||2"} << opening << QStringList{"y", "x", "z"};
        QTest::newRow("empty list") << QStringList{} << opening << QStringList{""};
        QTest::newRow("High and high are two runs")
            << QStringList{"a|||high|1", "c|||High|1", "b|||High|1"} << QList<int>{4, 0, 1, 0}
            << QStringList{"b", "c", "a"};
        QTest::newRow("primary descending, secondary ascending")
            << QStringList{"a|2/1/27|||1", "b|1/1/27|||2", "c|1/1/27|||1", "d|3/1/27|||2"} << QList<int>{5, 1, 2, 0}
            << QStringList{"b", "d", "c", "a"};
        // Texts compare by the bytes of the file: Windows-1252 puts the euro sign (0x80) before
        // "é" (0xE9), and after "z"; a list kept in UTF-8 for a character that code page lacks
        // compares by its UTF-8 bytes, where "é" (C3 A9) comes before the euro sign (E2 82 AC).
        QTest::newRow("code-page bytes")
            << QStringList{QStringLiteral("x\u00E9 cafe||||2"), QStringLiteral("x\u20AC euro||||2"), "xz||||2"}
            << QList<int>{5, 0, 1, 0}
            << QStringList{"xz", QStringLiteral("x\u20AC euro"), QStringLiteral("x\u00E9 cafe")};
        QTest::newRow("code-page bytes, descending, the same first bytes")
            << QStringList{QStringLiteral("\u201A||||1"), QStringLiteral("\u20AC||||1"), QStringLiteral("\u2122||||1")}
            << QList<int>{5, 0, 1, 1}
            << QStringList{QStringLiteral("\u2122"), QStringLiteral("\u201A"), QStringLiteral("\u20AC")};
        QTest::newRow("UTF-8 bytes in a list kept in UTF-8")
            << QStringList{QStringLiteral("x\u20AC euro||||2"), QStringLiteral("x\u00E9 cafe||||2"),
                           QStringLiteral("other|||\u65E5|3")}
            << QList<int>{5, 0, 1, 0}
            << QStringList{QStringLiteral("x\u00E9 cafe"), QStringLiteral("x\u20AC euro"), "other"};
        QTest::newRow("code-page bytes past the eighth character")
            << QStringList{QStringLiteral("same start\u00E9||||1"), QStringLiteral("same start\u20AC||||1")}
            << QList<int>{5, 0, 1, 0}
            << QStringList{QStringLiteral("same start\u20AC"), QStringLiteral("same start\u00E9")};
        QTest::newRow("due time descending")
            << QStringList{"a||09:30pm||1", "b||||1", "c||08:00am||1"} << QList<int>{5, 0, 3, 1}
            << QStringList{"a", "c", "b"};
        QTest::newRow("status, then description")
            << QStringList{"b|||||x", "d||||| ", "a|||||x", "c||||| "} << QList<int>{0, 0, 1, 0}
            << QStringList{"c", "d", "a", "b"};
    }
    void advancedSort()
    {
        QFETCH(QStringList, tasks);
        QFETCH(QList<int>, choice);
        QFETCH(QStringList, expected);
        Clock::setInstance(std::make_shared<FixedClock>(QDateTime(kToday, QTime(9, 0))));
        LocaleFormats::setCurrent(kMonthFirst);
        CellStore s = makeFullTasks(tasks);
        const AdvancedSortChoice c{choice[0], choice[1], choice[2], choice[3]};
        const int last = s.rowCount() - 1;
        int current = 1;
        SortRows(s, {1, last, c[0], c[1] == 0 ? sdAscending : sdDescending, 12,
                     [](int col, TSortStyle& style) { style = taskGridFormat(col, false); }},
                 current);
        orderAdvancedSortRuns(s, 1, last, c, current);
        QCOMPARE(descriptionsOf(s), expected);
        QCOMPARE(s.cell(1, 0), QStringLiteral("Task"));
    }

    // The ordering within runs alone, on rows "run|description|key": dates and times that cannot
    // be read come before every real one and never stop the ordering; equal values keep their
    // order in both directions.
    void orderWithinRuns_data()
    {
        QTest::addColumn<QStringList>("rows");
        QTest::addColumn<int>("kind");
        QTest::addColumn<int>("direction");
        QTest::addColumn<QString>("dateFormat");
        QTest::addColumn<QStringList>("expected");
        const int date = int(RunKeyKind::Date);
        const int time = int(RunKeyKind::Time);
        const int text = int(RunKeyKind::Text);
        const QString mdy = QStringLiteral("m/d/yy");
        const QStringList emptyDate{"1|a|3/1/27", "1|b|", "1|c|1/5/27"};
        QTest::newRow("empty date first, ascending") << emptyDate << date << 0 << mdy << QStringList{"b", "c", "a"};
        QTest::newRow("empty date last, descending") << emptyDate << date << 1 << mdy << QStringList{"a", "c", "b"};
        const QStringList unreadableDate{"1|a|3/1/27", "1|b|soon", "1|c|", "1|d|13/45/27", "1|e|1/5/27"};
        QTest::newRow("unreadable dates as empty, ascending")
            << unreadableDate << date << 0 << mdy << QStringList{"b", "c", "d", "e", "a"};
        QTest::newRow("unreadable dates as empty, descending")
            << unreadableDate << date << 1 << mdy << QStringList{"a", "e", "b", "c", "d"};
        const QStringList times{"1|a|09:30pm", "1|b|", "1|c|12:00am", "1|d|25:99pm", "1|e|08:00am"};
        QTest::newRow("empty and unreadable times, ascending")
            << times << time << 0 << mdy << QStringList{"b", "d", "c", "e", "a"};
        QTest::newRow("empty and unreadable times, descending")
            << times << time << 1 << mdy << QStringList{"a", "e", "c", "b", "d"};
        const QStringList sameDates{"1|a|1/5/27", "1|b|1/5/27", "1|c|1/1/27", "1|d|01/05/2027"};
        QTest::newRow("equal dates keep their order, ascending")
            << sameDates << date << 0 << mdy << QStringList{"c", "a", "b", "d"};
        QTest::newRow("equal dates keep their order, descending")
            << sameDates << date << 1 << mdy << QStringList{"a", "b", "d", "c"};
        QTest::newRow("equal texts keep their order, descending")
            << QStringList{"1|a|Home", "1|b|Work", "1|c|Home", "1|d|home"} << text << 1 << mdy
            << QStringList{"d", "b", "a", "c"};
        QTest::newRow("two-digit years within 50 years of today")
            << QStringList{"1|a|1/1/30", "1|b|12/31/29", "1|c|1/1/76", "1|d|6/1/2074", "1|e|1/1/74"} << date << 0 << mdy
            << QStringList{"c", "b", "a", "e", "d"};
        QTest::newRow("day-first dates") << QStringList{"1|a|05/01/27", "1|b|01/02/27"} << date << 0
                                         << QStringLiteral("dd/mm/yy") << QStringList{"a", "b"};
        QTest::newRow("month-first dates") << QStringList{"1|a|05/01/27", "1|b|01/02/27"} << date << 0 << mdy
                                           << QStringList{"b", "a"};
        QTest::newRow("runs stay apart")
            << QStringList{"1|a|3/1/27", "1|b|1/1/27", "2|c|2/1/27", "1|d|", "1|e|1/1/26"} << date << 0 << mdy
            << QStringList{"b", "a", "c", "d", "e"};
    }
    void orderWithinRuns()
    {
        QFETCH(QStringList, rows);
        QFETCH(int, kind);
        QFETCH(int, direction);
        QFETCH(QString, dateFormat);
        QFETCH(QStringList, expected);
        QStringList tasks;
        for (const QString& row : rows) {
            const QStringList f = row.split(QLatin1Char('|'));
            tasks << QStringLiteral("%1|||%2|%3").arg(f[1], f[2], f[0]);  // the key in the category
        }
        CellStore s = makeFullTasks(tasks);
        RunOrdering how;
        how.runColumn = kTaskPriorityColumn;
        how.keyColumn = 4;
        how.kind = RunKeyKind(kind);
        how.direction = TSortDirection(direction);
        const std::vector<int> order = veltry::orderWithinRuns(
            s, 1, s.rowCount() - 1, how, LocaleFormats::fromPattern(dateFormat, QLatin1Char('/')), kToday);
        QStringList got;
        for (const int k : order)
            got << s.cell(1, 1 + k);
        QCOMPARE(got, expected);
    }

    // Where every value can be read and no two are equal, the result is the one the selection
    // sort of whole rows always gave; where values repeat, equal ones keep their order.
    void runOrderMatchesReference()
    {
        QRandomGenerator rng(815);
        for (int round = 0; round < 120; ++round) {
            RunOrdering how;
            how.runColumn = kTaskPriorityColumn;
            how.keyColumn = 4;
            how.kind = RunKeyKind(round % 3);
            how.direction = (round / 3) % 2 ? sdDescending : sdAscending;
            const bool repeated = (round / 6) % 2;
            const bool oneRun = (round / 12) % 2;
            const int n = int(rng.bounded(600));
            std::vector<int> values(size_t(24 * 60));
            std::iota(values.begin(), values.end(), 0);
            std::shuffle(values.begin(), values.end(), std::mt19937(rng.generate()));
            if (repeated)
                for (int& v : values)
                    v %= 7;
            QStringList tasks;
            std::vector<int> runs;
            int run = 0;
            for (int i = 0; i < n; ++i) {
                // Runs of some twenty rows on average, or one run of all.
                if (!oneRun && rng.bounded(20) == 0)
                    run = (run + 1) % 3;
                const int v = values[size_t(i)];
                QString key;
                if (how.kind == RunKeyKind::Date)
                    key = kMonthFirst.formatDate(kToday.addDays(v - 700));
                else if (how.kind == RunKeyKind::Time)
                    key = kMonthFirst.formatTime(QTime(v / 60, v % 60));
                else
                    key = QStringLiteral("%1%2").arg(QChar(QLatin1Char(char('A' + v % 52)))).arg(v);
                runs.push_back(run);
                tasks << QStringLiteral("t%1|||%2|%3").arg(i).arg(key).arg(runs.back());
            }
            CellStore fast = makeFullTasks(tasks);
            const std::vector<int> order = veltry::orderWithinRuns(fast, 1, fast.rowCount() - 1, how, kMonthFirst, kToday);
            int current = 1;
            applyRowOrder(fast, 1, order, current);
            QStringList expected;
            if (repeated) {
                std::vector<int> ids(static_cast<size_t>(n));
                std::iota(ids.begin(), ids.end(), 0);
                for (int start = 0, end = 0; start < n; start = end) {
                    while (end < n && runs[size_t(end)] == runs[size_t(start)])
                        ++end;
                    std::stable_sort(ids.begin() + start, ids.begin() + end, [&](int a, int b) {
                        return how.direction == sdAscending ? values[size_t(a)] < values[size_t(b)]
                                                            : values[size_t(a)] > values[size_t(b)];
                    });
                }
                for (const int id : ids)
                    expected << QStringLiteral("t%1").arg(id);
                if (n == 0)
                    expected << QString();
            } else {
                CellStore slow = makeFullTasks(tasks);
                referenceRunOrder(slow, how);
                expected = descriptionsOf(slow);
            }
            QCOMPARE(descriptionsOf(fast), expected);
        }
    }

    void advancedSortOpening_data()
    {
        QTest::addColumn<QList<int>>("stored");
        QTest::addColumn<QList<int>>("opening");
        QTest::newRow("never set") << QList<int>{-1, -1, -1, -1} << QList<int>{5, 0, 2, 0};
        QTest::newRow("kept") << QList<int>{0, 1, 3, 1} << QList<int>{0, 1, 3, 1};
        QTest::newRow("beyond the lists") << QList<int>{6, 2, 9, 7} << QList<int>{5, 0, 2, 0};
    }
    void advancedSortOpening()
    {
        QFETCH(QList<int>, stored);
        QFETCH(QList<int>, opening);
        const AdvancedSortChoice c = veltry::advancedSortOpening({stored[0], stored[1], stored[2], stored[3]});
        QCOMPARE((QList<int>{c[0], c[1], c[2], c[3]}), opening);
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
