#include "widgets/core/GridSort.h"

#include "platform/core/Clock.h"
#include "platform/core/LocaleFormats.h"
#include "widgets/core/ByteRadix.h"
#include "widgets/core/CellStore.h"

#include <QString>
#include <QtEndian>
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

// The first "-"; when there is none the first "/"; else the first "."; -1 without any.
qsizetype findDateSeparator(QByteArrayView s)
{
    qsizetype slash = -1;
    qsizetype point = -1;
    for (qsizetype i = 0; i < s.size(); ++i) {
        const char c = s[i];
        if (c == '-')
            return i;
        if (c == '/' && slash < 0)
            slash = i;
        else if (c == '.' && point < 0)
            point = i;
    }
    return slash >= 0 ? slash : point;
}

QDate parseSortDateInYear(QByteArrayView utf8, bool dayFirst, int thisYear)
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
        year = windowTwoDigitYear(year, thisYear);
    const QDate date = dayFirst ? QDate(year, n2, n1) : QDate(year, n1, n2);
    return date.isValid() ? date : QDate();
}

// A key that orders day-month-year and month-day-year texts as their dates do (not a day
// count): kNoDate for texts that name no calendar date, as QDate would judge them.
qint64 orderingDateKey(TSortStyle style, QByteArrayView utf8, int thisYear)
{
    const qsizetype p1 = findDateSeparator(utf8);
    if (p1 < 0)
        return kNoDate;
    const QByteArrayView rest = utf8.sliced(p1 + 1);
    const qsizetype p2 = findDateSeparator(rest);
    if (p2 < 0)
        return kNoDate;
    int n1, n2, year, d1, d2, yearDigits;
    if (!parseSortInt(utf8.first(p1), n1, d1) || !parseSortInt(rest.first(p2), n2, d2)
        || !parseSortInt(rest.sliced(p2 + 1), year, yearDigits))
        return kNoDate;
    if (yearDigits <= 2)
        year = windowTwoDigitYear(year, thisYear);
    const int day = style == ssDateDMY ? n1 : n2;
    const int month = style == ssDateDMY ? n2 : n1;
    static constexpr int kDays[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    if (year == 0 || month < 1 || month > 12 || day < 1)
        return kNoDate;
    const bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
    if (day > kDays[month - 1] + (month == 2 && leap ? 1 : 0))
        return kNoDate;
    return qint64(year) * 512 + month * 32 + day;
}

qint64 dateKey(TSortStyle style, QByteArrayView utf8, const QDate& today, int thisYear)
{
    QDate date;
    switch (style) {
    case ssSystemDate:
        if (!utf8.isEmpty())
            date = LocaleFormats::current().parseDate(QString::fromUtf8(utf8), today);
        break;
    case ssDateDMY:
    case ssDateMDY:
        date = parseSortDateInYear(utf8, style == ssDateDMY, thisYear);
        break;
    default:
        break;
    }
    return date.isValid() ? date.toJulianDay() : kNoDate;
}

// The first eight bytes, big-endian and zero-padded: when two prefixes differ they order the
// texts exactly as a byte-wise comparison would, without touching the texts themselves.
quint64 textPrefix(std::string_view t)
{
    quint64 v = 0;
    const size_t n = std::min<size_t>(t.size(), 8);
    for (size_t i = 0; i < n; ++i)
        v |= quint64(static_cast<unsigned char>(t[i])) << (56 - 8 * i);
    return v;
}

quint64 dateBits(qint64 key)
{
    return quint64(key) ^ (quint64(1) << 63);  // signed order as unsigned order
}

struct TextKey
{
    quint64 prefix = 0;
    const char* data = nullptr;
    quint32 size = 0;
    quint32 ready = 0;
    std::string_view view() const { return {data, size}; }
};

int compareTextKeys(const TextKey& a, const TextKey& b)
{
    if (a.prefix != b.prefix)
        return a.prefix < b.prefix ? -1 : 1;
    if (a.size <= 8 && b.size <= 8)
        return sign3(a.size, b.size);
    return compareBytes(a.view(), b.view());
}

TextKey makeTextKey(std::string_view t)
{
    return {textPrefix(t), t.data(), quint32(t.size()), 1};
}

constexpr qint64 kDateUnread = kNoDate + 1;
enum NumberState : quint8 { NumberUnread = 0, NumberValid = 1, NumberInvalid = 2 };

// The keys of one column, each read the first time a comparison needs it and kept for the rest of
// the sort. Tie-break columns are often needed for only part of the rows.
struct ColumnKeys
{
    int column = 0;
    TSortStyle style = ssText;
    bool ready = false;  // style asked for and storage made
    std::vector<TextKey> text;
    std::string upper;  // storage of the upper-cased texts of ssTextNoCase
    std::vector<double> number;
    std::vector<quint8> numberState;
    std::vector<qint64> date;
};

// One row in the working array of the sort: the keys of the sort column and of the first
// tie-break column where they fit in 64 bits, so that most comparisons read only this array.
struct SortItem
{
    quint64 bits;
    quint64 bits2;
    int id;  // row relative to the first sorted row, before the sort
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
        , m_thisYear(today.year())
    {
        const int last = lastTieBreakColumn(request.sortColumn, request.realColumnCount);
        for (int c = request.sortColumn; c <= last; ++c) {
            ColumnKeys k;
            k.column = c;
            m_columns.push_back(std::move(k));
        }
    }

    // Reads the sort column and the first tie-break column of every row (one visit per row)
    // and builds the working array.
    std::vector<SortItem> items()
    {
        std::vector<SortItem> out(static_cast<size_t>(m_rows));
        for (int i = 0; i < m_rows; ++i)
            out[size_t(i)] = {0, 0, i};
        for (size_t c = 0; c < std::min<size_t>(2, m_columns.size()); ++c)
            prepare(m_columns[c]);
        m_primary = packedKind(m_columns.front());
        m_secondary = m_columns.size() > 1 ? packedKind(m_columns[1]) : Packed::None;
        constexpr int kBatch = 32;
        for (int start = 0; start < m_rows; start += kBatch) {
            const int end = std::min(m_rows, start + kBatch);
            // The rows' cells are scattered over the heap: touching a batch of them first lets
            // the memory loads overlap instead of waiting for one row at a time.
            int touched = 0;
            for (int i = start; i < end; ++i)
                touched += m_cells.row(m_firstRow + i).storedCount();
            m_touched = m_touched + touched;
            for (int i = start; i < end; ++i) {
                out[size_t(i)].bits = packedKey(m_columns.front(), m_primary, i);
                if (m_secondary != Packed::None)
                    out[size_t(i)].bits2 = packedKey(m_columns[1], m_secondary, i);
            }
        }
        return out;
    }

    int compare(const SortItem& a, const SortItem& b)
    {
        // A row against itself (the pivot against the row it was copied from) is always equal,
        // even for ssNone; otherwise an ascending scan would run past the end of the range.
        if (a.id == b.id)
            return 0;
        if (m_primary != Packed::ById && a.bits != b.bits)
            return a.bits < b.bits ? -1 : 1;
        return compareRest(a, b);
    }

private:
    Q_NEVER_INLINE int compareRest(const SortItem& a, const SortItem& b)
    {
        int r = comparePacked(m_columns.front(), m_primary, a.bits, b.bits, a.id, b.id);
        if (r != 0 || m_secondary == Packed::None)
            return r;
        r = comparePacked(m_columns[1], m_secondary, a.bits2, b.bits2, a.id, b.id);
        if (r != 0)
            return r;
        for (size_t c = 2; c < m_columns.size(); ++c) {
            ColumnKeys& k = m_columns[c];
            if (!k.ready)
                prepare(k);
            r = compareColumn(k, a.id, b.id);
            if (r != 0)
                return r;
        }
        return 0;
    }

    // How a column's key sits in a SortItem: a date whole, a text by its first eight bytes, or
    // not at all (numbers, which may not compare, and ssNone).
    enum class Packed { None, Exact, Prefix, ById };

    static Packed packedKind(const ColumnKeys& k)
    {
        switch (k.style) {
        case ssText:
        case ssTextCase:
        case ssTextNoCase:
            return Packed::Prefix;
        case ssSystemDate:
        case ssDateDMY:
        case ssDateMDY:
            return Packed::Exact;
        default:
            return Packed::ById;
        }
    }

    quint64 packedKey(ColumnKeys& k, Packed kind, int id)
    {
        switch (kind) {
        case Packed::Prefix:
            return textKey(k, id).prefix;
        case Packed::Exact:
            return dateBits(dateKeyOf(k, id));
        default:
            if (k.style == ssNumber)
                numberOf(k, id);
            return 0;
        }
    }

    int comparePacked(ColumnKeys& k, Packed kind, quint64 x, quint64 y, int a, int b)
    {
        switch (kind) {
        case Packed::Exact:
            return x == y ? 0 : (x < y ? -1 : 1);
        case Packed::Prefix:
            if (x != y)
                return x < y ? -1 : 1;
            return compareTextKeys(k.text[size_t(a)], k.text[size_t(b)]);
        default:
            return compareColumn(k, a, b);
        }
    }

    QByteArrayView cellOf(const ColumnKeys& k, int id) const { return m_cells.row(m_firstRow + id).cell(k.column); }

    const TextKey& textKey(ColumnKeys& k, int id)
    {
        TextKey& t = k.text[size_t(id)];
        if (!t.ready)
            t = makeTextKey(sv(cellOf(k, id)));
        return t;
    }

    qint64 dateKeyOf(ColumnKeys& k, int id)
    {
        qint64& d = k.date[size_t(id)];
        if (d == kDateUnread)
            d = dateKey(k.style, cellOf(k, id), m_today, m_thisYear);
        return d;
    }

    // Whether the row's text is a number; the value lands in k.number.
    bool numberOf(ColumnKeys& k, int id)
    {
        quint8& state = k.numberState[size_t(id)];
        if (state == NumberUnread) {
            const auto v = parseSortNumber(cellOf(k, id));
            k.number[size_t(id)] = v.value_or(0.0);
            state = v ? NumberValid : NumberInvalid;
        }
        return state == NumberValid;
    }

    int compareColumn(ColumnKeys& k, int a, int b)
    {
        switch (k.style) {
        case ssText:
        case ssTextCase:
        case ssTextNoCase:
            return compareTextKeys(textKey(k, a), textKey(k, b));
        case ssNumber:
            if (numberOf(k, a) && numberOf(k, b))
                return sign3(k.number[size_t(a)], k.number[size_t(b)]);
            return 0;
        case ssSystemDate:
        case ssDateDMY:
        case ssDateMDY:
            return sign3(dateKeyOf(k, a), dateKeyOf(k, b));
        default:
            return 1;
        }
    }

    // Asks for the column's style (once per sort) and makes room for its keys.
    void prepare(ColumnKeys& k)
    {
        TSortStyle style = ssText;
        if (m_getFormat)
            m_getFormat(k.column, style);
        k.style = effectiveSortStyle(style);
        const size_t n = size_t(m_rows);
        switch (k.style) {
        case ssText:
        case ssTextCase:
            k.text.resize(n);
            break;
        case ssTextNoCase:
            fillUpperCase(k);
            break;
        case ssNumber:
            k.number.resize(n);
            k.numberState.resize(n);
            break;
        case ssSystemDate:
        case ssDateDMY:
        case ssDateMDY:
            k.date.assign(n, kDateUnread);
            break;
        default:
            break;
        }
        k.ready = true;
    }

    // Upper-cased texts live in one buffer that must stop growing before views into it are taken,
    // so this style reads the whole column at once.
    void fillUpperCase(ColumnKeys& k)
    {
        const size_t n = size_t(m_rows);
        std::vector<qint64> at(n, -1);
        k.text.resize(n);
        for (int i = 0; i < m_rows; ++i) {
            const std::string_view t = sv(cellOf(k, i));
            if (needsUpper(t)) {
                at[size_t(i)] = qint64(k.upper.size());
                appendUpper(k.upper, t);
                k.text[size_t(i)].size = quint32(k.upper.size() - size_t(at[size_t(i)]));
            } else {
                k.text[size_t(i)] = makeTextKey(t);
            }
        }
        for (size_t i = 0; i < n; ++i) {
            if (at[i] >= 0)
                k.text[i] = makeTextKey(std::string_view(k.upper.data() + at[i], k.text[i].size));
        }
    }

    const CellStore& m_cells;
    int m_firstRow;
    int m_rows;
    const SortFormatCallback& m_getFormat;
    QDate m_today;
    int m_thisYear;
    Packed m_primary = Packed::ById;
    Packed m_secondary = Packed::None;
    volatile int m_touched = 0;
    std::vector<ColumnKeys> m_columns;
};

// When every column a comparison may reach orders its texts totally (texts and dates; numbers
// with non-numbers and ssNone do not), two rows compare exactly as their places in the sorted
// list of distinct key tuples do. Those dense ranks are worked out column by column, refining
// only the groups still tied, from keys read once per row into contiguous memory; the quicksort
// then compares plain integers and gives the same permutation as comparing the cells.
class TupleRanks
{
public:
    TupleRanks(const CellStore& cells, int firstRow, int rows, const SortRequest& request, QDate today)
        : m_cells(cells), m_firstRow(firstRow), m_rows(rows), m_request(request), m_today(today)
    {
    }

    // Nothing when a column's style is not a total order.
    std::optional<std::vector<quint32>> build()
    {
        const size_t n = size_t(m_rows);
        std::vector<int> ids(n);
        std::iota(ids.begin(), ids.end(), 0);
        std::vector<quint8> tied(n, 1);  // position p is equal to position p - 1 on every column so far
        tied[0] = 0;
        std::vector<std::pair<int, int>> groups{{0, m_rows}};
        const int last = lastTieBreakColumn(m_request.sortColumn, m_request.realColumnCount);
        for (int c = m_request.sortColumn; c <= last && !groups.empty(); ++c) {
            TSortStyle style = ssText;
            if (m_request.getFormat)
                m_request.getFormat(c, style);
            style = effectiveSortStyle(style);
            switch (style) {
            case ssText:
            case ssTextCase:
            case ssTextNoCase:
                refineByText(c, style == ssTextNoCase, ids, tied, groups);
                break;
            case ssSystemDate:
            case ssDateDMY:
            case ssDateMDY:
                refineByDate(c, style, ids, tied, groups);
                break;
            default:
                return std::nullopt;
            }
        }
        std::vector<quint32> rank(n);
        quint32 current = 0;
        for (size_t p = 0; p < n; ++p) {
            if (p > 0 && !tied[p])
                ++current;
            rank[size_t(ids[p])] = current;
        }
        m_distinct = current + 1 == n;
        return rank;
    }

    // Whether every row's key tuple differs from every other's (known after build()).
    bool distinct() const { return m_distinct; }

private:
    QByteArrayView cellOf(int id, int col) const { return m_cells.row(m_firstRow + id).cell(col); }

    // Rows still tied, in row order: their cells are read in the order the rows lie in memory.
    std::vector<int> pendingIds(const std::vector<int>& ids, const std::vector<std::pair<int, int>>& groups) const
    {
        std::vector<quint8> pending(size_t(m_rows), 0);
        for (const auto& [b, e] : groups)
            for (int p = b; p < e; ++p)
                pending[size_t(ids[size_t(p)])] = 1;
        std::vector<int> out;
        for (int id = 0; id < m_rows; ++id)
            if (pending[size_t(id)])
                out.push_back(id);
        return out;
    }

    // Reads one cell of each row in `rows`, starting the loads of the rows a little ahead.
    template<typename Use>
    void forEachCell(const std::vector<int>& rows, int col, Use use) const
    {
        constexpr size_t kAhead = 16;
        for (size_t k = 0; k < rows.size(); ++k) {
            if (k + kAhead < rows.size())
                m_cells.row(m_firstRow + rows[k + kAhead]).prefetch();
            use(rows[k], cellOf(rows[k], col));
        }
    }

    // A column with a handful of different values (a priority, a mark, a category) is put in
    // order by counting them: linear where sorting is not. Gives up, leaving `items` as they were,
    // as soon as there are more. Equal items may end in any order: only the values count here.
    template<typename Item, typename Less, typename Equal>
    static bool sortFewValues(std::vector<Item>& items, std::vector<Item>& scratch, Less less, Equal equal)
    {
        constexpr size_t kFew = 8;
        constexpr size_t kWorthIt = 64;
        if (items.size() < kWorthIt)
            return false;
        Item values[kFew];
        size_t counts[kFew];
        size_t distinct = 0;
        size_t last = 0;  // the value of the previous item: runs of one value are common
        for (const Item& item : items) {
            size_t v = last;
            if (v >= distinct || !equal(values[v], item)) {
                v = 0;
                while (v < distinct && !equal(values[v], item))
                    ++v;
                if (v == distinct) {
                    if (distinct == kFew)
                        return false;
                    values[distinct] = item;
                    counts[distinct++] = 0;
                }
            }
            ++counts[v];
            last = v;
        }
        size_t byValue[kFew];
        std::iota(byValue, byValue + distinct, size_t(0));
        for (size_t k = 1; k < distinct; ++k)
            for (size_t j = k; j > 0 && less(values[byValue[j]], values[byValue[j - 1]]); --j)
                std::swap(byValue[j], byValue[j - 1]);
        size_t start[kFew];
        size_t at = 0;
        for (size_t k = 0; k < distinct; ++k) {
            start[byValue[k]] = at;
            at += counts[byValue[k]];
        }
        scratch.resize(items.size());
        last = 0;
        for (const Item& item : items) {
            size_t v = last;
            if (!equal(values[v], item)) {
                v = 0;
                while (!equal(values[v], item))
                    ++v;
            }
            scratch[start[v]++] = item;
            last = v;
        }
        items.swap(scratch);
        return true;
    }

    // Text chunks in order of (chunk, length); a large group by a radix sort, stable passes over
    // the length first, then the chunk.
    template<typename Item, typename Less>
    static void sortChunks(std::vector<Item>& items, std::vector<Item>& scratch, Less less)
    {
        constexpr size_t kWorthIt = 256;
        if (items.size() < kWorthIt) {
            std::sort(items.begin(), items.end(), less);
            return;
        }
        radixSortByBytes(items, scratch, [](const Item& item) { return quint64(item.length); });
        radixSortByBytes(items, scratch, [](const Item& item) { return item.chunk; });
    }

    // Sorts each group on the items' keys (kept side by side with their row, so the sort reads
    // contiguous memory), marks the ties and keeps the groups still tied.
    template<typename Item, typename MakeItem, typename Less, typename Equal>
    static void refine(std::vector<int>& ids, std::vector<quint8>& tied, std::vector<std::pair<int, int>>& groups,
                       MakeItem makeItem, Less less, Equal equal)
    {
        std::vector<std::pair<int, int>> next;
        std::vector<Item> items;
        std::vector<Item> scratch;
        for (const auto& [b, e] : groups) {
            items.clear();
            bool allEqual = true;
            for (int p = b; p < e; ++p) {
                items.push_back(makeItem(ids[size_t(p)]));
                allEqual = allEqual && equal(items.front(), items.back());
            }
            if (allEqual) {  // a shared value (a common text prefix, say) leaves the group as it is
                next.emplace_back(b, e);
                continue;
            }
            if (!sortFewValues(items, scratch, less, equal)) {
                if constexpr (requires(Item i) { i.chunk; i.length; })
                    sortChunks(items, scratch, less);
                else
                    std::sort(items.begin(), items.end(), less);
            }
            int runStart = b;
            for (int p = b; p <= e; ++p) {
                const size_t k = size_t(p - b);
                if (p < e)
                    ids[size_t(p)] = items[k].id;
                const bool same = p > b && p < e && equal(items[k - 1], items[k]);
                if (p > b && p < e)
                    tied[size_t(p)] = same;
                if (p > b && !same) {
                    if (p - runStart > 1)
                        next.emplace_back(runStart, p);
                    runStart = p;
                }
            }
        }
        groups.swap(next);
    }

    void refineByDate(int col, TSortStyle style, std::vector<int>& ids, std::vector<quint8>& tied,
                      std::vector<std::pair<int, int>>& groups)
    {
        std::vector<qint64> key(static_cast<size_t>(m_rows));
        const int thisYear = m_today.year();
        forEachCell(pendingIds(ids, groups), col, [&](int id, QByteArrayView text) {
            key[size_t(id)] = style == ssSystemDate ? dateKey(style, text, m_today, thisYear)
                                                    : orderingDateKey(style, text, thisYear);
        });
        struct Item
        {
            qint64 key;
            int id;
        };
        refine<Item>(
            ids, tied, groups, [&](int id) { return Item{key[size_t(id)], id}; },
            [](const Item& a, const Item& b) { return a.key < b.key; },
            [](const Item& a, const Item& b) { return a.key == b.key; });
    }

    void refineByText(int col, bool upper, std::vector<int>& ids, std::vector<quint8>& tied,
                      std::vector<std::pair<int, int>>& groups)
    {
        // The texts are copied side by side first, so that comparing them does not wander over
        // the rows' scattered cells.
        std::string arena;
        std::vector<std::pair<quint32, quint32>> at(static_cast<size_t>(m_rows));
        const std::vector<int> pending = pendingIds(ids, groups);
        forEachCell(pending, col, [&](int id, QByteArrayView text) {
            const std::string_view t = sv(text);
            const size_t start = arena.size();
            if (upper && needsUpper(t))
                appendUpper(arena, t);
            else
                arena.append(t);
            at[size_t(id)] = {quint32(start), quint32(arena.size() - start)};
        });
        // Byte-wise order, eight bytes at a time: a chunk (big-endian, zero-padded) with the
        // number of bytes it holds, so a text orders before its own continuation. Only groups
        // tied on full chunks go on to the next eight bytes; groups tied on a shorter last chunk
        // hold equal texts and go on to the next column.
        struct Item
        {
            quint64 chunk;
            quint32 length;
            int id;
        };
        // Eight-byte steps every text still tied shares (a start such as "notes for") split nothing.
        const char* front = arena.data() + (pending.empty() ? 0 : at[size_t(pending.front())].first);
        size_t shared = arena.size();
        for (const int id : pending) {
            const auto [start, size] = at[size_t(id)];
            shared = std::mismatch(front, front + std::min<size_t>(shared, size), arena.data() + start).first - front;
        }
        std::vector<std::pair<int, int>> settled;
        for (size_t offset = shared / 8 * 8; !groups.empty(); offset += 8) {
            std::vector<std::pair<int, int>> next;
            refine<Item>(
                ids, tied, groups,
                [&](int id) {
                    const auto [start, size] = at[size_t(id)];
                    const size_t n = size > offset ? std::min<size_t>(size - offset, 8) : 0;
                    const char* text = arena.data() + start + offset;
                    return Item{n == 8 ? qFromBigEndian<quint64>(text) : textPrefix(std::string_view(text, n)),
                                quint32(n), id};
                },
                [](const Item& a, const Item& b) { return a.chunk != b.chunk ? a.chunk < b.chunk : a.length < b.length; },
                [](const Item& a, const Item& b) { return a.chunk == b.chunk && a.length == b.length; });
            for (const auto& g : groups) {
                const quint32 size = at[size_t(ids[size_t(g.first)])].second;
                (size >= offset + 8 ? next : settled).push_back(g);
            }
            groups.swap(next);
        }
        groups.swap(settled);
    }

    const CellStore& m_cells;
    int m_firstRow;
    int m_rows;
    const SortRequest& m_request;
    QDate m_today;
    bool m_distinct = false;
};

// The grid's quicksort, step for step: the pivot is a copy of the middle item, the scans move
// while `after(a, b)` holds (the comparison of a with b gives the sort direction), and exchanged
// items swap.
template<typename Item, typename After>
void gridQuicksortBy(std::vector<Item>& items, After after)
{
    const int n = int(items.size());
    // The two halves of a partition are sorted independently, so taking the smaller one first
    // changes nothing in the result and keeps the stack short on unlucky inputs.
    std::vector<std::pair<int, int>> pending;
    pending.emplace_back(0, n - 1);
    while (!pending.empty()) {
        auto [L, R] = pending.back();
        pending.pop_back();
        while (L < R) {
            const Item pivot = items[size_t((L + R) / 2)];
            int i = L;
            int j = R;
            do {
                while (i < R && after(pivot, items[size_t(i)]))
                    ++i;
                while (j > L && after(items[size_t(j)], pivot))
                    --j;
                if (i <= j) {
                    if (i != j)
                        std::swap(items[size_t(i)], items[size_t(j)]);
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
}

// The grid's quicksort over a three-way comparison returning -1, 0 or +1 like a comparison of
// cells: a scan moves on while the comparison gives the sort direction.
template<typename Item, typename Compare>
void gridQuicksort(std::vector<Item>& items, int direction, Compare compare)
{
    gridQuicksortBy(items, [&](const Item& a, const Item& b) { return compare(a, b) == direction; });
}

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
    return parseSortDateInYear(utf8, dayFirst, today.year());
}

qint64 sortDateKey(TSortStyle style, QByteArrayView utf8, const QDate& today)
{
    return dateKey(effectiveSortStyle(style), utf8, today, today.year());
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

    const QDate today = Clock::instance().today();
    const int d = request.direction == sdAscending ? 1 : -1;
    TupleRanks tuples(cells, first, n, request, today);
    if (const auto ranks = tuples.build()) {
        if (tuples.distinct()) {
            // Without ties every correct sort gives the one sorted order, the grid's quicksort
            // included: place each row by its rank.
            for (int k = 0; k < n; ++k)
                order[size_t(d > 0 ? (*ranks)[size_t(k)] : quint32(n - 1) - (*ranks)[size_t(k)])] = k;
            return order;
        }
        struct Ranked
        {
            quint32 rank;
            int id;
        };
        std::vector<Ranked> items(static_cast<size_t>(n));
        for (int k = 0; k < n; ++k)
            items[size_t(k)] = {(*ranks)[size_t(k)], k};
        // "compare(a, b) == d" spelled out for each direction: the scans test one inequality.
        if (d > 0)
            gridQuicksortBy(items, [](const Ranked& a, const Ranked& b) { return a.rank > b.rank; });
        else
            gridQuicksortBy(items, [](const Ranked& a, const Ranked& b) { return a.rank < b.rank; });
        for (int k = 0; k < n; ++k)
            order[size_t(k)] = items[size_t(k)].id;
        return order;
    }

    KeyComparator cmp(cells, first, n, request, today);
    std::vector<SortItem> items = cmp.items();
    gridQuicksort(items, d, [&cmp](const SortItem& a, const SortItem& b) { return cmp.compare(a, b); });
    for (int k = 0; k < n; ++k)
        order[size_t(k)] = items[size_t(k)].id;
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
