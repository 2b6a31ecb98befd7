#pragma once

#include "history/core/TaskLog.h"

namespace veltry {

class TTextGrid;

// Logging on a shown grid: rows move through the grid's own operations, so its current cell,
// an open edit, row heights and the scroll range follow.
class TextGridRows final : public TaskLogRows
{
public:
    explicit TextGridRows(TTextGrid* grid) : m_grid(grid) {}
    int rowCount() const override;
    QString cell(int col, int row) const override;
    void setCell(int col, int row, const QString& text) override;
    void insertRow(int row) override;
    void removeRow(int row) override;
    void clearRow(int row) override;

private:
    TTextGrid* m_grid;
};

} // namespace veltry
