#include "widgets/GridHint.h"
#include "widgets/TextGrid.h"

#include "platform/core/ConfigStore.h"

#include <QApplication>
#include <QClipboard>
#include <QDialog>
#include <QLineEdit>
#include <QScreen>
#include <QScrollBar>
#include <QTemporaryFile>
#include <QTest>
#include <memory>

using veltry::CellStore;
using veltry::ConfigKey;
using veltry::ConfigStore;
using veltry::TAppHint;
using veltry::TCellLayout;
using veltry::THintInfo;
using veltry::TImageList;
using veltry::TTextGrid;

namespace {

const QString kKey = QStringLiteral(" HKEY_LOCAL_MACHINE\\SOFTWARE\\Veltry\\");
const QString kSection = QStringLiteral("ColumnSize");

QFont gridFont()
{
    QFont f;
    f.setPixelSize(12);
    return f;
}

// A shown grid of `cols` columns 80 pixels wide; row r, column c holds "r<r>c<c>" unless given.
// With a parent, the parent is what is shown.
std::unique_ptr<TTextGrid> makeGrid(int cols = 4, int rows = 5, QWidget* parent = nullptr)
{
    auto grid = std::make_unique<TTextGrid>(parent);
    grid->setFont(gridFont());
    grid->setColCount(cols);
    grid->setRowCount(rows);
    grid->setDefaultRowHeight(18);
    for (int c = 0; c < cols; ++c) {
        grid->setColWidth(c, 80);
        for (int r = 0; r < rows; ++r)
            grid->setCells(c, r, QStringLiteral("r%1c%2").arg(r).arg(c));
    }
    grid->resize(420, 220);
    QWidget* shown = parent ? parent : grid.get();
    shown->show();
    if (!QTest::qWaitForWindowExposed(shown))
        qWarning("grid window not exposed");
    return grid;
}

QStringList column(const TTextGrid& grid, int col)
{
    QStringList out;
    for (int r = grid.FixedRows(); r < grid.RowCount(); ++r)
        out << grid.Cells(col, r);
    return out;
}

QPoint cellPoint(const TTextGrid& grid, int col, int row, int dx = -1)
{
    const QRect r = grid.cellRect(col, row);
    return QPoint(dx < 0 ? r.center().x() : r.left() + dx, r.center().y());
}

QImage snapshot(QWidget* w)
{
    return w->grab().toImage().convertToFormat(QImage::Format_RGB32);
}

} // namespace

class TestTextGrid final : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void cleanup();

    void titleClick_data();
    void titleClick();
    void hintFollowsCell();
    void hintChainsToPreviousHandler();
    void typeAheadFindsCapital();
    void columnWidthsSurviveRecreation();
    void widthsBelongToColumns();
    void storedWidthTexts_data();
    void storedWidthTexts();
    void shortening_data();
    void shortening();
    void multiLineCells();
    void hugeCellDrawsWhatFits_data();
    void hugeCellDrawsWhatFits();
    void sortArrow_data();
    void sortArrow();
    void imagePlacement_data();
    void imagePlacement();
    void editingValidates();
    void escapeRestoresText();
    void programWritesAreNoTyping_data();
    void programWritesAreNoTyping();
    void canEditAndSizeWhileTyping();
    void footersAreNotSelectable();
    void clipboardCopyAndPaste();
    void hiddenColumnKeepsCells();
    void insertDeleteKeys();
    void enterAdvanceInserts();
    void sizeWithForm();
    void stretchLastColumn();
};

void TestTextGrid::cleanup()
{
    TAppHint::cancelHint();
}

// --- sorting by title clicks ----------------------------------------------------------------------

void TestTextGrid::titleClick_data()
{
    QTest::addColumn<int>("clickCol");
    QTest::addColumn<int>("dx");  // from the cell's left edge; -1 is its middle
    QTest::addColumn<int>("row");
    QTest::addColumn<int>("rows");
    QTest::addColumn<bool>("sorts");
    QTest::addColumn<int>("direction");

    // The grid starts sorted ascending on column 1.
    QTest::newRow("same column flips") << 1 << -1 << 0 << 5 << true << 1;
    QTest::newRow("other column ascends") << 2 << -1 << 0 << 5 << true << 0;
    QTest::newRow("left sizing zone") << 2 << 2 << 0 << 5 << false << 0;
    QTest::newRow("right sizing zone") << 2 << 78 << 0 << 5 << false << 0;
    QTest::newRow("just outside zone") << 2 << 4 << 0 << 5 << true << 0;
    QTest::newRow("data row") << 2 << -1 << 2 << 5 << false << 0;
    QTest::newRow("two rows only") << 2 << -1 << 0 << 2 << false << 0;
}

