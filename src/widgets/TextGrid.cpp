#include "widgets/TextGrid.h"

#include "platform/core/AppError.h"
#include "widgets/GridHint.h"
#include "widgets/TextGridAccessible.h"

#include <QScrollBar>
#include <algorithm>

namespace veltry {

TTextGrid::TTextGrid(QWidget* parent) : QAbstractScrollArea(parent)
{
    m_cells.setColumnCount(5);
    m_cells.setRowCount(5);
    m_realWidths.assign(5, m_defaultColWidth);
    m_colWidths.assign(5, m_defaultColWidth);
    setFocusPolicy(Qt::StrongFocus);
    viewport()->setMouseTracking(true);
    viewport()->setAutoFillBackground(false);
    setFrameShape(QFrame::StyledPanel);

    // Take over the application's hint handler, keeping the one before us in the chain.
    m_prevHintHandler = TAppHint::showHintHandler();
    m_prevHintOwner = TAppHint::showHintHandlerOwner();
    QPointer<TTextGrid> self(this);
    TAppHint::setShowHintHandler(
        [self, previous = m_prevHintHandler](THintInfo& info) {
            if (self)
                self->showHint(info);
            if (previous) {
                try {
                    previous(info);
                } catch (...) {
                    // Our own hint is settled; a failing older handler must not undo it.
                }
            }
        },
        this);
    watchWindow();
    updateScrollBars();
}

TTextGrid::~TTextGrid()
{
    if (m_window)
        m_window->removeEventFilter(this);
    if (m_editor) {
        m_editor->removeEventFilter(this);
        m_editing = false;
    }
    try {
        saveColumnWidths();
    } catch (const AppError&) {
        // Nobody is left to tell; the widths simply stay as they were stored.
    }
    m_cells.clearAllCells();
    if (TAppHint::showHintHandlerOwner() == this)
        TAppHint::setShowHintHandler(m_prevHintHandler, m_prevHintOwner);
    if (m_hintCell.x() >= 0)
        TAppHint::cancelHint();
}

// --- dimensions -------------------------------------------------------------------------------

void TTextGrid::setColCount(int n)
{
    m_cells.setColumnCount(std::max(0, n) + m_map.hiddenCount());
    columnsChanged();
}

void TTextGrid::setRowCount(int n)
{
    m_cells.setRowCount(std::max(0, n));
    if (m_editing && m_editRow >= RowCount())
        closeEditor();
    if (m_baseValid && m_baseRow >= RowCount())
        m_baseValid = false;
    if (m_row >= RowCount())
        m_row = std::max(std::min(m_fixedRows, RowCount() - 1), RowCount() - 1);
    m_anchorRow = std::min(m_anchorRow, std::max(0, RowCount() - 1));
    updateScrollBars();
    viewport()->update();
    gridAccessibleReset(this);
}

void TTextGrid::setFixedCols(int n)
{
    m_fixedCols = std::max(0, n);
    m_col = std::max(m_col, std::min(m_fixedCols, ColCount() - 1));
    m_anchorCol = m_col;
    columnsChanged();
}

void TTextGrid::setFixedRows(int n)
{
    m_fixedRows = std::max(0, n);
    m_topRow = std::max(m_topRow, m_fixedRows);
    m_row = std::max(m_row, m_fixedRows);
    m_anchorRow = m_row;
    updateScrollBars();
    viewport()->update();
}

void TTextGrid::setDefaultRowHeight(int h)
{
    m_defaultRowHeight = std::max(1, h);
    updateScrollBars();
    placeEditor();
    viewport()->update();
}

int TTextGrid::RowHeight(int row) const
{
    const auto it = m_rowHeights.find(row);
    return it == m_rowHeights.end() ? m_defaultRowHeight : it->second;
}

void TTextGrid::setRowHeight(int row, int height)
{
    if (height == m_defaultRowHeight)
        m_rowHeights.erase(row);
    else
        m_rowHeights[row] = std::max(0, height);
    placeEditor();
    viewport()->update();
}

void TTextGrid::setOptions(quint32 options)
{
    m_options = options;
    if (!(m_options & goEditing) && m_editing)
        closeEditor();
    viewport()->update();
}


void TTextGrid::setCells(int col, int row, const QString& text)
{
    m_cells.setCell(col, row, text);
    cellsWritten(col, row, row);
}

void TTextGrid::cellsWritten(int realCol, int firstRow, int lastRow)
{
    // What the program writes is no typing: an open edit of such a cell ends (Escape has nothing
    // left to restore), and the validation base takes the new text, so it is never "validated"
    // or reverted as if the user had typed it.
    const auto hit = [&](int c, int r) { return (realCol < 0 || c == realCol) && r >= firstRow && r <= lastRow; };
    if (m_editing && hit(m_editReal, m_editRow))
        closeEditor();
    if (m_baseValid && hit(m_baseCol, m_baseRow))
        m_baseText = m_cells.cell(m_baseCol, m_baseRow);
    viewport()->update();
}

void TTextGrid::replaceCells(CellStore&& cells)
{
    if (m_editing)
        closeEditor();
    m_cells = std::move(cells);
    storeChanged();
}

void TTextGrid::storeChanged()
{
    // Hidden columns stay columns of the grid: a narrower store gets them back, empty, so the
    // hidden count never reaches past the real columns.
    const int hiddenEnd = m_map.hiddenEnd();
    if (m_cells.columnCount() < hiddenEnd)
        m_cells.setColumnCount(hiddenEnd);
    columnsChanged();
    rowsMoved();
}

// --- current cell and selection -----------------------------------------------------------------

void TTextGrid::setCurrentCell(int displayCol, int row)
{
    moveCurrent(displayCol, row, false);
}

void TTextGrid::moveCurrent(int displayCol, int row, bool extend)
{
    if (ColCount() <= 0 || RowCount() <= 0)
        return;
    // Footer rows and fixed right columns are drawn like titles and cannot be selected.
    const int loCol = std::min(m_fixedCols, ColCount() - 1);
    const int loRow = std::min(m_fixedRows, RowCount() - 1);
    displayCol = std::clamp(displayCol, loCol, std::max(loCol, lastSelectableCol()));
    row = std::clamp(row, loRow, std::max(loRow, lastSelectableRow()));
    if (m_editing)
        closeEditor();
    const bool changed = displayCol != m_col || row != m_row;
    const bool rangeChanged = !extend && (m_anchorCol != displayCol || m_anchorRow != row);
    m_col = displayCol;
    m_row = row;
    if (!extend) {
        m_anchorCol = displayCol;
        m_anchorRow = row;
    }
    if (!changed && !rangeChanged)
        return;
    if (changed) {
        validateCell();
        setValidationBase();
        cellSelected();
        scrollIntoView();
    }
    viewport()->update();
    if (changed)
        Q_EMIT currentCellChanged(m_col, m_row);
    gridAccessibleCurrentMoved(this, changed);
}

void TTextGrid::cellSelected()
{
    if (OnCanEditCell) {
        bool canEdit = true;
        OnCanEditCell(this, m_row, m_col, canEdit);
        m_options = canEdit ? (m_options | goEditing) : (m_options & ~quint32(goEditing));
    }
}

void TTextGrid::scrollIntoView()
{
    if (m_row >= m_fixedRows) {
        if (m_row < m_topRow)
            setTopRow(m_row);
        else if (m_row >= m_topRow + visibleRowCount())
            setTopRow(m_row - visibleRowCount() + 1);
    }
    if (m_col >= m_fixedCols) {
        if (m_col < m_leftCol) {
            setLeftCol(m_col);
        } else {
            int left = m_leftCol;
            while (left < m_col) {
                int x = 0;
                for (int k = 0; k < m_fixedCols; ++k)
                    x += ColWidth(k) + 1;
                for (int k = left; k <= m_col; ++k)
                    x += ColWidth(k) + 1;
                if (x <= viewport()->width())
                    break;
                ++left;
            }
            setLeftCol(left);
        }
    }
}

void TTextGrid::setTopRow(int row)
{
    row = std::clamp(row, m_fixedRows, std::max(m_fixedRows, RowCount() - 1));
    if (row != m_topRow) {
        m_topRow = row;
        verticalScrollBar()->setValue(row);
        placeEditor();
        viewport()->update();
    }
}

void TTextGrid::setLeftCol(int displayCol)
{
    displayCol = std::clamp(displayCol, m_fixedCols, std::max(m_fixedCols, ColCount() - 1));
    if (displayCol != m_leftCol) {
        m_leftCol = displayCol;
        horizontalScrollBar()->setValue(displayCol);
        placeEditor();
        viewport()->update();
    }
}

QRect TTextGrid::Selection() const
{
    QRect block = (m_options & goRangeSelect)
        ? QRect(QPoint(std::min(m_col, m_anchorCol), std::min(m_row, m_anchorRow)),
                QPoint(std::max(m_col, m_anchorCol), std::max(m_row, m_anchorRow)))
        : QRect(m_col, m_row, 1, 1);
    if (m_options & goRowSelect) {
        block.setLeft(std::min(m_fixedCols, std::max(0, ColCount() - 1)));
        block.setRight(std::max(block.left(), lastSelectableCol()));
    }
    return block;
}

void TTextGrid::setSelection(const QRect& block)
{
    moveCurrent(block.left(), block.top(), false);
    if (m_options & goRangeSelect)
        moveCurrent(block.right(), block.bottom(), true);
}

// --- pictures -----------------------------------------------------------------------------------

void TTextGrid::setGridImages(TImageList* images)
{
    m_images = images;
    viewport()->update();
}

void TTextGrid::SetCellImage(int col, int row, int index, int horizontal, int vertical)
{
    if (!m_images)
        return;
    TCellGraphic g;
    g.kind = TCellGraphic::ImageList;
    g.index = index;
    g.horizontal = quint8(std::clamp(horizontal, 0, 4));
    g.vertical = quint8(std::clamp(vertical, 0, 4));
    m_cells.setCellImage(col, row, g);
    viewport()->update();
    gridAccessiblePictureChanged(this, col, row);
}

void TTextGrid::RemoveCellImage(int col, int row)
{
    m_cells.removeCellImage(col, row);
    viewport()->update();
    gridAccessiblePictureChanged(this, col, row);
}

// --- row operations -----------------------------------------------------------------------------

void TTextGrid::rowsMoved()
{
    if (m_editing)
        closeEditor();
    if (RowCount() > 0) {
        const int lo = std::min(m_fixedRows, RowCount() - 1);
        m_row = std::clamp(m_row, lo, std::max(lo, lastSelectableRow()));
        m_anchorRow = m_row;
    }
    // The cells under the remembered text moved; start afresh from what is there now.
    if (m_baseValid)
        setValidationBase();
    updateScrollBars();
    viewport()->update();
    gridAccessibleReset(this);
}

void TTextGrid::InsertRows(int row, int count)
{
    m_cells.insertRows(row, count);
    // Row heights travel with their rows.
    std::map<int, int> moved;
    for (const auto& [r, h] : m_rowHeights)
        moved[r >= row ? r + count : r] = h;
    m_rowHeights.swap(moved);
    rowsMoved();
}

void TTextGrid::RemoveRows(int row, int count)
{
    m_cells.removeRows(row, count);
    std::map<int, int> moved;
    for (const auto& [r, h] : m_rowHeights)
        if (r < row || r >= row + count)
            moved[r >= row + count ? r - count : r] = h;
    m_rowHeights.swap(moved);
    if (m_row >= RowCount())
        m_row = std::max(0, RowCount() - 1);
    rowsMoved();
}

void TTextGrid::ClearRows(int row, int count)
{
    m_cells.clearRows(row, count);
    cellsWritten(-1, row, row + count - 1);
}

void TTextGrid::ClearAllCells()
{
    m_cells.clearAllCells();
    rowsMoved();
}

void TTextGrid::SwapRows(int a, int b)
{
    m_cells.swapRows(a, b);
    const int ha = RowHeight(a);
    const int hb = RowHeight(b);
    setRowHeight(a, hb);
    setRowHeight(b, ha);
    rowsMoved();
}

void TTextGrid::NumberRows(int col)
{
    for (int r = m_fixedRows; r < RowCount(); ++r)
        m_cells.setCell(col, r, QString::number(r - m_fixedRows + 1));
    cellsWritten(col, m_fixedRows, RowCount() - 1);
}

// --- sorting and search -------------------------------------------------------------------------

void TTextGrid::SortRows()
{
    sortRows(false);
}

void TTextGrid::sortRows(bool titleClick)
{
    if (m_editing)
        closeEditor();
    SortRequest request;
    request.firstRow = m_fixedRows;
    request.lastRow = RowCount() - 1 - m_fixedFooters;
    request.sortColumn = m_sortColumn;
    request.direction = SortDirection == sdDescendingValue ? sdDescending : sdAscending;
    request.realColumnCount = RealColCount();
    if (OnGetFormat) {
        request.getFormat = [this](int col, TSortStyle& style) {
            quint8 value = style;
            OnGetFormat(this, col, value);
            style = TSortStyle(value);
        };
    }
    if (request.lastRow > request.firstRow && m_sortColumn >= 0 && m_sortColumn < RealColCount()) {
        int current = m_row;
        if (!titleClick || !OnTitleClickSort || !OnTitleClickSort(this, m_cells, request, current))
            veltry::SortRows(m_cells, request, current);
        m_row = current;
    }
    rowsMoved();
    scrollIntoView();
}

GridCellPos TTextGrid::FindFirst(const QString& text, int options)
{
    return m_search.FindFirst(m_cells, m_map, GridShape{ColCount(), RowCount(), m_fixedCols, m_fixedRows}, text, options);
}

GridCellPos TTextGrid::FindNext()
{
    return m_search.FindNext(m_cells, m_map, GridShape{ColCount(), RowCount(), m_fixedCols, m_fixedRows});
}

GridCellPos TTextGrid::FindFrom(const QString& text, int options, bool up)
{
    return m_search.FindFrom(m_cells, m_map, GridShape{ColCount(), RowCount(), m_fixedCols, m_fixedRows}, text,
                             options, GridCellPos{m_col, m_row}, up);
}

int TTextGrid::FindRowByPrefix(const QString& text) const
{
    return GridSearch::FindRowByPrefix(m_cells, GridShape{ColCount(), RowCount(), m_fixedCols, m_fixedRows},
                                       GridSearch::prefixKeyColumn(m_sortShow, m_sortColumn), text);
}

// --- sort state and switches --------------------------------------------------------------------

void TTextGrid::setSortColumn(int realCol)
{
    m_sortColumn = realCol;
    viewport()->update();
}

void TTextGrid::setSortShow(bool on)
{
    m_sortShow = on;
    viewport()->update();
}

void TTextGrid::setFixedFooters(int n)
{
    m_fixedFooters = std::max(0, n);
    viewport()->update();
}

void TTextGrid::setFixedRightCols(int n)
{
    m_fixedRightCols = std::max(0, n);
    viewport()->update();
}

} // namespace veltry
