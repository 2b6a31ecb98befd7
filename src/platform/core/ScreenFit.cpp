#include "platform/core/ScreenFit.h"

#include <algorithm>

namespace veltry {

QRect keepOnScreen(const QRect& frame, const QList<QRect>& screens, const QSize& minimum)
{
    if (screens.isEmpty())
        return frame;
    // Stored numbers may be anything: sizes below one pixel count as one.
    const int width = std::max(frame.width(), 1);
    const int height = std::max(frame.height(), 1);
    const QRect wanted(frame.topLeft(), QSize(width, height));
    QRect area = screens.first();
    qint64 best = 0;
    for (const QRect& s : screens) {
        const QRect shown = s.intersected(wanted);
        const qint64 size = shown.isEmpty() ? 0 : qint64(shown.width()) * shown.height();
        if (size > best) {
            best = size;
            area = s;
        }
    }
    const int w = std::max(std::min(width, std::max(1, area.width())), std::max(1, minimum.width()));
    const int h = std::max(std::min(height, std::max(1, area.height())), std::max(1, minimum.height()));
    const int left = std::clamp(frame.left(), area.left(), std::max(area.left(), area.left() + area.width() - w));
    const int top = std::clamp(frame.top(), area.top(), std::max(area.top(), area.top() + area.height() - h));
    return QRect(left, top, w, h);
}

} // namespace veltry
