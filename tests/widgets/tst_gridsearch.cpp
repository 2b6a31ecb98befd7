#include "widgets/core/CellStore.h"
#include "widgets/core/ColumnMap.h"
#include "widgets/core/GridSearch.h"

#include <QTest>

using namespace veltry;

namespace {

// Title row first; cells separated by "|".
CellStore makeStore(const QStringList& rows, int columns)
{
    CellStore s;
    s.setColumnCount(columns);
    s.setRowCount(int(rows.size()));
    for (int r = 0; r < rows.size(); ++r) {
        const QStringList cells = rows.at(r).split(QLatin1Char('|'));
        for (int c = 0; c < cells.size(); ++c)
            s.setCell(c, r, cells.at(c));
    }
    return s;
}

const QStringList kRows{
    QStringLiteral("Task|xABCx|Title"),
    QStringLiteral("buy milk|xABCx|"),
    QStringLiteral("abc|call Bob|ABC"),
    QStringLiteral("Milk||abcd"),
};

GridShape shapeOf(const CellStore& s, const ColumnMap& map, int fixedCols = 0, int fixedRows = 1)
{
    return {s.columnCount() - map.hiddenCount(), s.rowCount(), fixedCols, fixedRows};
}

} // namespace

class TestGridSearch final : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void findFirst_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("options");
        QTest::addColumn<int>("fixedCols");
        QTest::addColumn<int>("hiddenColumn");  // real column to hide, or -1
        QTest::addColumn<int>("col");
        QTest::addColumn<int>("row");

        QTest::newRow("column by column, top down") << "abc" << 0 << 0 << -1 << 0 << 2;
        QTest::newRow("contains ignoring case") << "xabcx" << 0 << 0 << -1 << 1 << 1;
        QTest::newRow("match case misses other case") << "xabcx" << 1 << 0 << -1 << -1 << -1;
        QTest::newRow("match case skips to the exact case") << "ABC" << 1 << 0 << -1 << 1 << 1;
        QTest::newRow("whole cell") << "ABC" << 2 << 0 << -1 << 0 << 2;
        QTest::newRow("whole cell is not contains") << "bob" << 2 << 0 << -1 << -1 << -1;
        QTest::newRow("whole cell and match case") << "ABC" << 3 << 0 << -1 << 2 << 2;
        QTest::newRow("title row is not searched") << "Task" << 0 << 0 << -1 << -1 << -1;
        QTest::newRow("empty text finds nothing") << "" << 0 << 0 << -1 << -1 << -1;
        QTest::newRow("condition match finds nothing") << "abc" << 4 << 0 << -1 << -1 << -1;
        QTest::newRow("fixed columns are not searched") << "abc" << 0 << 1 << -1 << 1 << 1;
        QTest::newRow("hidden column is skipped") << "xabcx" << 0 << 0 << 1 << -1 << -1;
        QTest::newRow("display column after a hidden one") << "abcd" << 0 << 0 << 1 << 1 << 3;
        QTest::newRow("non-ASCII ignoring case") << QStringLiteral("\u00C9T\u00C9") << 0 << 0 << -1 << 1 << 2;
    }
    void findFirst()
    {
        QFETCH(QString, text);
        QFETCH(int, options);
        QFETCH(int, fixedCols);
        QFETCH(int, hiddenColumn);
        QFETCH(int, col);
        QFETCH(int, row);

        CellStore s = makeStore(kRows, 3);
        s.setCell(1, 2, QStringLiteral("call Bob \u00E9t\u00E9"));
        ColumnMap map;
        if (hiddenColumn >= 0)
            map.hide(hiddenColumn);
        GridSearch search;
        const GridCellPos found = search.FindFirst(s, map, shapeOf(s, map, fixedCols), text, options);
        QCOMPARE(found.col, col);
        QCOMPARE(found.row, row);
    }

    void findNextWalksAllMatches()
    {
        CellStore s = makeStore(kRows, 3);
        ColumnMap map;
        const GridShape shape = shapeOf(s, map);
        GridSearch search;
        QCOMPARE(search.FindFirst(s, map, shape, QStringLiteral("abc"), 0), (GridCellPos{0, 2}));
        QCOMPARE(search.FindNext(s, map, shape), (GridCellPos{1, 1}));
        QCOMPARE(search.FindNext(s, map, shape), (GridCellPos{2, 2}));
        QCOMPARE(search.FindNext(s, map, shape), (GridCellPos{2, 3}));
        QCOMPARE(search.FindNext(s, map, shape), GridCellPos{});
        QCOMPARE(search.FindNext(s, map, shape), GridCellPos{});
        // A new search starts over with its own text and options.
        QCOMPARE(search.FindFirst(s, map, shape, QStringLiteral("ABC"), 1), (GridCellPos{1, 1}));
        QCOMPARE(search.FindNext(s, map, shape), (GridCellPos{2, 2}));
        QCOMPARE(search.FindNext(s, map, shape), GridCellPos{});
        // From wherever the cursor is: down, then the next columns; up, then the columns before.
        const QString abc = QStringLiteral("abc");
        QCOMPARE(search.FindFrom(s, map, shape, abc, 0, {0, 1}, false), (GridCellPos{0, 2}));
        QCOMPARE(search.FindFrom(s, map, shape, abc, 0, {0, 2}, false), (GridCellPos{1, 1}));
        QCOMPARE(search.FindFrom(s, map, shape, abc, 0, {2, 3}, true), (GridCellPos{2, 2}));
        QCOMPARE(search.FindFrom(s, map, shape, abc, 0, {2, 2}, true), (GridCellPos{1, 1}));
        QCOMPARE(search.FindFrom(s, map, shape, abc, 0, {1, 1}, true), (GridCellPos{0, 2}));
        QCOMPARE(search.FindFrom(s, map, shape, abc, 0, {0, 2}, true), GridCellPos{});
    }

    void findOnEmptyGrids_data()
    {
        QTest::addColumn<QStringList>("rows");
        QTest::addColumn<int>("fixedCols");
        QTest::newRow("title row only") << QStringList{"abc|abc"} << 0;
        QTest::newRow("fixed cells only") << QStringList{"abc|abc", "abc"} << 2;
        QTest::newRow("no rows at all") << QStringList{} << 0;
    }
    void findOnEmptyGrids()
    {
        QFETCH(QStringList, rows);
        QFETCH(int, fixedCols);
        CellStore s = makeStore(rows, 2);
        ColumnMap map;
        GridSearch search;
        QCOMPARE(search.FindFirst(s, map, shapeOf(s, map, fixedCols), QStringLiteral("abc"), 0), GridCellPos{});
        QCOMPARE(search.FindNext(s, map, shapeOf(s, map, fixedCols)), GridCellPos{});
    }

    void findNextWithoutFindFirst()
    {
        CellStore s = makeStore(kRows, 3);
        ColumnMap map;
        GridSearch search;
        QCOMPARE(search.FindNext(s, map, shapeOf(s, map)), GridCellPos{});
    }

    void findRowByPrefix_data()
    {
        QTest::addColumn<QString>("prefix");
        QTest::addColumn<bool>("sortShow");
        QTest::addColumn<int>("sortColumn");
        QTest::addColumn<int>("expected");

        QTest::newRow("capital M skips small m") << "M" << true << 1 << 2;
        QTest::newRow("longer prefix") << "Mi" << true << 1 << 3;
        QTest::newRow("small m") << "m" << true << 1 << 1;
        QTest::newRow("none") << "X" << true << 1 << -1;
        QTest::newRow("title not a row") << "T" << true << 1 << -1;
        QTest::newRow("key column is the sort column") << "2" << true << 2 << 3;
        QTest::newRow("column 1 without sort display") << "Mow" << false << 2 << 2;
        QTest::newRow("empty prefix") << "" << true << 1 << -1;
    }
    void findRowByPrefix()
    {
        QFETCH(QString, prefix);
        QFETCH(bool, sortShow);
        QFETCH(int, sortColumn);
        QFETCH(int, expected);
        CellStore s = makeStore({"|Task|Due", "|milk|3", "|Mow lawn|1", "|Milk|2"}, 3);
        ColumnMap map;
        const int key = GridSearch::prefixKeyColumn(sortShow, sortColumn);
        QCOMPARE(GridSearch::FindRowByPrefix(s, shapeOf(s, map), key, prefix), expected);
    }

    void findRowByPrefixNeedsTwoRows()
    {
        CellStore s = makeStore({"|Milk"}, 2);
        QCOMPARE(GridSearch::FindRowByPrefix(s, {2, 1, 0, 0}, 1, QStringLiteral("M")), -1);
    }
};

QTEST_GUILESS_MAIN(TestGridSearch)
#include "tst_gridsearch.moc"
