#pragma once

#include "platform/core/AppError.h"
#include "widgets/core/CellStore.h"

#include <QByteArray>
#include <QString>
#include <cstring>

class QIODevice;

namespace veltry {

// The grid file: a header "columns,rows" and one "column,row,text" line per non-empty cell, CR LF
// line ends, CR and LF inside a cell carried as TAB and BS. Files are Windows-1252 so they stay
// exchangeable with the older edition; a list holding a character that code page cannot carry is
// written as UTF-8 with a byte-order mark instead, and such files are read back as UTF-8.
namespace GridFile {

// The bytes of the whole file.
QByteArray encode(const CellStore& store);

// The Windows-1252 byte of a character; -1 when that code page cannot carry it.
int codePageByte(char32_t u);

// Decodes the character at p in valid UTF-8 (as the cell store holds it) and steps past it.
char32_t nextUtf8(const unsigned char*& p, const unsigned char* end);

// Whether the file of `store` is written in Windows-1252 (every character of every cell fits),
// rather than in UTF-8.
bool writtenInCodePage(const CellStore& store);

// Writes the bytes of the whole file to `device`, which is open for writing. Throws AppError
// naming `name` and the system's reason when not all of them reach it.
void saveToDevice(const CellStore& store, QIODevice* device, const QString& name);

// Writes through QSaveFile: the old file stays intact until the new one is complete.
// Throws AppError naming the file and the reason.
void saveToFile(const CellStore& store, const QString& path);

// Reads `bytes` into `store`: all cells are emptied first, then the header sets the dimensions
// (an empty header keeps them) and every cell line is applied. Returning means the whole file was
// read. Anything that stops the load early throws AppError after the lines before it were
// applied: a bad number ("'%s' is not a valid integer value"), counts and indexes beyond the
// store's limits, a Ctrl-Z with more bytes after it (one as the very last byte is an old editor's
// end mark and ends the file quietly), a file that does not end with CR LF (cut short, or empty),
// and text that is not UTF-8 in a file marked as UTF-8. After such a partial load the rows past
// the last one a line filled are dropped, and the title cells (row 0) the file did not reach keep
// the texts they had before, so that the list is never saved back without its titles.
void decode(CellStore& store, QByteArrayView bytes);

// The lines of a data file: a line ends at CR; an LF right after the CR belongs to the line end,
// any other LF to the text.
class LineCutter
{
public:
    explicit LineCutter(QByteArrayView bytes) : m_base(bytes.data()), m_size(bytes.size()) {}

    bool next(QByteArrayView& line)
    {
        if (m_pos >= m_size)
            return false;
        const void* cr = std::memchr(m_base + m_pos, '\r', size_t(m_size - m_pos));
        const qsizetype end = cr ? static_cast<const char*>(cr) - m_base : m_size;
        line = QByteArrayView(m_base + m_pos, end - m_pos);
        m_pos = end + 1;
        if (cr && m_pos < m_size && m_base[m_pos] == '\n')
            ++m_pos;
        return true;
    }
    bool atEnd() const { return m_pos >= m_size; }

private:
    const char* m_base;
    qsizetype m_size;
    qsizetype m_pos = 0;
};

// One cell line of a data file: its column, its row, its text as the file holds it (TAB and BS
// not yet decoded) and its line number, the header being line 1.
struct CellLineView
{
    int col = 0;
    int row = 0;
    QByteArrayView text;
    int line = 0;
};

// Reads the lines of a data file with the damage rules that every reader of the file shares, the
// list loader and the import alike: a Ctrl-Z with more bytes after it (one as the very last byte
// is an old editor's end mark and ends the file quietly), a file that does not end with CR LF
// (cut short, or empty), a bad number ("'%s' is not a valid integer value"), counts and indexes
// beyond the store's limits, text that is not UTF-8 in a file marked as UTF-8, and a cell far
// beyond the rows the header declares. All throw AppError; the last one is passed over and
// thrown by finish(), so that the rest of the file can still be read.
class Reader
{
public:
    explicit Reader(QByteArrayView bytes);

    bool isUtf8() const { return m_utf8; }
    // The bytes that hold the lines (after the UTF-8 mark); cell texts are views into them.
    QByteArrayView bytes() const { return m_bytes; }
    // The line last read, the header being line 1.
    int lineNumber() const { return m_lineNumber; }

    // Reads the header line. False when it is empty; otherwise its counts, checked against the
    // store's limits. The row count also tells which cells lie far beyond the list.
    bool header(int& columns, int& rows);
    // The rows to measure cells against when the header gave none.
    void setDeclaredRows(int rows) { m_declaredRows = rows; }
    // The next cell line; false at the end of the lines.
    bool next(CellLineView& cell);
    // Throws the damage met in lines that were passed over, or found at the very end.
    void finish();

private:
    QByteArrayView prepare(QByteArrayView bytes);
    bool nextLine(QByteArrayView& line);
    AppError endMarkError(int line) const;

    bool m_utf8 = false;
    bool m_strayEndMark = false;
    QByteArrayView m_bytes;  // set up by prepare(), after the two flags above
    LineCutter m_cutter;
    bool m_cut = false;
    int m_lineNumber = 0;
    qint64 m_declaredRows = 0;
    QString m_passedOver;  // the first line passed over, as damage
};

// Throws AppError("File <path> not found") when the file cannot be opened (store unchanged).
void loadFromFile(CellStore& store, const QString& path);

} // namespace GridFile
} // namespace veltry