void TestTextGrid::titleClick()
{
    QFETCH(int, clickCol);
    QFETCH(int, dx);
    QFETCH(int, row);
    QFETCH(int, rows);
    QFETCH(bool, sorts);
    QFETCH(int, direction);

    auto grid = makeGrid(4, rows);
    grid->setOptions(grid->Options() | TTextGrid::goColSizing);
    grid->setSortShow(true);
    grid->setSortColumn(1);
    const QStringList texts{QStringLiteral("b"), QStringLiteral("d"), QStringLiteral("a"), QStringLiteral("c")};
    for (int r = 1; r < rows; ++r) {
        grid->setCells(1, r, texts.at(r - 1));
        grid->setCells(2, r, texts.at(4 - r));
    }
    int clicks = 0;
    int canSortCol = -1;
    grid->OnClickSort = [&](TTextGrid*, int) { ++clicks; };
    grid->OnCanSort = [&](TTextGrid*, int c, bool&) { canSortCol = c; };
    // The owner is offered the click's ordering first; declining leaves it to the grid.
    int offered = -1;
    grid->OnTitleClickSort = [&](TTextGrid*, CellStore&, const veltry::SortRequest& request, int&) {
        offered = request.sortColumn;
        return false;
    };
    const QStringList before = column(*grid, clickCol);

    QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, cellPoint(*grid, clickCol, row, dx));

    QCOMPARE(clicks, sorts ? 1 : 0);
    QCOMPARE(offered, sorts ? clickCol : -1);
    QCOMPARE(grid->SortColumn(), sorts ? clickCol : 1);
    QCOMPARE(int(grid->SortDirection), direction);
    if (sorts) {
        QCOMPARE(canSortCol, clickCol);
        QStringList expected = before;
        std::sort(expected.begin(), expected.end());
        if (direction == 1)
            std::reverse(expected.begin(), expected.end());
        QCOMPARE(column(*grid, clickCol), expected);
    } else {
        QCOMPARE(column(*grid, clickCol), before);
    }
    // A sort the program asks for is the grid's own.
    offered = -1;
    grid->SortRows();
    QCOMPARE(offered, -1);
}

// --- hints ----------------------------------------------------------------------------------------

void TestTextGrid::hintFollowsCell()
{
    auto grid = makeGrid();
    grid->HintColor = QColor(255, 255, 0);
    grid->OnGridHint = [](TTextGrid*, int r, int c, QString& hint) { hint = QStringLiteral("hint %1/%2").arg(r).arg(c); };

    QTest::mouseMove(grid->viewport(), cellPoint(*grid, 1, 2));
    QTRY_VERIFY(TAppHint::isHintShowing());
    const veltry::THintWindow* window = TAppHint::hintWindow();
    QCOMPARE(window->text(), QStringLiteral("hint 2/1"));
    QCOMPARE(window->color(), QColor(255, 255, 0));
    QCOMPARE(grid->HintCell(), QPoint(1, 2));
    const QRect cell = grid->cellRect(1, 2);
    QCOMPARE(window->pos(), grid->viewport()->mapToGlobal(QPoint(cell.left(), cell.top() + cell.height() + 6)));

    // Moving within the cell keeps the hint; moving to the next cell hides it at once.
    QTest::mouseMove(grid->viewport(), cellPoint(*grid, 1, 2, 10));
    QVERIFY(TAppHint::isHintShowing());
    QTest::mouseMove(grid->viewport(), cellPoint(*grid, 2, 3));
    QVERIFY(!TAppHint::isHintShowing());
    QCOMPARE(grid->HintCell(), QPoint(-1, -1));

    QTRY_VERIFY(TAppHint::isHintShowing());
    QCOMPARE(window->text(), QStringLiteral("hint 3/2"));
    const QRect next = grid->cellRect(2, 3);
    QCOMPARE(window->pos(), grid->viewport()->mapToGlobal(QPoint(next.left(), next.top() + next.height() + 6)));
}

void TestTextGrid::hintChainsToPreviousHandler()
{
    QStringList seen;
    const int ownerTag = 0;
    TAppHint::setShowHintHandler([&](THintInfo& info) { seen << info.HintStr; }, &ownerTag);
    {
        auto grid = makeGrid();
        grid->OnGridHint = [](TTextGrid*, int, int, QString& hint) { hint = QStringLiteral("from grid"); };
        QTest::mouseMove(grid->viewport(), cellPoint(*grid, 0, 1));
        QTRY_VERIFY(TAppHint::isHintShowing());
        // The older handler runs after the grid and sees the grid's text.
        QCOMPARE(seen, QStringList{QStringLiteral("from grid")});
        QCOMPARE(TAppHint::showHintHandlerOwner(), static_cast<const void*>(grid.get()));
    }
    QCOMPARE(TAppHint::showHintHandlerOwner(), static_cast<const void*>(&ownerTag));
    TAppHint::setShowHintHandler({});
}

// --- keys -----------------------------------------------------------------------------------------

void TestTextGrid::typeAheadFindsCapital()
{
    auto grid = makeGrid(3, 6);
    grid->setSortShow(true);
    grid->setSortColumn(1);
    const QStringList keys{QStringLiteral("apple"), QStringLiteral("mango"), QStringLiteral("Melon"), QStringLiteral("Mint"), QStringLiteral("zz")};
    for (int r = 1; r < 6; ++r)
        grid->setCells(1, r, keys.at(r - 1));
    grid->setFocus();
    grid->setCurrentCell(0, 1);

    QTest::keyClick(grid.get(), Qt::Key_M);
    QCOMPARE(grid->Row(), 3);  // "Melon", not the small "mango"
    QTest::keyClick(grid.get(), Qt::Key_Q);
    QCOMPARE(grid->Row(), 3);  // nothing starts with Q: stays
}

// --- column widths in the configuration store -----------------------------------------------------

