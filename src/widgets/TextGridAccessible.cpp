#include "widgets/TextGridAccessible.h"

#include "widgets/AccessiblePart.h"
#include "widgets/Accessibility.h"
#include "widgets/TextGrid.h"

#include <QAccessibleActionInterface>
#include <QScrollBar>

namespace veltry {

namespace {

const char* const kCheckColumn = "veltryAccessibleCheckColumn";
const char* const kCheckPicture = "veltryAccessibleCheckPicture";
const char* const kPictureWords = "veltryAccessiblePictureWords";
const char* const kCheckNameColumn = "veltryAccessibleCheckNameColumn";
const char* const kCheckTitle = "veltryAccessibleCheckTitle";

// A cell of many megabytes is cut here: a screen reader reads no further, and the bus would
// carry it on every look.
constexpr int kMostSpokenChars = 4096;

// The grids somebody has asked about; only they are told of changes when no screen reader runs,
// so a grid nobody reads pays nothing for its events.
QHash<const TTextGrid*, TTextGridAccessible*>& tables()
{
    static QHash<const TTextGrid*, TTextGridAccessible*> all;
    return all;
}

TTextGridAccessible* tableOf(TTextGrid* grid)
{
    if (!accessibleEventsHeard() && !tables().contains(grid))
        return nullptr;
    return dynamic_cast<TTextGridAccessible*>(QAccessible::queryAccessibleInterface(grid));
}

// One cell of the grid, by its place (grid row, display column): a cell shows whatever is at its
// place now, as the grid does.
class TTextGridCellAccessible final : public TAccessiblePart, public QAccessibleTableCellInterface
{
public:
    TTextGridCellAccessible(TTextGrid* grid, int gridRow, int displayCol)
        : TAccessiblePart(grid), m_grid(grid), m_row(gridRow), m_col(displayCol)
    {
    }

    bool isValid() const override
    {
        return m_grid && m_row >= 0 && m_row < m_grid->RowCount() && m_col >= 0 && m_col < m_grid->ColCount();
    }

    QAccessible::Role role() const override
    {
        if (isHeader())
            return QAccessible::ColumnHeader;
        // The bus of our toolkit drops a cell's "checkable", and a screen reader says nothing of
        // a cell that is only "checked"; a check box it reads with its state.
        return isCheckCell() ? QAccessible::CheckBox : QAccessible::Cell;
    }

    QString text(QAccessible::Text t) const override
    {
        if (!isValid())
            return {};
        const int real = m_grid->DisplayToRealColumn(m_col);
        switch (t) {
        case QAccessible::Name: {
            if (isCheckCell() && isHeader() && m_grid->Cells(real, m_row).trimmed().isEmpty())
                return m_grid->property(kCheckTitle).toString();
            QString s = m_grid->Cells(isCheckCell() && !isHeader() ? checkNameColumn() : real, m_row);
            if (s.size() > kMostSpokenChars)
                s.truncate(kMostSpokenChars);
            s.replace(QLatin1String("\r\n"), QLatin1String("\n"));
            // A lone no-break space stands for "nothing" in some columns.
            return s.trimmed().isEmpty() ? QString() : s;
        }
        case QAccessible::Description: {
            const TCellGraphic* g = picture();
            if (!g || g->index == checkPicture())
                return {};
            const QStringList words = m_grid->property(kPictureWords).toStringList();
            return g->index >= 0 && g->index < words.size() ? words.at(g->index) : QString();
        }
        default:
            return {};
        }
    }

    QRect localRect() const override
    {
        const QRect r = m_grid->cellRect(m_col, m_row);
        return r.isEmpty() ? QRect() : QRect(m_grid->viewport()->mapTo(m_grid, r.topLeft()), r.size());
    }

    QAccessible::State state() const override
    {
        QAccessible::State s;
        if (!isValid()) {
            s.invalid = true;
            return s;
        }
        if (rect().isEmpty())
            s.invisible = s.offscreen = true;
        if (isHeader())
            return s;
        s.selectable = s.focusable = true;
        s.selected = isSelected();
        s.focused = m_grid->hasFocus() && m_grid->Row() == m_row && m_grid->Col() == m_col;
        if (isCheckCell()) {
            s.checkable = true;
            const TCellGraphic* g = picture();
            s.checked = g && g->index == checkPicture();
        }
        return s;
    }

