#include "widgets/core/GridFile.h"

#include "platform/core/AppError.h"
#include "platform/core/FileSafety.h"

#include <QFile>
#include <QSaveFile>
#include <algorithm>
#include <array>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

namespace veltry::GridFile {

char32_t nextUtf8(const unsigned char*& p, const unsigned char* end)
{
    const unsigned char c = *p++;
    if (c < 0x80)
        return c;
    int extra = c >= 0xF0 ? 3 : c >= 0xE0 ? 2 : 1;
    char32_t u = c & (0x3F >> extra);
    while (extra-- > 0 && p < end)
        u = (u << 6) | (*p++ & 0x3F);
    return u;
}

namespace {

// Windows-1252 bytes 0x80..0x9F; the five unassigned ones keep their C1 code points, which is
// how the system converts them, so every byte survives a round trip.
constexpr std::array<char16_t, 32> kCp1252High = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

int toCp1252(char32_t u)
{
    if (u < 0x80 || (u >= 0xA0 && u <= 0xFF))
        return int(u);
    for (int i = 0; i < 32; ++i)
        if (kCp1252High[size_t(i)] == u)
            return 0x80 + i;
    return -1;
}

void appendUtf8(std::string& out, char32_t u)
{
    if (u < 0x80) {
        out.push_back(char(u));
    } else if (u < 0x800) {
        out.push_back(char(0xC0 | (u >> 6)));
        out.push_back(char(0x80 | (u & 0x3F)));
    } else {
        out.push_back(char(0xE0 | (u >> 12)));
        out.push_back(char(0x80 | ((u >> 6) & 0x3F)));
        out.push_back(char(0x80 | (u & 0x3F)));
    }
}

char* putNumber(char* out, int n)
{
    char buf[12];
    int len = 0;
    do {
        buf[len++] = char('0' + n % 10);
        n /= 10;
    } while (n);
    while (len)
        *out++ = buf[--len];
    return out;
}

// Encodes one cell at `out`; nullptr when a character cannot be carried by Windows-1252.
char* putCellText(char* out, QByteArrayView utf8, bool asUtf8)
{
    const auto* p = reinterpret_cast<const unsigned char*>(utf8.data());
    const auto* end = p + utf8.size();
    while (p < end) {
        // Copy the run of plain characters in one go.
        const auto* run = p;
        while (run < end && *run >= 0x20 && *run < 0x80)
            ++run;
        if (run != p) {
            std::memcpy(out, p, size_t(run - p));
            out += run - p;
            p = run;
            if (p == end)
                break;
        }
        const unsigned char c = *p;
        if (c < 0x80) {
            ++p;
            if (c == '\r')
                *out++ = '\t';
            else if (c == '\n')
                *out++ = '\b';
            else if (c != 0x1A)  // Ctrl-Z would end the file for every reader: leave it out
                *out++ = char(c);
            continue;
        }
        const auto* start = p;
        const char32_t u = nextUtf8(p, end);
        if (asUtf8) {
            std::memcpy(out, start, size_t(p - start));
            out += p - start;
        } else {
            const int b = toCp1252(u);
            if (b < 0)
                return nullptr;
            *out++ = char(b);
        }
    }
    return out;
}

bool encodeAs(const CellStore& store, QByteArray& out, bool asUtf8)
{
    // The largest the file can be: every text byte once, plus the line framing of each cell.
    size_t bound = 64;
    for (int r = 0; r < store.rowCount(); ++r)
        bound += store.row(r).memoryUsage() + 16 * size_t(store.row(r).storedCount());
    out.resize(qsizetype(bound));
    char* const begin = out.data();
    char* w = begin;
    if (asUtf8) {
        std::memcpy(w, "\xEF\xBB\xBF", 3);
        w += 3;
    }
    w = putNumber(w, store.columnCount());
    *w++ = ',';
    w = putNumber(w, store.rowCount());
    *w++ = '\r';
    *w++ = '\n';
    for (int r = 0; r < store.rowCount(); ++r) {
        const RowCells& row = store.row(r);
        const int n = std::min(row.storedCount(), store.columnCount());
        for (int c = 0; c < n; ++c) {
            const QByteArrayView text = row.cell(c);
            if (text.isEmpty())
                continue;
            w = putNumber(w, c);
            *w++ = ',';
            w = putNumber(w, r);
            *w++ = ',';
            w = putCellText(w, text, asUtf8);
            if (!w)
                return false;
            *w++ = '\r';
            *w++ = '\n';
        }
    }
    out.resize(w - begin);
    return true;
}

AppError rangeError(int line, const char* what, qint64 value, int limit)
{
    return AppError(QStringLiteral("Line %1 of the file holds %2 %3, which is out of range (0 to %4).")
                        .arg(line)
                        .arg(QLatin1String(what))
                        .arg(value)
                        .arg(limit));
}

struct CellLine
{
    uint32_t col;
    uint32_t row;
    uint32_t offset;  // of the text within the file's bytes
    uint32_t length;
};

// Appends the decoded text of one cell line to `out`; UTF-8 texts were checked while reading.
void decodeText(std::string& out, const char* p, uint32_t len, bool utf8)
{
    for (uint32_t i = 0; i < len; ++i) {
        const unsigned char c = static_cast<unsigned char>(p[i]);
        if (c == '\t')
            out.push_back('\r');
        else if (c == '\b')
            out.push_back('\n');
        else if (c < 0x80 || utf8)
            out.push_back(char(c));
        else if (c < 0xA0)
            appendUtf8(out, kCp1252High[c - 0x80]);
        else
            appendUtf8(out, c);
    }
}

void applyLines(CellStore& store, const char* base, std::vector<CellLine>& lines, bool utf8)
{
    if (lines.empty())
        return;
    // Files written by the program come in row order; others are grouped by row first, keeping
    // the file order within a row so that a later line for the same cell wins.
    const bool ordered = std::is_sorted(lines.begin(), lines.end(),
                                        [](const CellLine& a, const CellLine& b) { return a.row < b.row; });
    if (!ordered)
        std::stable_sort(lines.begin(), lines.end(), [](const CellLine& a, const CellLine& b) { return a.row < b.row; });

    const int columns = store.columnCount();
    std::vector<const CellLine*> byColumn(static_cast<size_t>(columns), nullptr);
    std::vector<uint32_t> ends(static_cast<size_t>(columns));
    std::string text;
    size_t i = 0;
    while (i < lines.size()) {
        const uint32_t row = lines[i].row;
        int used = 0;
        size_t j = i;
        for (; j < lines.size() && lines[j].row == row; ++j) {
            byColumn[lines[j].col] = &lines[j];
            used = std::max(used, int(lines[j].col) + 1);
        }
        text.clear();
        for (int c = 0; c < used; ++c) {
            if (const CellLine* l = byColumn[size_t(c)])
                decodeText(text, base + l->offset, l->length, utf8);
            ends[size_t(c)] = uint32_t(text.size());
            byColumn[size_t(c)] = nullptr;
        }
        store.row(int(row)).assign(used, ends.data(), text.data());
        i = j;
    }
}

// What a load that stopped early leaves: the rows up to the last one a line filled, and the
// title row, with the earlier titles where the file did not reach them.
void finishPartialLoad(CellStore& store, const RowCells& titles)
{
    const CellStore& read = store;
    int last = read.rowCount() - 1;
    while (last > 0 && read.row(last).isEmpty())
        --last;
    store.setRowCount(std::max(last + 1, 1));
    for (int c = 0; c < store.columnCount(); ++c)
        if (store.isCellEmpty(c, 0) && !titles.cell(c).isEmpty())
            store.setCellUtf8(c, 0, titles.cell(c));
}

} // namespace

int codePageByte(char32_t u)
{
    return toCp1252(u);
}

bool writtenInCodePage(const CellStore& store)
{
    for (int r = 0; r < store.rowCount(); ++r) {
        const RowCells& row = store.row(r);
        const int n = std::min(row.storedCount(), store.columnCount());
        for (int c = 0; c < n; ++c) {
            const QByteArrayView text = row.cell(c);
            const auto* p = reinterpret_cast<const unsigned char*>(text.data());
            const auto* end = p + text.size();
            while (p < end) {
                if (*p < 0x80) {
                    ++p;
                    continue;
                }
                if (toCp1252(nextUtf8(p, end)) < 0)
                    return false;
            }
        }
    }
    return true;
}

QByteArray encode(const CellStore& store)
{
    QByteArray out;
    if (!encodeAs(store, out, false))
        encodeAs(store, out, true);
    return out;
}

void saveToDevice(const CellStore& store, QIODevice* device, const QString& name)
{
    const QString reason = FileSafety::writeAll(device, encode(store));
    if (!reason.isNull())
        throw AppError(QStringLiteral("Could not save \"%1\": %2").arg(name, reason));
}

void saveToFile(const CellStore& store, const QString& path)
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        throw AppError(QStringLiteral("Could not save \"%1\": %2").arg(path, file.errorString()));
    try {
        saveToDevice(store, &file, path);
    } catch (const AppError&) {
        file.cancelWriting();
        throw;
    }
    if (!file.commit())
        throw AppError(QStringLiteral("Could not save \"%1\": %2").arg(path, file.errorString()));
}

