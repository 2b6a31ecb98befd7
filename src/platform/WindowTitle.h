#pragma once

#include <QString>

class QWidget;

namespace veltry {

// Gives a top-level window exactly `title`. The window system's title otherwise gets the
// program's display name appended ("Export Data File — Veltry Professional"). Call it after
// the window flags are set; a window that is created again later gets the name appended anew.
void setExactWindowTitle(QWidget* window, const QString& title);

} // namespace veltry
