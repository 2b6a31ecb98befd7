#include "platform/AppIcons.h"

#include <QGuiApplication>
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

QPixmap pixmap(const QString& name, QSize size, qreal dpr)
{
    initResources();
    QSvgRenderer renderer(QStringLiteral(":/icons/%1.svg").arg(name));
    if (!renderer.isValid())
        return {};
    if (dpr <= 0)
        dpr = 1.0;
    QImage image(QSize(qRound(size.width() * dpr), qRound(size.height() * dpr)), QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    renderer.render(&painter, QRectF(QPointF(0, 0), QSizeF(image.size())));
    painter.end();
    image.setDevicePixelRatio(dpr);
    return QPixmap::fromImage(image);
}

QPixmap pixmap(const QString& name, QSize size)
{
    return pixmap(name, size, qGuiApp ? qGuiApp->devicePixelRatio() : 1.0);
}

QIcon programIcon()
{
    QIcon icon;
    for (int side : {16, 22, 24, 32, 48, 64})
        icon.addPixmap(pixmap(QStringLiteral("veltry"), QSize(side, side), 1.0));
    return icon;
}

} // namespace veltry::AppIcons