Reader::Reader(QByteArrayView bytes) : m_bytes(prepare(bytes)), m_cutter(m_bytes)
{
    // Every line the program writes ends with CR LF, the last one too; a file without it was cut.
    m_cut = !m_bytes.endsWith("\r\n");
}

QByteArrayView Reader::prepare(QByteArrayView bytes)
{
    if (bytes.startsWith("\xEF\xBB\xBF")) {
        m_utf8 = true;
        bytes = bytes.sliced(3);
    }
    // Ctrl-Z ends the file. As its very last byte it is an old editor's end mark; with anything
    // after it the file is damaged, and what follows must not be lost by a silent save.
    if (const qsizetype eof = bytes.indexOf('\x1A'); eof >= 0) {
        m_strayEndMark = eof != bytes.size() - 1;
        bytes.truncate(eof);
    }
    return bytes;
}

AppError Reader::endMarkError(int line) const
{
    return AppError(QStringLiteral("Line %1 of the file holds an end-of-file mark (Ctrl-Z) with more "
                                   "of the file after it; the rest of the file was not read.")
                        .arg(line));
}

bool Reader::nextLine(QByteArrayView& line)
{
    if (!m_cutter.next(line))
        return false;
    ++m_lineNumber;
    // The last line of a cut file may have lost any part, its numbers too: it is not applied.
    if (m_cut && m_cutter.atEnd()) {
        if (m_strayEndMark)
            throw endMarkError(m_lineNumber);
        throw AppError(QStringLiteral("The file ends in the middle of line %1: it was cut short, "
                                      "and that line was not read.")
                           .arg(m_lineNumber));
    }
    return true;
}

