// Feeds arbitrary bytes to the grid file reader: it must refuse or load, never crash, overrun or
// allocate without bound; whatever it loads must save and load back to the same cells.
#include "platform/core/AppError.h"
#include "widgets/core/CellStore.h"
#include "widgets/core/GridFile.h"

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    using namespace veltry;
    CellStore store;
    store.setColumnCount(12);
    store.setRowCount(2);
    try {
        GridFile::decode(store, QByteArrayView(reinterpret_cast<const char*>(data), qsizetype(size)));
    } catch (const AppError&) {
        return 0;
    }
    CellStore again;
    GridFile::decode(again, GridFile::encode(store));
    if (again.rowCount() != store.rowCount() || again.columnCount() != store.columnCount())
        std::abort();
    for (int r = 0; r < store.rowCount(); ++r)
        for (int c = 0; c < store.columnCount(); ++c) {
            QByteArray expected = store.cellUtf8(c, r).toByteArray();
            expected.replace('\x1A', QByteArray());  // the one byte the format cannot carry
            expected.replace('\t', '\r');
            expected.replace('\b', '\n');
            if (again.cellUtf8(c, r).toByteArray() != expected)
                std::abort();
        }
    return 0;
}