void TestTextGrid::columnWidthsSurviveRecreation()
{
    auto configure = [](TTextGrid& grid) {
        grid.setOptions(grid.Options() | TTextGrid::goColSizing);
        grid.ColumnSize.Save = true;
        grid.ColumnSize.Key = kKey;
        grid.ColumnSize.Section = kSection;
    };
    {
        auto grid = makeGrid(4, 3);
        configure(*grid);
        grid->loadColumnWidths();
        // Drag the line right of column 1 thirty pixels to the right.
        const QRect title = grid->cellRect(1, 0);
        const QPoint line(title.left() + title.width(), title.center().y());
        QTest::mousePress(grid->viewport(), Qt::LeftButton, {}, line);
        QTest::mouseMove(grid->viewport(), line + QPoint(30, 0));
        QTest::mouseRelease(grid->viewport(), Qt::LeftButton, {}, line + QPoint(30, 0));
        QCOMPARE(grid->ColWidth(1), 110);
        grid->setColWidth(3, 55);
    }
    {
        auto grid = makeGrid(4, 3);
        configure(*grid);
        grid->loadColumnWidths();
        QCOMPARE(grid->ColWidth(1), 110);
        QCOMPARE(grid->ColWidth(3), 55);
        // With a column hidden, each value is still that of its real column.
        grid->setColWidth(2, 70);
        grid->HideColumn(1);
        grid->setColWidth(2, 66);  // real column 3
    }
    const ConfigKey key(ConfigStore::shared(), QStringLiteral("HKEY_CURRENT_USER"), kKey + kSection, false);
    QVERIFY(key.isOpen());
    QCOMPARE(key.readString(QStringLiteral("col0")), QStringLiteral("80"));
    QCOMPARE(key.readString(QStringLiteral("col1")), QStringLiteral("110"));  // hidden: its own width
    QCOMPARE(key.readString(QStringLiteral("col2")), QStringLiteral("70"));
    QCOMPARE(key.readString(QStringLiteral("col3")), QStringLiteral("66"));
}

void TestTextGrid::widthsBelongToColumns()
{
    const QString section = QStringLiteral("OwnWidths");
    const QList<int> own{30, 40, 77, 60, 70, 80, 90};
    {
        auto grid = makeGrid(7, 2);
        grid->ColumnSize = {true, kKey, section, false};
        for (int c = 0; c < 7; ++c)
            grid->setColWidth(c, c == 2 ? 50 : own.at(c));
        for (int c : {0, 4, 5})
            grid->HideColumn(c);
        QCOMPARE(grid->ColCount(), 4);
        QCOMPARE(grid->ColWidth(0), 40);  // real column 1
        QCOMPARE(grid->ColWidth(3), 90);  // real column 6
        grid->setColWidth(1, 77);         // real column 2
        for (int c : {0, 4, 5})
            grid->UnhideColumn(c);
        for (int c = 0; c < 7; ++c)
            QCOMPARE(grid->ColWidth(c), own.at(c));
        grid->HideColumn(2);
    }
    // Saved one value per real column, the hidden one included, so a grid that reads them before
    // hiding its columns gets each width back where it was.
    const ConfigKey key(ConfigStore::shared(), QStringLiteral("HKEY_CURRENT_USER"), kKey + section, false);
    QVERIFY(key.isOpen());
    for (int i = 0; i < own.size(); ++i)
        QCOMPARE(key.readString(QStringLiteral("col%1").arg(i)), QString::number(own.at(i)));
    auto reread = makeGrid(7, 2);
    reread->ColumnSize = {true, kKey, section, false};
    reread->loadColumnWidths();
    reread->HideColumn(2);
    QCOMPARE(reread->ColWidth(2), 60);  // real column 3
}

void TestTextGrid::storedWidthTexts_data()
{
    QTest::addColumn<QString>("stored");
    QTest::addColumn<int>("width");  // -1: the screen's available width
    QTest::newRow("decimal") << QStringLiteral("120") << 120;
    QTest::newRow("hex") << QStringLiteral("0x20") << 32;
    QTest::newRow("HEX") << QStringLiteral("0X1F") << 31;
    QTest::newRow("not a number") << QStringLiteral("wide") << 80;
    QTest::newRow("empty") << QString() << 80;
    QTest::newRow("negative") << QStringLiteral("-5") << 80;
    QTest::newRow("wider than any screen") << QStringLiteral("2147483647") << -1;
    QTest::newRow("hex, wider than any screen") << QStringLiteral("0x7FFFFFFF") << -1;
}

void TestTextGrid::storedWidthTexts()
{
    QFETCH(QString, stored);
    QFETCH(int, width);
    const QString section = QStringLiteral("Widths");
    {
        ConfigKey key(ConfigStore::shared(), QStringLiteral("HKEY_CURRENT_USER"), kKey + section, true);
        key.writeString(QStringLiteral("col0"), stored);
        key.close();
    }
    auto grid = makeGrid(2, 2);
    grid->ColumnSize.Save = true;
    grid->ColumnSize.Key = kKey;
    grid->ColumnSize.Section = section;
    grid->loadColumnWidths();
    if (width < 0)
        width = grid->screen()->availableGeometry().width();
    QCOMPARE(grid->ColWidth(0), width);
    grid->ColumnSize.Save = false;  // leave the stored text for the next row
}

// --- drawing --------------------------------------------------------------------------------------

void TestTextGrid::shortening_data()
{
    QTest::addColumn<int>("width");
    QTest::addColumn<bool>("enhanced");
    QTest::addColumn<QString>("kind");  // "full", "dots", "empty"
    QTest::newRow("40 chars in 100 px") << 100 << true << QStringLiteral("dots");
    QTest::newRow("narrower than dots") << 10 << true << QStringLiteral("empty");
    QTest::newRow("switched off") << 100 << false << QStringLiteral("full");
    QTest::newRow("fits") << 400 << true << QStringLiteral("full");
}

