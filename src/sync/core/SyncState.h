#pragma once

#include "sync/core/SyncMerge.h"

#include <QHash>
#include <QString>

namespace veltry::sync {

// What this list last agreed with the calendar server, kept between runs so that every sync is a
// three-way comparison. It belongs to one collection and user; another one starts afresh.
struct SyncState
{
    QString account;    // the collection URL and user it belongs to
    QString syncToken;  // the server's token of the last listing; empty: list everything
    QHash<QString, Agreed> agreed;
    QHash<QString, LoggedTask> logged;

    // A missing file is an empty state. A damaged one too, with `error` saying so: losing the
    // state costs no task, only a slower first sync (conflict copies where the sides differ).
    static SyncState load(const QString& path, QString* error = nullptr);
    // Through QSaveFile, readable by the user alone; throws AppError naming the file and reason.
    void save(const QString& path) const;
};

// "$XDG_DATA_HOME/veltry/sync-state.dat" (or the program's stand-in for it).
QString stateFilePath();

// One name for a collection and its user: the record and the keyring entry belong to it.
QString accountOf(const QString& url, const QString& user);

} // namespace veltry::sync
