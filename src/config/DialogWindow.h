#pragma once

#include <QGuiApplication>
#include <QScreen>
#include <QWidget>

namespace veltry {

// Centres a dialog on the screen it will show on (its parent's, else the primary one). Called
// before each showing, so the window system does not put it over its parent instead.
inline void centreOnScreen(QWidget* dialog)
{
    const QWidget* anchor = dialog->parentWidget() ? dialog->parentWidget()->window() : dialog;
    QScreen* screen = anchor->screen() ? anchor->screen() : QGuiApplication::primaryScreen();
    if (!screen)
        return;
    const QRect area = screen->availableGeometry();
    dialog->move(area.center() - QPoint(dialog->width() / 2, dialog->height() / 2));
}

} // namespace veltry
