#pragma once

#include <QCoreApplication>
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

// Qt follows the title it hands to the window system with the program's name ("Preferences —
// Veltry Professional"); a dialog's caption stands alone. The title reaches the window system
// when the window is made, so the name is held back for that moment only. Call after the title
// and the window flags are set.
inline void createWithOwnTitle(QWidget* dialog)
{
    const QString name = QGuiApplication::applicationDisplayName();
    // Without a name of its own the program adds nothing; setting one here would start adding it.
    if (name == QCoreApplication::applicationName()) {
        dialog->winId();
        return;
    }
    QGuiApplication::setApplicationDisplayName(QString());
    dialog->winId();
    QGuiApplication::setApplicationDisplayName(name);
}

} // namespace veltry
