#pragma once

#include <QByteArrayView>
#include <QDateTime>
#include <QString>
#include <QStringList>

class QIODevice;

namespace veltry::FileSafety {

// Writes all of `bytes` to `device` (open for writing) and flushes it when it is a file. Returns
// an empty text on success, otherwise the system's reason (such as "No space left on device").
QString writeAll(QIODevice* device, QByteArrayView bytes);

// Copies a file the program could not read whole to "<name>-unreadable-<date>-<time>.<suffix>"
// beside it, so that no later save replaces the only good copy. Returns the copy's path, or an
// empty text when no copy could be made.
QString keepUntouchedCopy(const QString& path);

// Removes what saves of the files `names` in `folder` leave behind when the program is killed
// between writing and replacing: their temporary files "<name>.XXXXXX". Only those last changed
// before `before` go, when it is valid (another copy sharing the folder may be saving now).
// Returns the paths removed.
QStringList removeSaveLeftovers(const QString& folder, const QStringList& names, const QDateTime& before = {});

} // namespace veltry::FileSafety
