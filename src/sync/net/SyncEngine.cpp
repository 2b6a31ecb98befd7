#include "sync/net/SyncEngine.h"

#include "platform/core/AppError.h"
#include "platform/core/Clock.h"
#include "store/core/ICalendar.h"

#include "widgets/core/GridFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QPointer>
#include <QSet>
#include <QTimer>
#include <algorithm>

namespace veltry::sync {

namespace {

// More removals than this share of the agreed tasks at once look like a damaged or replaced
// list, not like the user's doing: the tasks are brought back from the server instead.
constexpr int kMassRemovalFloor = 5;

// A server that keeps answering 412 must not keep the engine busy for ever.
constexpr int kMaxRepeats = 3;

// How long a list busy with a dialog or an edit is left alone before the next try.
constexpr int kBusyRetryMs = 2000;

// Some servers leave a removal out of the changes since a token; every so many cycles (about ten
// minutes at the half-minute check) the whole collection is listed, which shows it.
constexpr int kFullListingEvery = 20;

} // namespace

struct SyncEngine::Fetched
{
    QString syncToken;
    QHash<QString, RemoteChange> remote;
    QString doubledUid;  // a UID the server holds in two resources
    QStringList hrefsToFetch;
};

SyncEngine::SyncEngine(CalDavClient* client, Host host, QString statePath, QObject* parent)
    : QObject(parent), m_client(client), m_host(std::move(host)), m_statePath(std::move(statePath))
{
    m_retry = new QTimer(this);
    m_retry->setSingleShot(true);
    connect(m_retry, &QTimer::timeout, this, &SyncEngine::applyWhenFree);
}

SyncEngine::~SyncEngine() = default;

void SyncEngine::setAccount(const QString& account)
{
    QString error;
    m_state = SyncState::load(m_statePath, &error);
    if (!error.isEmpty())
        emit failed(DavError{DavError::Malformed, error});
    if (m_state.account != account) {
        m_state = SyncState();
        m_state.account = account;
        m_stateChanged = true;
    }
}

void SyncEngine::noteLogged(const std::vector<TaskRow>& rows, const QDateTime& at)
{
    bool any = false;
    for (const TaskRow& row : rows) {
        if (uidOf(row).isEmpty())
            continue;  // never synced: the server has nothing to complete
        m_state.logged.insert(uidOf(row), LoggedTask{row, at});
        any = true;
        m_stateChanged = true;
    }
    if (any)
        saveState();
}

void SyncEngine::syncNow()
{
    if (m_running) {
        m_again = true;
        return;
    }
    startCycle();
}

int SyncEngine::waitingChanges(const std::vector<TaskRow>& rows) const
{
    int waiting = 0;
    QSet<QString> seen;
    seen.reserve(qsizetype(rows.size()));
    for (const TaskRow& row : rows) {
        const QString& uid = uidOf(row);
        seen.insert(uid);
        const auto a = m_state.agreed.constFind(uid);
        if (uid.isEmpty() || a == m_state.agreed.constEnd() || a->offList || !sameContent(row, a->cells))
            ++waiting;
    }
    for (auto it = m_state.agreed.constBegin(); it != m_state.agreed.constEnd(); ++it)
        if (!it->offList && !seen.contains(it.key()))
            ++waiting;  // removed or logged here
    return waiting;
}

void SyncEngine::startCycle()
{
    m_running = true;
    m_again = false;
    m_requests = 1;
    m_fetched = std::make_unique<Fetched>();
    const bool full = ++m_cycles % kFullListingEvery == 0;
    QPointer<SyncEngine> self(this);
    m_client->listChanges(full ? QString() : m_state.syncToken, [self](const DavError& error, const DavListing& listing) {
        if (self)
            self->listed(error, listing);
    });
}

void SyncEngine::listed(const DavError& error, const DavListing& listing)
{
    if (error) {
        if (error.kind == DavError::InvalidSyncToken) {
            m_state.syncToken.clear();
            m_stateChanged = true;
            m_again = true;
        }
        finishCycle(error);
        return;
    }
    Fetched& f = *m_fetched;
    f.syncToken = listing.syncToken;
    QHash<QString, QString> uidByHref;
    uidByHref.reserve(m_state.agreed.size());
    for (auto it = m_state.agreed.constBegin(); it != m_state.agreed.constEnd(); ++it)
        uidByHref.insert(it->href, it.key());

    QSet<QString> listed;
    for (const DavResource& r : listing.resources) {
        const QString uid = uidByHref.value(r.href);
        if (r.removed) {
            if (!uid.isEmpty())
                f.remote.insert(uid, RemoteChange{r.href, QByteArray(), std::nullopt, {}});
            continue;
        }
        listed.insert(r.href);
        if (!uid.isEmpty() && !r.etag.isEmpty() && m_state.agreed.value(uid).etag == r.etag)
            continue;  // as agreed
        f.hrefsToFetch << r.href;
    }
    if (listing.complete) {
        for (auto it = m_state.agreed.constBegin(); it != m_state.agreed.constEnd(); ++it)
            if (!listed.contains(it->href))
                f.remote.insert(it.key(), RemoteChange{it->href, QByteArray(), std::nullopt, {}});
    }
    if (f.hrefsToFetch.isEmpty()) {
        applyWhenFree();
        return;
    }
    m_requests += int((f.hrefsToFetch.size() + CalDavClient::kMultigetBatch - 1) / CalDavClient::kMultigetBatch);
    QPointer<SyncEngine> self(this);
    m_client->fetch(f.hrefsToFetch, [self](const DavError& e, const QList<DavResource>& resources) {
        if (self)
            self->fetched(e, resources);
    });
}

void SyncEngine::fetched(const DavError& error, const QList<DavResource>& resources)
{
    if (error) {
        finishCycle(error);
        return;
    }
    Fetched& f = *m_fetched;
    for (const DavResource& r : resources) {
        std::optional<TaskRow> cells;
        try {
            cells = ICalendar::decodeTask(r.calendarData);
        } catch (const AppError&) {
            continue;  // another client's damaged item: left on the server as it is
        }
        if (!cells || uidOf(*cells).isEmpty())
            continue;  // an event, a journal entry: not for a task list
        const QString uid = uidOf(*cells);
        // A task gone from one place and now at another (or a resource listed twice) is one task;
        // one in two resources that are both there is shown once, and said.
        const auto known = f.remote.constFind(uid);
        const auto agreed = m_state.agreed.constFind(uid);
        if (known != f.remote.constEnd() ? known->cells && known->href != r.href
                                         : agreed != m_state.agreed.constEnd() && !agreed->href.isEmpty() && agreed->href != r.href) {
            f.doubledUid = uid;
            continue;
        }
        if (known != f.remote.constEnd() && known->cells)
            continue;
        f.remote.insert(uid, RemoteChange{r.href, r.etag, std::move(cells), r.calendarData});
    }
    applyWhenFree();
}

void SyncEngine::applyWhenFree()
{
    if (!m_fetched || m_savingList)
        return;
    if (m_host.mayChange && !m_host.mayChange()) {
        m_retry->start(kBusyRetryMs);
        return;
    }
    std::vector<TaskRow> rows = m_host.rows();
    const bool uidsGiven = assignUids(rows, &makeUid) > 0;

    Fetched& f = *m_fetched;
    discountRoundTrips(f.remote, m_state.agreed, rows);
    MergeResult result = merge(rows, m_state.agreed, f.remote, m_state.logged, &makeUid);

    // Many tasks missing at once: the list was damaged or swapped, so they come back instead of
    // being deleted everywhere.
    const qsizetype agreedOnList = std::count_if(m_state.agreed.cbegin(), m_state.agreed.cend(),
                                                 [](const Agreed& a) { return !a.offList; });
    if (qsizetype(result.removals.size()) > std::max<qsizetype>(kMassRemovalFloor, agreedOnList / 2)) {
        for (const Removal& r : result.removals)
            result.local.push_back(m_state.agreed.value(r.uid).cells);
        result.removals.clear();
        result.localChanged = true;
    }

    m_sendError = DavError();
    // The changes since this token are listed again, so the second resource is seen (and told)
    // at every sync until the server holds the UID once.
    m_doubledUid = f.doubledUid;
    const bool takeToken = guardServerRemovals(rows, result, agreedOnList) && m_doubledUid.isEmpty();

    if (result.localChanged || uidsGiven) {
        // The server's changes count as taken in only once the list holding them is on disk; the
        // list is saved off the window's thread, so the cycle goes on when the save is back.
        m_savingList = true;
        auto merged = std::make_shared<MergeResult>(std::move(result));
        auto ours = std::make_shared<std::vector<TaskRow>>(std::move(rows));
        m_host.replaceRows(merged->localChanged ? merged->local : *ours,
                           [self = QPointer<SyncEngine>(this), cycle = m_cycles, merged, ours, takeToken](bool saved) {
                               // A cycle ended meanwhile (another account) has nothing to take in.
                               if (!self || self->m_cycles != cycle || !self->m_savingList)
                                   return;
                               self->m_savingList = false;
                               if (!saved) {
                                   self->finishCycle(DavError{DavError::Server,
                                                              QStringLiteral("The task list could not be saved, so the "
                                                                             "server's changes were not taken in.")});
                                   return;
                               }
                               self->takeIn(*merged, *ours, takeToken);
                           });
        return;
    }
    takeIn(result, rows, takeToken);
}

void SyncEngine::takeIn(MergeResult& result, const std::vector<TaskRow>& rows, bool takeToken)
{
    Fetched& f = *m_fetched;
    for (auto it = result.agree.constBegin(); it != result.agree.constEnd(); ++it)
        m_state.agreed.insert(it.key(), *it);
    for (const QString& uid : result.forget) {
        m_state.agreed.remove(uid);
        m_state.logged.remove(uid);
    }
    m_stateChanged = m_stateChanged || !result.agree.isEmpty() || !result.forget.empty()
        || (takeToken && m_state.syncToken != f.syncToken);
    // A logged task that is back on the list (or never reached the server) has nothing to complete.
    if (!m_state.logged.isEmpty()) {
        QSet<QString> onList;
        for (const TaskRow& row : result.localChanged ? result.local : rows)
            onList.insert(uidOf(row));
        for (auto it = m_state.logged.begin(); it != m_state.logged.end();) {
            if (onList.contains(it.key())) {
                it = m_state.logged.erase(it);
                m_stateChanged = true;
            } else {
                ++it;
            }
        }
    }
    // While removals are held back, the server is to report them again at the next sync.
    if (takeToken)
        m_state.syncToken = f.syncToken;
    saveState();
    m_fetched.reset();

    m_uploads.assign(std::make_move_iterator(result.uploads.begin()), std::make_move_iterator(result.uploads.end()));
    m_removals.assign(result.removals.begin(), result.removals.end());
    send();
}

void SyncEngine::answerServerRemovals(bool accept)
{
    if (!m_heldRemovals.isEmpty())
        m_heldAnswer = accept ? Answer::Accept : Answer::Decline;
}

bool SyncEngine::guardServerRemovals(const std::vector<TaskRow>& rows, MergeResult& result, qsizetype agreedOnList)
{
    // The list's tasks that the server's removals take off it.
    const QSet<QString> forgotten(result.forget.begin(), result.forget.end());
    QSet<QString> staying;
    for (const TaskRow& row : result.local)
        staying.insert(uidOf(row));
    std::vector<TaskRow> gone;
    QSet<QString> goneUids;
    for (const TaskRow& row : rows) {
        if (!result.localChanged || staying.contains(uidOf(row)) || !forgotten.contains(uidOf(row)))
            continue;
        gone.push_back(row);
        goneUids.insert(uidOf(row));
    }
    if (gone.empty()) {
        m_heldRemovals.clear();
        m_heldAnswer = Answer::None;
        return true;
    }

    // The tasks stay where they were in the list.
    auto keepInList = [&] {
        std::vector<TaskRow> local;
        local.reserve(result.local.size() + gone.size());
        size_t next = 0;
        for (const TaskRow& row : rows) {
            if (goneUids.contains(uidOf(row))) {
                local.push_back(row);
                continue;
            }
            if (!staying.contains(uidOf(row)))
                continue;
            // The kept rows come in the list's order, each followed by what the merge put after it.
            while (next < result.local.size()) {
                const bool same = uidOf(result.local[next]) == uidOf(row);
                local.push_back(std::move(result.local[next++]));
                if (same)
                    break;
            }
        }
        while (next < result.local.size())
            local.push_back(std::move(result.local[next++]));
        result.local = std::move(local);
        result.localChanged = true;
    };

    const bool sameAsHeld = goneUids == m_heldRemovals;
    const bool mass = qsizetype(gone.size()) > std::max<qsizetype>(kMassRemovalFloor, agreedOnList / 2);
    if (mass && !(sameAsHeld && m_heldAnswer == Answer::Accept)) {
        keepInList();
        if (sameAsHeld && m_heldAnswer == Answer::Decline) {
            // Kept here by the user's choice: they go back to the server as new resources.
            for (const TaskRow& row : gone) {
                Upload u;
                u.uid = uidOf(row);
                u.href = m_state.agreed.value(u.uid).href;
                u.cells = row;
                result.uploads.push_back(std::move(u));
            }
            m_heldRemovals.clear();
            m_heldAnswer = Answer::None;
            return true;
        }
        // Held back: the record still counts them as agreed, and the question is asked once.
        result.forget.erase(std::remove_if(result.forget.begin(), result.forget.end(),
                                           [&](const QString& uid) { return goneUids.contains(uid); }),
                            result.forget.end());
        if (!sameAsHeld) {
            m_heldRemovals = goneUids;
            m_heldAnswer = Answer::None;
            emit serverRemovalsHeld(int(gone.size()), int(agreedOnList));
        }
        return false;
    }

    // The tasks leave the list, but never without a copy.
    m_heldRemovals.clear();
    m_heldAnswer = Answer::None;
    if (keepRemovedCopy(gone).isEmpty()) {
        keepInList();
        result.forget.erase(std::remove_if(result.forget.begin(), result.forget.end(),
                                           [&](const QString& uid) { return goneUids.contains(uid); }),
                            result.forget.end());
        m_sendError = DavError{DavError::Server, QStringLiteral("The tasks the server no longer holds stay in "
                                                                "the list: no copy of them could be kept.")};
        return false;
    }
    return true;
}

QString SyncEngine::keepRemovedCopy(const std::vector<TaskRow>& rows) const
{
    CellStore list;
    list.setColumnCount(TaskCol::Count);
    list.setRowCount(int(rows.size()) + 1);
    for (int c = 0; c < TaskCol::Count; ++c)
        list.setCell(c, 0, kTaskTitles[size_t(c)]);
    for (size_t r = 0; r < rows.size(); ++r)
        for (int c = 0; c < TaskCol::Count; ++c)
            list.setCell(c, int(r) + 1, rows[r][size_t(c)]);
    const QString stem = QFileInfo(m_statePath).absolutePath() + QStringLiteral("/veltlist-removed-")
        + Clock::instance().now().toString(QStringLiteral("yyyyMMdd-HHmmss"));
    for (int n = 1; n < 100; ++n) {
        const QString path = stem + (n == 1 ? QString() : QStringLiteral("-%1").arg(n)) + QStringLiteral(".vlp");
        if (QFile::exists(path))
            continue;
        try {
            QDir().mkpath(QFileInfo(path).absolutePath());
            GridFile::saveToFile(list, path);
            return path;
        } catch (const AppError&) {
            return QString();
        }
    }
    return QString();
}

// One request at a time: gentler on the server, and an unreachable one ends the round at once.
void SyncEngine::send()
{
    QPointer<SyncEngine> self(this);
    auto next = [self](const DavError& error) {
        if (!self)
            return;
        if (error.kind == DavError::PreconditionFailed) {
            // Changed or gone there meanwhile: the next round lists everything with its ETag
            // (whatever a token would leave out), fetches what differs and merges it.
            self->m_again = true;
            self->m_state.syncToken.clear();
            self->m_stateChanged = true;
        } else if (error) {
            self->m_sendError = error;
            if (error.kind == DavError::Unreachable) {
                self->m_uploads.clear();
                self->m_removals.clear();
            }
        }
        self->send();
    };
    if (!m_uploads.empty()) {
        Upload u = std::move(m_uploads.front());
        m_uploads.pop_front();
        ++m_requests;
        const QString href = u.href.isEmpty() ? m_client->hrefFor(u.uid) : u.href;
        const QByteArray ifMatch = u.ifMatch;  // read before `u` moves into the callback
        const QByteArray ics = ICalendar::encodeTask(u.cells, u.completedAt, ICalendar::Context(), u.previous);
        m_client->put(href, ics, ifMatch, [self, next, href, ics, u = std::move(u)](const DavError& error, const QByteArray& etag) {
            if (self && !error) {
                self->m_state.agreed.insert(u.uid, Agreed{href, etag, u.cells, ics, u.offList});
                self->m_state.logged.remove(u.uid);
                self->m_stateChanged = true;
            }
            next(error);
        });
        return;
    }
    if (!m_removals.empty()) {
        const Removal r = m_removals.front();
        m_removals.pop_front();
        ++m_requests;
        m_client->remove(r.href, r.ifMatch, [self, next, uid = r.uid](const DavError& error) {
            if (self && !error) {
                self->m_state.agreed.remove(uid);
                self->m_stateChanged = true;
            }
            next(error);
        });
        return;
    }
    saveState();
    finishCycle(m_sendError);
}

void SyncEngine::finishCycle(const DavError& error)
{
    m_running = false;
    m_savingList = false;
    m_fetched.reset();
    m_lastError = error;
    if (error.kind == DavError::Unreachable) {
        setStatus(QStringLiteral("Server: cannot reach %1").arg(m_client->host()));
    } else if (error) {
        setStatus(QStringLiteral("Server: ") + error.message);
        emit failed(error);
    } else {
        const int waiting = m_host.rows ? waitingChanges(m_host.rows()) : 0;
        if (!m_heldRemovals.isEmpty())
            setStatus(QStringLiteral("Server: %1 tasks removed there are kept here").arg(m_heldRemovals.size()));
        else if (!m_doubledUid.isEmpty())
            setStatus(QStringLiteral("Server: two to-dos there have the UID %1; the list shows one").arg(m_doubledUid));
        else
            setStatus(waiting == 0   ? QStringLiteral("Server: in step")
                  : waiting == 1 ? QStringLiteral("Server: 1 change waiting")
                                 : QStringLiteral("Server: %1 changes waiting").arg(waiting));
    }
    emit cycleFinished();
    if (m_again && m_repeats < kMaxRepeats) {
        ++m_repeats;
        QTimer::singleShot(0, this, [this] {
            if (!m_running)
                startCycle();
        });
    } else {
        m_repeats = 0;
        m_again = false;
    }
}

void SyncEngine::saveState()
{
    // A cycle that changed nothing (the half-minute check) writes nothing.
    if (!m_stateChanged)
        return;
    try {
        m_state.save(m_statePath);
        m_stateChanged = false;
    } catch (const AppError& e) {
        // The list itself is safe; a lost record only makes the next comparison start afresh.
        m_lastError = DavError{DavError::Server, e.message()};
    }
}

void SyncEngine::setStatus(const QString& text)
{
    if (text == m_status)
        return;
    m_status = text;
    emit statusChanged(text);
}

} // namespace veltry::sync
