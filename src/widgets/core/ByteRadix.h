#pragma once

#include <QtGlobal>
#include <cstddef>
#include <utility>
#include <vector>

namespace veltry {

// Sorts `items` stably by `key(item)`, an unsigned 64-bit value: one counting pass for each byte in
// which the keys differ, the least significant first. Linear where comparing would mispredict at
// nearly every step; `scratch` is working room.
template<typename Item, typename Key>
void radixSortByBytes(std::vector<Item>& items, std::vector<Item>& scratch, Key key)
{
    if (items.empty())
        return;
    quint64 differ = 0;
    for (const Item& item : items)
        differ |= key(item) ^ key(items.front());
    scratch.resize(items.size());
    for (int shift = 0; shift < 64; shift += 8) {
        if (((differ >> shift) & 0xFF) == 0)
            continue;
        size_t count[256] = {};
        for (const Item& item : items)
            ++count[(key(item) >> shift) & 0xFF];
        size_t start = 0;
        for (size_t& c : count)
            start += std::exchange(c, start);
        for (const Item& item : items)
            scratch[count[(key(item) >> shift) & 0xFF]++] = item;
        items.swap(scratch);
    }
}

} // namespace veltry
