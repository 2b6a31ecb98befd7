#include "widgets/core/GridSort.h"

#include "platform/core/Clock.h"
#include "platform/core/LocaleFormats.h"
#include "widgets/core/CellStore.h"

#include <QString>
#include <algorithm>
#include <charconv>
#include <limits>
#include <numeric>
#include <string>
#include <string_view>
#include <utility>

namespace veltry {

namespace {

constexpr qint64 kNoDate = std::numeric_limits<qint64>::min();

std::string_view sv(QByteArrayView v)
{
    return {v.data(), size_t(v.size())};
}

template<typename T>
int sign3(const T& a, const T& b)
{
    return a < b ? -1 : (b < a ? 1 : 0);
}

int compareBytes(std::string_view a, std::string_view b)
{
    const int r = a.compare(b);
    return r < 0 ? -1 : (r > 0 ? 1 : 0);
}

bool isBlank(char c)
{
    return c == ' ' || c == '\t';
}

QByteArrayView trimmed(QByteArrayView s)
{
    qsizetype b = 0;
    qsizetype e = s.size();
    while (b < e && isBlank(s[b]))
        ++b;
    while (e > b && isBlank(s[e - 1]))
        --e;
    return s.sliced(b, e - b);
}

// Appends `utf8` in upper case; plain ASCII (by far the common case) avoids the detour through
// QString.
void appendUpper(std::string& out, std::string_view utf8)
{
    bool ascii = true;
    for (const char c : utf8) {
        if (static_cast<unsigned char>(c) >= 0x80) {
            ascii = false;
            break;
        }
    }
    if (ascii) {
        for (const char c : utf8)
            out.push_back(c >= 'a' && c <= 'z' ? char(c - 'a' + 'A') : c);
        return;
    }
    const QByteArray up = QString::fromUtf8(utf8.data(), qsizetype(utf8.size())).toUpper().toUtf8();
    out.append(up.constData(), size_t(up.size()));
}

bool needsUpper(std::string_view utf8)
{
    for (const char c : utf8)
        if ((c >= 'a' && c <= 'z') || static_cast<unsigned char>(c) >= 0x80)
            return true;
    return false;
}

// Digits only (blanks around allowed); up to 9 of them.
bool parseSortInt(QByteArrayView s, int& value, int& digits)
{
    s = trimmed(s);
    if (s.isEmpty() || s.size() > 9)
        return false;
    value = 0;
    for (const char c : s) {
        if (c < '0' || c > '9')
            return false;
        value = value * 10 + (c - '0');
    }
    digits = int(s.size());
    return true;
}

qsizetype findDateSeparator(QByteArrayView s)
{
    for (const char sep : {'-', '/', '.'}) {
        const qsizetype p = s.indexOf(sep);
        if (p >= 0)
            return p;
    }
    return -1;
}

// The keys of one column for every row of the sort, read once.
struct ColumnKeys
{
    int column = 0;
    TSortStyle style = ssText;
    bool ready = false;
    std::vector<std::string_view> text;
    std::string upper;  // storage of the upper-cased texts of ssTextNoCase
    std::vector<double> number;
    std::vector<quint8> numberValid;
    std::vector<qint64> date;
};

class KeyComparator
{
public:
    KeyComparator(const CellStore& cells, int firstRow, int rows, const SortRequest& request, QDate today)
        : m_cells(cells)
        , m_firstRow(firstRow)
        , m_rows(rows)
        , m_getFormat(request.getFormat)
        , m_today(today)
    {
        const int last = lastTieBreakColumn(request.sortColumn, request.realColumnCount);
        for (int c = request.sortColumn; c <= last; ++c) {
            ColumnKeys k;
            k.column = c;
            m_columns.push_back(std::move(k));
        }
    }

