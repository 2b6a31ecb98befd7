#pragma once

#include <QAccessibleWidget>
#include <QHash>
#include <QPointer>
#include <QStringList>

namespace veltry {

class TTextGrid;

// How a grid's pictures read to a screen reader: the cells of real column `checkColumn` are check
// boxes, checked while they show picture `checkPicture`; any other picture reads as the words
// `pictureWords` holds at its index (the description of its cell). A check box is named by the
// text of real column `checkNameColumn` in its row (its own text says nothing), and its column
// by `checkTitle` where the title row leaves it blank. A grid without this reads its texts only.
void describeGridPictures(TTextGrid* grid, int checkColumn, int checkPicture, const QStringList& pictureWords,
                          int checkNameColumn = -1, const QString& checkTitle = {});

// What the grid tells screen readers; it calls these where it changes.
void gridAccessibleCurrentMoved(TTextGrid* grid, bool cellChanged);
void gridAccessiblePictureChanged(TTextGrid* grid, int realCol, int row);
void gridAccessibleReset(TTextGrid* grid);

// The text grid as a table: the rows below the title rows by the shown columns (hidden columns
// are not there), with the title row's cells as the column headers.
class TTextGridAccessible final : public QAccessibleWidget, public QAccessibleTableInterface
{
public:
    explicit TTextGridAccessible(TTextGrid* grid);
    ~TTextGridAccessible() override;

    TTextGrid* grid() const;

    // QAccessibleInterface
    void* interface_cast(QAccessible::InterfaceType t) override;
    int childCount() const override;
    QAccessibleInterface* child(int index) const override;
    int indexOfChild(const QAccessibleInterface* child) const override;
    QAccessibleInterface* childAt(int x, int y) const override;
    QAccessibleInterface* focusChild() const override;

    // QAccessibleTableInterface; rows and columns count from 0 at the first normal row and the
    // first shown column.
    QAccessibleInterface* caption() const override { return nullptr; }
    QAccessibleInterface* summary() const override { return nullptr; }
    QAccessibleInterface* cellAt(int row, int column) const override;
    int selectedCellCount() const override;
    QList<QAccessibleInterface*> selectedCells() const override;
    QString columnDescription(int column) const override;
    QString rowDescription(int) const override { return {}; }
    int selectedColumnCount() const override { return int(selectedColumns().size()); }
    int selectedRowCount() const override { return int(selectedRows().size()); }
    int columnCount() const override;
    int rowCount() const override;
    QList<int> selectedColumns() const override;
    QList<int> selectedRows() const override;
    bool isColumnSelected(int column) const override;
    bool isRowSelected(int row) const override;
    bool selectRow(int row) override;
    bool selectColumn(int) override { return false; }
    bool unselectRow(int) override { return false; }
    bool unselectColumn(int) override { return false; }
    void modelChange(QAccessibleTableModelChangeEvent* event) override;

    // The child index of a grid cell (grid row, display column); -1 when it is not exposed.
    int childIndex(int gridRow, int displayCol) const;

private:
    // A title row: the first row when there are fixed rows.
    int headerRows() const;
    QAccessibleInterface* cellInterface(int gridRow, int displayCol) const;
    void dropCells();

    mutable QHash<quint64, QAccessible::Id> m_cells;
};

} // namespace veltry
