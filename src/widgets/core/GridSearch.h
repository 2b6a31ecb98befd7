#pragma once

#include <QByteArrayView>
#include <QString>

namespace veltry {

class CellStore;
class ColumnMap;

// What the search needs to know of the grid: its shown columns and rows and the fixed ones.
struct GridShape
{
    int colCount = 0;  // display columns
    int rowCount = 0;
    int fixedCols = 0;
    int fixedRows = 0;
};

// A found cell as (display column, row); (-1, -1) when nothing was found.
struct GridCellPos
{
    int col = -1;
    int row = -1;
    bool isValid() const { return col >= 0 && row >= 0; }
    bool operator==(const GridCellPos&) const = default;
};

// Text search over the shown cells, column by column and within a column from the top. Keeps the
// text, the options and the last match between FindFirst and FindNext.
class GridSearch final
{
public:
    enum Option : int {
        MatchCase = 1,
        WholeCell = 2,  // the cell must equal the text (compared in upper case)
        // A condition match. No grammar for conditions is defined, so a search with this bit set
        // finds nothing rather than guessing.
        Condition = 4,
    };

    // A cell matches when it contains the text (both in upper case unless MatchCase) and, with
    // WholeCell, also equals it. An empty text matches nothing.
    GridCellPos FindFirst(const CellStore& cells, const ColumnMap& columns, const GridShape& shape,
                          const QString& text, int options);
    // Continues below the last match, then in the columns after it; (-1, -1) once nothing more
    // is found (and on every call after that until the next FindFirst).
    GridCellPos FindNext(const CellStore& cells, const ColumnMap& columns, const GridShape& shape);
    // Searches for `text` from the cell after `from`: below it, then the columns after it each
    // from the top; with `up` above it, then the columns before it each from the bottom. The
    // search is remembered as FindFirst's is.
    GridCellPos FindFrom(const CellStore& cells, const ColumnMap& columns, const GridShape& shape,
                         const QString& text, int options, GridCellPos from, bool up);

    // The first row from fixedRows on whose `keyColumn` (a real column) begins with `text`,
    // case-sensitively; -1 when there is none, when the grid has fewer than two rows or the text
    // is empty. The key column is the sort column while sorting is shown, else column 1.
    static int FindRowByPrefix(const CellStore& cells, const GridShape& shape, int keyColumn, const QString& text);
    static int prefixKeyColumn(bool sortShow, int sortColumn) { return sortShow ? sortColumn : 1; }

private:
    GridCellPos searchFrom(const CellStore& cells, const ColumnMap& columns, const GridShape& shape,
                           int startCol, int startRow);
    GridCellPos searchUpFrom(const CellStore& cells, const ColumnMap& columns, const GridShape& shape,
                             int startCol, int startRow);
    bool matches(QByteArrayView utf8, const QByteArray& needle) const;

    QString m_text;
    QString m_upperText;
    int m_options = 0;
    GridCellPos m_last;
    bool m_active = false;
};

} // namespace veltry
