#include "widgets/core/GridSearch.h"

#include "widgets/core/CellStore.h"
#include "widgets/core/ColumnMap.h"

#include <algorithm>

namespace veltry {

GridCellPos GridSearch::FindFirst(const CellStore& cells, const ColumnMap& columns, const GridShape& shape,
                                  const QString& text, int options)
{
    m_text = text;
    m_upperText = text.toUpper();
    m_options = options;
    m_active = true;
    m_last = searchFrom(cells, columns, shape, shape.fixedCols, shape.fixedRows);
    m_active = m_last.isValid();
    return m_last;
}

GridCellPos GridSearch::FindNext(const CellStore& cells, const ColumnMap& columns, const GridShape& shape)
{
    if (!m_active)
        return {};
    m_last = searchFrom(cells, columns, shape, m_last.col, m_last.row + 1);
    m_active = m_last.isValid();
    return m_last;
}

GridCellPos GridSearch::FindFrom(const CellStore& cells, const ColumnMap& columns, const GridShape& shape,
                                 const QString& text, int options, GridCellPos from, bool up)
{
    m_text = text;
    m_upperText = text.toUpper();
    m_options = options;
    m_last = up ? searchUpFrom(cells, columns, shape, from.col, from.row - 1)
                : searchFrom(cells, columns, shape, from.col, from.row + 1);
    m_active = m_last.isValid();
    return m_last;
}

bool GridSearch::matches(QByteArrayView utf8, const QByteArray& needle) const
{
    if (utf8.isEmpty())
        return false;
    if (m_options & MatchCase) {
        // UTF-8 is self-synchronising, so a byte search finds exactly the text matches.
        return utf8.contains(needle) && (!(m_options & WholeCell) || QString::fromUtf8(utf8).toUpper() == m_upperText);
    }
    const QString upper = QString::fromUtf8(utf8).toUpper();
    return upper.contains(m_upperText) && (!(m_options & WholeCell) || upper == m_upperText);
}

GridCellPos GridSearch::searchFrom(const CellStore& cells, const ColumnMap& columns, const GridShape& shape,
                                   int startCol, int startRow)
{
    if ((m_options & Condition) || m_text.isEmpty())
        return {};
    const QByteArray needle = m_text.toUtf8();
    for (int col = std::max(startCol, shape.fixedCols); col < shape.colCount; ++col) {
        const int real = columns.displayToReal(col);
        const int firstRow = col == startCol ? std::max(startRow, shape.fixedRows) : shape.fixedRows;
        for (int row = firstRow; row < shape.rowCount; ++row) {
            if (matches(cells.cellUtf8(real, row), needle))
                return {col, row};
        }
    }
    return {};
}

GridCellPos GridSearch::searchUpFrom(const CellStore& cells, const ColumnMap& columns, const GridShape& shape,
                                     int startCol, int startRow)
{
    if ((m_options & Condition) || m_text.isEmpty())
        return {};
    const QByteArray needle = m_text.toUtf8();
    for (int col = std::min(startCol, shape.colCount - 1); col >= shape.fixedCols; --col) {
        const int real = columns.displayToReal(col);
        const int lastRow = col == startCol ? std::min(startRow, shape.rowCount - 1) : shape.rowCount - 1;
        for (int row = lastRow; row >= shape.fixedRows; --row) {
            if (matches(cells.cellUtf8(real, row), needle))
                return {col, row};
        }
    }
    return {};
}

int GridSearch::FindRowByPrefix(const CellStore& cells, const GridShape& shape, int keyColumn, const QString& text)
{
    if (shape.rowCount < 2 || text.isEmpty())
        return -1;
    const QByteArray prefix = text.toUtf8();
    for (int row = std::max(shape.fixedRows, 0); row < shape.rowCount; ++row) {
        if (cells.cellUtf8(keyColumn, row).startsWith(prefix))
            return row;
    }
    return -1;
}

} // namespace veltry
