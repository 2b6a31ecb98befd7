#pragma once

#include "widgets/core/CellStore.h"

#include <QByteArray>
#include <QString>

class QIODevice;

namespace veltry {

// The grid file: a header "columns,rows" and one "column,row,text" line per non-empty cell, CR LF
// line ends, CR and LF inside a cell carried as TAB and BS. Files are Windows-1252 so they stay
// exchangeable with the older edition; a list holding a character that code page cannot carry is
// written as UTF-8 with a byte-order mark instead, and such files are read back as UTF-8.
namespace GridFile {

// The bytes of the whole file.
QByteArray encode(const CellStore& store);

// Writes through QSaveFile: the old file stays intact until the new one is complete.
// Throws AppError naming the file and the reason.
void saveToFile(const CellStore& store, const QString& path);

// Reads `bytes` into `store`: all cells are emptied first, then the header sets the dimensions
// (an empty header keeps them) and every cell line is applied. A bad number stops the load with
// "'%s' is not a valid integer value" after the lines before it were applied; counts and indexes
// beyond the store's limits are refused the same way with their own message.
void decode(CellStore& store, QByteArrayView bytes);

// Throws AppError("File <path> not found") when the file cannot be opened (store unchanged).
void loadFromFile(CellStore& store, const QString& path);

} // namespace GridFile
} // namespace veltry
