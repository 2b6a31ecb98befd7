#pragma once

#include <QIcon>
#include <QPixmap>
#include <QSize>
#include <QString>

namespace veltry::AppIcons {

// Makes the pictures and help pages compiled into the GUI library reachable; the library is
// static, so its resource initialiser only runs when something calls it. Safe to call often.
void initResources();

// The picture ":/icons/<name>.svg" on a transparent background, `size` logical pixels drawn
// at device pixel ratio `dpr` (size × dpr pixels, carrying the ratio); a null pixmap when there
// is no such picture.
QPixmap pixmap(const QString& name, QSize size, qreal dpr);
// The same at the highest ratio of the screens, so it is sharp on a 150 % or 200 % screen.
QPixmap pixmap(const QString& name, QSize size);

// The program's own icon, in the sizes window managers and trays ask for.
QIcon programIcon();

} // namespace veltry::AppIcons
