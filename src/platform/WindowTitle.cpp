#include "platform/WindowTitle.h"

#include <QGuiApplication>
#include <QWidget>

namespace veltry {

void setExactWindowTitle(QWidget* window, const QString& title)
{
    // The name is appended when the native window takes its title, unless the title already
    // ends with the name; with an empty name every title does. So the native window is made
    // (or given the title) while the name is empty, and the name is put back at once.
    // Without a display name of its own (it then reads as the application name) nothing is
    // appended, and setting one here would start the appending for every other window.
    const QString name = QGuiApplication::applicationDisplayName();
    const bool appended = name != QCoreApplication::applicationName();
    if (appended)
        QGuiApplication::setApplicationDisplayName(QString());
    window->setWindowTitle(title);
    window->winId();
    if (appended)
        QGuiApplication::setApplicationDisplayName(name);
}

} // namespace veltry