    // `a` and `b` are rows relative to the first sorted row, as they were before the sort.
    int compare(int a, int b)
    {
        // A row against itself (the pivot against the row it was copied from) is always equal,
        // even for ssNone; otherwise an ascending scan would run past the end of the range.
        if (a == b)
            return 0;
        for (ColumnKeys& k : m_columns) {
            if (!k.ready)
                fill(k);
            int r = 0;
            switch (k.style) {
            case ssText:
            case ssTextCase:
            case ssTextNoCase:
                r = compareBytes(k.text[size_t(a)], k.text[size_t(b)]);
                break;
            case ssNumber:
                if (k.numberValid[size_t(a)] && k.numberValid[size_t(b)])
                    r = sign3(k.number[size_t(a)], k.number[size_t(b)]);
                break;
            case ssSystemDate:
            case ssDateDMY:
            case ssDateMDY:
                r = sign3(k.date[size_t(a)], k.date[size_t(b)]);
                break;
            default:
                return 1;
            }
            if (r != 0)
                return r;
        }
        return 0;
    }

private:
    void fill(ColumnKeys& k)
    {
        TSortStyle style = ssText;
        if (m_getFormat)
            m_getFormat(k.column, style);
        k.style = effectiveSortStyle(style);
        const size_t n = size_t(m_rows);
        auto cellOf = [&](int i) { return m_cells.row(m_firstRow + i).cell(k.column); };
        switch (k.style) {
        case ssText:
        case ssTextCase:
            k.text.resize(n);
            for (int i = 0; i < m_rows; ++i)
                k.text[size_t(i)] = sv(cellOf(i));
            break;
        case ssTextNoCase: {
            // Offsets first: views into `upper` are only taken once it stops growing.
            std::vector<std::pair<qint64, qint64>> spans(n);  // (offset or -1, length)
            for (int i = 0; i < m_rows; ++i) {
                const std::string_view t = sv(cellOf(i));
                if (!needsUpper(t)) {
                    spans[size_t(i)] = {-1, 0};
                    continue;
                }
                const size_t at = k.upper.size();
                appendUpper(k.upper, t);
                spans[size_t(i)] = {qint64(at), qint64(k.upper.size() - at)};
            }
            k.text.resize(n);
            for (int i = 0; i < m_rows; ++i) {
                const auto [at, len] = spans[size_t(i)];
                k.text[size_t(i)] = at < 0 ? sv(cellOf(i)) : std::string_view(k.upper.data() + at, size_t(len));
            }
            break;
        }
        case ssNumber:
            k.number.resize(n);
            k.numberValid.resize(n);
            for (int i = 0; i < m_rows; ++i) {
                const auto v = parseSortNumber(cellOf(i));
                k.numberValid[size_t(i)] = v.has_value();
                k.number[size_t(i)] = v.value_or(0.0);
            }
            break;
        case ssSystemDate:
        case ssDateDMY:
        case ssDateMDY:
            k.date.resize(n);
            for (int i = 0; i < m_rows; ++i)
                k.date[size_t(i)] = sortDateKey(k.style, cellOf(i), m_today);
            break;
        default:
            break;
        }
        k.ready = true;
    }

