// Feeds arbitrary bytes to the grid file reader: it must refuse or load, never crash, overrun or
// allocate without bound. A load it reports complete must save and load back to the same cells;
// a file it cannot have read whole (a Ctrl-Z before the last byte, no CR LF at the end, text that
// is not UTF-8 after a UTF-8 mark) must never be reported complete; a load that stops early keeps
// the title row and no blank rows after the last one read.
#include "FuzzCheck.h"
#include "platform/core/AppError.h"
#include "widgets/core/CellStore.h"
#include "widgets/core/GridFile.h"

#include <utility>

namespace {

bool cannotBeWhole(QByteArrayView bytes)
{
    const bool utf8 = bytes.startsWith("\xEF\xBB\xBF");
    if (utf8)
        bytes = bytes.sliced(3);
    if (const qsizetype eof = bytes.indexOf('\x1A'); eof >= 0) {
        if (eof != bytes.size() - 1)
            return true;
        bytes.truncate(eof);
    }
    return !bytes.endsWith("\r\n") || (utf8 && !bytes.isValidUtf8());
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    using namespace veltry;
    const QByteArrayView bytes(reinterpret_cast<const char*>(data), qsizetype(size));
    CellStore store;
    store.setColumnCount(12);
    store.setRowCount(2);
    store.setCell(1, 0, QStringLiteral("Task"));
    store.setCell(10, 0, QStringLiteral("Type"));
    try {
        GridFile::decode(store, bytes);
    } catch (const AppError&) {
        check(store.rowCount() >= 1 && store.rowCount() <= CellStore::kMaxRows);
        check(store.columnCount() <= CellStore::kMaxColumns);
        check(store.columnCount() <= 1 || !store.isCellEmpty(1, 0));
        check(store.columnCount() <= 10 || !store.isCellEmpty(10, 0));
        check(store.rowCount() == 1 || !std::as_const(store).row(store.rowCount() - 1).isEmpty());
        return 0;
    }
    check(!cannotBeWhole(bytes));
    CellStore again;
    GridFile::decode(again, GridFile::encode(store));
    check(again.rowCount() == store.rowCount() && again.columnCount() == store.columnCount());
    for (int r = 0; r < store.rowCount(); ++r)
        for (int c = 0; c < store.columnCount(); ++c)
            check(again.cellUtf8(c, r) == store.cellUtf8(c, r));
    return 0;
}
