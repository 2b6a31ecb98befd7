#pragma once

#include <QHash>
#include <QPixmap>
#include <QSize>
#include <QVector>

#include <functional>

namespace veltry {

// A list of pictures of one size, shared by reference between the windows that show them.
// A picture is drawn anew for each device pixel ratio it is shown at, so a screen at 150 % or
// 200 % gets it at its own resolution rather than a small one scaled up.
class TImageList final
{
public:
    // Draws the picture at exactly `pixels` device pixels.
    using Drawing = std::function<QPixmap(QSize pixels)>;

    TImageList() = default;
    explicit TImageList(QSize size) : m_size(size) {}
    QSize size() const { return m_size; }
    int width() const { return m_size.width(); }
    int height() const { return m_size.height(); }
    int count() const { return int(m_drawings.size()); }

    void add(Drawing draw)
    {
        m_drawings.push_back(std::move(draw));
        m_drawn.clear();
    }
    // A finished picture: scaled smoothly to each ratio's size.
    void add(const QPixmap& pixmap)
    {
        add([pixmap](QSize pixels) { return pixmap.scaled(pixels, Qt::IgnoreAspectRatio, Qt::SmoothTransformation); });
    }

    // Picture `index` for a device of pixel ratio `dpr`: size() in logical pixels, carrying the
    // ratio; a null pixmap for an index out of range.
    QPixmap image(int index, qreal dpr = 1.0) const
    {
        if (index < 0 || index >= count())
            return {};
        if (dpr <= 0)
            dpr = 1.0;
        QVector<QPixmap>& drawn = m_drawn[qRound(dpr * 100)];
        if (drawn.isEmpty()) {
            const QSize pixels(qRound(m_size.width() * dpr), qRound(m_size.height() * dpr));
            for (const Drawing& draw : m_drawings) {
                QPixmap pm = draw(pixels);
                pm.setDevicePixelRatio(dpr);
                drawn.push_back(pm);
            }
        }
        return drawn.at(index);
    }

private:
    QSize m_size;
    QVector<Drawing> m_drawings;
    // The pictures already drawn, by ratio in hundredths.
    mutable QHash<int, QVector<QPixmap>> m_drawn;
};

} // namespace veltry
