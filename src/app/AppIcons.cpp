#include "app/AppIcons.h"

#include <QPainter>
#include <QSvgRenderer>

// Outside any namespace: the resource initialiser is a global function.
static void initVeltryResources()
{
    Q_INIT_RESOURCE(veltry);
}

namespace veltry::AppIcons {

void initResources()
{
    static const bool done = [] {
        initVeltryResources();
        return true;
    }();
    Q_UNUSED(done);
}

QPixmap pixmap(const QString& name, QSize size)
{
    initResources();
    QSvgRenderer renderer(QStringLiteral(":/icons/%1.svg").arg(name));
    if (!renderer.isValid())
        return {};
    QImage image(size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    renderer.render(&painter, QRectF(QPointF(0, 0), QSizeF(size)));
    painter.end();
    return QPixmap::fromImage(image);
}

QIcon programIcon()
{
    QIcon icon;
    for (int side : {16, 22, 24, 32, 48, 64})
        icon.addPixmap(pixmap(QStringLiteral("veltry"), QSize(side, side)));
    return icon;
}

} // namespace veltry::AppIcons
