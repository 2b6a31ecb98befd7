#include "sync/core/SyncState.h"

#include "platform/core/AppError.h"
#include "platform/core/DataPaths.h"
#include "platform/core/FileSafety.h"

#include <QBuffer>
#include <QDataStream>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

namespace veltry::sync {

namespace {

constexpr quint32 kMagic = 0x564C5453;  // "VLTS"
constexpr quint32 kVersion = 1;
constexpr int kStreamVersion = QDataStream::Qt_6_0;

void writeRow(QDataStream& out, const TaskRow& row)
{
    for (const QString& cell : row)
        out << cell;
}

void readRow(QDataStream& in, TaskRow& row)
{
    for (QString& cell : row)
        in >> cell;
}

} // namespace

QString stateFilePath()
{
    return DataPaths::userDataDirectory() + QStringLiteral("sync-state.dat");
}

QString accountOf(const QString& url, const QString& user)
{
    return user + QLatin1Char('@') + url;
}

SyncState SyncState::load(const QString& path, QString* error)
{
    SyncState state;
    QFile file(path);
    if (!file.exists())
        return state;
    auto damaged = [&](const QString& reason) {
        if (error)
            *error = QStringLiteral("The calendar server's sync record \"%1\" could not be read (%2); "
                                    "the list will be compared with the server afresh.")
                         .arg(path, reason);
        return SyncState();
    };
    if (!file.open(QIODevice::ReadOnly))
        return damaged(file.errorString());
    QDataStream in(&file);
    in.setVersion(kStreamVersion);
    quint32 magic = 0;
    quint32 version = 0;
    in >> magic >> version;
    if (magic != kMagic || version != kVersion)
        return damaged(QStringLiteral("not a sync record of this version"));
    quint32 agreed = 0;
    in >> state.account >> state.syncToken >> agreed;
    // Each entry takes far more than a byte, so a count beyond the file's size is damage.
    if (in.status() != QDataStream::Ok || agreed > quint64(file.size()))
        return damaged(QStringLiteral("damaged"));
    state.agreed.reserve(qsizetype(agreed));
    for (quint32 i = 0; i < agreed && in.status() == QDataStream::Ok; ++i) {
        QString uid;
        Agreed a;
        in >> uid >> a.href >> a.etag >> a.ics >> a.offList;
        readRow(in, a.cells);
        state.agreed.insert(uid, std::move(a));
    }
    quint32 logged = 0;
    in >> logged;
    if (in.status() != QDataStream::Ok || logged > quint64(file.size()))
        return damaged(QStringLiteral("damaged"));
    for (quint32 i = 0; i < logged && in.status() == QDataStream::Ok; ++i) {
        QString uid;
        LoggedTask t;
        in >> uid >> t.at;
        readRow(in, t.cells);
        state.logged.insert(uid, std::move(t));
    }
    if (in.status() != QDataStream::Ok || !in.atEnd())
        return damaged(QStringLiteral("damaged"));
    return state;
}

void SyncState::save(const QString& path) const
{
    QByteArray bytes;
    {
        QBuffer buffer(&bytes);
        buffer.open(QIODevice::WriteOnly);
        QDataStream out(&buffer);
        out.setVersion(kStreamVersion);
        out << kMagic << kVersion << account << syncToken << quint32(agreed.size());
        for (auto it = agreed.constBegin(); it != agreed.constEnd(); ++it) {
            out << it.key() << it->href << it->etag << it->ics << it->offList;
            writeRow(out, it->cells);
        }
        out << quint32(logged.size());
        for (auto it = logged.constBegin(); it != logged.constEnd(); ++it) {
            out << it.key() << it->at;
            writeRow(out, it->cells);
        }
    }
    QDir().mkpath(QFileInfo(path).absolutePath());
    QSaveFile file(path);
    auto fail = [&](const QString& reason) {
        return AppError(QStringLiteral("Could not save \"%1\": %2").arg(path, reason));
    };
    if (!file.open(QIODevice::WriteOnly))
        throw fail(file.errorString());
    file.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    const QString reason = FileSafety::writeAll(&file, bytes);
    if (!reason.isNull()) {
        file.cancelWriting();
        throw fail(reason);
    }
    if (!file.commit())
        throw fail(file.errorString());
}

} // namespace veltry::sync
