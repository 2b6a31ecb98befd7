#pragma once

#include "sync/net/CalDavClient.h"
#include "sync/net/SyncEngine.h"

#include <QObject>
#include <QPointer>
#include <QUrl>

class QTimer;
class QWidget;

namespace veltry::sync {

// The task window's link to the calendar server: when the settings ask for it, a sync at start,
// a couple of seconds after each save, and every half minute for the changes of other clients.
// Failures are told in the status bar only: a box would hold the sync (it changes no list while
// a modal window is open) until someone clicks it, and offline is normal.
class TaskListSync : public QObject
{
    Q_OBJECT

public:
    static constexpr int kPollMs = 30000;
    static constexpr int kAfterSaveMs = 2000;

    TaskListSync(SyncEngine::Host host, QWidget* window);
    ~TaskListSync() override;

    // Starts, restarts or stops keeping the list in step; the password comes from where the
    // settings dialog keeps it.
    void configure(const QString& url, const QString& user, bool enabled);
    bool isEnabled() const { return m_enabled; }

    // The list reached its file: its changes go out shortly.
    void listSaved();
    // Tasks logged into the history: completed on the server rather than removed.
    void tasksLogged(const std::vector<TaskRow>& rows, const QDateTime& at);


    // "Test connection" of the settings dialog: whether `url` is a calendar collection these
    // credentials may use; `done` gets an error text (empty when fine) and the calendar's name.
    static void probe(const QUrl& url, const QString& user, const QString& password,
                      std::function<void(const QString& error, const QString& name)> done);

signals:
    void statusChanged(const QString& text);

private:
    void start(const QString& password);
    // One question for a mass removal on the server: follow it, or put the tasks back.
    void askAboutServerRemovals(int count, int of);

    QWidget* m_window;
    CalDavClient* m_client = nullptr;
    SyncEngine* m_engine = nullptr;
    QTimer* m_poll = nullptr;
    QTimer* m_afterSave = nullptr;
    bool m_enabled = false;
    QString m_url;
    QString m_user;
    quint64 m_configuration = 0;  // a password read for an older configuration is dropped
};

} // namespace veltry::sync
