#pragma once

#include <QIcon>
#include <QPixmap>
#include <QSize>
#include <QString>

namespace veltry::AppIcons {

// Makes the pictures and help pages compiled into the GUI library reachable; the library is
// static, so its resource initialiser only runs when something calls it. Safe to call often.
void initResources();

// The picture ":/icons/<name>.svg" drawn at exactly `size` on a transparent background; a
// null pixmap when there is no such picture.
QPixmap pixmap(const QString& name, QSize size);

// The program's own icon, in the sizes window managers and trays ask for.
QIcon programIcon();

} // namespace veltry::AppIcons
