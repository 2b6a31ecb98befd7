#include "history/TaskLogGrid.h"

#include "widgets/TextGrid.h"

namespace veltry {

int TextGridRows::rowCount() const
{
    return m_grid->RowCount();
}

QString TextGridRows::cell(int col, int row) const
{
    return m_grid->Cells(col, row);
}

void TextGridRows::setCell(int col, int row, const QString& text)
{
    m_grid->setCells(col, row, text);
}

void TextGridRows::insertRow(int row)
{
    m_grid->InsertRows(row, 1);
}

void TextGridRows::removeRow(int row)
{
    m_grid->RemoveRows(row, 1);
}

void TextGridRows::clearRow(int row)
{
    m_grid->ClearRows(row, 1);
}

} // namespace veltry
