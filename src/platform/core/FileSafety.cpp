#include "platform/core/FileSafety.h"

#include "platform/core/Clock.h"

#include <QDir>
#include <QFile>
#include <QFileDevice>
#include <QFileInfo>
#include <QRegularExpression>

namespace veltry::FileSafety {

namespace {
// Never empty: an empty reason would read as success.
QString reasonOf(const QIODevice* device)
{
    const QString reason = device->errorString();
    return reason.isEmpty() ? QStringLiteral("the device took no more bytes") : reason;
}
} // namespace

QString writeAll(QIODevice* device, QByteArrayView bytes)
{
    // A full disk first takes part of a write without any error; only the next write names the
    // reason, so keep writing until every byte is taken or the device refuses.
    qsizetype done = 0;
    while (done < bytes.size()) {
        const qint64 n = device->write(bytes.data() + done, bytes.size() - done);
        if (n <= 0)
            return reasonOf(device);
        done += qsizetype(n);
    }
    if (auto* file = qobject_cast<QFileDevice*>(device); file && !file->flush())
        return reasonOf(device);
    return QString();
}

QString keepUntouchedCopy(const QString& path)
{
    const QFileInfo info(path);
    const QString stem = info.absolutePath() + QLatin1Char('/') + info.completeBaseName()
        + QStringLiteral("-unreadable-") + Clock::instance().now().toString(QStringLiteral("yyyyMMdd-HHmmss"));
    const QString suffix = info.suffix().isEmpty() ? QString() : QLatin1Char('.') + info.suffix();
    // Two damaged files found within one second must not share one copy.
    for (int n = 1; n < 100; ++n) {
        const QString copy = stem + (n == 1 ? QString() : QStringLiteral("-%1").arg(n)) + suffix;
        if (QFile::exists(copy))
            continue;
        return QFile::copy(path, copy) ? copy : QString();
    }
    return QString();
}

QStringList removeSaveLeftovers(const QString& folder, const QStringList& names, const QDateTime& before)
{
    QStringList removed;
    const QDir dir(folder);
    for (const QString& name : names) {
        // A save writes "<name>.XXXXXX" beside the file and renames it over the file at the end;
        // the six characters are letters and digits.
        const QRegularExpression leftover(QLatin1Char('^') + QRegularExpression::escape(name)
                                          + QStringLiteral("\\.[A-Za-z0-9]{6}$"));
        const QFileInfoList found = dir.entryInfoList({name + QStringLiteral(".??????")},
                                                      QDir::Files | QDir::Hidden | QDir::System);
        for (const QFileInfo& info : found) {
            if (!leftover.match(info.fileName()).hasMatch() || info.isSymLink())
                continue;
            if (before.isValid() && info.lastModified() >= before)
                continue;
            if (QFile::remove(info.absoluteFilePath()))
                removed << info.absoluteFilePath();
        }
    }
    return removed;
}

} // namespace veltry::FileSafety
