// Feeds arbitrary bytes to the reader of the sync record: it must refuse (an empty record and a
// reason) or read, never crash, overrun or allocate without bound. A record it read is saved and
// read back the same.
#include "FuzzCheck.h"
#include "sync/core/SyncState.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    using namespace veltry::sync;
    // In memory where the system offers it: every input is a file written and read.
    static QTemporaryDir dir(QDir(QStringLiteral("/dev/shm")).exists() ? QStringLiteral("/dev/shm/veltry-fuzz-XXXXXX")
                                                                      : QDir::tempPath() + QStringLiteral("/veltry-fuzz-XXXXXX"));
    const QString path = dir.filePath(QStringLiteral("sync-state.dat"));
    {
        QFile f(path);
        if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate)
            || f.write(reinterpret_cast<const char*>(data), qint64(size)) != qint64(size))
            return 0;
    }
    QString error;
    const SyncState state = SyncState::load(path, &error);
    if (!error.isEmpty()) {
        check(state.agreed.isEmpty() && state.logged.isEmpty() && state.account.isEmpty());
        return 0;
    }
    const QString copy = dir.filePath(QStringLiteral("again.dat"));
    state.save(copy);
    QString againError;
    const SyncState again = SyncState::load(copy, &againError);
    check(againError.isEmpty());
    check(again.account == state.account && again.syncToken == state.syncToken);
    check(again.agreed.size() == state.agreed.size() && again.logged.size() == state.logged.size());
    for (auto it = state.agreed.constBegin(); it != state.agreed.constEnd(); ++it) {
        const Agreed& a = again.agreed[it.key()];
        check(a.href == it->href && a.etag == it->etag && a.ics == it->ics && a.offList == it->offList
              && a.cells == it->cells);
    }
    return 0;
}
