#include "widgets/TextGrid.h"

#include "widgets/core/GridFile.h"

#include <QFontMetrics>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QScrollBar>
#include <algorithm>

namespace veltry {

TTextGrid::TTextGrid(QWidget* parent) : QAbstractScrollArea(parent)
{
    m_cells.setColumnCount(5);
    m_cells.setRowCount(5);
    m_colWidths.assign(5, m_defaultColWidth);
    setFocusPolicy(Qt::StrongFocus);
    viewport()->setMouseTracking(true);
    viewport()->setAutoFillBackground(false);
    setFrameShape(QFrame::StyledPanel);
    updateScrollBars();
}

TTextGrid::~TTextGrid() = default;

void TTextGrid::columnsChanged()
{
    const int n = std::max(0, ColCount());
    m_colWidths.resize(size_t(n), m_defaultColWidth);
    m_col = std::clamp(m_col, 0, std::max(0, n - 1));
    m_leftCol = std::clamp(m_leftCol, m_fixedCols, std::max(m_fixedCols, n - 1));
    updateScrollBars();
    viewport()->update();
}

void TTextGrid::setColCount(int n)
{
    m_cells.setColumnCount(std::max(0, n) + m_map.hiddenCount());
    columnsChanged();
}

void TTextGrid::setRowCount(int n)
{
    m_cells.setRowCount(std::max(0, n));
    if (m_row >= RowCount())
        m_row = std::max(std::min(m_fixedRows, RowCount() - 1), RowCount() - 1);
    updateScrollBars();
    viewport()->update();
}

void TTextGrid::setFixedCols(int n)
{
    m_fixedCols = std::max(0, n);
    columnsChanged();
}

void TTextGrid::setFixedRows(int n)
{
    m_fixedRows = std::max(0, n);
    m_topRow = std::max(m_topRow, m_fixedRows);
    m_row = std::max(m_row, m_fixedRows);
    updateScrollBars();
    viewport()->update();
}

void TTextGrid::setDefaultRowHeight(int h)
{
    m_defaultRowHeight = std::max(1, h);
    updateScrollBars();
    viewport()->update();
}

int TTextGrid::ColWidth(int displayCol) const
{
    return displayCol >= 0 && displayCol < int(m_colWidths.size()) ? m_colWidths[size_t(displayCol)] : m_defaultColWidth;
}

void TTextGrid::setColWidth(int displayCol, int width)
{
    if (displayCol < 0 || displayCol >= int(m_colWidths.size()))
        return;
    m_colWidths[size_t(displayCol)] = std::max(0, width);
    updateScrollBars();
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
    viewport()->update();
}

void TTextGrid::setOptions(quint32 options)
{
    m_options = options;
    viewport()->update();
}

void TTextGrid::setCells(int col, int row, const QString& text)
{
    m_cells.setCell(col, row, text);
    viewport()->update();
}

void TTextGrid::setCurrentCell(int displayCol, int row)
{
    displayCol = std::clamp(displayCol, std::min(m_fixedCols, ColCount() - 1), ColCount() - 1);
    row = std::clamp(row, std::min(m_fixedRows, RowCount() - 1), RowCount() - 1);
    if (displayCol == m_col && row == m_row)
        return;
    m_col = displayCol;
    m_row = row;
    // Keep the current row in view.
    if (m_row < m_topRow)
        setTopRow(m_row);
    else if (m_row >= m_topRow + visibleRowCount())
        setTopRow(m_row - visibleRowCount() + 1);
    viewport()->update();
    Q_EMIT currentCellChanged(m_col, m_row);
}

void TTextGrid::setTopRow(int row)
{
    row = std::clamp(row, m_fixedRows, std::max(m_fixedRows, RowCount() - 1));
    if (row != m_topRow) {
        m_topRow = row;
        verticalScrollBar()->setValue(row);
        viewport()->update();
    }
}

void TTextGrid::HideColumn(int realCol)
{
    if (m_map.isHidden(realCol) || realCol >= RealColCount() || ColCount() <= 2)
        return;
    m_map.hide(realCol);
    columnsChanged();
}

void TTextGrid::UnhideColumn(int realCol)
{
    if (!m_map.isHidden(realCol) || realCol > 255)
        return;
    m_map.unhide(realCol);
    columnsChanged();
}

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
}

