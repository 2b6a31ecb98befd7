#pragma once

#include <QList>
#include <QRect>
#include <QSize>

namespace veltry {

// `frame` moved, and shrunk no further than `minimum`, only as far as needed to lie wholly on one
// screen: the one that shows most of it, the first (primary) one when none shows any. Positions
// and sizes come from stored settings, other machines and other scale factors, so all are taken
// in the same units as the screens' areas. A frame that cannot shrink to a screen keeps its top
// left corner on it, where the title and the close box are. `screens` are the screens' available
// areas, the primary one first.
QRect keepOnScreen(const QRect& frame, const QList<QRect>& screens, const QSize& minimum = QSize(1, 1));

} // namespace veltry
