#pragma once

#include <QByteArrayView>
#include <QString>

class QIODevice;

namespace veltry::FileSafety {

// Writes all of `bytes` to `device` (open for writing) and flushes it when it is a file. Returns
// an empty text on success, otherwise the system's reason (such as "No space left on device").
QString writeAll(QIODevice* device, QByteArrayView bytes);

// Copies a file the program could not read whole to "<name>-unreadable-<date>-<time>.<suffix>"
// beside it, so that no later save replaces the only good copy. Returns the copy's path, or an
// empty text when no copy could be made.
QString keepUntouchedCopy(const QString& path);

} // namespace veltry::FileSafety
