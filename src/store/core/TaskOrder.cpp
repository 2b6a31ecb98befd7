#include "store/core/TaskOrder.h"

#include "platform/core/Clock.h"
#include "platform/core/LocaleFormats.h"
#include "store/core/Task.h"
#include "widgets/core/CellStore.h"
#include "widgets/core/GridFile.h"

#include <QHash>
#include <QSet>
#include <QStringView>
#include <algorithm>
#include <cstring>
#include <numeric>
#include <optional>
#include <string_view>
#include <unordered_map>
#include <utility>

namespace veltry {

namespace {

// The first eight bytes, big-endian and zero-padded: when two prefixes differ they order the
// texts as a byte-wise comparison would.
quint64 textPrefix(std::string_view t)
{
    quint64 v = 0;
    for (size_t b = 0; b < std::min<size_t>(8, t.size()); ++b)
        v |= quint64(static_cast<unsigned char>(t[b])) << (56 - 8 * b);
    return v;
}

// Texts compare byte by byte as the list file holds them: in Windows-1252, where the euro sign is
// 0x80 and comes before every letter with an accent, unless the list is kept in UTF-8. The two
// orders differ only where two texts first differ past ASCII, so the whole list is looked at only
// when that happens.
class TextBytes
{
public:
    explicit TextBytes(const CellStore& cells) : m_cells(cells) {}

    quint64 prefix(std::string_view t)
    {
        const size_t n = std::min<size_t>(8, t.size());
        bool ascii = true;
        for (size_t b = 0; b < n && ascii; ++b)
            ascii = static_cast<unsigned char>(t[b]) < 0x80;
        if (ascii || !codePage())
            return textPrefix(t);
        // The first eight characters as code-page bytes.
        quint64 v = 0;
        const auto* p = reinterpret_cast<const unsigned char*>(t.data());
        const auto* end = p + t.size();
        for (int b = 0; b < 8 && p < end; ++b)
            v |= quint64(std::max(0, GridFile::codePageByte(GridFile::nextUtf8(p, end)))) << (56 - 8 * b);
        return v;
    }

    // The eight bytes after the prefix, when the first sixteen order the texts alike in either
    // encoding (plain characters only, or a list kept in UTF-8); nothing otherwise.
    std::optional<quint64> second(std::string_view t)
    {
        const size_t n = std::min<size_t>(16, t.size());
        bool ascii = true;
        for (size_t b = 0; b < n && ascii; ++b)
            ascii = static_cast<unsigned char>(t[b]) < 0x80;
        if (!ascii && codePage())
            return std::nullopt;
        return t.size() > 8 ? textPrefix(t.substr(8)) : 0;
    }

    bool less(std::string_view a, std::string_view b)
    {
        const size_t n = std::min(a.size(), b.size());
        size_t i = 0;
        while (i < n && a[i] == b[i])
            ++i;
        if (i == n)
            return a.size() < b.size();
        const auto x = static_cast<unsigned char>(a[i]);
        const auto y = static_cast<unsigned char>(b[i]);
        // Plain characters come first in both encodings; string_view bytes are UTF-8's order.
        if (x < 0x80 || y < 0x80 || !codePage())
            return x < y;
        // Back to the start of the character both texts share the first bytes of.
        while (i > 0 && (static_cast<unsigned char>(a[i]) & 0xC0) == 0x80)
            --i;
        const auto* pa = reinterpret_cast<const unsigned char*>(a.data()) + i;
        const auto* pb = reinterpret_cast<const unsigned char*>(b.data()) + i;
        const char32_t ca = GridFile::nextUtf8(pa, reinterpret_cast<const unsigned char*>(a.data()) + a.size());
        const char32_t cb = GridFile::nextUtf8(pb, reinterpret_cast<const unsigned char*>(b.data()) + b.size());
        return GridFile::codePageByte(ca) < GridFile::codePageByte(cb);
    }

private:
    bool codePage()
    {
        if (!m_codePage)
            m_codePage = GridFile::writtenInCodePage(m_cells);
        return *m_codePage;
    }

