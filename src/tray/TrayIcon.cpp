#include "tray/TrayIcon.h"

#include <QApplication>
#include <QMenu>
#include <QWidget>

namespace veltry {

namespace {
std::optional<bool> g_trayAvailableOverride;
} // namespace

TTrayIcon::TTrayIcon(QObject* parent) : QObject(parent), m_tray(std::make_unique<QSystemTrayIcon>())
{
    connect(m_tray.get(), &QSystemTrayIcon::activated, this, &TTrayIcon::activated);
    // The window an X11 tray embeds is made by Qt when a tray appears, possibly much later.
    qApp->installEventFilter(this);
}

bool TTrayIcon::eventFilter(QObject* watched, QEvent* event)
{
    // Untitled, that window would take the program's name, and anything looking for the task
    // window by its title ("Veltry Professional") could find the tray icon instead.
    if (event->type() == QEvent::Polish && watched->isWidgetType()
        && watched->objectName() == QLatin1String("QSystemTrayIconSys")) {
        auto* window = static_cast<QWidget*>(watched);
        if (window->windowTitle().isEmpty())
            window->setWindowTitle(QStringLiteral("Tray icon"));
    }
    return QObject::eventFilter(watched, event);
}

TTrayIcon::~TTrayIcon()
{
    RemoveFromTray();
}

bool TTrayIcon::isTrayAvailable()
{
    if (g_trayAvailableOverride)
        return *g_trayAvailableOverride;
    if (QGuiApplication::platformName() == QLatin1String("offscreen"))
        return true;
    return QSystemTrayIcon::isSystemTrayAvailable();
}

void TTrayIcon::Notify(const QString& title, const QString& text, QObject* context, std::function<void()> clicked)
{
    if (!m_shown || !QSystemTrayIcon::supportsMessages())
        return;
    m_lastNotification = title + QLatin1Char('\n') + text;
    // One notification at a time: a click answers the latest, and only while its context lives.
    disconnect(m_tray.get(), &QSystemTrayIcon::messageClicked, nullptr, nullptr);
    if (clicked)
        connect(m_tray.get(), &QSystemTrayIcon::messageClicked, context, std::move(clicked));
    m_tray->showMessage(title, text, QSystemTrayIcon::Information);
}

void TTrayIcon::setTrayAvailableOverride(std::optional<bool> available)
{
    g_trayAvailableOverride = available;
}

void TTrayIcon::SetVisible(bool visible)
{
    if (m_shown && !visible)
        RemoveFromTray();
    else if (!m_shown && visible)
        ShowInTray();
}

QString TTrayIcon::trayToolTip() const
{
    if (!m_showHint)
        return QString();
    QString tip = m_hint.left(kMaxTipLength);
    // Never leave half of a surrogate pair at the cut.
    if (!tip.isEmpty() && tip.back().isHighSurrogate())
        tip.chop(1);
    return tip;
}

void TTrayIcon::ShowInTray()
{
    m_tray->setToolTip(trayToolTip());
    m_tray->setIcon(m_picture);
    // An entry without a picture would be an invisible hole in the tray; it appears with the
    // first picture sent. A tray that refuses the icon is not reported.
    if (!m_tray->isVisible() && !m_picture.isNull())
        m_tray->show();
    m_shown = true;
}

void TTrayIcon::RemoveFromTray()
{
    if (!m_shown)
        return;
    m_tray->hide();
    m_shown = false;
}

void TTrayIcon::SetPopupMenu(QMenu* menu)
{
    m_popupMenu = menu;
    handMenuToTray();
}

void TTrayIcon::SetAutoPopup(bool on)
{
    m_autoPopup = on;
    handMenuToTray();
}

void TTrayIcon::handMenuToTray()
{
    m_tray->setContextMenu(PopupAtCursor() ? m_popupMenu.data() : nullptr);
}

bool TTrayIcon::PopupAtCursor() const
{
    return m_popupMenu && m_autoPopup;
}

void TTrayIcon::activated(QSystemTrayIcon::ActivationReason reason)
{
    // The tray reports whole clicks; replay them as the presses and releases they were made of.
    switch (reason) {
    case QSystemTrayIcon::Trigger:
        handleTrayMessage(TrayMessage::LeftDown);
        handleTrayMessage(TrayMessage::LeftUp);
        break;
    case QSystemTrayIcon::DoubleClick:
        handleTrayMessage(TrayMessage::LeftDouble);
        break;
    case QSystemTrayIcon::Context:
        handleTrayMessage(TrayMessage::RightDown);
        handleTrayMessage(TrayMessage::RightUp);
        break;
    default:
        break;
    }
}

void TTrayIcon::handleTrayMessage(TrayMessage message)
{
    switch (message) {
    case TrayMessage::MouseMove:
        if (OnMouseMove)
            OnMouseMove(this, Qt::NoModifier, 0, 0);
        break;
    case TrayMessage::LeftDown:
        m_pressed = true;
        mouseDown(Qt::LeftButton);
        break;
    case TrayMessage::LeftUp:
        click();
        mouseUp(Qt::LeftButton);
        break;
    case TrayMessage::LeftDouble:
    case TrayMessage::RightDouble:
        if (OnDblClick)
            OnDblClick(this);
        break;
    case TrayMessage::RightDown:
        m_pressed = true;
        mouseDown(Qt::RightButton);
        break;
    case TrayMessage::RightUp:
        if (!PopupAtCursor())
            click();
        mouseUp(Qt::RightButton);
        break;
    }
}

void TTrayIcon::click()
{
    if (!m_pressed)
        return;
    m_pressed = false;
    if (OnClick)
        OnClick(this);
}

void TTrayIcon::mouseDown(Qt::MouseButton button)
{
    if (OnMouseDown)
        OnMouseDown(this, button, Qt::NoModifier, 0, 0);
}

void TTrayIcon::mouseUp(Qt::MouseButton button)
{
    if (OnMouseUp)
        OnMouseUp(this, button, Qt::NoModifier, 0, 0);
}

} // namespace veltry
