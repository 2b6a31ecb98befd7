#include "app/core/TaskOrder.h"

#include "widgets/core/CellStore.h"

#include <algorithm>
#include <numeric>
#include <string_view>

namespace veltry {

TSortStyle taskGridFormat(int col, bool dayFirst)
{
    if (col == kTaskDueDateColumn)
        return dayFirst ? ssDateDMY : ssDateMDY;
    return ssText;
}

std::vector<int> descriptionOrderWithinPriority(const CellStore& cells, int firstRow, int lastRow)
{
    firstRow = std::max(firstRow, 0);
    lastRow = std::min(lastRow, cells.rowCount() - 1);
    const int n = lastRow - firstRow + 1;
    if (n <= 0)
        return {};
    std::vector<int> order(static_cast<size_t>(n));
    std::iota(order.begin(), order.end(), 0);

    constexpr int kAhead = 16;
    auto text = [&](int rel, int col) {
        if (rel + kAhead < n)
            cells.row(firstRow + rel + kAhead).prefetch();
        const QByteArrayView v = cells.cellUtf8(col, firstRow + rel);
        return std::string_view(v.data(), size_t(v.size()));
    };
    // Descriptions are read once per row; the first eight bytes, big-endian, settle most
    // comparisons without going back to the row's cells.
    struct Key
    {
        quint64 prefix;
        std::string_view text;
        int id;
    };
    std::vector<Key> keys;
    int runStart = 0;
    while (runStart < n) {
        const std::string_view priority = text(runStart, kTaskPriorityColumn);
        int runEnd = runStart + 1;
        while (runEnd < n && text(runEnd, kTaskPriorityColumn) == priority)
            ++runEnd;
        if (runEnd - runStart > 1) {
            keys.clear();
            for (int i = runStart; i < runEnd; ++i) {
                const std::string_view d = text(i, kTaskDescriptionColumn);
                quint64 prefix = 0;
                for (size_t b = 0; b < std::min<size_t>(8, d.size()); ++b)
                    prefix |= quint64(static_cast<unsigned char>(d[b])) << (56 - 8 * b);
                keys.push_back({prefix, d, i});
            }
            // string_view compares as unsigned bytes, which is the character-code order of UTF-8.
            std::stable_sort(keys.begin(), keys.end(), [](const Key& a, const Key& b) {
                return a.prefix != b.prefix ? a.prefix < b.prefix : a.text < b.text;
            });
            for (int i = runStart; i < runEnd; ++i)
                order[size_t(i)] = keys[size_t(i - runStart)].id;
        }
        runStart = runEnd;
    }
    return order;
}

void orderByDescriptionWithinPriority(CellStore& cells, int firstRow, int lastRow, int& currentRow)
{
    const std::vector<int> order = descriptionOrderWithinPriority(cells, firstRow, lastRow);
    applyRowOrder(cells, std::max(firstRow, 0), order, currentRow);
}

} // namespace veltry