    const CellStore& m_cells;
    std::optional<bool> m_codePage;
};

// Hands `utf8` to `parse` as UTF-16; the plain ASCII that dates and times are written in goes
// through a buffer on the stack rather than a new string per cell.
template<typename Parse>
auto withUtf16(std::string_view utf8, Parse parse)
{
    constexpr size_t kBuffer = 64;
    if (utf8.size() <= kBuffer) {
        char16_t buffer[kBuffer];
        size_t i = 0;
        for (; i < utf8.size(); ++i) {
            const auto c = static_cast<unsigned char>(utf8[i]);
            if (c >= 0x80)
                break;
            buffer[i] = c;
        }
        if (i == utf8.size())
            return parse(QStringView(buffer, qsizetype(i)));
    }
    const QString text = QString::fromUtf8(utf8.data(), qsizetype(utf8.size()));
    return parse(QStringView(text));
}

// A key whose unsigned order is the order of the values. 0 is kept for a date or time that cannot
// be read, so such rows come before every real one.
quint64 runKey(RunKeyKind kind, std::string_view text, const LocaleFormats& formats, const QDate& today)
{
    switch (kind) {
    case RunKeyKind::Text:
        return textPrefix(text);
    case RunKeyKind::Date: {
        if (text.empty())
            return 0;
        const QDate date = withUtf16(text, [&](QStringView s) { return formats.parseDate(s, today); });
        // Years are read from digits, so every date read lies after the year 1 and its day
        // number is above 0.
        return date.isValid() && date.toJulianDay() > 0 ? quint64(date.toJulianDay()) : 0;
    }
    case RunKeyKind::Time: {
        if (text.empty())
            return 0;
        const auto time = withUtf16(text, [&](QStringView s) { return formats.parseTime(s); });
        return time ? quint64(time->msecsSinceStartOfDay()) + 1 : 0;
    }
    }
    return 0;
}

// Dates and times repeat a lot in a long list: each different text is read once, then found
// again by its bytes.
class KeyCache
{
public:
    template<typename Read>
    quint64 get(std::string_view text, Read read)
    {
        if (text.empty() || text.size() > kLongest)
            return read(text);
        quint32 h = 2166136261u;
        for (const char c : text)
            h = (h ^ static_cast<unsigned char>(c)) * 16777619u;
        Slot& slot = m_slots[h & (kSlots - 1)];
        if (slot.size == text.size() && std::memcmp(slot.text, text.data(), text.size()) == 0)
            return slot.key;
        slot.key = read(text);
        slot.size = quint8(text.size());
        std::memcpy(slot.text, text.data(), text.size());
        return slot.key;
    }

private:
    static constexpr size_t kSlots = 4096;
    static constexpr size_t kLongest = 22;
    struct Slot
    {
        quint64 key = 0;
        char text[kLongest] = {};
        quint8 size = 0xFF;  // no text yet
    };
    std::vector<Slot> m_slots = std::vector<Slot>(kSlots);
};

// Kept to 32 bytes: the radix sort moves whole items.
struct RunItem
{
    RunItem(quint64 k, std::string_view t, int i, bool has2 = false, quint64 k2 = 0)
        : key(k), key2(k2), data(t.data()), size(quint32(t.size())), id(i), hasKey2(has2)
    {
    }
    RunItem() = default;

    // Only compared for the text kind, once the keys are equal.
    std::string_view text() const { return {data, size}; }

