#pragma once

#include "widgets/core/VectorGap.h"

#include <QByteArrayView>
#include <QString>
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <vector>

namespace veltry {

// A small picture attached to one cell; it travels with its row.
struct TCellGraphic
{
    enum Kind : quint8 { ImageList = 0, Bitmap = 1, TransparentBitmap = 2 };
    Kind kind = ImageList;
    qint32 index = 0;
    quint8 horizontal = 0;  // 0 left, 1 right, 2 centred, 3 left of the text, 4 right after the text
    quint8 vertical = 0;    // 0 top, 1 bottom, 2 centred, 3 below the text, 4 pushes the text down
    bool operator==(const TCellGraphic&) const = default;
};

// One row of cells packed into a single allocation, so that huge lists stay close to the size
// of their file: [uint32 count][uint32 end offset per cell][UTF-8 text of all cells].
class RowCells
{
public:
    RowCells() = default;
    RowCells(RowCells&&) noexcept = default;
    RowCells& operator=(RowCells&&) noexcept = default;
    RowCells clone() const;

    int storedCount() const;  // cells beyond it are empty
    QByteArrayView cell(int col) const;
    void setCell(int col, QByteArrayView utf8);
    // Builds the row from `count` cells whose texts end at ends[i] within `data`.
    void assign(int count, const uint32_t* ends, const char* data);
    // Builds the row from the texts of its cells, in one copy.
    void assign(std::span<const QByteArrayView> cells);
    bool isEmpty() const { return !m_blob; }
    // Asks the processor to start loading the row's cells; scans over rows that a sort scattered
    // in memory call it a few rows ahead.
    void prefetch() const { __builtin_prefetch(m_blob.get()); }
    size_t memoryUsage() const;

    const TCellGraphic* image(int col) const;
    void setImage(int col, const TCellGraphic& g);
    bool removeImage(int col);
    bool hasImages() const { return m_images && !m_images->empty(); }
    void clearImages() { m_images.reset(); }
    void clearTexts() { m_blob.reset(); }

private:
    std::unique_ptr<char[]> m_blob;
    std::unique_ptr<std::vector<std::pair<int, TCellGraphic>>> m_images;
};

class CellStore;

// The changes made to a store since a reader last took them, as the operations that made them, so
// that the reader can keep a copy of its own in step without copying every row. Pictures are not
// recorded: the reader only wants the texts.
struct CellJournal
{
    enum Kind : quint8 { SetCell, SetColumnCount, SetRowCount, ClearRows, RemoveRows, InsertRows, SwapRows, ClearAll };
    struct Op
    {
        Kind kind;
        int a = 0;  // column, count, first row or first of two rows
        int b = 0;  // row, count or second of two rows
        uint32_t textEnd = 0;  // SetCell: its text ends here within `texts`, after the previous one's
    };
    quint64 reader = 0;
    bool broken = false;
    std::vector<Op> ops;
    std::string texts;

    size_t size() const { return ops.size() * sizeof(Op) + texts.size(); }
    // Past this size the changes cost a reader more than copying a store of `rows` rows.
    static size_t sizeLimit(size_t rows) { return 4096 + 16 * rows; }
    // Appends the changes made after these.
    void append(CellJournal&& later);
    // Makes the same changes to `store`, which holds what the recorded store held before them.
    void applyTo(CellStore& store) const;
};

// The cells of a grid: rows by real columns of texts, one optional picture per cell. Knows
// nothing of how the grid is shown.
class CellStore
{
public:
    static constexpr int kMaxColumns = 256;
    static constexpr int kMaxRows = 5'000'000;

    CellStore() = default;
    CellStore(CellStore&& other) noexcept;
    CellStore& operator=(CellStore&& other) noexcept;

    int columnCount() const { return m_columns; }
    int rowCount() const { return int(m_rows.size()) - m_gap.size; }
    void setColumnCount(int n);
    void setRowCount(int n);

    QString cell(int col, int row) const;
    QByteArrayView cellUtf8(int col, int row) const;
    bool isCellEmpty(int col, int row) const { return cellUtf8(col, row).isEmpty(); }
    void setCell(int col, int row, const QString& text);
    void setCellUtf8(int col, int row, QByteArrayView utf8);

    const TCellGraphic* cellImage(int col, int row) const;
    void setCellImage(int col, int row, const TCellGraphic& g);
    void removeCellImage(int col, int row);

    // Whole-row operations move every real column together with the cell pictures.
    void clearRows(int first, int count);
    void removeRows(int first, int count);
    void insertRows(int first, int count);
    void swapRows(int a, int b);
    void clearAllCells();

    // Mutable access counts as a change, and one the journal cannot describe.
    RowCells& row(int r)
    {
        touch();
        breakJournal();
        return m_rows[slot(r)];
    }
    const RowCells& row(int r) const { return m_rows[slot(r)]; }
    // All rows in order, to be changed at will (also in number) until the next call of
    // insertRows or removeRows.
    std::vector<RowCells>& rows();

    // Records the changes from now on for `reader` (nonzero), in place of any journal before.
    // Recording stops for good (the journal breaks) at a change it cannot describe or when it
    // grows past what copying the store would cost. A store moved in brings its own journal.
    void startJournal(quint64 reader) const;
    // Moves the changes recorded for `reader` since it started or last took them into `changes`
    // and goes on recording. False when there is no such journal or it broke: the reader must
    // copy the store and start again.
    bool takeJournal(quint64 reader, CellJournal& changes) const;
    // The same for a second reader that only needs to know which cells and rows changed: its
    // journal holds no texts, is kept apart from the one above and breaks on its own.
    void startRowJournal(quint64 reader) const;
    bool takeRowJournal(quint64 reader, CellJournal& changes) const;

    // A number that differs after every change of any store, so readers can keep what they
    // derived from the cells until it moves (also across a store moved in as a whole).
    quint64 generation() const { return m_generation; }

    size_t memoryUsage() const;

private:
    void touch();
    CellJournal* journal() const { return m_journal && !m_journal->broken ? m_journal.get() : nullptr; }
    CellJournal* rowJournal() const { return m_rowJournal && !m_rowJournal->broken ? m_rowJournal.get() : nullptr; }
    void breakJournal() noexcept;
    void record(CellJournal::Kind kind, int a, int b) noexcept;
    void recordIn(std::unique_ptr<CellJournal>& j, CellJournal::Kind kind, int a, int b) noexcept;
    bool inRange(int col, int row) const { return col >= 0 && row >= 0 && row < rowCount() && col < m_columns; }
    size_t slot(int r) const { return m_gap.slot(r); }
    int m_columns = 0;
    // The rows with a gap of empty slots where rows were last inserted or removed, so that adding
    // or removing rows again near there moves only the rows in between, not all below.
    std::vector<RowCells> m_rows;
    VectorGap m_gap;
    quint64 m_generation = 0;
    // Taking the changes away changes no cell.
    mutable std::unique_ptr<CellJournal> m_journal;
    mutable std::unique_ptr<CellJournal> m_rowJournal;
};

} // namespace veltry