    void* interface_cast(QAccessible::InterfaceType t) override
    {
        if (t == QAccessible::TableCellInterface)
            return static_cast<QAccessibleTableCellInterface*>(this);
        if (t == QAccessible::ActionInterface && !isHeader())
            return static_cast<QAccessibleActionInterface*>(this);
        return nullptr;
    }

    // QAccessibleTableCellInterface
    bool isSelected() const override
    {
        return isValid() && !isHeader() && m_grid->Selection().contains(QPoint(m_col, m_row));
    }
    QList<QAccessibleInterface*> columnHeaderCells() const override
    {
        auto* table = dynamic_cast<TTextGridAccessible*>(parent());
        if (!table || !isValid() || isHeader() || m_grid->FixedRows() <= 0)
            return {};
        return {table->child(table->childIndex(0, m_col))};
    }
    QList<QAccessibleInterface*> rowHeaderCells() const override { return {}; }
    int columnIndex() const override { return m_col; }
    int rowIndex() const override { return isValid() && !isHeader() ? m_row - m_grid->FixedRows() : -1; }
    int columnExtent() const override { return 1; }
    int rowExtent() const override { return 1; }
    QAccessibleInterface* table() const override { return parent(); }

    // QAccessibleActionInterface: the cell becomes the current one.
    QStringList actionNames() const override { return {setFocusAction()}; }
    void doAction(const QString& name) override
    {
        if (name != setFocusAction() || !isValid())
            return;
        m_grid->setFocus(Qt::OtherFocusReason);
        m_grid->setCurrentCell(m_col, m_row);
    }

private:
    bool isHeader() const { return m_grid && m_row < m_grid->FixedRows(); }
    int checkPicture() const
    {
        bool ok = false;
        const int i = m_grid->property(kCheckPicture).toInt(&ok);
        return ok ? i : -1;
    }
    bool isCheckCell() const
    {
        bool ok = false;
        const int c = m_grid->property(kCheckColumn).toInt(&ok);
        return ok && c == m_grid->DisplayToRealColumn(m_col);
    }
    int checkNameColumn() const
    {
        bool ok = false;
        const int c = m_grid->property(kCheckNameColumn).toInt(&ok);
        return ok && c >= 0 && c < m_grid->cellStore().columnCount() ? c : m_grid->DisplayToRealColumn(m_col);
    }
    const TCellGraphic* picture() const
    {
        return m_grid->cellStore().cellImage(m_grid->DisplayToRealColumn(m_col), m_row);
    }