    quint64 key = 0;
    quint64 key2 = 0;  // the text kind: orders texts whose keys are equal, when hasKey2
    const char* data = nullptr;
    quint32 size = 0;
    int id : 31 = 0;
    bool hasKey2 : 1 = false;
};
static_assert(sizeof(RunItem) == 32);

void radixSortRun(std::vector<RunItem>& items, std::vector<RunItem>& scratch, bool descending);

// Whether `a` belongs before `b` in a run; `texts` compares texts whose keys are equal, for the
// text kind only.
template<bool Descending>
bool runBefore(const RunItem& a, const RunItem& b, TextBytes* texts)
{
    if (a.key != b.key)
        return Descending ? b.key < a.key : a.key < b.key;
    if (!texts)
        return false;
    // Most ties on the first bytes part within the next ones, without reading the texts.
    if (a.hasKey2 && b.hasKey2) {
        if (a.key2 != b.key2)
            return Descending ? b.key2 < a.key2 : a.key2 < b.key2;
        if (a.size <= 16 && a.size == b.size)
            return false;  // the same text
    }
    return Descending ? texts->less(b.text(), a.text()) : texts->less(a.text(), b.text());
}

// Orders one run; equal values keep their order. `texts` compares texts whose keys are equal,
// for the text kind only.
template<bool Descending>
void sortRun(std::vector<RunItem>& items, std::vector<RunItem>& scratch, TextBytes* texts)
{
    auto before = [texts](const RunItem& a, const RunItem& b) { return runBefore<Descending>(a, b, texts); };
    // A run already in order (the list sorted this way before, a run the first sort ordered by a
    // column that follows this one) is left as it is, after one look at each neighbour.
    if (std::is_sorted(items.begin(), items.end(), before))
        return;
    constexpr size_t kRadixFrom = 256;
    if (!texts || items.size() < kRadixFrom) {
        std::stable_sort(items.begin(), items.end(), before);
        return;
    }
    // A long run of texts: their first bytes put in order without comparing, then only the rows
    // that share them compared on the rest.
    radixSortRun(items, scratch, Descending);
    for (size_t b = 0; b < items.size();) {
        size_t e = b + 1;
        while (e < items.size() && items[e].key == items[b].key)
            ++e;
        if (e - b > 1)
            std::stable_sort(items.begin() + ptrdiff_t(b), items.begin() + ptrdiff_t(e), before);
        b = e;
    }
}

// The same order for the keys of dates and times, which span a few million values at most, and
// for the first bytes of a long run of texts: a stable radix sort, linear in the length of the run
// where comparing would not be.
void radixSortRun(std::vector<RunItem>& items, std::vector<RunItem>& scratch, bool descending)
{
    quint64 lo = ~quint64(0);
    quint64 hi = 0;
    for (const RunItem& it : items) {
        lo = std::min(lo, it.key);
        hi = std::max(hi, it.key);
    }
    // Turned around for descending, so that equal keys still keep their order.
    for (RunItem& it : items)
        it.key = descending ? hi - it.key : it.key - lo;
    const quint64 span = hi - lo;
    constexpr int kBits = 11;
    constexpr quint64 kMask = (quint64(1) << kBits) - 1;
    std::vector<quint32> count(size_t(kMask) + 1);
    scratch.resize(items.size());
    for (int shift = 0; shift < 64 && (span >> shift) != 0; shift += kBits) {
        std::fill(count.begin(), count.end(), 0);
        for (const RunItem& it : items)
            ++count[size_t((it.key >> shift) & kMask)];
        quint32 start = 0;
        for (quint32& c : count)
            start += std::exchange(c, start);
        for (const RunItem& it : items)
            scratch[count[size_t((it.key >> shift) & kMask)]++] = it;
        items.swap(scratch);
    }
}

} // namespace

TSortStyle taskGridFormat(int col, bool dayFirst)
{
    if (col == kTaskDueDateColumn)
        return dayFirst ? ssDateDMY : ssDateMDY;
    return ssText;
}

std::vector<int> orderWithinRuns(const CellStore& cells, int firstRow, int lastRow, const RunOrdering& how,
                                 const LocaleFormats& formats, const QDate& today)
{
    firstRow = std::max(firstRow, 0);
    lastRow = std::min(lastRow, cells.rowCount() - 1);
    const int n = lastRow - firstRow + 1;
    if (n <= 0)
        return {};
    std::vector<int> order(static_cast<size_t>(n));
    std::iota(order.begin(), order.end(), 0);

    auto text = [&](int rel, int col) {
        const QByteArrayView v = cells.cellUtf8(col, firstRow + rel);
        return std::string_view(v.data(), size_t(v.size()));
    };
    // Rows a sort left scattered in memory are asked for ahead of their turn: first where their
    // cells lie, a little later the two cells themselves, which are often further into the row.
    constexpr int kAhead = 8;
    auto prefetch = [&](int rel) {
        if (rel + 2 * kAhead < n)
            cells.row(firstRow + rel + 2 * kAhead).prefetch();
        if (rel + kAhead < n) {
            __builtin_prefetch(text(rel + kAhead, how.runColumn).data());
            __builtin_prefetch(text(rel + kAhead, how.keyColumn).data());
        }
    };
    const bool byText = how.kind == RunKeyKind::Text;
    TextBytes texts(cells);
    KeyCache cache;
    auto read = [&](std::string_view t) { return runKey(how.kind, t, formats, today); };
    auto item = [&](int rel) {
        prefetch(rel);
        const std::string_view key = text(rel, how.keyColumn);
        if (!byText)
            return RunItem{cache.get(key, read), key, rel};
        const std::optional<quint64> key2 = texts.second(key);
        return RunItem{texts.prefix(key), key, rel, key2.has_value(), key2.value_or(0)};
    };

    // Each row is read once: its run text and its key together.
    std::vector<RunItem> items;
    std::vector<RunItem> scratch;
    int runStart = 0;
    while (runStart < n) {
        const std::string_view runText = text(runStart, how.runColumn);
        items.clear();
        items.push_back(item(runStart));
        int runEnd = runStart + 1;
        while (runEnd < n && text(runEnd, how.runColumn) == runText)
            items.push_back(item(runEnd++));
        if (items.size() > 1) {
            constexpr size_t kRadixFrom = 256;
            if (!byText && items.size() >= kRadixFrom)
                radixSortRun(items, scratch, how.direction == sdDescending);
            else if (how.direction == sdDescending)
                sortRun<true>(items, scratch, byText ? &texts : nullptr);
            else
                sortRun<false>(items, scratch, byText ? &texts : nullptr);
            for (size_t k = 0; k < items.size(); ++k)
                order[size_t(runStart) + k] = items[k].id;
        }
        runStart = runEnd;
    }
    return order;
}

std::vector<int> descriptionOrderWithinPriority(const CellStore& cells, int firstRow, int lastRow)
{
    return orderWithinRuns(cells, firstRow, lastRow, RunOrdering{}, LocaleFormats::current(), QDate());
}

void orderByDescriptionWithinPriority(CellStore& cells, int firstRow, int lastRow, int& currentRow)
{
    const std::vector<int> order = descriptionOrderWithinPriority(cells, firstRow, lastRow);
    applyRowOrder(cells, std::max(firstRow, 0), order, currentRow);
}

namespace {

bool isTotalOrder(TSortStyle style)
{
    switch (effectiveSortStyle(style)) {
    case ssText:
    case ssTextCase:
    case ssTextNoCase:
    case ssSystemDate:
    case ssDateDMY:
    case ssDateMDY:
        return true;
    default:
        return false;
    }
}

// Numbers the distinct texts of a column in the order they first appear; a column such as the
// priority has a handful, found again without hashing.
class FewTexts
{
public:
    size_t indexOf(std::string_view t)
    {
        if (m_last < m_values.size() && m_values[m_last] == t)
            return m_last;
        if (m_values.size() <= kFew) {
            m_last = size_t(std::find(m_values.begin(), m_values.end(), t) - m_values.begin());
        } else {
            const auto at = m_index.find(t);
            m_last = at == m_index.end() ? m_values.size() : at->second;
        }
        if (m_last == m_values.size()) {
            m_values.push_back(t);
            if (m_values.size() > kFew) {
                if (m_index.empty())
                    for (size_t v = 0; v < m_values.size(); ++v)
                        m_index.emplace(m_values[v], v);
                else
                    m_index.emplace(t, m_last);
            }
        }
        return m_last;
    }
    const std::vector<std::string_view>& values() const { return m_values; }

private:
    // Beyond this many values a hash finds them.
    static constexpr size_t kFew = 16;
    std::vector<std::string_view> m_values;
    std::unordered_map<std::string_view, size_t> m_index;
    size_t m_last = 0;
};

} // namespace

std::optional<std::vector<int>> priorityThenDescriptionOrder(const CellStore& cells, const SortRequest& request)
{
    const int first = std::max(request.firstRow, 0);
    const int last = std::min(request.lastRow, cells.rowCount() - 1);
    const int n = last - first + 1;
    if (n <= 0)
        return std::vector<int>{};
    const int runColumn = request.sortColumn;
    if (runColumn < 0)
        return std::nullopt;
    // The grid's sort puts rows together exactly when their texts are equal only for a byte-wise
    // style, and orders unequal rows one way only when every column it goes on to is a total order.
    auto styleOf = [&](int col) {
        TSortStyle style = ssText;
        if (request.getFormat)
            request.getFormat(col, style);
        return effectiveSortStyle(style);
    };
    const TSortStyle runStyle = styleOf(runColumn);
    if (runStyle != ssText && runStyle != ssTextCase)
        return std::nullopt;
    const int lastTie = lastTieBreakColumn(runColumn, request.realColumnCount);
    for (int c = runColumn + 1; c <= lastTie; ++c)
        if (!isTotalOrder(styleOf(c)))
            return std::nullopt;

    auto text = [&](int rel, int col) {
        const QByteArrayView v = cells.cellUtf8(col, first + rel);
        return std::string_view(v.data(), size_t(v.size()));
    };
    constexpr int kAhead = 8;
    TextBytes texts(cells);
    FewTexts runs;
    std::vector<std::vector<RunItem>> byRun;
    for (int rel = 0; rel < n; ++rel) {
        if (rel + 2 * kAhead < n)
            cells.row(first + rel + 2 * kAhead).prefetch();
        if (rel + kAhead < n)
            __builtin_prefetch(text(rel + kAhead, kTaskDescriptionColumn).data());
        const size_t run = runs.indexOf(text(rel, runColumn));
        if (run == byRun.size())
            byRun.emplace_back();
        const std::string_view description = text(rel, kTaskDescriptionColumn);
        const std::optional<quint64> key2 = texts.second(description);
        byRun[run].emplace_back(texts.prefix(description), description, rel, key2.has_value(), key2.value_or(0));
    }

    // The runs as the grid's sort lines them up: by their texts' bytes, in the sort direction.
    const bool descending = request.direction == sdDescending;
    std::vector<size_t> runOrder(byRun.size());
    std::iota(runOrder.begin(), runOrder.end(), size_t(0));
    const std::vector<std::string_view>& values = runs.values();
    std::sort(runOrder.begin(), runOrder.end(), [&](size_t a, size_t b) {
        return descending ? values[b] < values[a] : values[a] < values[b];
    });

    // Rows of one run with equal descriptions stay as the grid's sort left them: in the order of
    // the columns it went on to.
    const QDate today = Clock::instance().today();
    auto after = [&](int a, int b) {
        return compareRows(cells, first + a, first + b, runColumn, request.realColumnCount, request.getFormat, today);
    };
    std::vector<int> order;
    order.reserve(size_t(n));
    std::vector<RunItem> scratch;
    std::vector<int> tied;
    for (const size_t run : runOrder) {
        std::vector<RunItem>& items = byRun[run];
        sortRun<false>(items, scratch, &texts);
        for (size_t b = 0, e = 0; b < items.size(); b = e) {
            e = b + 1;
            while (e < items.size() && !runBefore<false>(items[e - 1], items[e], &texts))
                ++e;
            if (e - b == 1) {
                order.push_back(items[b].id);
                continue;
            }
            tied.clear();
            for (size_t k = b; k < e; ++k)
                tied.push_back(items[k].id);
            std::stable_sort(tied.begin(), tied.end(), [&](int x, int y) {
                const int r = after(x, y);
                return descending ? r > 0 : r < 0;
            });
            for (size_t k = 1; k < tied.size(); ++k)
                if (after(tied[k - 1], tied[k]) == 0)
                    return std::nullopt;
            order.insert(order.end(), tied.begin(), tied.end());
        }
    }
    return order;
}

void sortByPriorityThenDescription(CellStore& cells, const SortRequest& request, int& currentRow)
{
    const int first = std::max(request.firstRow, 0);
    if (const auto order = priorityThenDescriptionOrder(cells, request)) {
        applyRowOrder(cells, first, *order, currentRow);
        return;
    }
    SortRows(cells, request, currentRow);
    if (request.sortColumn < 0)
        return;
    RunOrdering how;
    how.runColumn = request.sortColumn;
    const std::vector<int> order =
        orderWithinRuns(cells, first, request.lastRow, how, LocaleFormats::current(), QDate());
    applyRowOrder(cells, first, order, currentRow);
}

namespace {
constexpr int kIdentityColumns[] = {TaskCol::Mark,     TaskCol::Task,     TaskCol::DueDate,    TaskCol::DueTime,
                                    TaskCol::Category, TaskCol::Priority, TaskCol::Notes,      TaskCol::CreateDate,
                                    TaskCol::Alarm,    TaskCol::Type};

bool sameTexts(const CellStore& a, int ra, const CellStore& b, int rb)
{
    for (int c : kIdentityColumns)
        if (a.cellUtf8(c, ra) != b.cellUtf8(c, rb))
            return false;
    return true;
}

bool isTask(const CellStore& cells, int r)
{
    for (int c = 0; c < TaskCol::Count; ++c)
        if (!cells.isCellEmpty(c, r))
            return true;
    return false;
}
} // namespace

int rowOfTaskIn(const CellStore& before, int row, const CellStore& after)
{
    const int fallback = std::clamp(row, std::min(1, after.rowCount() - 1), std::max(0, after.rowCount() - 1));
    if (row < 1 || row >= before.rowCount() || !isTask(before, row))
        return fallback;
    QHash<QByteArrayView, int> afterUids;
    afterUids.reserve(after.rowCount());
    for (int r = after.rowCount() - 1; r >= 1; --r)
        if (const QByteArrayView uid = after.cellUtf8(TaskCol::Reserved, r); !uid.isEmpty())
            afterUids.insert(uid, r);
    auto byUid = [&](int r) {
        const QByteArrayView uid = before.cellUtf8(TaskCol::Reserved, r);
        return uid.isEmpty() ? -1 : afterUids.value(uid, -1);
    };
    if (const int found = byUid(row); found > 0)
        return found;
    // By its texts, among the rows that are no other task of `before`: the nearest.
    QSet<QByteArrayView> beforeUids;
    for (int r = 1; r < before.rowCount(); ++r)
        if (r != row && !before.isCellEmpty(TaskCol::Reserved, r))
            beforeUids.insert(before.cellUtf8(TaskCol::Reserved, r));
    int best = -1;
    for (int r = 1; r < after.rowCount(); ++r)
        if (!beforeUids.contains(after.cellUtf8(TaskCol::Reserved, r)) && sameTexts(before, row, after, r)
            && (best < 0 || std::abs(r - row) <= std::abs(best - row)))
            best = r;
    if (best > 0)
        return best;
    for (int r = row + 1; r < before.rowCount(); ++r)
        if (const int found = byUid(r); found > 0)
            return found;
    for (int r = row - 1; r >= 1; --r)
        if (const int found = byUid(r); found > 0)
            return found;
    return fallback;
}

AdvancedSortChoice advancedSortOpening(const AdvancedSortChoice& stored)
{
    static constexpr std::array<int, 4> kCounts{kAdvancedSortKeyCount, kAdvancedSortDirectionCount,
                                                kAdvancedSortKeyCount, kAdvancedSortDirectionCount};
    AdvancedSortChoice out;
    for (size_t i = 0; i < out.size(); ++i)
        out[i] = stored[i] >= 0 && stored[i] < kCounts[i] ? stored[i] : kDefaultAdvancedSort[i];
    return out;
}

RunOrdering advancedSortRuns(const AdvancedSortChoice& choice)
{
    RunOrdering how;
    how.runColumn = choice[0];
    how.keyColumn = choice[2];
    how.kind = choice[2] == kTaskDueDateColumn   ? RunKeyKind::Date
             : choice[2] == kTaskDueTimeColumn ? RunKeyKind::Time
                                               : RunKeyKind::Text;
    how.direction = choice[3] == 0 ? sdAscending : sdDescending;
    return how;
}

void orderAdvancedSortRuns(CellStore& cells, int firstRow, int lastRow, const AdvancedSortChoice& choice,
                           int& currentRow)
{
    const std::vector<int> order = orderWithinRuns(cells, firstRow, lastRow, advancedSortRuns(choice),
                                                   LocaleFormats::current(), Clock::instance().today());
    applyRowOrder(cells, std::max(firstRow, 0), order, currentRow);
}

} // namespace veltry
