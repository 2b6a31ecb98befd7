#pragma once

#include <QByteArrayView>
#include <QDate>
#include <QtGlobal>
#include <functional>
#include <optional>
#include <vector>

namespace veltry {

class CellStore;

// How one column compares while sorting. Stored as one byte; values above ssDateMDY behave as
// ssNone.
enum TSortStyle : quint8 {
    ssNone = 0,        // every pair compares as greater
    ssText = 1,        // byte-wise (character codes), case-sensitive
    ssNumber = 2,      // decimal number; rows with a non-number compare equal
    ssSystemDate = 3,  // the locale's short date
    ssTextNoCase = 4,  // text after conversion to upper case
    ssTextCase = 5,    // as ssText
    ssDateDMY = 6,     // day-month-year
    ssDateMDY = 7,     // month-day-year
};

enum TSortDirection : quint8 { sdAscending = 0, sdDescending = 1 };

// Asked for the style of a real column; the style arrives as ssText and may be changed.
using SortFormatCallback = std::function<void(int col, TSortStyle& style)>;

// Values above ssDateMDY count as ssNone.
constexpr TSortStyle effectiveSortStyle(TSortStyle s)
{
    return s > ssDateMDY ? ssNone : s;
}

// The last column a comparison on `sortColumn` may reach: ties go on to the right, but the last
// real column never breaks a tie (it only counts when it is the sort column itself).
constexpr int lastTieBreakColumn(int sortColumn, int realColumnCount)
{
    return sortColumn < realColumnCount - 2 ? realColumnCount - 2 : sortColumn;
}

// A decimal number with "." as the decimal point, optional sign and exponent, blanks around it
// allowed. An empty (or blank) text is 0; anything else that is not such a number gives nothing.
std::optional<double> parseSortNumber(QByteArrayView utf8);

// The day-first / month-first date reading of ssDateDMY and ssDateMDY: three numbers separated by
// "-" (or, when the text has none, "/", or else "."). One- and two-digit years are placed within
// 50 years of `today`; longer years are taken as written. Invalid date when unreadable.
QDate parseSortDate(QByteArrayView utf8, bool dayFirst, const QDate& today);

// Comparison key of a date text for a date style; unreadable texts sort before every date.
qint64 sortDateKey(TSortStyle style, QByteArrayView utf8, const QDate& today);

// One comparison of two cell texts in a style: +1 when `a` belongs after `b`, -1 before, 0 equal.
// Parses both texts on every call; the sort itself parses each row once.
int compareCellTexts(TSortStyle style, QByteArrayView a, QByteArrayView b, const QDate& today);

// Rows `a` and `b` compared on `sortColumn` and, on a tie, on the columns to its right up to
// lastTieBreakColumn(), each in the style `getFormat` gives it (asked on every call). This is the
// plain per-comparison form; SortRows gives the same results without re-reading cells.
int compareRows(const CellStore& cells, int a, int b, int sortColumn, int realColumnCount,
                const SortFormatCallback& getFormat, const QDate& today);

struct SortRequest
{
    int firstRow = 1;  // the first and last normal row (fixed and footer rows stay put)
    int lastRow = 0;
    int sortColumn = 0;  // real column
    TSortDirection direction = sdAscending;
    int realColumnCount = 0;  // shown plus hidden columns
    SortFormatCallback getFormat;  // may be empty: every column is ssText
};

// The order the grid's quicksort leaves the rows in: element k names the row (relative to
// firstRow) that ends at firstRow + k. Reproduces, comparison for comparison, the quicksort with a
// copied middle pivot and exchanges from both ends, so the result (which is not stable) matches
// what the grid always did. Each row's key is read at most once per column, and no comparison
// allocates. `getFormat` is asked once per column per sort instead of on every comparison: for
// the sort column and the first tie-break column up front, for further columns when a comparison
// first reaches them; columns past lastTieBreakColumn() are never asked.
std::vector<int> sortPermutation(const CellStore& cells, const SortRequest& request);

// Moves rows so that row firstRow + k takes what was at firstRow + order[k]; texts and cell
// pictures travel together. `currentRow` follows its row.
void applyRowOrder(CellStore& cells, int firstRow, const std::vector<int>& order, int& currentRow);

// Sorts rows firstRow..lastRow in place. `currentRow` follows the row it named, so the same row is
// current afterwards at its new position. Row heights are the caller's and stay where they are.
void SortRows(CellStore& cells, const SortRequest& request, int& currentRow);

} // namespace veltry