bool Reader::header(int& columns, int& rows)
{
    if (m_bytes.size() > qsizetype(UINT32_MAX))
        throw AppError(QStringLiteral("The file is too large to be a list."));
    if (m_bytes.isEmpty()) {
        if (m_strayEndMark)
            throw endMarkError(1);
        throw AppError(QStringLiteral("The file is empty."));
    }
    QByteArrayView line;
    nextLine(line);
    if (line.isEmpty())
        return false;
    const qsizetype comma = line.indexOf(',');
    const qint64 cols = readFileInteger(comma < 0 ? QByteArrayView() : line.first(comma));
    const qint64 count = readFileInteger(comma < 0 ? line : line.sliced(comma + 1));
    if (cols < 0 || cols > CellStore::kMaxColumns)
        throw rangeError(m_lineNumber, "a column count of", cols, CellStore::kMaxColumns);
    if (count < 0 || count > CellStore::kMaxRows)
        throw rangeError(m_lineNumber, "a row count of", count, CellStore::kMaxRows);
    columns = int(cols);
    rows = int(count);
    m_declaredRows = count;
    return true;
}

bool Reader::next(CellLineView& cell)
{
    QByteArrayView line;
    while (nextLine(line)) {
        const qsizetype c1 = line.indexOf(',');
        const QByteArrayView colText = c1 < 0 ? QByteArrayView() : line.first(c1);
        const QByteArrayView rest = c1 < 0 ? line : line.sliced(c1 + 1);
        const qsizetype c2 = rest.indexOf(',');
        const QByteArrayView rowText = c2 < 0 ? rest : rest.first(c2);
        const QByteArrayView text = c2 < 0 ? QByteArrayView() : rest.sliced(c2 + 1);
        const qint64 col = readFileInteger(colText);
        const qint64 row = readFileInteger(rowText);
        if (col < 0 || col >= CellStore::kMaxColumns)
            throw rangeError(m_lineNumber, "a column index of", col, CellStore::kMaxColumns - 1);
        if (row < 0 || row >= CellStore::kMaxRows)
            throw rangeError(m_lineNumber, "a row index of", row, CellStore::kMaxRows - 1);
        // Text that cannot be read must not be replaced by something else and saved back.
        if (m_utf8 && !text.isValidUtf8())
            throw AppError(QStringLiteral("Line %1 of the file is not valid UTF-8 text, although the file "
                                          "is marked as UTF-8; the rest of the file was not read.")
                               .arg(m_lineNumber));
        // A few rows past the header's count are taken (an older writer may have miscounted),
        // but a row further off than the file has bytes would make the list out of all
        // proportion to its file: millions of empty rows, and a count that reaches the limit.
        if (row >= m_declaredRows + m_bytes.size()) {
            if (m_passedOver.isEmpty())
                m_passedOver = QStringLiteral("Line %1 of the file names row %2, far beyond the %3 rows its first "
                                              "line declares; that line was not read.")
                                   .arg(m_lineNumber)
                                   .arg(row)
                                   .arg(m_declaredRows);
            continue;
        }
        cell.col = int(col);
        cell.row = int(row);
        cell.text = text;
        cell.line = m_lineNumber;
        return true;
    }
    return false;
}

