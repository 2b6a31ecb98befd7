#include "widgets/core/CellStore.h"

#include <algorithm>
#include <atomic>
#include <cstring>
#include <utility>

namespace veltry {

namespace {
uint32_t readU32(const char* p)
{
    uint32_t v;
    std::memcpy(&v, p, sizeof v);
    return v;
}
} // namespace

int RowCells::storedCount() const
{
    return m_blob ? int(readU32(m_blob.get())) : 0;
}

QByteArrayView RowCells::cell(int col) const
{
    if (!m_blob || col < 0)
        return {};
    const char* p = m_blob.get();
    const uint32_t count = readU32(p);
    if (uint32_t(col) >= count)
        return {};
    const char* data = p + 4 + 4 * size_t(count);
    const uint32_t begin = col == 0 ? 0 : readU32(p + 4 + 4 * size_t(col - 1));
    const uint32_t end = readU32(p + 4 + 4 * size_t(col));
    return QByteArrayView(data + begin, qsizetype(end - begin));
}

void RowCells::assign(int count, const uint32_t* ends, const char* data)
{
    while (count > 0 && (count == 1 ? ends[0] == 0 : ends[count - 1] == ends[count - 2]))
        --count;  // trailing empty cells are not stored
    if (count == 0) {
        m_blob.reset();
        return;
    }
    const uint32_t total = ends[count - 1];
    const size_t header = 4 + 4 * size_t(count);
    std::unique_ptr<char[]> blob(new char[header + total]);
    const uint32_t c = uint32_t(count);
    std::memcpy(blob.get(), &c, 4);
    std::memcpy(blob.get() + 4, ends, 4 * size_t(count));
    if (total)
        std::memcpy(blob.get() + header, data, total);
    m_blob = std::move(blob);
}

void RowCells::assign(std::span<const QByteArrayView> cells)
{
    size_t count = cells.size();
    while (count > 0 && cells[count - 1].isEmpty())
        --count;
    if (count == 0) {
        m_blob.reset();
        return;
    }
    size_t total = 0;
    for (size_t i = 0; i < count; ++i)
        total += size_t(cells[i].size());
    const size_t header = 4 + 4 * count;
    std::unique_ptr<char[]> blob(new char[header + total]);
    const uint32_t c = uint32_t(count);
    std::memcpy(blob.get(), &c, 4);
    uint32_t end = 0;
    for (size_t i = 0; i < count; ++i) {
        if (!cells[i].isEmpty())
            std::memcpy(blob.get() + header + end, cells[i].data(), size_t(cells[i].size()));
        end += uint32_t(cells[i].size());
        std::memcpy(blob.get() + 4 + 4 * i, &end, 4);
    }
    m_blob = std::move(blob);
}

void RowCells::setCell(int col, QByteArrayView utf8)
{
    const int old = storedCount();
    if (col < 0 || (col >= old && utf8.isEmpty()))
        return;
    // The new row is written once into its own allocation, the texts around the cell copied as
    // they lie: a row holding one huge text is copied once per change, not several times.
    const char* p = m_blob.get();
    const uint32_t total = old ? readU32(p + 4 * size_t(old)) : 0;
    auto oldEnd = [&](int i) { return i < 0 ? 0 : i < old ? readU32(p + 4 + 4 * size_t(i)) : total; };
    int count = std::max(old, col + 1);
    if (utf8.isEmpty() && col == count - 1) {
        // Trailing empty cells are not stored.
        count = col;
        while (count > 0 && oldEnd(count - 1) == oldEnd(count - 2))
            --count;
        if (count == 0) {
            m_blob.reset();
            return;
        }
    }
    const uint32_t before = oldEnd(col - 1);
    const uint32_t after = oldEnd(col);
    const bool written = col < count;
    const uint32_t size = written ? uint32_t(utf8.size()) : 0;
    const uint32_t tail = written ? oldEnd(count - 1) - after : 0;
    const uint32_t newTotal = written ? before + size + tail : oldEnd(count - 1);
    const size_t header = 4 + 4 * size_t(count);
    std::unique_ptr<char[]> blob(new char[header + newTotal]);
    const uint32_t c = uint32_t(count);
    std::memcpy(blob.get(), &c, 4);
    for (int i = 0; i < count; ++i) {
        const uint32_t end = i < col ? oldEnd(i) : i == col ? before + size : oldEnd(i) - after + before + size;
        std::memcpy(blob.get() + 4 + 4 * size_t(i), &end, 4);
    }
    char* data = blob.get() + header;
    const char* oldData = p ? p + 4 + 4 * size_t(old) : nullptr;
    if (!written) {
        std::memcpy(data, oldData, newTotal);
    } else {
        if (before)
            std::memcpy(data, oldData, before);
        if (size)
            std::memcpy(data + before, utf8.data(), size);
        if (tail)
            std::memcpy(data + before + size, oldData + after, tail);
    }
    m_blob = std::move(blob);
}

RowCells RowCells::clone() const
{
    RowCells copy;
    if (m_blob) {
        const uint32_t count = readU32(m_blob.get());
        const size_t size = 4 + 4 * size_t(count) + readU32(m_blob.get() + 4 * size_t(count));
        copy.m_blob.reset(new char[size]);
        std::memcpy(copy.m_blob.get(), m_blob.get(), size);
    }
    if (m_images)
        copy.m_images = std::make_unique<std::vector<std::pair<int, TCellGraphic>>>(*m_images);
    return copy;
}

size_t RowCells::memoryUsage() const
{
    size_t bytes = 0;
    if (m_blob) {
        const uint32_t count = readU32(m_blob.get());
        bytes += 4 + 4 * size_t(count) + readU32(m_blob.get() + 4 * size_t(count));
    }
    if (m_images)
        bytes += sizeof(*m_images) + m_images->capacity() * sizeof(std::pair<int, TCellGraphic>);
    return bytes;
}

const TCellGraphic* RowCells::image(int col) const
{
    if (!m_images)
        return nullptr;
    for (const auto& [c, g] : *m_images)
        if (c == col)
            return &g;
    return nullptr;
}

void RowCells::setImage(int col, const TCellGraphic& g)
{
    if (!m_images)
        m_images = std::make_unique<std::vector<std::pair<int, TCellGraphic>>>();
    for (auto& [c, existing] : *m_images) {
        if (c == col) {
            existing = g;
            return;
        }
    }
    m_images->emplace_back(col, g);
}

bool RowCells::removeImage(int col)
{
    if (!m_images)
        return false;
    const auto it = std::find_if(m_images->begin(), m_images->end(), [col](const auto& p) { return p.first == col; });
    if (it == m_images->end())
        return false;
    m_images->erase(it);
    if (m_images->empty())
        m_images.reset();
    return true;
}

void CellJournal::append(CellJournal&& later)
{
    if (ops.empty()) {
        ops = std::move(later.ops);
        texts = std::move(later.texts);
        return;
    }
    const auto base = uint32_t(texts.size());
    texts += later.texts;
    // No reserve to the exact size: changes appended one add at a time would copy all the
    // earlier ones each time.
    for (Op op : later.ops) {
        op.textEnd += base;
        ops.push_back(op);
    }
}

void CellJournal::applyTo(CellStore& store) const
{
    uint32_t begin = 0;
    for (const Op& op : ops) {
        switch (op.kind) {
        case SetCell:
            store.setCellUtf8(op.a, op.b, QByteArrayView(texts.data() + begin, qsizetype(op.textEnd - begin)));
            begin = op.textEnd;
            break;
        case SetColumnCount: store.setColumnCount(op.a); break;
        case SetRowCount: store.setRowCount(op.a); break;
        case ClearRows: store.clearRows(op.a, op.b); break;
        case RemoveRows: store.removeRows(op.a, op.b); break;
        case InsertRows: store.insertRows(op.a, op.b); break;
        case SwapRows: store.swapRows(op.a, op.b); break;
        case ClearAll: store.clearAllCells(); break;
        }
    }
}

CellStore::CellStore(CellStore&& other) noexcept
    : m_columns(other.m_columns),
      m_rows(std::move(other.m_rows)),
      m_gap(std::exchange(other.m_gap, {})),
      m_generation(other.m_generation),
      m_journal(std::move(other.m_journal)),
      m_rowJournal(std::move(other.m_rowJournal))
{
    other.m_rows.clear();
}

CellStore& CellStore::operator=(CellStore&& other) noexcept
{
    if (this != &other) {
        m_columns = other.m_columns;
        m_rows = std::move(other.m_rows);
        other.m_rows.clear();
        m_gap = std::exchange(other.m_gap, {});
        m_generation = other.m_generation;
        m_journal = std::move(other.m_journal);
        m_rowJournal = std::move(other.m_rowJournal);
    }
    return *this;
}

std::vector<RowCells>& CellStore::rows()
{
    touch();
    breakJournal();
    m_gap.close(m_rows);
    return m_rows;
}

namespace {
bool takeFrom(CellJournal* j, quint64 reader, CellJournal& changes)
{
    if (!j || j->reader != reader)
        return false;
    changes.reader = reader;
    changes.broken = false;
    changes.ops = std::exchange(j->ops, {});
    changes.texts = std::exchange(j->texts, {});
    return true;
}

void breakOne(CellJournal* j) noexcept
{
    if (!j)
        return;
    j->broken = true;
    std::vector<CellJournal::Op>().swap(j->ops);
    std::string().swap(j->texts);
}
} // namespace

void CellStore::startJournal(quint64 reader) const
{
    m_journal = std::make_unique<CellJournal>();
    m_journal->reader = reader;
}

bool CellStore::takeJournal(quint64 reader, CellJournal& changes) const
{
    return takeFrom(journal(), reader, changes);
}

void CellStore::startRowJournal(quint64 reader) const
{
    m_rowJournal = std::make_unique<CellJournal>();
    m_rowJournal->reader = reader;
}

bool CellStore::takeRowJournal(quint64 reader, CellJournal& changes) const
{
    return takeFrom(rowJournal(), reader, changes);
}

void CellStore::breakJournal() noexcept
{
    breakOne(m_journal.get());
    breakOne(m_rowJournal.get());
}

// Called after the change was made, so that a change that failed is not recorded; a record that
// cannot be kept breaks the journal rather than leave it short of a change.
void CellStore::record(CellJournal::Kind kind, int a, int b) noexcept
{
    recordIn(m_journal, kind, a, b);
    recordIn(m_rowJournal, kind, a, b);
}

void CellStore::recordIn(std::unique_ptr<CellJournal>& journal, CellJournal::Kind kind, int a, int b) noexcept
{
    CellJournal* j = journal && !journal->broken ? journal.get() : nullptr;
    if (!j)
        return;
    try {
        j->ops.push_back(CellJournal::Op{kind, a, b, uint32_t(j->texts.size())});
    } catch (...) {
        breakOne(j);
        return;
    }
    if (j->size() > CellJournal::sizeLimit(size_t(rowCount())) || j->texts.size() > UINT32_MAX / 2)
        breakOne(j);
}

void CellStore::touch()
{
    static std::atomic<quint64> counter{0};
    m_generation = ++counter;
}

void CellStore::setColumnCount(int n)
{
    touch();
    const int asked = n;
    n = std::clamp(n, 0, kMaxColumns);
    if (n < m_columns) {
        // Cells of dropped columns are gone, as with any grid that shrinks.
        try {
            for (auto& r : m_rows) {
                for (int c = n; c < r.storedCount(); ++c)
                    r.setCell(c, {});
                for (int c = n; c < m_columns; ++c)
                    r.removeImage(c);
            }
        } catch (...) {
            breakJournal();  // some rows lost their cells, others not
            throw;
        }
    }
    m_columns = n;
    record(CellJournal::SetColumnCount, asked, 0);
}

void CellStore::setRowCount(int n)
{
    touch();
    const int asked = n;
    n = std::clamp(n, 0, kMaxRows);
    m_gap.resize(m_rows, n);
    record(CellJournal::SetRowCount, asked, 0);
}

QString CellStore::cell(int col, int row) const
{
    const QByteArrayView v = cellUtf8(col, row);
    return v.isEmpty() ? QString() : QString::fromUtf8(v);
}

QByteArrayView CellStore::cellUtf8(int col, int row) const
{
    if (row < 0 || row >= rowCount())
        return {};
    return m_rows[slot(row)].cell(col);
}

void CellStore::setCell(int col, int row, const QString& text)
{
    setCellUtf8(col, row, text.toUtf8());
}

void CellStore::setCellUtf8(int col, int row, QByteArrayView utf8)
{
    touch();
    if (!inRange(col, row))
        return;
    // The text is kept first: it may be one of the cells this change frees.
    CellJournal* j = journal();
    const size_t mark = j ? j->texts.size() : 0;
    if (j) {
        try {
            j->texts.append(utf8.data(), size_t(utf8.size()));
        } catch (...) {
            breakOne(j);
            j = nullptr;
        }
    }
    try {
        m_rows[slot(row)].setCell(col, utf8);
    } catch (...) {
        if (j)
            j->texts.resize(mark);
        throw;
    }
    record(CellJournal::SetCell, col, row);
}

const TCellGraphic* CellStore::cellImage(int col, int row) const
{
    if (row < 0 || row >= rowCount())
        return nullptr;
    return m_rows[slot(row)].image(col);
}

void CellStore::setCellImage(int col, int row, const TCellGraphic& g)
{
    touch();
    if (inRange(col, row))
        m_rows[slot(row)].setImage(col, g);
}

void CellStore::removeCellImage(int col, int row)
{
    touch();
    if (row >= 0 && row < rowCount())
        m_rows[slot(row)].removeImage(col);
}

void CellStore::clearRows(int first, int count)
{
    touch();
    const int end = std::min(rowCount(), first + count);
    for (int r = std::max(0, first); r < end; ++r) {
        m_rows[slot(r)].clearTexts();
        m_rows[slot(r)].clearImages();
    }
    record(CellJournal::ClearRows, first, count);
}

void CellStore::removeRows(int first, int count)
{
    touch();
    if (first < 0 || count <= 0 || first >= rowCount())
        return;
    count = std::min(count, rowCount() - first);
    m_gap.take(m_rows, first, count, [](RowCells& r) { r = RowCells(); });
    record(CellJournal::RemoveRows, first, count);
}

void CellStore::insertRows(int first, int count)
{
    touch();
    if (count <= 0)
        return;
    first = std::clamp(first, 0, rowCount());
    count = std::min(count, kMaxRows - rowCount());
    if (count <= 0)
        return;
    m_gap.open(m_rows, first, count);  // the gap's slots are empty rows
    record(CellJournal::InsertRows, first, count);
}

void CellStore::swapRows(int a, int b)
{
    touch();
    if (a < 0 || b < 0 || a >= rowCount() || b >= rowCount() || a == b)
        return;
    std::swap(m_rows[slot(a)], m_rows[slot(b)]);
    record(CellJournal::SwapRows, a, b);
}

void CellStore::clearAllCells()
{
    touch();
    for (auto& r : m_rows) {
        r.clearTexts();
        r.clearImages();
    }
    record(CellJournal::ClearAll, 0, 0);
}

size_t CellStore::memoryUsage() const
{
    size_t bytes = sizeof(*this) + m_rows.capacity() * sizeof(RowCells);
    for (const auto& r : m_rows)
        bytes += r.memoryUsage();
    return bytes;
}

} // namespace veltry