    QPointer<TTextGrid> m_grid;
    int m_row;
    int m_col;
};

} // namespace

void describeGridPictures(TTextGrid* grid, int checkColumn, int checkPicture, const QStringList& pictureWords,
                          int checkNameColumn, const QString& checkTitle)
{
    grid->setProperty(kCheckColumn, checkColumn);
    grid->setProperty(kCheckPicture, checkPicture);
    grid->setProperty(kPictureWords, pictureWords);
    grid->setProperty(kCheckNameColumn, checkNameColumn);
    grid->setProperty(kCheckTitle, checkTitle);
}

void gridAccessiblePictureChanged(TTextGrid* grid, int realCol, int row)
{
    bool ok = false;
    // Only the current task's mark changes under the user's hand; a list being loaded would
    // flood the bus with one event a row.
    if (grid->property(kCheckColumn).toInt(&ok) != realCol || !ok || row != grid->Row())
        return;
    TTextGridAccessible* table = tableOf(grid);
    if (!table)
        return;
    const int child = table->childIndex(row, grid->columnMap().realToDisplay(realCol));
    if (child < 0)
        return;
    // The reader asks the cell for its state now; the event only says which state to ask for.
    QAccessible::State changed;
    changed.checked = true;
    QAccessibleStateChangeEvent event(grid, changed);
    event.setChild(child);
    sendAccessibleEvent(&event);
}

void gridAccessibleCurrentMoved(TTextGrid* grid, bool cellChanged)
{
    TTextGridAccessible* table = tableOf(grid);
    if (!table)
        return;
    const int child = table->childIndex(grid->Row(), grid->Col());
    if (child < 0)
        return;
    if (cellChanged && grid->hasFocus()) {
        QAccessibleEvent focus(grid, QAccessible::Focus);
        focus.setChild(child);
        sendAccessibleEvent(&focus);
    }
    // A single cell's selection moved with it; a stretched block only grew or shrank.
    if (grid->Selection().size() == QSize(1, 1)) {
        QAccessibleEvent selection(grid, QAccessible::Selection);
        selection.setChild(child);
        sendAccessibleEvent(&selection);
    }
    QAccessibleEvent within(grid, QAccessible::SelectionWithin);
    sendAccessibleEvent(&within);
}

void gridAccessibleReset(TTextGrid* grid)
{
    // Only cells already handed out can be out of date.
    TTextGridAccessible* table = tables().value(grid);
    if (!table)
        return;
    QAccessibleTableModelChangeEvent event(grid, QAccessibleTableModelChangeEvent::ModelReset);
    sendAccessibleEvent(&event);
    // Without a screen reader the toolkit does not pass the change on; the table still drops the
    // cells it handed out for the old content.
    if (!QAccessible::isActive())
        table->modelChange(&event);
}

TTextGridAccessible::TTextGridAccessible(TTextGrid* grid) : QAccessibleWidget(grid, QAccessible::Table)
{
    tables().insert(grid, this);
}

TTextGridAccessible::~TTextGridAccessible()
{
    dropCells();
    // The grid may be half destroyed by now; the entry goes by its address.
    for (auto it = tables().begin(); it != tables().end();) {
        if (it.value() == this)
            it = tables().erase(it);
        else
            ++it;
    }
}

TTextGrid* TTextGridAccessible::grid() const
{
    return static_cast<TTextGrid*>(object());
}

void* TTextGridAccessible::interface_cast(QAccessible::InterfaceType t)
{
    if (t == QAccessible::TableInterface)
        return static_cast<QAccessibleTableInterface*>(this);
    return QAccessibleWidget::interface_cast(t);
}

int TTextGridAccessible::headerRows() const
{
    return grid()->FixedRows() > 0 ? 1 : 0;
}

int TTextGridAccessible::columnCount() const
{
    return std::max(0, grid()->ColCount());
}

int TTextGridAccessible::rowCount() const
{
    return std::max(0, grid()->RowCount() - grid()->FixedRows());
}

int TTextGridAccessible::childCount() const
{
    return (rowCount() + headerRows()) * columnCount();
}

int TTextGridAccessible::childIndex(int gridRow, int displayCol) const
{
    const int cols = columnCount();
    if (displayCol < 0 || displayCol >= cols || gridRow < 0 || gridRow >= grid()->RowCount())
        return -1;
    if (gridRow < grid()->FixedRows())
        return gridRow == 0 ? displayCol : -1;
    return (gridRow - grid()->FixedRows() + headerRows()) * cols + displayCol;
}

QAccessibleInterface* TTextGridAccessible::cellInterface(int gridRow, int displayCol) const
{
    const quint64 key = (quint64(quint32(gridRow)) << 32) | quint32(displayCol);
    const auto it = m_cells.constFind(key);
    if (it != m_cells.constEnd())
        return QAccessible::accessibleInterface(*it);
    auto* cell = new TTextGridCellAccessible(grid(), gridRow, displayCol);
    m_cells.insert(key, QAccessible::registerAccessibleInterface(cell));
    return cell;
}

QAccessibleInterface* TTextGridAccessible::child(int index) const
{
    const int cols = columnCount();
    if (index < 0 || cols <= 0 || index >= childCount())
        return nullptr;
    const int line = index / cols;
    const int col = index % cols;
    if (line < headerRows())
        return cellInterface(0, col);
    return cellInterface(line - headerRows() + grid()->FixedRows(), col);
}

int TTextGridAccessible::indexOfChild(const QAccessibleInterface* child) const
{
    if (!child || child->parent() != this)
        return -1;
    auto* cell = const_cast<QAccessibleInterface*>(child)->tableCellInterface();
    if (!cell)
        return -1;
    const int row = child->role() == QAccessible::ColumnHeader ? 0 : cell->rowIndex() + grid()->FixedRows();
    return childIndex(row, cell->columnIndex());
}

QAccessibleInterface* TTextGridAccessible::childAt(int x, int y) const
{
    const QPoint local = grid()->viewport()->mapFromGlobal(QPoint(x, y));
    const QPoint cell = grid()->cellAt(local);
    const int index = childIndex(cell.y(), cell.x());
    return index >= 0 ? child(index) : nullptr;
}

QAccessibleInterface* TTextGridAccessible::focusChild() const
{
    if (QWidget* editor = grid()->inplaceEditor(); editor && editor->hasFocus())
        return QAccessible::queryAccessibleInterface(editor);
    if (!grid()->hasFocus())
        return nullptr;
    const int index = childIndex(grid()->Row(), grid()->Col());
    return index >= 0 ? child(index) : nullptr;
}

QAccessibleInterface* TTextGridAccessible::cellAt(int row, int column) const
{
    if (row < 0 || row >= rowCount() || column < 0 || column >= columnCount())
        return nullptr;
    return cellInterface(row + grid()->FixedRows(), column);
}

QString TTextGridAccessible::columnDescription(int column) const
{
    if (grid()->FixedRows() <= 0 || column < 0 || column >= columnCount())
        return {};
    QAccessibleInterface* header = cellInterface(0, column);
    return header ? header->text(QAccessible::Name) : QString();
}

QList<QAccessibleInterface*> TTextGridAccessible::selectedCells() const
{
    QList<QAccessibleInterface*> cells;
    const QRect block = grid()->Selection();
    for (int r = block.top(); r <= block.bottom(); ++r)
        for (int c = block.left(); c <= block.right(); ++c)
            if (r >= grid()->FixedRows() && r < grid()->RowCount() && c >= 0 && c < columnCount())
                cells << cellInterface(r, c);
    return cells;
}

int TTextGridAccessible::selectedCellCount() const
{
    return int(selectedCells().size());
}

QList<int> TTextGridAccessible::selectedRows() const
{
    QList<int> rows;
    const QRect block = grid()->Selection();
    if (block.left() > 0 || block.right() < columnCount() - 1)
        return rows;
    for (int r = block.top(); r <= block.bottom(); ++r)
        if (r >= grid()->FixedRows() && r < grid()->RowCount())
            rows << r - grid()->FixedRows();
    return rows;
}

QList<int> TTextGridAccessible::selectedColumns() const
{
    QList<int> columns;
    const QRect block = grid()->Selection();
    if (block.top() > grid()->FixedRows() || block.bottom() < grid()->RowCount() - 1)
        return columns;
    for (int c = block.left(); c <= block.right(); ++c)
        if (c >= 0 && c < columnCount())
            columns << c;
    return columns;
}

bool TTextGridAccessible::isColumnSelected(int column) const
{
    return selectedColumns().contains(column);
}

bool TTextGridAccessible::isRowSelected(int row) const
{
    return selectedRows().contains(row);
}

bool TTextGridAccessible::selectRow(int row)
{
    // Only a grid that selects whole rows can select one alone.
    if (!(grid()->Options() & TTextGrid::goRowSelect) || row < 0 || row >= rowCount())
        return false;
    grid()->setRow(row + grid()->FixedRows());
    return grid()->Row() == row + grid()->FixedRows();
}

void TTextGridAccessible::modelChange(QAccessibleTableModelChangeEvent*)
{
    dropCells();
}

void TTextGridAccessible::dropCells()
{
    const auto ids = m_cells.values();
    m_cells.clear();
    for (QAccessible::Id id : ids)
        QAccessible::deleteAccessibleInterface(id);
}

} // namespace veltry
