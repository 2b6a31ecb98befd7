#pragma once

#include <QIcon>
#include <QMenu>
#include <QObject>
#include <QPointer>
#include <QSystemTrayIcon>
#include <functional>
#include <memory>
#include <optional>

namespace veltry {

// One icon in the desktop's notification area, with its tooltip and pop-up menu. The tray
// shows what was last sent with ShowInTray: changing Picture or Hint alone does not touch it.
class TTrayIcon final : public QObject
{
    Q_OBJECT

public:
    // The mouse notifications the tray delivers for the icon.
    enum class TrayMessage { MouseMove, LeftDown, LeftUp, LeftDouble, RightDown, RightUp, RightDouble };

    using NotifyEvent = std::function<void(TTrayIcon* sender)>;
    using MouseEvent = std::function<void(TTrayIcon* sender, Qt::MouseButton button,
                                          Qt::KeyboardModifiers shift, int x, int y)>;
    using MouseMoveEvent = std::function<void(TTrayIcon* sender, Qt::KeyboardModifiers shift, int x, int y)>;

    // The tray keeps a fixed-size tooltip field; longer hints are cut to this.
    static constexpr int kMaxTipLength = 63;

    explicit TTrayIcon(QObject* parent = nullptr);
    ~TTrayIcon() override;
    Q_DISABLE_COPY_MOVE(TTrayIcon)

    const QIcon& Picture() const { return m_picture; }
    void SetPicture(const QIcon& icon) { m_picture = icon; }

    // Not owned; forgotten when the menu is destroyed. The tray itself shows the menu: a panel
    // that speaks the status-notifier protocol reads it over D-Bus and draws it, an X11 tray has
    // Qt open it at the pointer. Either way it shows the actions' current state.
    QMenu* PopupMenu() const { return m_popupMenu; }
    void SetPopupMenu(QMenu* menu);
    // Whether a right click opens PopupMenu (otherwise it counts as a click).
    bool AutoPopup() const { return m_autoPopup; }
    void SetAutoPopup(bool on);

    bool ShowHint() const { return m_showHint; }
    void SetShowHint(bool on) { m_showHint = on; }
    QString Hint() const { return m_hint; }
    void SetHint(const QString& hint) { m_hint = hint; }

    bool Visible() const { return m_shown; }
    void SetVisible(bool visible);

    // Adds the icon to the tray, or updates the entry when it is already there.
    void ShowInTray();
    void RemoveFromTray();
    // Whether a right click opens the menu: true when the tray holds PopupMenu and shows it
    // (see SetPopupMenu); false without a menu or with AutoPopup off.
    bool PopupAtCursor() const;

    // The tooltip the tray entry carries (empty without ShowHint).
    QString trayToolTip() const;

    // Handles one mouse notification from the tray.
    void handleTrayMessage(TrayMessage message);

    QSystemTrayIcon* systemTrayIcon() const { return m_tray.get(); }

    // Whether the desktop has a notification area that can show the icon. The offscreen
    // platform counts as having one: nobody can look at it, and windows there behave as on a
    // normal desktop. Tests can pin the answer; std::nullopt asks the desktop again.
    static bool isTrayAvailable();

    // A desktop notification from the icon (a balloon, or the desktop's notification service
    // where the tray speaks to one); `clicked` runs when the user clicks it. Nothing happens
    // when the icon is not in the tray or the desktop shows no messages.
    void Notify(const QString& title, const QString& text, QObject* context, std::function<void()> clicked);
    // The last notification's title and text (empty when none was sent).
    QString lastNotification() const { return m_lastNotification; }
    static void setTrayAvailableOverride(std::optional<bool> available);

    NotifyEvent OnClick;
    NotifyEvent OnDblClick;
    MouseEvent OnMouseDown;
    MouseMoveEvent OnMouseMove;
    MouseEvent OnMouseUp;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void activated(QSystemTrayIcon::ActivationReason reason);
    void mouseDown(Qt::MouseButton button);
    void mouseUp(Qt::MouseButton button);
    void click();
    void handMenuToTray();

    std::unique_ptr<QSystemTrayIcon> m_tray;
    QIcon m_picture;
    QPointer<QMenu> m_popupMenu;
    QString m_hint;
    QString m_lastNotification;
    bool m_autoPopup = true;
    bool m_showHint = false;
    bool m_shown = false;
    bool m_pressed = false;
};

} // namespace veltry