void TestTextGrid::shortening()
{
    QFETCH(int, width);
    QFETCH(bool, enhanced);
    QFETCH(QString, kind);
    const QString text = QStringLiteral("The quick brown fox jumps over the dog!!");
    QCOMPARE(text.size(), 40);
    auto grid = makeGrid(3, 3);
    grid->EnhTextSize = enhanced;
    grid->setColWidth(1, width + 4);  // the text box is the cell less 2 pixels each side
    grid->setCells(1, 1, text);

    const TCellLayout layout = grid->cellLayout(1, 1);
    QCOMPARE(layout.textBox.width(), width);
    QCOMPARE(layout.lines.size(), 1);
    const QString shown = layout.lines.first();
    const QFontMetrics fm(grid->font());
    if (kind == QLatin1String("full")) {
        QCOMPARE(shown, text);
    } else if (kind == QLatin1String("empty")) {
        QVERIFY(shown.isEmpty());
    } else {
        QVERIFY(shown.endsWith(QLatin1String("...")));
        const QString prefix = shown.chopped(3);
        QVERIFY(!prefix.isEmpty());
        QVERIFY(text.startsWith(prefix));
        QVERIFY(fm.horizontalAdvance(shown) <= width);
        // One more character would not have fitted.
        QVERIFY(fm.horizontalAdvance(text.left(prefix.size() + 1) + QLatin1String("...")) > width);
    }
}

void TestTextGrid::multiLineCells()
{
    auto grid = makeGrid(3, 3);
    grid->Multilinecells = true;
    grid->setRowHeight(1, 40);
    const QString first = QStringLiteral("short");
    const QString second = QStringLiteral("a much longer second line");
    grid->setCells(1, 1, first + QStringLiteral("\r\n") + second);

    const TCellLayout layout = grid->cellLayout(1, 1);
    QCOMPARE(layout.lines, (QStringList{first, second}));
    QCOMPARE(layout.lineRects.at(0).top(), layout.cell.top() + 2);
    QCOMPARE(layout.lineRects.at(1).top(), layout.lineRects.at(0).top() + layout.lineHeight);

    const QFontMetrics fm(grid->font());
    grid->AutoSizeColumn(1);
    QCOMPARE(grid->ColWidth(1), fm.horizontalAdvance(second) + fm.horizontalAdvance(QStringLiteral("xx")));

    // Without multi-line cells the text is one line.
    grid->Multilinecells = false;
    QCOMPARE(grid->cellLayout(1, 1).lines.size(), 1);
}

