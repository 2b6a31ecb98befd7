// Feeds arbitrary bytes to the settings file reader and the typed settings on top of it: it must
// read what it can, never crash or overrun. A file it read whole is written back as it reads it:
// written again after a second reading, the bytes do not change.
#include "FuzzCheck.h"
#include "platform/core/Settings.h"
#include "platform/core/ConfigStore.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

namespace {

QByteArray written(const veltry::ConfigStore& store)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    check(store.saveTo(&buffer));
    return bytes;
}

bool writeFile(const QString& path, QByteArrayView bytes)
{
    QFile f(path);
    return f.open(QIODevice::WriteOnly | QIODevice::Truncate) && f.write(bytes.data(), bytes.size()) == bytes.size();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    using namespace veltry;
    // In memory where the system offers it: every input is a file written and read.
    static QTemporaryDir dir(QDir(QStringLiteral("/dev/shm")).exists() ? QStringLiteral("/dev/shm/veltry-fuzz-XXXXXX")
                                                                      : QDir::tempPath() + QStringLiteral("/veltry-fuzz-XXXXXX"));
    // A damaged file is copied aside at every reading.
    for (const QString& copy : QDir(dir.path()).entryList(QDir::Files))
        QFile::remove(dir.filePath(copy));
    const QString path = dir.filePath(QStringLiteral("registry.reg"));
    if (!writeFile(path, QByteArrayView(reinterpret_cast<const char*>(data), qsizetype(size))))
        return 0;
    ConfigStore store(path);
    if (!store.reload())
        return 0;
    QStringList errors;
    SettingsIO::load(store, &errors);
    if (!store.damageNotice().isEmpty())
        return 0;
    const QByteArray first = written(store);
    check(writeFile(path, first));
    ConfigStore again(path);
    check(again.reload() && again.damageNotice().isEmpty());
    check(written(again) == first);
    return 0;
}
