#pragma once

#include <algorithm>
#include <cstddef>
#include <vector>

namespace veltry {

// A gap of spare slots among the items of a vector, where items were last inserted or removed, so
// that inserting or removing again near there moves only the items in between, not all below.
// Items moved out of the way leave moved-from ones behind: the gap's slots hold nothing of value.
struct VectorGap
{
    int at = 0;  // item `at` lies just past the gap
    int size = 0;

    // Where item i lies in the vector.
    size_t slot(int i) const { return size_t(i) + (i >= at ? size_t(size) : 0); }

    template<typename T>
    void moveTo(std::vector<T>& items, int to)
    {
        const auto begin = items.begin();
        if (size > 0 && to < at)
            std::move_backward(begin + to, begin + at, begin + at + size);
        else if (size > 0 && to > at)
            std::move(begin + at + size, begin + to + size, begin + at);
        at = to;
    }

    // Makes the vector plain again.
    template<typename T>
    void close(std::vector<T>& items)
    {
        if (size > 0)
            items.erase(items.begin() + at, items.begin() + at + size);
        at = 0;
        size = 0;
    }

    // Room for `count` items at `first`: the first slots of the gap become theirs, as they are.
    template<typename T>
    void open(std::vector<T>& items, int first, int count)
    {
        moveTo(items, first);
        if (size < count) {
            // Widened in proportion to the items, so that those below move only once in many
            // inserts.
            const int wider = count + spare(int(items.size()) - size);
            const ptrdiff_t added = wider - size;
            const ptrdiff_t tail = ptrdiff_t(items.size()) - first - size;
            items.resize(items.size() + size_t(added));
            std::move_backward(items.end() - added - tail, items.end() - added, items.end());
            size = wider;
        }
        at += count;
        size -= count;
    }

    // The `count` items from `first` on join the gap, each left to `empty`. A gap far wider than
    // the items would ever need gives its room back, rarely enough to cost little per removal.
    template<typename T, typename Empty>
    void take(std::vector<T>& items, int first, int count, Empty empty)
    {
        moveTo(items, first);
        const auto gone = items.begin() + first + size;
        std::for_each(gone, gone + count, empty);
        size += count;
        const int room = spare(int(items.size()) - size);
        if (size > 4 * room) {
            items.erase(items.begin() + first + room, items.begin() + first + size);
            size = room;
        }
    }

    // Items come and go at the end, past the gap; a gap among the items dropped goes with them.
    template<typename T>
    void resize(std::vector<T>& items, int count)
    {
        if (count < at) {
            items.resize(size_t(count));
            at = 0;
            size = 0;
        } else {
            items.resize(size_t(count) + size_t(size));
        }
    }

    static int spare(int items) { return std::max(64, items / 16); }
};

} // namespace veltry
