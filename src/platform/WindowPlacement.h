#pragma once

#include "platform/core/ScreenFit.h"

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

// Moves a window that is about to show, and shrinks it as far as its minimum size allows, so that
// it lies wholly on a screen: designed places and stored ones were made for other screens and
// other scale factors.
inline void keepWindowOnScreen(QWidget* window)
{
    QList<QRect> areas;
    QScreen* primary = QGuiApplication::primaryScreen();
    if (primary)
        areas << primary->availableGeometry();
    for (QScreen* s : QGuiApplication::screens())
        if (s != primary)
            areas << s->availableGeometry();
    if (areas.isEmpty())
        return;
    const QRect frame = window->frameGeometry();
    const QSize border = frame.size() - window->size();
    const QRect fitted = keepOnScreen(frame, areas, window->minimumSize() + border);
    if (fitted.size() != frame.size())
        window->resize(fitted.size() - border);
    if (fitted.topLeft() != frame.topLeft())
        window->move(fitted.topLeft());
}

} // namespace veltry
