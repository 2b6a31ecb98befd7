#pragma once

#include <QList>
#include <QString>

namespace veltry {

// One entry of the "drive" drop-downs of the folder and file choosers.
struct DrivePlace
{
    QString path;   // absolute, without a trailing "/" except for the root itself
    QString label;  // what the drop-down shows
};

// The places a Linux user starts browsing from: the file system root, the home folder, then the
// mounted volumes that hold user files, each once. System mounts (/proc, /sys, /dev, /run, boot
// partitions, snap images, pseudo file systems) are left out.
QList<DrivePlace> drivePlaces();

// The place of `places` whose folder holds `path` most closely (the longest matching prefix);
// -1 when none does.
int placeHolding(const QList<DrivePlace>& places, const QString& path);

} // namespace veltry
