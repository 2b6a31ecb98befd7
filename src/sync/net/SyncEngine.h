#pragma once

#include "sync/core/SyncState.h"
#include "sync/net/CalDavClient.h"

#include <QDateTime>
#include <QObject>
#include <QPointer>
#include <QSet>
#include <deque>
#include <functional>
#include <optional>
#include <vector>

class QTimer;

namespace veltry::sync {

// Keeps one task list in step with a calendar collection: lists what changed on the server
// (one request when nothing did), fetches the changed to-dos, compares three ways with what was
// last agreed and the list as it is, puts the result in the list, then sends the list's own
// changes. Nothing waits on the network; a failed cycle leaves list and record as they were,
// and the next one takes up what is still waiting.
class SyncEngine : public QObject
{
    Q_OBJECT

public:
    // What the engine needs of the list it keeps in step.
    struct Host
    {
        // The task rows as they are (no title row, no empty placeholder row).
        std::function<std::vector<TaskRow>()> rows;
        // False while the list must not change under the user (a dialog holds one of its rows);
        // the engine asks again a little later.
        std::function<bool()> mayChange;
        // Puts `rows` in place of the list and saves it, then calls `done` with whether the save
        // went through (at once or later, from the event loop).
        std::function<void(const std::vector<TaskRow>&, std::function<void(bool saved)> done)> replaceRows;
    };

    SyncEngine(CalDavClient* client, Host host, QString statePath, QObject* parent = nullptr);
    ~SyncEngine() override;

    // The collection and user the list is kept in step with; the record of another one is set
    // aside, and the next sync compares the list with this one's to-dos afresh.
    void setAccount(const QString& account);

    // Tasks logged here: at the next sync they go to the server completed instead of removed.
    void noteLogged(const std::vector<TaskRow>& rows, const QDateTime& at);

    // The answer to serverRemovalsHeld: `accept` lets the tasks leave the list (a copy of them
    // is kept first), otherwise they go back to the server. Takes effect at the next sync, as
    // long as the server's removals are still the ones held.
    void answerServerRemovals(bool accept);
    // Tasks the server removed that the list keeps until the user answers.
    int heldServerRemovals() const { return int(m_heldRemovals.size()); }

    // Starts a cycle now, or right after the running one.
    void syncNow();
    bool isRunning() const { return m_running; }

    // The list's changes the server has not had yet, counted without the network.
    int waitingChanges(const std::vector<TaskRow>& rows) const;

    // "Server: in step", "Server: 3 changes waiting", "Server: cannot reach <host>" or the
    // last failure's text.
    QString statusText() const { return m_status; }
    // The failure of the last cycle (None when it went through).
    const DavError& lastError() const { return m_lastError; }
    // Requests of the last cycle, for the benchmark's and tests' check that an idle sync is cheap.
    int requestsInLastCycle() const { return m_requests; }

signals:
    void statusChanged(const QString& text);
    // A cycle failed for a reason other than the server being out of reach: worth telling.
    void failed(const DavError& error);
    void cycleFinished();
    // The server lost more of the list's tasks at once than a person removes: they stay in the
    // list until answerServerRemovals() says otherwise. Told once for each such set.
    void serverRemovalsHeld(int count, int of);

private:
    struct Fetched;
    void startCycle();
    void listed(const DavError& error, const DavListing& listing);
    void fetched(const DavError& error, const QList<DavResource>& resources);
    void applyWhenFree();
    // The merge's outcome recorded, once the list holding it is saved; then the server's share.
    void takeIn(MergeResult& result, const std::vector<TaskRow>& rows, bool takeToken);
    void send();
    void finishCycle(const DavError& error);
    void saveState();
    void setStatus(const QString& text);
    // Decides what becomes of the tasks the server's removals would take off the list;
    // false when the sync token must stay where it was (the removals are held back).
    bool guardServerRemovals(const std::vector<TaskRow>& rows, MergeResult& result, qsizetype agreedOnList);
    // Writes `rows` to a list file beside the sync record; its path, or empty when it failed.
    QString keepRemovedCopy(const std::vector<TaskRow>& rows) const;

    CalDavClient* m_client;
    Host m_host;
    QString m_statePath;
    SyncState m_state;
    std::unique_ptr<Fetched> m_fetched;
    QTimer* m_retry = nullptr;
    bool m_running = false;
    bool m_savingList = false;  // the merged list is being saved: the cycle waits
    bool m_stateChanged = false;  // the record differs from its file
    bool m_again = false;
    int m_repeats = 0;
    int m_cycles = 0;
    std::deque<Upload> m_uploads;
    std::deque<Removal> m_removals;
    int m_requests = 0;
    DavError m_lastError;
    DavError m_sendError;
    QString m_status;
    enum class Answer { None, Accept, Decline };
    QSet<QString> m_heldRemovals;  // UIDs
    QString m_doubledUid;  // held in two resources on the server at the last sync
    Answer m_heldAnswer = Answer::None;
};

} // namespace veltry::sync
