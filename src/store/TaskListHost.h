#pragma once

#include <QMetaObject>
#include <QPointer>

#include <functional>
#include <QStringList>
#include <QWidget>

namespace veltry {

class TTextGrid;
struct Settings;

// What the dialogs and the tray's placeholder may reach of the window that holds the task list:
// its rows, its save, the categories, the settings, the alarm switch. The task window is the one
// real host; tests hand the dialogs a small fake, so no dialog needs the task window itself.
class TaskListHost
{
public:
    virtual ~TaskListHost() = default;

    // The window the task list is shown in: messages stand over it, dialogs open on its screen,
    // and it goes away with the host (guard it with a QPointer).
    virtual QWidget* hostWindow() = 0;
    // The task list's rows: row 0 holds the titles, columns as in `TaskCol`.
    virtual TTextGrid* taskGrid() = 0;
    virtual Settings& settings() = 0;
    // Whether dates are written day before month.
    virtual bool dayFirst() const = 0;
    // The categories the user keeps, in their order.
    virtual QStringList categories() const = 0;

    // Saves the task list file; a failure is shown. Returns false when it failed at once; a save
    // written off the window's thread reports its failure when it comes back.
    virtual bool SaveTaskList() = 0;
    // The shared-list check takes the files as they are now as its own.
    virtual void RecordFileTimes() = 0;
    virtual void UpdateTaskCount() = 0;
    // Loads the data files of the data folder anew.
    virtual void LoadDataFiles() = 0;
    virtual QString dataDirectory() const = 0;
    // Fits the shown columns after columns were hidden or shown.
    virtual void AutoFitColumnWidths() = 0;

    // The one-second timer stops while a modal window is open.
    virtual void stopTimerForModal() = 0;
    virtual bool alarmsEnabled() const = 0;
    virtual void setAlarmsEnabled(bool on) = 0;
    // Calls `changed` with the switch's new state whoever turns it, for as long as `context`
    // lives; the connection can be broken with QObject::disconnect.
    virtual QMetaObject::Connection onAlarmsEnabledChanged(QObject* context, std::function<void(bool)> changed) = 0;
};

// A host that reads as null once its window is gone, as a QPointer does for a window.
class TaskListHostPtr
{
public:
    TaskListHostPtr(TaskListHost* host = nullptr) : m_host(host), m_window(host ? host->hostWindow() : nullptr) {}
    TaskListHost* get() const { return m_window ? m_host : nullptr; }
    operator TaskListHost*() const { return get(); }
    TaskListHost* operator->() const { return get(); }

private:
    TaskListHost* m_host;
    QPointer<QWidget> m_window;
};

} // namespace veltry