void TTextGrid::RemoveCellImage(int col, int row)
{
    m_cells.removeCellImage(col, row);
    viewport()->update();
}

void TTextGrid::InsertRows(int row, int count)
{
    m_cells.insertRows(row, count);
    // Row heights travel with their rows.
    std::map<int, int> moved;
    for (const auto& [r, h] : m_rowHeights)
        moved[r >= row ? r + count : r] = h;
    m_rowHeights.swap(moved);
    updateScrollBars();
    viewport()->update();
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
    updateScrollBars();
    viewport()->update();
}

void TTextGrid::ClearRows(int row, int count)
{
    m_cells.clearRows(row, count);
    viewport()->update();
}

void TTextGrid::ClearAllCells()
{
    m_cells.clearAllCells();
    viewport()->update();
}

void TTextGrid::SwapRows(int a, int b)
{
    m_cells.swapRows(a, b);
    const int ha = RowHeight(a);
    const int hb = RowHeight(b);
    setRowHeight(a, hb);
    setRowHeight(b, ha);
    viewport()->update();
}

void TTextGrid::NumberRows(int col)
{
    for (int r = m_fixedRows; r < RowCount(); ++r)
        m_cells.setCell(col, r, QString::number(r - m_fixedRows + 1));
    viewport()->update();
}

void TTextGrid::SaveToFile(const QString& path) const
{
    GridFile::saveToFile(m_cells, path);
}

void TTextGrid::LoadFromFile(const QString& path)
{
    struct Refresh
    {
        TTextGrid* grid;
        ~Refresh()
        {
            grid->columnsChanged();
            grid->setRowCount(grid->RowCount());
        }
    } refresh{this};
    GridFile::loadFromFile(m_cells, path);
}

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

int TTextGrid::columnLeft(int displayCol) const
{
    int x = 0;
    for (int k = 0; k < m_fixedCols && k < displayCol; ++k)
        x += ColWidth(k) + 1;
    if (displayCol < m_fixedCols)
        return x;
    if (displayCol < m_leftCol)
        return -1;
    for (int k = m_leftCol; k < displayCol; ++k)
        x += ColWidth(k) + 1;
    return x;
}

int TTextGrid::rowTop(int row) const
{
    int y = 0;
    for (int r = 0; r < m_fixedRows && r < row; ++r)
        y += RowHeight(r) + 1;
    if (row < m_fixedRows)
        return y;
    if (row < m_topRow)
        return -1;
    if (m_rowHeights.empty())
        return y + (row - m_topRow) * (m_defaultRowHeight + 1);
    for (int r = m_topRow; r < row; ++r)
        y += RowHeight(r) + 1;
    return y;
}

QRect TTextGrid::cellRect(int displayCol, int row) const
{
    const int x = columnLeft(displayCol);
    const int y = rowTop(row);
    if (x < 0 || y < 0)
        return {};
    return QRect(x, y, ColWidth(displayCol), RowHeight(row));
}

QPoint TTextGrid::cellAt(const QPoint& pos) const
{
    int col = -1;
    for (int k = 0; k < ColCount(); ++k) {
        if (k >= m_fixedCols && k < m_leftCol)
            continue;
        const int x = columnLeft(k);
        if (x > viewport()->width())
            break;
        if (pos.x() >= x && pos.x() < x + ColWidth(k) + 1) {
            col = k;
            break;
        }
    }
    int row = -1;
    for (int r = 0; r < RowCount(); ++r) {
        if (r >= m_fixedRows && r < m_topRow) {
            r = m_topRow - 1;
            continue;
        }
        const int y = rowTop(r);
        if (y > viewport()->height())
            break;
        if (pos.y() >= y && pos.y() < y + RowHeight(r) + 1) {
            row = r;
            break;
        }
    }
    if (col < 0 || row < 0)
        return {-1, -1};
    return {col, row};
}

int TTextGrid::visibleRowCount() const
{
    int fixedHeight = 0;
    for (int r = 0; r < m_fixedRows; ++r)
        fixedHeight += RowHeight(r) + 1;
    return std::max(1, (viewport()->height() - fixedHeight) / (m_defaultRowHeight + 1));
}