void TestTextGrid::hugeCellDrawsWhatFits_data()
{
    QTest::addColumn<bool>("enhanced");
    QTest::addColumn<bool>("rightAligned");
    QTest::addColumn<QString>("shown");  // a cell that shows all there is to see
    QTest::addColumn<QString>("more");   // what the huge cell adds (where it cannot be seen)

    const QString line = QStringLiteral("The quick brown fox jumps over the lazy dog. ").repeated(7);
    const QString tail = QString(10'000'000, QLatin1Char('x'));
    QTest::newRow("shortened") << true << false << line << tail;
    QTest::newRow("clipped") << false << false << line << tail;
    QTest::newRow("clipped, right-aligned") << false << true << line << tail;
    QTest::newRow("lines below the cell") << true << false << QStringLiteral("first\r\nsecond\r\nthird")
                                          << QStringLiteral("\r\nanother line").repeated(800'000);
}

void TestTextGrid::hugeCellDrawsWhatFits()
{
    QFETCH(bool, enhanced);
    QFETCH(bool, rightAligned);
    QFETCH(QString, shown);
    QFETCH(QString, more);
    auto grid = makeGrid(3, 3);
    grid->EnhTextSize = enhanced;
    grid->Multilinecells = true;
    if (rightAligned)
        grid->OnGetAlignment = [](TTextGrid*, int, int, Qt::Alignment& a) { a = Qt::AlignRight; };
    grid->setCurrentCell(0, 1);
    grid->setCells(1, 1, shown);
    grid->setCells(1, 2, rightAligned ? more + shown : shown + more);

    const QImage image = snapshot(grid->viewport());
    QCOMPARE(image.copy(grid->cellRect(1, 2)), image.copy(grid->cellRect(1, 1)));
    QCOMPARE(grid->cellLayout(1, 2).textWidth, grid->cellLayout(1, 1).textWidth);
    // Fitting the column never makes it narrower than the text that shows.
    grid->AutoSizeColumn(1);
    QVERIFY(grid->ColWidth(1) >= TTextGrid::cellTextWidth(shown.toUtf8(), QFontMetrics(grid->font())));
}

void TestTextGrid::sortArrow_data()
{
    QTest::addColumn<bool>("show");
    QTest::addColumn<int>("direction");
    QTest::newRow("ascending") << true << 0;
    QTest::newRow("descending") << true << 1;
    QTest::newRow("hidden") << false << 0;
}

void TestTextGrid::sortArrow()
{
    QFETCH(bool, show);
    QFETCH(int, direction);
    auto grid = makeGrid(3, 3);
    grid->setCells(1, 0, QStringLiteral("Due"));
    grid->setSortColumn(1);
    grid->setSortShow(show);
    grid->SortDirection = quint8(direction);

    const TCellLayout layout = grid->cellLayout(1, 0);
    QCOMPARE(layout.arrow, show);
    if (!show)
        return;
    const QFontMetrics fm(grid->font());
    const int x = layout.cell.left() + fm.horizontalAdvance(QStringLiteral("Due")) + 10;
    const int m = layout.cell.top() + layout.cell.height() / 2;
    QCOMPARE(layout.arrowCentre, QPoint(x, m));
    QCOMPARE(layout.arrowUp, direction == 0);

    const QImage img = snapshot(grid->viewport());
    const QRgb white = qRgb(255, 255, 255);
    const QRgb grey = qRgb(0x80, 0x80, 0x80);
    if (direction == 0) {
        QCOMPARE(img.pixel(x, m + 4), white);   // flat side at the bottom: points up
        QCOMPARE(img.pixel(x - 2, m), grey);    // left flank in shadow
    } else {
        QCOMPARE(img.pixel(x, m - 4), grey);    // flat side at the top: points down
        QCOMPARE(img.pixel(x + 2, m), white);   // right flank lit
    }
}

void TestTextGrid::imagePlacement_data()
{
    QTest::addColumn<int>("horizontal");
    QTest::addColumn<int>("vertical");
    QTest::addColumn<bool>("rightAligned");
    QTest::addColumn<int>("imageX");  // from the cell's left; -1: after the text, -2: before it
    QTest::addColumn<int>("imageY");  // from the cell's top; -1: below the first line
    QTest::addColumn<int>("boxLeft"); // text box edges relative to the plain box
    QTest::addColumn<int>("boxRight");

    // Cell 80 x 18, picture 14 x 12.
    QTest::newRow("left top") << 0 << 0 << false << 1 << 1 << 0 << 0;
    QTest::newRow("right bottom") << 1 << 1 << false << 80 - 14 - 1 << 18 - 12 - 1 << 0 << 0;
    QTest::newRow("centred") << 2 << 2 << false << (80 - 14) / 2 << (18 - 12) / 2 << 0 << 0;
    QTest::newRow("before left text") << 3 << 0 << false << 1 << 1 << 14 << 0;
    QTest::newRow("after left text") << 4 << 3 << false << -1 << -1 << 0 << -14;
    QTest::newRow("before right text") << 3 << 0 << true << -2 << 1 << 14 << 0;
    QTest::newRow("after right text") << 4 << 0 << true << 80 - 14 - 1 << 1 << 0 << -14;
}

void TestTextGrid::imagePlacement()
{
    QFETCH(int, horizontal);
    QFETCH(int, vertical);
    QFETCH(bool, rightAligned);
    QFETCH(int, imageX);
    QFETCH(int, imageY);
    QFETCH(int, boxLeft);
    QFETCH(int, boxRight);

    TImageList images(QSize(14, 12));
    QPixmap pm(14, 12);
    pm.fill(Qt::red);
    images.add(pm);
    auto grid = makeGrid(3, 3);
    grid->EnableGraphics = true;
    grid->setGridImages(&images);
    grid->setCells(1, 1, QStringLiteral("ab"));
    if (rightAligned)
        grid->OnGetAlignment = [](TTextGrid*, int, int, Qt::Alignment& a) { a = Qt::AlignRight; };
    grid->SetCellImage(1, 1, 0, horizontal, vertical);

    const TCellLayout layout = grid->cellLayout(1, 1);
    QVERIFY(layout.image);
    const QRect cell = layout.cell;
    const int tw = QFontMetrics(grid->font()).horizontalAdvance(QStringLiteral("ab"));
    const int expectX = imageX == -1 ? tw + 3 : imageX == -2 ? 80 - tw - 3 - 14 : imageX;
    const int expectY = imageY == -1 ? layout.lineHeight + 1 : imageY;
    QCOMPARE(layout.imageRect, QRect(cell.left() + expectX, cell.top() + expectY, 14, 12));
    const QRect plain = cell.adjusted(2, 0, -2, 0);
    QCOMPARE(layout.textBox.left(), plain.left() + boxLeft);
    QCOMPARE(layout.textBox.right(), plain.right() + boxRight);

    QVERIFY(snapshot(grid->viewport()).pixel(layout.imageRect.topLeft() + QPoint(1, 1)) == qRgb(255, 0, 0));
}

// --- editing --------------------------------------------------------------------------------------

void TestTextGrid::editingValidates()
{
    auto grid = makeGrid(3, 4);
    grid->setOptions(grid->Options() | TTextGrid::goEditing);
    QList<QStringList> calls;
    grid->OnCellValidate = [&](TTextGrid*, int col, int row, QString& value, bool& valid) {
        calls << QStringList{QString::number(col), QString::number(row), value};
        if (value == QLatin1String("bad"))
            valid = false;
        else if (value == QLatin1String("fix"))
            value = QStringLiteral("fixed"), valid = false;
        else
            value = value.toUpper();
    };
    grid->setFocus();
    QTRY_VERIFY(grid->hasFocus());

    auto typeInto = [&](int col, int row, const QString& text) {
        QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, cellPoint(*grid, col, row));
        QTest::keyClick(grid.get(), Qt::Key_F2);
        QVERIFY(grid->EditorMode());
        auto* edit = qobject_cast<QLineEdit*>(grid->inplaceEditor());
        QVERIFY(edit);
        edit->selectAll();
        QTest::keyClicks(edit, text);
        QCOMPARE(grid->Cells(col, row), text);  // the cell follows the typing
        QTest::keyClick(edit, Qt::Key_Return);
        QVERIFY(!grid->EditorMode());
        QTest::keyClick(grid.get(), Qt::Key_Down);  // leaving the cell validates it
    };

    typeInto(1, 1, QStringLiteral("good"));
    QCOMPARE(grid->Cells(1, 1), QStringLiteral("GOOD"));
    QCOMPARE(calls.size(), 1);
    QCOMPARE(calls.first(), (QStringList{QStringLiteral("1"), QStringLiteral("1"), QStringLiteral("good")}));

    typeInto(2, 1, QStringLiteral("bad"));
    QCOMPARE(grid->Cells(2, 1), QStringLiteral("r1c2"));  // invalid and unchanged: old text back

    typeInto(2, 2, QStringLiteral("fix"));
    QCOMPARE(grid->Cells(2, 2), QStringLiteral("fixed"));  // invalid but changed: the handler's text

    // Moving through cells without typing asks nothing.
    calls.clear();
    QTest::keyClick(grid.get(), Qt::Key_Up);
    QTest::keyClick(grid.get(), Qt::Key_Left);
    QVERIFY(calls.isEmpty());
}