    const CellStore& m_cells;
    int m_firstRow;
    int m_rows;
    const SortFormatCallback& m_getFormat;
    QDate m_today;
    std::vector<ColumnKeys> m_columns;
};

} // namespace

std::optional<double> parseSortNumber(QByteArrayView utf8)
{
    const QByteArrayView s = trimmed(utf8);
    if (s.isEmpty())
        return 0.0;
    qsizetype i = 0;
    const qsizetype n = s.size();
    bool negative = false;
    if (s[i] == '+' || s[i] == '-')
        negative = s[i++] == '-';
    const qsizetype start = i;
    int mantissaDigits = 0;
    while (i < n && s[i] >= '0' && s[i] <= '9')
        ++i, ++mantissaDigits;
    if (i < n && s[i] == '.') {
        ++i;
        while (i < n && s[i] >= '0' && s[i] <= '9')
            ++i, ++mantissaDigits;
    }
    if (mantissaDigits == 0)
        return std::nullopt;
    if (i < n && (s[i] == 'e' || s[i] == 'E')) {
        ++i;
        if (i < n && (s[i] == '+' || s[i] == '-'))
            ++i;
        int expDigits = 0;
        while (i < n && s[i] >= '0' && s[i] <= '9')
            ++i, ++expDigits;
        if (expDigits == 0)
            return std::nullopt;
    }
    if (i != n)
        return std::nullopt;
    // from_chars takes no plus sign, so it gets the unsigned part and the sign is applied here.
    double value = 0;
    const char* b = s.data() + start;
    const char* e = s.data() + n;
    const auto res = std::from_chars(b, e, value, std::chars_format::general);
    if (res.ec != std::errc() || res.ptr != e)
        return std::nullopt;
    return negative ? -value : value;
}

QDate parseSortDate(QByteArrayView utf8, bool dayFirst, const QDate& today)
{
    const qsizetype p1 = findDateSeparator(utf8);
    if (p1 < 0)
        return {};
    const QByteArrayView rest = utf8.sliced(p1 + 1);
    const qsizetype p2 = findDateSeparator(rest);
    if (p2 < 0)
        return {};
    int n1, n2, year, d1, d2, yearDigits;
    if (!parseSortInt(utf8.first(p1), n1, d1) || !parseSortInt(rest.first(p2), n2, d2)
        || !parseSortInt(rest.sliced(p2 + 1), year, yearDigits))
        return {};
    // A fixed century cut-off would misplace years once the calendar moves on; keep short years
    // within 50 years of today, as the rest of the program does.
    if (yearDigits <= 2)
        year = windowTwoDigitYear(year, today.year());
    const QDate date = dayFirst ? QDate(year, n2, n1) : QDate(year, n1, n2);
    return date.isValid() ? date : QDate();
}

qint64 sortDateKey(TSortStyle style, QByteArrayView utf8, const QDate& today)
{
    QDate date;
    switch (effectiveSortStyle(style)) {
    case ssSystemDate:
        if (!utf8.isEmpty())
            date = LocaleFormats::current().parseDate(QString::fromUtf8(utf8), today);
        break;
    case ssDateDMY:
        date = parseSortDate(utf8, true, today);
        break;
    case ssDateMDY:
        date = parseSortDate(utf8, false, today);
        break;
    default:
        break;
    }
    return date.isValid() ? date.toJulianDay() : kNoDate;
}

int compareCellTexts(TSortStyle style, QByteArrayView a, QByteArrayView b, const QDate& today)
{
    switch (effectiveSortStyle(style)) {
    case ssText:
    case ssTextCase:
        return compareBytes(sv(a), sv(b));
    case ssTextNoCase: {
        std::string ua, ub;
        appendUpper(ua, sv(a));
        appendUpper(ub, sv(b));
        return compareBytes(ua, ub);
    }
    case ssNumber: {
        const auto x = parseSortNumber(a);
        const auto y = parseSortNumber(b);
        return x && y ? sign3(*x, *y) : 0;
    }
    case ssSystemDate:
    case ssDateDMY:
    case ssDateMDY:
        return sign3(sortDateKey(style, a, today), sortDateKey(style, b, today));
    case ssNone:
        break;
    }
    return 1;
}

int compareRows(const CellStore& cells, int a, int b, int sortColumn, int realColumnCount,
                const SortFormatCallback& getFormat, const QDate& today)
{
    const int last = lastTieBreakColumn(sortColumn, realColumnCount);
    for (int c = sortColumn; c <= last; ++c) {
        TSortStyle style = ssText;
        if (getFormat)
            getFormat(c, style);
        const int r = compareCellTexts(style, cells.cellUtf8(c, a), cells.cellUtf8(c, b), today);
        if (r != 0)
            return r;
    }
    return 0;
}

std::vector<int> sortPermutation(const CellStore& cells, const SortRequest& request)
{
    const int first = std::max(request.firstRow, 0);
    const int last = std::min(request.lastRow, cells.rowCount() - 1);
    const int n = last - first + 1;
    if (n <= 0)
        return {};
    std::vector<int> order(static_cast<size_t>(n));
    std::iota(order.begin(), order.end(), 0);
    if (n < 2 || request.sortColumn < 0)
        return order;

    KeyComparator cmp(cells, first, n, request, Clock::instance().today());
    const int d = request.direction == sdAscending ? 1 : -1;

    // The two halves of a partition are sorted independently, so taking the smaller one first
    // changes nothing in the result and keeps the stack short on unlucky inputs.
    std::vector<std::pair<int, int>> pending;
    pending.emplace_back(0, n - 1);
    while (!pending.empty()) {
        auto [L, R] = pending.back();
        pending.pop_back();
        while (L < R) {
            const int pivot = order[size_t((L + R) / 2)];
            int i = L;
            int j = R;
            do {
                while (i < R && cmp.compare(pivot, order[size_t(i)]) == d)
                    ++i;
                while (j > L && cmp.compare(order[size_t(j)], pivot) == d)
                    --j;
                if (i <= j) {
                    if (i != j)
                        std::swap(order[size_t(i)], order[size_t(j)]);
                    ++i;
                    --j;
                }
            } while (i <= j);
            if (j - L < R - i) {
                if (i < R)
                    pending.emplace_back(i, R);
                R = j;
            } else {
                if (L < j)
                    pending.emplace_back(L, j);
                L = i;
            }
        }
    }
    return order;
}

void applyRowOrder(CellStore& cells, int firstRow, const std::vector<int>& order, int& currentRow)
{
    const size_t n = order.size();
    if (n == 0 || firstRow < 0 || size_t(firstRow) + n > size_t(cells.rowCount()))
        return;
    std::vector<RowCells>& rows = cells.rows();
    std::vector<RowCells> moved;
    moved.reserve(n);
    for (const int from : order)
        moved.push_back(std::move(rows[size_t(firstRow + from)]));
    for (size_t k = 0; k < n; ++k)
        rows[size_t(firstRow) + k] = std::move(moved[k]);
    if (currentRow >= firstRow && size_t(currentRow - firstRow) < n) {
        const auto at = std::find(order.begin(), order.end(), currentRow - firstRow);
        currentRow = firstRow + int(at - order.begin());
    }
}

void SortRows(CellStore& cells, const SortRequest& request, int& currentRow)
{
    const std::vector<int> order = sortPermutation(cells, request);
    applyRowOrder(cells, std::max(request.firstRow, 0), order, currentRow);
}

} // namespace veltry