void TTextGrid::updateScrollBars()
{
    QScrollBar* v = verticalScrollBar();
    const int maxTop = std::max(m_fixedRows, RowCount() - visibleRowCount());
    v->setRange(m_fixedRows, maxTop);
    v->setPageStep(visibleRowCount());
    v->setSingleStep(1);
    if (m_topRow > maxTop)
        m_topRow = maxTop;
    v->setValue(m_topRow);
    QScrollBar* h = horizontalScrollBar();
    h->setRange(m_fixedCols, std::max(m_fixedCols, ColCount() - 1));
    h->setValue(m_leftCol);
}

void TTextGrid::scrollContentsBy(int, int)
{
    m_topRow = std::max(m_fixedRows, verticalScrollBar()->value());
    m_leftCol = std::max(m_fixedCols, horizontalScrollBar()->value());
    viewport()->update();
}

void TTextGrid::resizeEvent(QResizeEvent* event)
{
    QAbstractScrollArea::resizeEvent(event);
    updateScrollBars();
}

void TTextGrid::drawCell(QPainter& p, int displayCol, int row, const QRect& rect, TGridDrawState state)
{
    const int realCol = DisplayToRealColumn(displayCol);
    QColor brush = (state & gdFixed) ? palette().color(QPalette::Button)
        : (state & gdSelected) ? palette().color(QPalette::Highlight)
                               : palette().color(QPalette::Base);
    QFont font = this->font();
    font.setPixelSize(font.pixelSize() > 0 ? font.pixelSize() : 12);
    if (state & gdSelected)
        font.setStyleStrategy(font.styleStrategy());
    QColor textColor = (state & gdSelected) && !(state & gdFixed) ? palette().color(QPalette::HighlightedText)
                                                                   : palette().color(QPalette::Text);
    if (OnGetCellColor) {
        QFont f = font;
        QColor b = brush;
        OnGetCellColor(this, row, realCol, state, b, f);
        brush = b;
        font = f;
    }
    p.fillRect(rect, brush);
    p.setFont(font);
    p.setPen(textColor);
    const QString text = m_cells.cell(realCol, row);
    const QRect box = rect.adjusted(2, 0, -2, 0);
    p.drawText(box, Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine, text);
    if (EnableGraphics && m_images) {
        if (const TCellGraphic* g = m_cells.cellImage(realCol, row)) {
            const QPixmap pm = m_images->image(g->index);
            int x = rect.left() + 1;
            if (g->horizontal == 1)
                x = rect.right() - pm.width();
            else if (g->horizontal == 2)
                x = rect.left() + (rect.width() - pm.width()) / 2;
            p.drawPixmap(x, rect.top() + 1, pm);
        }
    }
}

void TTextGrid::paintEvent(QPaintEvent*)
{
    QPainter p(viewport());
    p.fillRect(viewport()->rect(), palette().color(QPalette::Window));
    const QColor lineColor = palette().color(QPalette::Mid);
    const int vw = viewport()->width();
    const int vh = viewport()->height();
    for (int r = 0; r < RowCount(); ++r) {
        if (r >= m_fixedRows && r < m_topRow) {
            r = m_topRow - 1;
            continue;
        }
        const int y = rowTop(r);
        if (y >= vh)
            break;
        for (int k = 0; k < ColCount(); ++k) {
            if (k >= m_fixedCols && k < m_leftCol)
                continue;
            const int x = columnLeft(k);
            if (x >= vw)
                break;
            const QRect rect(x, y, ColWidth(k), RowHeight(r));
            TGridDrawState state = 0;
            const bool fixed = r < m_fixedRows || k < m_fixedCols || r >= RowCount() - m_fixedFooters
                || k >= ColCount() - m_fixedRightCols;
            if (fixed)
                state |= gdFixed;
            else if (r == m_row && (k == m_col || (m_options & goRowSelect)))
                state |= gdSelected | (hasFocus() && k == m_col ? gdFocused : 0);
            drawCell(p, k, r, rect, state);
            p.setPen(lineColor);
            const bool vert = fixed ? (m_options & goFixedVertLine) : (m_options & goVertLine);
            const bool horz = fixed ? (m_options & goFixedHorzLine) : (m_options & goHorzLine);
            if (vert)
                p.drawLine(rect.right() + 1, rect.top(), rect.right() + 1, rect.bottom() + 1);
            if (horz)
                p.drawLine(rect.left(), rect.bottom() + 1, rect.right() + 1, rect.bottom() + 1);
            if ((state & gdFocused))
                p.drawRect(rect.adjusted(0, 0, -1, -1));
        }
    }
}

