#pragma once

#include "store/TaskListHost.h"
#include "widgets/ImageList.h"

#include <QIcon>
#include <QPointer>
#include <QWidget>
#include <array>

class QAction;
class QMenu;

namespace veltry {

class TCalComp;
class TPreviousInstance;
class TSingleInstance;
class TTrayIcon;

// The hidden placeholder created first: the application's main form, which lives for the whole
// run and owns what has no window of its own: the tray icon and its menu, the guard against a
// second copy and the tray's calendar. It is never shown.
class TForm1 final : public QWidget
{
    Q_OBJECT

public:
    // `previous` is the start-up check of this run (nullptr: no guard, as in tests).
    explicit TForm1(const TPreviousInstance* previous = nullptr, QWidget* parent = nullptr);
    ~TForm1() override;

    // The placeholder of the running program, nullptr when there is none.
    static TForm1* mainForm();

    // The task window the tray shows, hides and switches alarms for; not owned.
    void setTaskWindow(TaskListHost* window);
    TaskListHost* taskWindow() const;

    void FormCreate();
    // A left click or a double click on the tray icon.
    void TrayIcon1Click(TTrayIcon* sender);
    void mnuRestoreClick();
    void Calendar1Click();
    void mnuEnableAlarmsClick();
    void mnuExitClick();

    // Shows the task window, restored, raised and active. `activationToken` is one the desktop
    // issued for this (a later copy's, handed on): on Wayland the compositor lets a window take
    // the focus only with one.
    void showTaskWindow(const QString& activationToken = QString());
    // Minimise and close of the task window: into the tray when there is one, else onto the
    // task bar, so the window and its commands stay reachable.
    static void putAwayTaskWindow(QWidget* window);

    // The tray picture the program started with is kept so the day icon can be switched off.
    void SaveTrayPicture();
    void RestoreTrayPicture();
    // Shows today's day of the month in the tray.
    void ShowDayIcon();
    // The day number the tray shows, 0 when it shows no day icon.
    int shownDay() const;
    // The tray pictures of day `day` (1 to 31).
    QIcon dayIcon(int day) const;

    TTrayIcon* TrayIcon1 = nullptr;
    QMenu* PopupMenu1 = nullptr;
    QAction* mnuRestore = nullptr;
    QAction* Calendar1 = nullptr;
    QAction* N1 = nullptr;
    QAction* mnuEnableAlarms = nullptr;
    QAction* N2 = nullptr;
    QAction* mnuExit = nullptr;
    TSingleInstance* SingleInstance1 = nullptr;
    TCalComp* CalComp1 = nullptr;
    // Image d shows the day number d; image 0 is not used.
    TImageList imgDay{QSize(16, 16)};
    QIcon savedTrayPicture;

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    TaskListHostPtr m_taskWindow;
    QMetaObject::Connection m_alarmsFollow;
    mutable std::array<QIcon, 32> m_dayIcons;
};

} // namespace veltry
