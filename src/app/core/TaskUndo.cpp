#include "app/core/TaskUndo.h"

#include <QHash>
#include <algorithm>

namespace veltry {

namespace {
QByteArrayView rowCell(const RowCells& row, int col)
{
    return col < row.storedCount() ? row.cell(col) : QByteArrayView();
}

// Over the columns every match compares, so a lenient column cannot make two equal rows differ.
size_t strictHash(const CellStore& cells, int row, const RowMatch& m)
{
    size_t h = 0;
    for (int c = 0; c < cells.columnCount(); ++c)
        if (c != m.ignoredColumn && c != m.givenLaterColumn && c != m.typeColumn)
            h = qHashMulti(h, c, cells.cellUtf8(c, row));
    return h;
}

size_t strictHash(const RowCells& row, int columns, const RowMatch& m)
{
    size_t h = 0;
    for (int c = 0; c < columns; ++c)
        if (c != m.ignoredColumn && c != m.givenLaterColumn && c != m.typeColumn)
            h = qHashMulti(h, c, rowCell(row, c));
    return h;
}
} // namespace

RowCells RowStep::keep(const CellStore& cells, int row)
{
    RowCells copy = cells.row(row).clone();
    // The pictures follow from the texts; the window attaches them again.
    copy.clearImages();
    return copy;
}

void RowStep::added(const CellStore& cells, int row)
{
    m_changes.push_back(RowChange{std::nullopt, keep(cells, row), -1, row});
}

void RowStep::removed(const CellStore& cells, int row)
{
    m_changes.push_back(RowChange{keep(cells, row), std::nullopt, row, -1});
}

void RowStep::removed(RowCells before, int row)
{
    before.clearImages();
    m_changes.push_back(RowChange{std::move(before), std::nullopt, row, -1});
}

void RowStep::changed(RowCells before, int beforeRow, const CellStore& cells, int row)
{
    before.clearImages();
    const int columns = std::max(cells.columnCount(), before.storedCount());
    bool same = true;
    for (int c = 0; c < columns && same; ++c)
        same = rowCell(before, c) == cells.cellUtf8(c, row);
    if (same)
        return;
    m_changes.push_back(RowChange{std::move(before), keep(cells, row), beforeRow, row});
}

bool RowStep::matches(const RowCells& expected, const CellStore& cells, int row) const
{
    const int columns = std::max(cells.columnCount(), expected.storedCount());
    for (int c = 0; c < columns; ++c) {
        if (c == m_match.ignoredColumn)
            continue;
        const QByteArrayView want = rowCell(expected, c);
        const QByteArrayView have = cells.cellUtf8(c, row);
        if (want == have)
            continue;
        if (c == m_match.givenLaterColumn && want.isEmpty())
            continue;
        if (c == m_match.typeColumn && want.isEmpty() && have == "0")
            continue;
        return false;
    }
    return true;
}

bool RowStep::isBlank(const CellStore& cells, int row) const
{
    for (int c = 0; c < cells.columnCount(); ++c)
        if (c != m_match.ignoredColumn && !cells.isCellEmpty(c, row))
            return false;
    return true;
}

std::optional<std::vector<int>> RowStep::locate(const CellStore& cells, bool undo) const
{
    std::vector<int> found = find(cells, undo);
    for (size_t i = 0; i < m_changes.size(); ++i)
        if (found[i] < 0 && (undo ? m_changes[i].after : m_changes[i].before))
            return std::nullopt;
    return found;
}

std::vector<int> RowStep::find(const CellStore& cells, bool undo) const
{
    std::vector<int> found(m_changes.size(), -1);
    std::vector<bool> taken(size_t(std::max(0, cells.rowCount())), false);
    // Built at the first row not where it was, so finding many moved rows stays linear.
    QMultiHash<size_t, int> byHash;
    bool hashed = false;
    for (size_t i = 0; i < m_changes.size(); ++i) {
        const RowChange& change = m_changes[i];
        const std::optional<RowCells>& from = undo ? change.after : change.before;
        if (!from)
            continue;
        const int hint = undo ? change.afterRow : change.beforeRow;
        if (hint >= 1 && hint < cells.rowCount() && !taken[size_t(hint)] && matches(*from, cells, hint)) {
            found[i] = hint;
        } else {
            if (!hashed) {
                for (int r = cells.rowCount() - 1; r >= 1; --r)
                    byHash.insert(strictHash(cells, r, m_match), r);
                hashed = true;
            }
            const size_t key = strictHash(*from, cells.columnCount(), m_match);
            for (auto it = byHash.constFind(key); it != byHash.constEnd() && it.key() == key; ++it) {
                if (!taken[size_t(*it)] && matches(*from, cells, *it)) {
                    found[i] = *it;
                    break;
                }
            }
            if (found[i] < 0)
                continue;
        }
        taken[size_t(found[i])] = true;
    }
    return found;
}

bool RowStep::canApply(const CellStore& cells, bool undo) const
{
    return locate(cells, undo).has_value();
}

bool RowStep::apply(CellStore& cells, bool undo) const
{
    const std::optional<std::vector<int>> found = locate(cells, undo);
    if (!found)
        return false;
    if (m_changes.empty())
        return true;

    std::vector<bool> remove(size_t(cells.rowCount()), false);
    std::vector<std::pair<int, const RowCells*>> inserts;
    for (size_t i = 0; i < m_changes.size(); ++i) {
        const RowChange& change = m_changes[i];
        const std::optional<RowCells>& from = undo ? change.after : change.before;
        const std::optional<RowCells>& to = undo ? change.before : change.after;
        const int row = (*found)[i];
        if (from && to) {
            // A key the row was given since (the sync's UID) stays with it.
            const int key = m_match.givenLaterColumn;
            const QByteArray given = key >= 0 && rowCell(*from, key).isEmpty() && rowCell(*to, key).isEmpty()
                ? cells.cellUtf8(key, row).toByteArray()
                : QByteArray();
            cells.row(row) = to->clone();
            if (!given.isEmpty())
                cells.setCellUtf8(key, row, given);
        } else if (from) {
            remove[size_t(row)] = true;
        } else if (to) {
            inserts.emplace_back(undo ? change.beforeRow : change.afterRow, &*to);
        }
    }

    std::vector<RowCells>& rows = cells.rows();
    if (std::find(remove.begin(), remove.end(), true) != remove.end()) {
        size_t kept = 1;
        for (size_t r = 1; r < rows.size(); ++r)
            if (!remove[r])
                rows[kept++] = std::move(rows[r]);
        rows.resize(kept);
    }
    if (!inserts.empty()) {
        // The empty list's blank row gives way to the first task.
        if (rows.size() == 2 && isBlank(cells, 1))
            rows.resize(1);
        std::stable_sort(inserts.begin(), inserts.end(),
                         [](const auto& a, const auto& b) { return a.first < b.first; });
        std::vector<RowCells> merged;
        merged.reserve(rows.size() + inserts.size());
        size_t next = 0;
        for (const auto& [at, cellsToInsert] : inserts) {
            while (next < rows.size() && (next == 0 || int(merged.size()) < at))
                merged.push_back(std::move(rows[next++]));
            merged.push_back(cellsToInsert->clone());
        }
        while (next < rows.size())
            merged.push_back(std::move(rows[next++]));
        rows = std::move(merged);
    }
    if (rows.size() < 2)
        cells.setRowCount(2);
    return true;
}

std::vector<const RowCells*> RowStep::rowsTakenAway(bool undo) const
{
    std::vector<const RowCells*> rows;
    for (const RowChange& change : m_changes) {
        const std::optional<RowCells>& from = undo ? change.after : change.before;
        const std::optional<RowCells>& to = undo ? change.before : change.after;
        if (from && !to)
            rows.push_back(&*from);
    }
    return rows;
}

size_t RowStep::memoryUsage() const
{
    size_t bytes = m_changes.capacity() * sizeof(RowChange);
    for (const RowChange& change : m_changes)
        bytes += (change.before ? change.before->memoryUsage() : 0) + (change.after ? change.after->memoryUsage() : 0);
    return bytes;
}

bool TaskListStep::apply(CellStore& taskCells, CellStore& historyCells, bool undo) const
{
    if (!tasks.canApply(taskCells, undo) || !history.canApply(historyCells, undo))
        return false;
    tasks.apply(taskCells, undo);
    history.apply(historyCells, undo);
    return true;
}

} // namespace veltry
