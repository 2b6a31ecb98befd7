#pragma once

#include <QGuiApplication>
#include <QScreen>
#include <QWidget>

namespace veltry {

// Centres a window on the screen it will show on (its parent's, else the primary one). Called
// before each showing, so the window system does not put a dialog over its parent instead.
inline void centreOnScreen(QWidget* window)
{
    const QWidget* anchor = window->parentWidget() ? window->parentWidget()->window() : window;
    QScreen* screen = anchor->screen() ? anchor->screen() : QGuiApplication::primaryScreen();
    if (!screen)
        return;
    QRect frame = window->frameGeometry();
    frame.moveCenter(screen->availableGeometry().center());
    window->move(frame.topLeft());
}

} // namespace veltry
