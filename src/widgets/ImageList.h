#pragma once

#include <QPixmap>
#include <QSize>
#include <QVector>

namespace veltry {

// A list of pictures of one size, shared by reference between the windows that show them.
class TImageList final
{
public:
    TImageList() = default;
    explicit TImageList(QSize size) : m_size(size) {}
    QSize size() const { return m_size; }
    int width() const { return m_size.width(); }
    int height() const { return m_size.height(); }
    int count() const { return int(m_images.size()); }
    void add(const QPixmap& pixmap) { m_images.push_back(pixmap.scaled(m_size, Qt::IgnoreAspectRatio, Qt::SmoothTransformation)); }
    QPixmap image(int index) const { return index >= 0 && index < count() ? m_images.at(index) : QPixmap(); }

private:
    QSize m_size;
    QVector<QPixmap> m_images;
};

} // namespace veltry