void Reader::finish()
{
    if (!m_passedOver.isEmpty())
        throw AppError(m_passedOver);
    if (m_strayEndMark)
        throw endMarkError(m_lineNumber + 1);
}

namespace {
// Rows that no line fills are no part of a list the program wrote (an empty list's one row aside).
QString rowsDamage(int declared, int named, int filled)
{
    if (declared >= named)
        return QStringLiteral("The first line of the file declares %1 rows, but its lines fill only %2 of them; "
                              "the empty rows were not kept.")
            .arg(declared)
            .arg(filled);
    return QStringLiteral("The lines of the file name %1 rows, but fill only %2 of them; the empty rows were not "
                          "kept.")
        .arg(named)
        .arg(filled);
}
} // namespace

void decode(CellStore& store, QByteArrayView bytes)
{
    RowCells titles;
    if (store.rowCount() > 0)
        titles = std::as_const(store).row(0).clone();
    // The columns the caller's grid has; a header may declare no more than these and its lines fill.
    const int gridColumns = store.columnCount();
    store.clearAllCells();
    Reader reader(bytes);
    const char* const base = reader.bytes().data();

    std::vector<CellLine> lines;
    bool declared = false;
    int columns = 0;
    int rows = 0;
    int usedColumns = 0;
    int usedRows = 0;
    // The title row, and the runs of lines with text below it: never fewer than the rows left
    // holding text.
    int filledRows = 1;
    auto layOut = [&] {
        // Without a header the store keeps its rows; only lines beyond them are looked at.
        const int wanted = declared ? rows : store.rowCount();
        const int spanned = std::max(wanted, usedRows);
        const bool checkRows = declared || usedRows > wanted;
        QString damage;
        // Rows no line fills would only be empty ones laid out: a 13-byte file could make a list of
        // millions. An empty list has one empty row below its titles.
        if (checkRows && spanned > filledRows + 1)
            damage = rowsDamage(wanted, usedRows, filledRows);
        else if (declared && gridColumns > 0 && columns > std::max(gridColumns, usedColumns))
            damage = QStringLiteral("The first line of the file declares %1 columns, but its lines fill only %2 of "
                                    "them; the empty columns were not kept.")
                         .arg(columns)
                         .arg(usedColumns);
        if (damage.isEmpty()) {
            store.setColumnCount(std::max(declared ? columns : store.columnCount(), usedColumns));
            store.setRowCount(spanned);
            applyLines(store, base, lines, reader.isUtf8());
            if (!checkRows)
                return damage;
            // Rows filled only by lines emptied again later: the exact count decides.
            int holding = 1;
            for (int r = 1; r < store.rowCount(); ++r)
                holding += !std::as_const(store).row(r).isEmpty();
            if (spanned <= holding + 1)
                return damage;
            damage = rowsDamage(wanted, usedRows, holding);
        } else {
            // The rows the lines name, in their order and without the gaps between them.
            std::stable_sort(lines.begin(), lines.end(), [](const CellLine& a, const CellLine& b) { return a.row < b.row; });
            uint32_t next = 0;  // row 0 stays the title row
            uint32_t previous = 0;
            for (CellLine& line : lines) {
                if (line.row != previous)
                    ++next;
                previous = line.row;
                line.row = next;
            }
            store.setColumnCount(std::max(gridColumns, usedColumns));
            store.setRowCount(int(next) + 1);
            applyLines(store, base, lines, reader.isUtf8());
        }
        std::vector<RowCells>& all = store.rows();
        all.erase(std::remove_if(all.begin() + std::min<size_t>(1, all.size()), all.end(),
                                 [](const RowCells& r) { return r.isEmpty(); }),
                  all.end());
        return damage;
    };
    try {
        declared = reader.header(columns, rows);
        if (!declared)
            reader.setDeclaredRows(store.rowCount());
        lines.reserve(size_t(reader.bytes().size() / 24));
        CellLineView cell;
        int lastFilled = -1;
        while (reader.next(cell)) {
            // Lines a little beyond the header's dimensions widen the grid rather than lose their text.
            usedColumns = std::max(usedColumns, cell.col + 1);
            usedRows = std::max(usedRows, cell.row + 1);
            if (cell.row > 0 && !cell.text.isEmpty() && cell.row != lastFilled) {
                ++filledRows;
                lastFilled = cell.row;
            }
            // Empty texts are kept too: a later empty line for a cell empties it.
            lines.push_back({uint32_t(cell.col), uint32_t(cell.row),
                             uint32_t(cell.text.data() ? cell.text.data() - base : 0), uint32_t(cell.text.size())});
        }
        reader.finish();
    } catch (...) {
        layOut();
        finishPartialLoad(store, titles);
        throw;
    }
    const QString damage = layOut();
    if (!damage.isEmpty()) {
        finishPartialLoad(store, titles);
        throw AppError(damage);
    }
}

void loadFromFile(CellStore& store, const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        throw AppError(QStringLiteral("File ") + path + QStringLiteral(" not found"));
    const QByteArray bytes = file.readAll();
    file.close();
    decode(store, bytes);
}

} // namespace veltry::GridFile
