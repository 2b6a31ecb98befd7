#include "platform/core/Clock.h"
#include "platform/core/LocaleFormats.h"
#include "widgets/core/CellStore.h"
#include "widgets/core/GridSort.h"

#include <QRandomGenerator>
#include <QTest>
#include <functional>
#include <map>
#include <set>

using namespace veltry;

Q_DECLARE_METATYPE(veltry::TSortStyle)
Q_DECLARE_METATYPE(veltry::TSortDirection)

namespace {

const QDate kToday(2025, 6, 15);

// Row 0 is the title row; each further string is one row, cells separated by "|". Every data row
// carries its number as a picture index in column 0, so a test can follow rows without using a
// cell that takes part in the comparison.
CellStore makeStore(const QStringList& rows, int columns)
{
    CellStore s;
    s.setColumnCount(columns);
    s.setRowCount(int(rows.size()) + 1);
    for (int c = 0; c < columns; ++c)
        s.setCell(c, 0, QStringLiteral("T%1").arg(c));
    for (int r = 0; r < rows.size(); ++r) {
        const QStringList cells = rows.at(r).split(QLatin1Char('|'));
        for (int c = 0; c < cells.size(); ++c)
            s.setCell(c, r + 1, cells.at(c));
        TCellGraphic g;
        g.index = r;
        s.setCellImage(0, r + 1, g);
    }
    return s;
}

QList<int> rowIds(const CellStore& s, int first, int last)
{
    QList<int> ids;
    for (int r = first; r <= last; ++r)
        ids << (s.cellImage(0, r) ? s.cellImage(0, r)->index : -1);
    return ids;
}

SortFormatCallback stylesFrom(const std::map<int, TSortStyle>& styles)
{
    return [styles](int col, TSortStyle& style) {
        const auto it = styles.find(col);
        if (it != styles.end())
            style = it->second;
    };
}

// The sort as the grid has always done it, one comparison at a time: a copied middle pivot in a
// scratch row, exchanges through a second scratch row, cells read and styles asked afresh on every
// comparison.
void referenceSort(CellStore& s, int first, int last, int sortColumn, TSortDirection dir, int realColumns,
                   const SortFormatCallback& getFormat, int& current)
{
    s.setRowCount(s.rowCount() + 2);
    const int P = s.rowCount() - 2;
    const int X = s.rowCount() - 1;
    const int d = dir == sdAscending ? 1 : -1;
    auto cmp = [&](int a, int b) { return compareRows(s, a, b, sortColumn, realColumns, getFormat, kToday); };
    std::function<void(int, int)> sort = [&](int L, int R) {
        s.row(P) = s.row((L + R) / 2).clone();
        int i = L;
        int j = R;
        do {
            while (cmp(P, i) == d)
                ++i;
            while (cmp(j, P) == d)
                --j;
            if (i <= j) {
                if (i != j) {
                    s.row(X) = std::move(s.row(i));
                    s.row(i) = std::move(s.row(j));
                    s.row(j) = std::move(s.row(X));
                    if (current == i)
                        current = j;
                    else if (current == j)
                        current = i;
                }
                ++i;
                --j;
            }
        } while (i <= j);
        if (L < j)
            sort(L, j);
        if (i < R)
            sort(i, R);
    };
    if (first < last)
        sort(first, last);
    s.setRowCount(s.rowCount() - 2);
}

} // namespace