void TestTextGrid::escapeRestoresText()
{
    auto grid = makeGrid(3, 4);
    grid->setOptions(grid->Options() | TTextGrid::goEditing);
    grid->setFocus();
    QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, cellPoint(*grid, 1, 2));
    grid->setCells(1, 2, QStringLiteral("by the program"));
    QTest::keyClick(grid.get(), Qt::Key_N);  // typing opens the editor, which takes the focus
    QVERIFY(grid->EditorMode());
    QTest::keyClicks(QApplication::focusWidget(), QStringLiteral("ew"));
    QCOMPARE(grid->Cells(1, 2), QStringLiteral("new"));
    QTest::keyClick(grid->inplaceEditor(), Qt::Key_Escape);
    QVERIFY(!grid->EditorMode());
    // Back to the text the cell had when the edit began.
    QCOMPARE(grid->Cells(1, 2), QStringLiteral("by the program"));
}

void TestTextGrid::programWritesAreNoTyping_data()
{
    QTest::addColumn<QString>("write");
    QTest::addColumn<bool>("editing");  // an edit of the cell is open when the program writes
    QTest::addColumn<QString>("after"); // the cell's text after the write
    for (const bool editing : {false, true}) {
        const char* open = editing ? ", edit open" : "";
        QTest::addRow("setCells%s", open) << "setCells" << editing << "program";
        QTest::addRow("ClearRows%s", open) << "ClearRows" << editing << "";
        QTest::addRow("editCells%s", open) << "editCells" << editing << "program";
        QTest::addRow("replaceCells%s", open) << "replaceCells" << editing << "program";
        QTest::addRow("LoadFromFile%s", open) << "LoadFromFile" << editing << "program";
        QTest::addRow("InsertRows%s", open) << "InsertRows" << editing << "";
    }
}

void TestTextGrid::programWritesAreNoTyping()
{
    QFETCH(QString, write);
    QFETCH(bool, editing);
    QFETCH(QString, after);
    QDialog dialog;
    dialog.resize(440, 240);
    auto grid = makeGrid(3, 4, &dialog);
    grid->setOptions(grid->Options() | TTextGrid::goEditing);
    QStringList validated;
    grid->OnCellValidate = [&](TTextGrid*, int, int, QString& value, bool&) { validated << value; };
    grid->setFocus();
    QTRY_VERIFY(grid->hasFocus());
    QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, cellPoint(*grid, 1, 2));
    if (editing) {
        QTest::keyClick(grid.get(), Qt::Key_F2);
        QVERIFY(grid->EditorMode());
        QTest::keyClicks(grid->inplaceEditor(), QStringLiteral("typed"));
    }

    if (write == QLatin1String("setCells")) {
        grid->setCells(1, 2, QStringLiteral("program"));
    } else if (write == QLatin1String("ClearRows")) {
        grid->ClearRows(2, 1);
    } else if (write == QLatin1String("editCells")) {
        grid->editCells([](CellStore& cells) { cells.setCell(1, 2, QStringLiteral("program")); });
    } else if (write == QLatin1String("replaceCells")) {
        CellStore cells;
        cells.setColumnCount(3);
        cells.setRowCount(4);
        cells.setCell(1, 2, QStringLiteral("program"));
        grid->replaceCells(std::move(cells));
    } else if (write == QLatin1String("LoadFromFile")) {
        QTemporaryFile file;
        QVERIFY(file.open());
        file.write("3,4\r\n1,1,a\r\n1,2,program\r\n1,3,b\r\n");
        file.close();
        grid->LoadFromFile(file.fileName());
    } else {
        grid->InsertRows(2, 1);
    }
    QVERIFY(!grid->EditorMode());
    QCOMPARE(grid->Cells(1, 2), after);

    // No edit is open, so Escape has nothing to undo and the dialog takes the key.
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape);
    QCOMPARE(grid->Cells(1, 2), after);
    QVERIFY(!dialog.isVisible());
    // Leaving the cell validates nothing: the user typed nothing into what is there now.
    grid->setCurrentCell(1, 1);
    QVERIFY(validated.isEmpty());
    QCOMPARE(grid->Cells(1, 2), after);
}