int TTextGrid::resizeHandleAt(const QPoint& pos) const
{
    if (!(m_options & goColSizing))
        return -1;
    const QPoint cell = cellAt(pos);
    if (cell.y() < 0 || cell.y() >= m_fixedRows)
        return -1;
    for (int k = 0; k < ColCount(); ++k) {
        const int x = columnLeft(k);
        if (x < 0)
            continue;
        const int right = x + ColWidth(k);
        if (std::abs(pos.x() - right) <= 3)
            return k;
    }
    return -1;
}

void TTextGrid::mousePressEvent(QMouseEvent* event)
{
    const QPoint pos = event->position().toPoint();
    if (event->button() == Qt::LeftButton) {
        const int handle = resizeHandleAt(pos);
        if (handle >= 0) {
            m_sizingColumn = handle;
            m_sizingStartX = pos.x();
            m_sizingStartWidth = ColWidth(handle);
            return;
        }
    }
    const QPoint cell = cellAt(pos);
    if (cell.x() >= 0 && cell.y() >= m_fixedRows && cell.x() >= m_fixedCols)
        setCurrentCell(cell.x(), cell.y());
    if (cell.x() >= 0 && OnClickCell)
        OnClickCell(this, cell.y(), cell.x());
    QAbstractScrollArea::mousePressEvent(event);
}

void TTextGrid::mouseMoveEvent(QMouseEvent* event)
{
    const QPoint pos = event->position().toPoint();
    if (m_sizingColumn >= 0) {
        setColWidth(m_sizingColumn, std::max(0, m_sizingStartWidth + pos.x() - m_sizingStartX));
        return;
    }
    viewport()->setCursor(resizeHandleAt(pos) >= 0 ? Qt::SplitHCursor : Qt::ArrowCursor);
    QAbstractScrollArea::mouseMoveEvent(event);
}

void TTextGrid::mouseReleaseEvent(QMouseEvent* event)
{
    m_sizingColumn = -1;
    QAbstractScrollArea::mouseReleaseEvent(event);
}

void TTextGrid::mouseDoubleClickEvent(QMouseEvent* event)
{
    const QPoint cell = cellAt(event->position().toPoint());
    if (cell.x() >= 0 && OnDblClickCell)
        OnDblClickCell(this, cell.y(), cell.x());
    QAbstractScrollArea::mouseDoubleClickEvent(event);
}

void TTextGrid::keyPressEvent(QKeyEvent* event)
{
    switch (event->key()) {
    case Qt::Key_Up: setCurrentCell(m_col, m_row - 1); break;
    case Qt::Key_Down: setCurrentCell(m_col, m_row + 1); break;
    case Qt::Key_Left: setCurrentCell(m_col - 1, m_row); break;
    case Qt::Key_Right: setCurrentCell(m_col + 1, m_row); break;
    case Qt::Key_PageUp: setCurrentCell(m_col, m_row - visibleRowCount()); break;
    case Qt::Key_PageDown: setCurrentCell(m_col, m_row + visibleRowCount()); break;
    case Qt::Key_Home:
        if (event->modifiers() & Qt::ControlModifier)
            setCurrentCell(m_col, m_fixedRows);
        else
            setCurrentCell(m_fixedCols, m_row);
        break;
    case Qt::Key_End:
        if (event->modifiers() & Qt::ControlModifier)
            setCurrentCell(m_col, RowCount() - 1);
        else
            setCurrentCell(ColCount() - 1, m_row);
        break;
    default: QAbstractScrollArea::keyPressEvent(event); return;
    }
    event->accept();
}

} // namespace veltry