class TestGridSort final : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase()
    {
        Clock::setInstance(std::make_shared<FixedClock>(QDateTime(kToday, QTime(10, 0))));
        LocaleFormats::setCurrent(LocaleFormats::fromPattern(QStringLiteral("m/d/yy"), QLatin1Char('/')));
    }
    void cleanupTestCase()
    {
        Clock::setInstance(nullptr);
        LocaleFormats::resetCurrent();
    }

    void compareTexts_data()
    {
        QTest::addColumn<int>("style");
        QTest::addColumn<QString>("a");
        QTest::addColumn<QString>("b");
        QTest::addColumn<int>("expected");

        QTest::newRow("text by character code") << int(ssText) << "a" << "B" << 1;
        QTest::newRow("text empty first") << int(ssText) << "" << "10" << -1;
        QTest::newRow("text 10 before 9") << int(ssText) << "10" << "9" << -1;
        QTest::newRow("text equal") << int(ssText) << "abc" << "abc" << 0;
        QTest::newRow("text non-ASCII by code point") << int(ssText) << QStringLiteral("\u00E9") << "z" << 1;
        QTest::newRow("textcase as text") << int(ssTextCase) << "abc" << "ABC" << 1;
        QTest::newRow("nocase equal") << int(ssTextNoCase) << "abc" << "ABC" << 0;
        QTest::newRow("nocase non-ASCII equal") << int(ssTextNoCase) << QStringLiteral("\u00E9t\u00E9") << QStringLiteral("\u00C9T\u00C9") << 0;
        QTest::newRow("nocase orders letters") << int(ssTextNoCase) << "b" << "A" << 1;
        QTest::newRow("nocase underscore after letters") << int(ssTextNoCase) << "_" << "a" << 1;

        QTest::newRow("number 10 after 9") << int(ssNumber) << "10" << "9" << 1;
        QTest::newRow("number empty is zero") << int(ssNumber) << "" << "9" << -1;
        QTest::newRow("number empty vs negative") << int(ssNumber) << "" << "-1" << 1;
        QTest::newRow("number blanks around") << int(ssNumber) << " 7 " << "7" << 0;
        QTest::newRow("number exponent") << int(ssNumber) << "1e3" << "999" << 1;
        QTest::newRow("number leading point") << int(ssNumber) << ".5" << "0.4" << 1;
        QTest::newRow("number plus sign") << int(ssNumber) << "+3" << "2.5" << 1;
        QTest::newRow("number negative exponent") << int(ssNumber) << "-2E-1" << "-0.3" << 1;
        QTest::newRow("number not a number is equal") << int(ssNumber) << "abc" << "9" << 0;
        QTest::newRow("number comma is not a point") << int(ssNumber) << "1,5" << "2" << 0;
        QTest::newRow("number bare exponent") << int(ssNumber) << "1e" << "0" << 0;
        QTest::newRow("number lone point") << int(ssNumber) << "." << "5" << 0;
        QTest::newRow("number hex is not a number") << int(ssNumber) << "0x10" << "1" << 0;

        QTest::newRow("dmy day first") << int(ssDateDMY) << "02/01/25" << "31/12/24" << 1;
        QTest::newRow("mdy month first") << int(ssDateMDY) << "01/02/25" << "12/31/24" << 1;
        QTest::newRow("mdy same day other spelling") << int(ssDateMDY) << "1/2/2025" << "01-02-25" << 0;
        QTest::newRow("date unreadable before any date") << int(ssDateMDY) << "" << "1/1/80" << -1;
        QTest::newRow("date both unreadable equal") << int(ssDateDMY) << "soon" << "" << 0;
        QTest::newRow("date impossible is unreadable") << int(ssDateDMY) << "31/02/25" << "01/01/76" << -1;
        QTest::newRow("system date") << int(ssSystemDate) << "1/2/25" << "12/31/24" << 1;
        QTest::newRow("system date unreadable first") << int(ssSystemDate) << "" << "1/1/80" << -1;

        QTest::newRow("none always greater") << int(ssNone) << "a" << "a" << 1;
        QTest::newRow("above 7 is none") << 8 << "a" << "b" << 1;
        QTest::newRow("255 is none") << 255 << "b" << "a" << 1;
    }
    void compareTexts()
    {
        QFETCH(int, style);
        QFETCH(QString, a);
        QFETCH(QString, b);
        QFETCH(int, expected);
        QCOMPARE(compareCellTexts(TSortStyle(style), a.toUtf8(), b.toUtf8(), kToday), expected);
        if (style >= ssText && style <= ssDateMDY)
            QCOMPARE(compareCellTexts(TSortStyle(style), b.toUtf8(), a.toUtf8(), kToday), -expected);
    }

    void parseDate_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("dayFirst");
        QTest::addColumn<QDate>("today");
        QTest::addColumn<QDate>("expected");

        QTest::newRow("dmy") << "01/02/03" << true << kToday << QDate(2003, 2, 1);
        QTest::newRow("mdy") << "01/02/03" << false << kToday << QDate(2003, 1, 2);
        QTest::newRow("dash first then point") << "01-02.03" << true << kToday << QDate(2003, 2, 1);
        QTest::newRow("points") << "1.2.03" << true << kToday << QDate(2003, 2, 1);
        QTest::newRow("blanks around numbers") << " 1 / 2 / 03 " << true << kToday << QDate(2003, 2, 1);
        QTest::newRow("dash wins over slash") << "01/02-03" << true << kToday << QDate();
        QTest::newRow("year alone") << "2003" << true << kToday << QDate();
        QTest::newRow("one separator") << "1/2" << false << kToday << QDate();
        QTest::newRow("letters") << "a/b/c" << false << kToday << QDate();
        QTest::newRow("empty part") << "/2/03" << false << kToday << QDate();
        QTest::newRow("too many parts") << "1/2/3/4" << false << kToday << QDate();
        QTest::newRow("no 31 February") << "31/02/03" << true << kToday << QDate();
        QTest::newRow("month 13") << "13/01/03" << false << kToday << QDate();
        QTest::newRow("leap day") << "29/02/24" << true << kToday << QDate(2024, 2, 29);
        QTest::newRow("no leap day") << "29/02/23" << true << kToday << QDate();
        // Four-digit years are taken as written, not pushed into another century.
        QTest::newRow("four-digit year") << "01/02/2003" << true << kToday << QDate(2003, 2, 1);
        QTest::newRow("four-digit old year") << "01/02/1930" << true << kToday << QDate(1930, 2, 1);
        // Short years land within 50 years of today rather than on a fixed cut-off.
        QTest::newRow("30 is near future") << "01/02/30" << true << kToday << QDate(2030, 2, 1);
        QTest::newRow("74 is 2074") << "01/02/74" << true << kToday << QDate(2074, 2, 1);
        QTest::newRow("75 is 1975") << "01/02/75" << true << kToday << QDate(1975, 2, 1);
        QTest::newRow("99 is 1999") << "01/02/99" << true << kToday << QDate(1999, 2, 1);
        QTest::newRow("window moves with today") << "01/02/30" << true << QDate(2085, 1, 1) << QDate(2130, 2, 1);
        QTest::newRow("window moves back") << "01/02/80" << true << QDate(2085, 1, 1) << QDate(2080, 2, 1);
    }
    void parseDate()
    {
        QFETCH(QString, text);
        QFETCH(bool, dayFirst);
        QFETCH(QDate, today);
        QFETCH(QDate, expected);
        QCOMPARE(parseSortDate(text.toUtf8(), dayFirst, today), expected);
    }

    void tieBreakColumns_data()
    {
        QTest::addColumn<int>("sortColumn");
        QTest::addColumn<int>("realColumns");
        QTest::addColumn<int>("last");
        QTest::newRow("first of twelve") << 0 << 12 << 10;
        QTest::newRow("tenth of twelve") << 10 << 12 << 10;
        QTest::newRow("last of twelve sorts alone") << 11 << 12 << 11;
        QTest::newRow("two columns") << 0 << 2 << 0;
        QTest::newRow("three columns") << 0 << 3 << 1;
    }
    void tieBreakColumns()
    {
        QFETCH(int, sortColumn);
        QFETCH(int, realColumns);
        QFETCH(int, last);
        QCOMPARE(lastTieBreakColumn(sortColumn, realColumns), last);

        // Rows equal up to `last` and different after it compare equal; a difference at `last`
        // decides.
        CellStore s;
        s.setColumnCount(realColumns);
        s.setRowCount(3);
        for (int c = 0; c < realColumns; ++c)
            s.setCell(c, 0, QStringLiteral("x"));
        s.setCell(last, 1, QStringLiteral("b"));
        s.setCell(last, 2, QStringLiteral("a"));
        for (int r = 1; r <= 2; ++r)
            for (int c = last + 1; c < realColumns; ++c)
                s.setCell(c, r, r == 1 ? QStringLiteral("a") : QStringLiteral("b"));
        QCOMPARE(compareRows(s, 1, 2, sortColumn, realColumns, {}, kToday), 1);
        s.setCell(last, 2, QStringLiteral("b"));
        QCOMPARE(compareRows(s, 1, 2, sortColumn, realColumns, {}, kToday), 0);
    }

    void sortRows_data()
    {
        QTest::addColumn<QStringList>("rows");
        QTest::addColumn<int>("columns");
        QTest::addColumn<int>("sortColumn");
        QTest::addColumn<TSortDirection>("direction");
        QTest::addColumn<int>("style1");  // style of column 1, the others stay text
        QTest::addColumn<QList<int>>("expected");  // row numbers from the top

        const QStringList numbers{"|10", "|9", "|"};
        QTest::newRow("number ascending") << numbers << 3 << 1 << sdAscending << int(ssNumber) << QList<int>{2, 1, 0};
        QTest::newRow("number descending") << numbers << 3 << 1 << sdDescending << int(ssNumber) << QList<int>{0, 1, 2};
        QTest::newRow("text ascending") << numbers << 3 << 1 << sdAscending << int(ssText) << QList<int>{2, 0, 1};
        QTest::newRow("nocase ties go right") << QStringList{"|abc|1", "|ABC|2", "|abd|0"} << 4 << 1 << sdAscending
                                              << int(ssTextNoCase) << QList<int>{0, 1, 2};
        QTest::newRow("case-sensitive capitals first") << QStringList{"|abc|1", "|ABC|2", "|abd|0"} << 4 << 1
                                                       << sdAscending << int(ssText) << QList<int>{1, 0, 2};
        QTest::newRow("ties on the next column descending") << QStringList{"|a|1", "|b|5", "|a|3", "|b|2"} << 4 << 1
                                                            << sdDescending << int(ssText) << QList<int>{1, 3, 2, 0};
        QTest::newRow("dmy dates") << QStringList{"|02/01/25", "|31/12/24", "|", "|15/06/2025"} << 3 << 1 << sdAscending
                                   << int(ssDateDMY) << QList<int>{2, 1, 0, 3};
        QTest::newRow("mdy dates") << QStringList{"|02/01/25", "|12/31/24", "|junk", "|6/15/2025"} << 3 << 1
                                   << sdAscending << int(ssDateMDY) << QList<int>{2, 1, 0, 3};
        QTest::newRow("short years around the window") << QStringList{"|01/01/30", "|01/01/99", "|01/01/76"} << 3 << 1
                                                       << sdAscending << int(ssDateDMY) << QList<int>{2, 1, 0};
        // Only real calendar dates count; the rest sort first, tied, in their next column's order.
        QTest::newRow("calendar edges") << QStringList{"|29/02/1900|a", "|29/02/2000|b", "|31/04/2026|c", "|30/04/2026|d",
                                                       "|1/1/0000|e", "|28/02/1900|f", "|29/02/2028|g"}
                                        << 4 << 1 << sdAscending << int(ssDateDMY) << QList<int>{0, 2, 4, 5, 1, 3, 6};
        QTest::newRow("already sorted stays") << QStringList{"|a", "|b", "|c", "|d", "|e"} << 3 << 1 << sdAscending
                                              << int(ssText) << QList<int>{0, 1, 2, 3, 4};
        QTest::newRow("reversed") << QStringList{"|e", "|d", "|c", "|b", "|a"} << 3 << 1 << sdAscending << int(ssText)
                                  << QList<int>{4, 3, 2, 1, 0};
        // A column that does not sort must not send the ascending scan past the end of the rows.
        QTest::newRow("none ascending keeps rows") << QStringList{"|c", "|a", "|b"} << 3 << 1 << sdAscending
                                                   << int(ssNone) << QList<int>{0, 1, 2};
        QTest::newRow("above 7 ascending keeps rows") << QStringList{"|c", "|a", "|b", "|d"} << 3 << 1 << sdAscending
                                                      << 9 << QList<int>{0, 1, 2, 3};
        QTest::newRow("one row") << QStringList{"|z"} << 3 << 1 << sdAscending << int(ssText) << QList<int>{0};
    }
    void sortRows()
    {
        QFETCH(QStringList, rows);
        QFETCH(int, columns);
        QFETCH(int, sortColumn);
        QFETCH(TSortDirection, direction);
        QFETCH(int, style1);
        QFETCH(QList<int>, expected);

        CellStore s = makeStore(rows, columns);
        const auto styles = stylesFrom({{1, TSortStyle(style1)}});
        int current = 1;
        const int currentId = 0;
        SortRows(s, {1, int(rows.size()), sortColumn, direction, columns, styles}, current);
        QCOMPARE(rowIds(s, 1, int(rows.size())), expected);
        QCOMPARE(s.cell(0, 0), QStringLiteral("T0"));  // the title row stays
        QCOMPARE(s.cellImage(0, current)->index, currentId);
    }

    // Texts and pictures stay together, the rows outside the range do not move, and the current
    // row keeps naming the same row.
    void sortKeepsRowsWhole()
    {
        CellStore s = makeStore({"|c|3", "|a|1", "|b|2", "|footer|9"}, 3);
        TCellGraphic notes;
        notes.index = 77;
        s.setCellImage(2, 1, notes);
        int current = 2;  // "a"
        SortRows(s, {1, 3, 1, sdAscending, 3, {}}, current);
        QCOMPARE(s.cell(1, 1), QStringLiteral("a"));
        QCOMPARE(s.cell(2, 1), QStringLiteral("1"));
        QCOMPARE(s.cell(1, 3), QStringLiteral("c"));
        QCOMPARE(s.cell(2, 3), QStringLiteral("3"));
        QVERIFY(s.cellImage(2, 3) && s.cellImage(2, 3)->index == 77);
        QVERIFY(!s.cellImage(2, 1));
        QCOMPARE(s.cell(1, 4), QStringLiteral("footer"));
        QCOMPARE(current, 1);

        int title = 0;
        SortRows(s, {1, 3, 1, sdDescending, 3, {}}, title);
        QCOMPARE(title, 0);
        QCOMPARE(s.rowCount(), 5);
    }

    // The style of each column is asked for once per sort, not per comparison, and never for the
    // last column unless it is the sort column.
    void formatAskedPerColumn()
    {
        QStringList rows;
        for (int i = 0; i < 50; ++i)
            rows << QStringLiteral("|%1|x|x|x").arg(i % 3);
        CellStore s = makeStore(rows, 5);
        std::map<int, int> asked;
        auto count = [&](int col, TSortStyle&) { ++asked[col]; };
        int current = 1;
        SortRows(s, {1, 50, 1, sdAscending, 5, count}, current);
        QCOMPARE(asked, (std::map<int, int>{{1, 1}, {2, 1}, {3, 1}}));

        asked.clear();
        SortRows(s, {1, 50, 4, sdAscending, 5, count}, current);
        QCOMPARE(asked, (std::map<int, int>{{4, 1}}));
    }

    // The tie-break column uses its own style.
    void tieBreakUsesItsOwnStyle()
    {
        CellStore s = makeStore({"|a|10", "|a|9", "|a|"}, 4);
        int current = 1;
        SortRows(s, {1, 3, 1, sdAscending, 4, stylesFrom({{2, ssNumber}})}, current);
        QCOMPARE(rowIds(s, 1, 3), (QList<int>{2, 1, 0}));
    }

    void matchesReference_data()
    {
        QTest::addColumn<QList<int>>("styles");  // picked per column at random
        QTest::addColumn<bool>("descendingOnly");
        QTest::addColumn<bool>("uniqueRows");  // the last tie-break column tells every row apart
        QTest::newRow("text") << QList<int>{ssText, ssTextCase, ssTextNoCase} << false << false;
        QTest::newRow("text, rows all different") << QList<int>{ssText, ssTextCase, ssTextNoCase} << false << true;
        QTest::newRow("number") << QList<int>{ssNumber} << false << false;
        QTest::newRow("dates") << QList<int>{ssSystemDate, ssDateDMY, ssDateMDY} << false << false;
        QTest::newRow("dates, rows all different") << QList<int>{ssDateDMY, ssDateMDY, ssText} << false << true;
        QTest::newRow("mixed") << QList<int>{ssText, ssNumber, ssSystemDate, ssTextNoCase, ssTextCase, ssDateDMY, ssDateMDY}
                               << false << false;
        // Without a usable order the scan only stays in range going down, so that is where the
        // reference can run.
        QTest::newRow("none and above 7 descending") << QList<int>{ssNone, 8, ssText, ssNumber} << true << false;
    }
    void matchesReference()
    {
        QFETCH(QList<int>, styles);
        QFETCH(bool, descendingOnly);
        QFETCH(bool, uniqueRows);

        const QStringList pool{"", "a", "A", "b", "B", "ab", "10", "9", "-1", "1e1", "x", QStringLiteral("\u00E9"),
                               QStringLiteral("\u00C9"), "01/02/03", "1/2/2003", "31/12/99", "12/31/99", "2/30/20",
                               "05-06.07", "6/15/25", " 3 ", "notes for apples", "notes for Apples",
                               "notes fo", "notes for", "notes fob", QStringLiteral("ab") + QChar(0), "NOTES FOR APPLES"};
        QRandomGenerator rng(20250615u + quint32(styles.size()));
        for (int round = 0; round < 150; ++round) {
            const int columns = 2 + int(rng.bounded(11));
            const int n = int(rng.bounded(round < 20 ? 6 : 300));
            const int poolSize = 2 + int(rng.bounded(int(pool.size()) - 1));  // few texts: many ties
            QStringList rows;
            for (int r = 0; r < n; ++r) {
                QStringList cells;
                for (int c = 0; c < columns; ++c)
                    cells << pool.at(int(rng.bounded(poolSize)));
                if (uniqueRows && columns > 2)
                    cells[columns - 2] = QStringLiteral("%1/1/%2").arg(1 + r % 28).arg(2000 + r);
                rows << cells.join(QLatin1Char('|'));
            }
            std::map<int, TSortStyle> colStyles;
            for (int c = 0; c < columns; ++c)
                colStyles[c] = TSortStyle(styles.at(int(rng.bounded(int(styles.size())))));
            const auto getFormat = stylesFrom(colStyles);
            const int sortColumn = int(rng.bounded(columns));
            const TSortDirection dir = descendingOnly || rng.bounded(2) ? sdDescending : sdAscending;
            const int footer = n > 3 && rng.bounded(3) == 0 ? 1 : 0;
            const int first = 1;
            const int last = n - footer;

            CellStore fast = makeStore(rows, columns);
            CellStore slow = makeStore(rows, columns);
            int fastCurrent = n > 0 ? 1 + int(rng.bounded(n)) : 0;
            int slowCurrent = fastCurrent;
            SortRows(fast, {first, last, sortColumn, dir, columns, getFormat}, fastCurrent);
            referenceSort(slow, first, last, sortColumn, dir, columns, getFormat, slowCurrent);

            const QByteArray what = QStringLiteral("round %1: %2 rows, %3 columns, column %4, %5")
                                        .arg(round).arg(n).arg(columns).arg(sortColumn)
                                        .arg(dir == sdAscending ? QLatin1String("up") : QLatin1String("down")).toUtf8();
            QVERIFY2(rowIds(fast, 1, n) == rowIds(slow, 1, n), what.constData());
            QVERIFY2(fastCurrent == slowCurrent, what.constData());
            for (int r = 1; r <= n; ++r)
                for (int c = 0; c < columns; ++c)
                    QVERIFY2(fast.cellUtf8(c, r) == slow.cellUtf8(c, r), what.constData());
        }
    }
};

QTEST_GUILESS_MAIN(TestGridSort)
#include "tst_gridsort.moc"