void TestTextGrid::canEditAndSizeWhileTyping()
{
    auto grid = makeGrid(3, 4);
    grid->Multilinecells = true;
    grid->SizeWhileTyping.Height = true;
    grid->SizeWhileTyping.Width = true;
    // Only column 2 may be edited; the answer switches the grid's editing option.
    grid->OnCanEditCell = [](TTextGrid*, int, int col, bool& canEdit) { canEdit = col == 2; };
    grid->setFocus();
    QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, cellPoint(*grid, 1, 1));
    QVERIFY(!(grid->Options() & TTextGrid::goEditing));
    QTest::keyClick(grid.get(), Qt::Key_F2);
    QVERIFY(!grid->EditorMode());

    QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, cellPoint(*grid, 2, 1));
    QVERIFY(grid->Options() & TTextGrid::goEditing);
    const QString line = QStringLiteral("a rather long first line");
    QTest::keyClick(grid.get(), line.at(0).toLatin1());
    QVERIFY(grid->EditorMode());
    QCOMPARE(QApplication::focusWidget(), grid->inplaceEditor());
    QTest::keyClicks(grid->inplaceEditor(), line.mid(1));
    QTest::keyClick(grid->inplaceEditor(), Qt::Key_Return, Qt::ShiftModifier);
    QTest::keyClicks(grid->inplaceEditor(), QStringLiteral("b"));
    QCOMPARE(grid->Cells(2, 1), line + QStringLiteral("\r\nb"));
    const QFontMetrics fm(grid->font());
    QCOMPARE(grid->RowHeight(1), 2 * fm.height() + 2);
    QCOMPARE(grid->ColWidth(2), fm.horizontalAdvance(line) + fm.horizontalAdvance(QStringLiteral("xx")));
    QTest::keyClick(grid->inplaceEditor(), Qt::Key_Return);
    QVERIFY(!grid->EditorMode());
    QCOMPARE(grid->cellLayout(2, 1).lines, (QStringList{line, QStringLiteral("b")}));
}

void TestTextGrid::footersAreNotSelectable()
{
    auto grid = makeGrid(4, 6);
    grid->setFixedFooters(1);
    grid->setFixedRightCols(1);
    grid->setFocus();
    grid->setCurrentCell(1, 1);
    QTest::keyClick(grid.get(), Qt::Key_End, Qt::ControlModifier);
    QCOMPARE(grid->Row(), 4);
    QTest::keyClick(grid.get(), Qt::Key_End);
    QCOMPARE(grid->Col(), 2);
    QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, cellPoint(*grid, 3, 5));
    QCOMPARE(QPoint(grid->Col(), grid->Row()), QPoint(2, 4));
    QVERIFY(grid->cellLayout(3, 2).state & veltry::gdFixed);
    QVERIFY(grid->cellLayout(1, 5).state & veltry::gdFixed);
    QCOMPARE(grid->cellLayout(1, 5).brush, grid->palette().color(QPalette::Button));
}

// --- clipboard ------------------------------------------------------------------------------------

void TestTextGrid::clipboardCopyAndPaste()
{
    auto grid = makeGrid(3, 4);
    grid->setOptions(grid->Options() | TTextGrid::goRangeSelect);
    grid->Navigation.AllowClipboardShortCuts = true;
    grid->setFocus();
    QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, cellPoint(*grid, 1, 1));
    QTest::mouseClick(grid->viewport(), Qt::LeftButton, Qt::ShiftModifier, cellPoint(*grid, 2, 2));
    QCOMPARE(grid->Selection(), QRect(QPoint(1, 1), QPoint(2, 2)));

    QTest::keyClick(grid.get(), Qt::Key_C, Qt::ControlModifier);
    QCOMPARE(QGuiApplication::clipboard()->text(), QStringLiteral("r1c1\tr1c2\r\nr2c1\tr2c2"));

    // Pasting at the last row's second column grows the grid by a row and a column.
    grid->setCurrentCell(2, 3);
    QTest::keyClick(grid.get(), Qt::Key_V, Qt::ControlModifier);
    QCOMPARE(grid->RowCount(), 5);
    QCOMPARE(grid->ColCount(), 4);
    QCOMPARE(grid->Cells(2, 3), QStringLiteral("r1c1"));
    QCOMPARE(grid->Cells(3, 3), QStringLiteral("r1c2"));
    QCOMPARE(grid->Cells(2, 4), QStringLiteral("r2c1"));
    QCOMPARE(grid->Cells(3, 4), QStringLiteral("r2c2"));

    // Without the shortcut switch Ctrl+X changes nothing.
    grid->Navigation.AllowClipboardShortCuts = false;
    QTest::keyClick(grid.get(), Qt::Key_X, Qt::ControlModifier);
    QCOMPARE(grid->Cells(2, 3), QStringLiteral("r1c1"));
    grid->CutToClipboard();
    QVERIFY(grid->Cells(2, 3).isEmpty());
    QCOMPARE(QGuiApplication::clipboard()->text(), QStringLiteral("r1c1"));
}

// --- hidden columns with row operations -----------------------------------------------------------

