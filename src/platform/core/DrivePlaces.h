#pragma once

#include <QList>
#include <QString>

namespace veltry {

// What a drive box offers on Linux, where there are no drive letters: the places a user keeps
// files in. Shared by every dialog with a drive box (import, export, the directory chooser).
struct DrivePlace
{
    QString path;   // absolute, without a trailing "/" except for the root itself
    QString label;  // what the place is called: "File System", "Home", a volume's name
};

// The file system root, the home folder, then the mounted volumes in path order (the system's
// own mounts such as /proc, /sys, /dev and /run left out), each place once.
QList<DrivePlace> drivePlaces();

// The place that holds `directory`, the deepest one when several do; -1 when none does.
int drivePlaceOf(const QList<DrivePlace>& places, const QString& directory);

} // namespace veltry