void TestTextGrid::hiddenColumnKeepsCells()
{
    auto grid = makeGrid(4, 5);
    grid->setSortShow(true);
    grid->setSortColumn(0);
    const QStringList keys{QStringLiteral("c"), QStringLiteral("a"), QStringLiteral("d"), QStringLiteral("b")};
    for (int r = 1; r < 5; ++r) {
        grid->setCells(1, r, keys.at(r - 1));
        grid->setCells(2, r, QStringLiteral("hidden-") + keys.at(r - 1));
    }
    grid->HideColumn(2);
    QCOMPARE(grid->ColCount(), 3);
    grid->InsertRows(1, 1);
    grid->setCells(1, 1, QStringLiteral("e"));
    grid->RemoveRows(3, 1);  // drops "a"
    // Title click on display column 1 sorts by real column 1 (ascending, then descending).
    QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, cellPoint(*grid, 1, 0));
    QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, cellPoint(*grid, 1, 0));
    QCOMPARE(column(*grid, 1), (QStringList{QStringLiteral("e"), QStringLiteral("d"), QStringLiteral("c"), QStringLiteral("b")}));
    // Display column 2 now shows real column 3.
    QCOMPARE(grid->cellLayout(2, 1).lines.first(), grid->Cells(3, 1));
    grid->UnhideColumn(2);
    QCOMPARE(grid->ColCount(), 4);
    QCOMPARE(column(*grid, 2), (QStringList{QString(), QStringLiteral("hidden-d"), QStringLiteral("hidden-c"), QStringLiteral("hidden-b")}));

    // Two display columns are the least.
    auto small = makeGrid(2, 2);
    small->HideColumn(0);
    QCOMPARE(small->ColCount(), 2);
    QVERIFY(!small->IsHiddenColumn(0));
}

void TestTextGrid::insertDeleteKeys()
{
    auto grid = makeGrid(3, 4);
    grid->Navigation.AllowInsertRow = true;
    grid->Navigation.AllowDeleteRow = true;
    QList<int> inserted, deleted;
    grid->OnAutoInsertRow = [&](TTextGrid*, int r) { inserted << r; };
    grid->OnAutoDeleteRow = [&](TTextGrid*, int r) { deleted << r; };
    grid->setFocus();
    grid->setCurrentCell(1, 2);
    QTest::keyClick(grid.get(), Qt::Key_Insert);
    QCOMPARE(grid->RowCount(), 5);
    QCOMPARE(inserted, QList<int>{2});
    QVERIFY(grid->Cells(1, 2).isEmpty());
    QCOMPARE(grid->Cells(1, 3), QStringLiteral("r2c1"));

    // Deleting the last row moves the cursor up and reports the old index.
    grid->setCurrentCell(1, 4);
    QTest::keyClick(grid.get(), Qt::Key_Delete);
    QCOMPARE(grid->RowCount(), 4);
    QCOMPARE(deleted, QList<int>{4});
    QCOMPARE(grid->Row(), 3);
    QTest::keyClick(grid.get(), Qt::Key_Delete);
    QTest::keyClick(grid.get(), Qt::Key_Delete);
    QCOMPARE(grid->RowCount(), 2);  // one normal row always stays
    QTest::keyClick(grid.get(), Qt::Key_Delete);
    QCOMPARE(grid->RowCount(), 2);
}

void TestTextGrid::enterAdvanceInserts()
{
    auto grid = makeGrid(2, 3);
    grid->Navigation.AdvanceOnEnter = true;
    grid->Navigation.AdvanceInsert = true;
    QList<int> inserted;
    grid->OnAutoInsertRow = [&](TTextGrid*, int r) { inserted << r; };
    grid->setFocus();
    grid->setCurrentCell(0, 2);
    QTest::keyClick(grid.get(), Qt::Key_Return);
    QCOMPARE(grid->Col(), 1);
    QCOMPARE(grid->Row(), 2);
    QTest::keyClick(grid.get(), Qt::Key_Return);
    QCOMPARE(grid->RowCount(), 4);
    QCOMPARE(QPoint(grid->Col(), grid->Row()), QPoint(0, 3));
    QCOMPARE(inserted, QList<int>{3});
}

// --- window size ----------------------------------------------------------------------------------

void TestTextGrid::sizeWithForm()
{
    QWidget window;
    window.resize(400, 300);
    auto* grid = new TTextGrid(&window);
    grid->setGeometry(10, 10, 300, 200);
    grid->SizeWithForm = true;
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    window.resize(450, 330);
    QTRY_COMPARE(grid->size(), QSize(350, 230));
    grid->SizeWithForm = false;
    window.resize(400, 300);
    QTest::qWait(20);
    QCOMPARE(grid->size(), QSize(350, 230));
}

void TestTextGrid::stretchLastColumn()
{
    auto grid = makeGrid(3, 3);
    grid->ColumnSize.Stretch = true;
    grid->setColWidth(0, 50);
    const int client = grid->viewport()->width();
    QCOMPARE(grid->ColWidth(2), client - (50 + 1) - (80 + 1) - 4);
    grid->resize(grid->width() + 40, grid->height());
    QCOMPARE(grid->ColWidth(2), grid->viewport()->width() - (50 + 1) - (80 + 1) - 4);
    // Nothing to stretch into when the other columns fill the view.
    grid->setColWidth(0, 1000);
    const int before = grid->ColWidth(2);
    grid->setColWidth(1, 90);
    QCOMPARE(grid->ColWidth(2), before);
}

QTEST_MAIN(TestTextGrid)
#include "wtst_textgrid.moc"
