#include "store/core/TaskMerge.h"

#include "platform/core/AppError.h"
#include "store/core/ICalendar.h"

#include <QSet>
#include <QUuid>
#include <algorithm>

namespace veltry::threeway {

namespace {

bool contentColumn(int col)
{
    return col != TaskCol::Reserved && col != TaskCol::LeadTime;
}

bool isCompleted(const TaskRow& row)
{
    return row[TaskCol::Mark] == kCheckedMark;
}

// A repeating task that the list renews when it is logged: it goes on as a new task of its own.
bool renewedWhenLogged(const TaskRow& row)
{
    const QString& type = row[TaskCol::Type];
    return !row[TaskCol::DueDate].isEmpty()
        && (type == QLatin1String("1") || type == QLatin1String("2") || type == QLatin1String("3") || type == QLatin1String("4"));
}

struct ColumnMerge
{
    TaskRow merged;
    bool conflict = false;
};

// Column by column against the agreed version: a side that left a column alone takes the other
// side's text; where both changed it differently the server wins and the conflict is reported.
ColumnMerge mergeColumns(const TaskRow& base, const TaskRow& local, const TaskRow& remote)
{
    ColumnMerge m;
    m.merged = remote;
    for (int c = 0; c < TaskCol::Count; ++c) {
        if (!contentColumn(c))
            continue;
        const QString& b = base[c];
        const QString& l = local[c];
        const QString& r = remote[c];
        if (r == b || l == r)
            m.merged[c] = l;
        else if (l != b)
            m.conflict = true;
    }
    m.merged[TaskCol::Reserved] = uidOf(local);
    m.merged[TaskCol::LeadTime] = local[TaskCol::LeadTime];
    return m;
}

TaskRow conflictCopy(TaskRow local, QString (*newUid)())
{
    local[TaskCol::Task] += kConflictSuffix;
    local[TaskCol::Reserved] = newUid();
    return local;
}

TaskRow withUid(TaskRow row, const QString& uid)
{
    row[TaskCol::Reserved] = uid;
    return row;
}

} // namespace

bool sameContent(const TaskRow& a, const TaskRow& b)
{
    for (int c = 0; c < TaskCol::Count; ++c)
        if (contentColumn(c) && a[c] != b[c])
            return false;
    return true;
}

void discountRoundTrips(QHash<QString, RemoteChange>& remote, const QHash<QString, Agreed>& base,
                        const std::vector<TaskRow>& local)
{
    QHash<QString, size_t> rowOf;
    const ICalendar::Context context;
    for (auto it = remote.begin(); it != remote.end(); ++it) {
        if (!it->cells)
            continue;
        const TaskRow* reference = nullptr;
        if (const auto agreed = base.constFind(it.key()); agreed != base.constEnd() && !agreed->offList) {
            reference = &agreed->cells;
        } else {
            if (rowOf.isEmpty())
                for (size_t i = 0; i < local.size(); ++i)
                    rowOf.insert(uidOf(local[i]), i);
            if (const auto r = rowOf.constFind(it.key()); r != rowOf.constEnd())
                reference = &local[*r];
        }
        if (!reference)
            continue;
        TaskRow back = *reference;
        try {
            if (auto decoded = ICalendar::decodeTask(ICalendar::encodeTask(*reference, QDateTime(), context), context))
                back = *decoded;
        } catch (const AppError&) {
        }
        TaskRow& cells = *it->cells;
        for (int c = 0; c < TaskCol::Count; ++c)
            if (c != TaskCol::Reserved && cells[c] == back[c])
                cells[c] = (*reference)[c];
    }
}

QString makeUid()
{
    return QUuid::createUuid().toString(QUuid::WithoutBraces);
}

int assignUids(std::vector<TaskRow>& rows, QString (*newUid)())
{
    QSet<QString> seen;
    seen.reserve(qsizetype(rows.size()));
    int changed = 0;
    for (TaskRow& row : rows) {
        QString& uid = row[TaskCol::Reserved];
        if (uid.isEmpty() || seen.contains(uid)) {
            uid = newUid();
            ++changed;
        }
        seen.insert(uid);
    }
    return changed;
}

MergeResult merge(const std::vector<TaskRow>& local, const QHash<QString, Agreed>& base,
                  const QHash<QString, RemoteChange>& remote, const QHash<QString, LoggedTask>& logged,
                  QString (*newUid)())
{
    MergeResult out;
    out.local.reserve(local.size() + size_t(remote.size()));
    QSet<QString> inList;
    inList.reserve(qsizetype(local.size()));

    auto upload = [&](const QString& uid, const QString& href, const QByteArray& ifMatch, const TaskRow& cells,
                      const QByteArray& previous = QByteArray()) {
        out.uploads.push_back(Upload{uid, href, ifMatch, cells, false, {}, previous});
    };
    auto keep = [&](TaskRow row) {
        out.local.push_back(std::move(row));
    };
    auto dropFromList = [&] { out.localChanged = true; };
    // A merged task takes its row; on a conflict the list's own version follows it as a new task.
    auto keepMerged = [&](const ColumnMerge& m, const TaskRow& row) {
        if (!sameContent(m.merged, row))
            out.localChanged = true;
        keep(m.merged);
        if (m.conflict) {
            ++out.conflicts;
            TaskRow copy = conflictCopy(row, newUid);
            upload(uidOf(copy), QString(), QByteArray(), copy);
            keep(std::move(copy));
        }
    };

    // The list's own tasks, in its order.
    for (const TaskRow& row : local) {
        const QString& uid = uidOf(row);
        inList.insert(uid);
        const auto b = base.constFind(uid);
        const auto r = remote.constFind(uid);
        const bool remoteChanged = r != remote.constEnd();

        if (b == base.constEnd()) {
            if (!remoteChanged) {
                upload(uid, QString(), QByteArray(), row);  // new here
                keep(row);
                continue;
            }
            if (!r->cells) {  // gone from the server before this list ever agreed on it
                upload(uid, r->href, QByteArray(), row);
                keep(row);
                continue;
            }
            // Both sides hold it and never agreed (state lost): compare against an empty task.
            const ColumnMerge m = mergeColumns(TaskRow{}, row, *r->cells);
            out.agree.insert(uid, Agreed{r->href, r->etag, withUid(*r->cells, uid), r->ics, false});
            keepMerged(m, row);
            continue;
        }

        const bool localChanged = b->offList || !sameContent(row, b->cells);
        if (!remoteChanged) {
            if (localChanged)
                upload(uid, b->href, b->etag, row, b->ics);
            keep(row);
            continue;
        }
        if (!r->cells) {
            if (localChanged) {
                // Removed there, changed here: the change is kept and goes back as a new resource.
                out.forget.push_back(uid);
                upload(uid, b->href, QByteArray(), row);
                keep(row);
            } else {
                out.forget.push_back(uid);
                dropFromList();
            }
            continue;
        }
        const TaskRow remoteRow = withUid(*r->cells, uid);
        out.agree.insert(uid, Agreed{r->href, r->etag, remoteRow, r->ics, false});
        if (!localChanged) {
            if (!sameContent(row, remoteRow))
                out.localChanged = true;
            keep(remoteRow);
            continue;
        }
        const ColumnMerge m = mergeColumns(b->offList ? TaskRow{} : b->cells, row, remoteRow);
        if (!sameContent(m.merged, remoteRow))
            upload(uid, r->href, r->etag, m.merged, r->ics);
        keepMerged(m, row);
    }

    // Tasks the list does not hold: logged or removed here, or new on the server.
    std::vector<std::pair<QString, QString>> added;  // href, uid
    auto consider = [&](const QString& uid) {
        if (inList.contains(uid))
            return;
        inList.insert(uid);
        const auto b = base.constFind(uid);
        const auto r = remote.constFind(uid);
        const auto l = logged.constFind(uid);
        const bool remoteChanged = r != remote.constEnd();
        if (remoteChanged && !r->cells) {
            if (b != base.constEnd())
                out.forget.push_back(uid);
            return;  // gone there, not here either (or logged: nothing left to complete)
        }
        if (l != logged.constEnd()) {
            // Logged here: completed on the server, with any edit made there since.
            Upload u;
            u.uid = uid;
            u.offList = true;
            u.completedAt = l->at;
            if (remoteChanged) {
                u.href = r->href;
                u.ifMatch = r->etag;
                u.cells = withUid(*r->cells, uid);
                u.previous = r->ics;
            } else if (b != base.constEnd()) {
                if (b->offList)
                    return;
                u.href = b->href;
                u.ifMatch = b->etag;
                u.cells = withUid(l->cells, uid);
                u.previous = b->ics;
            } else {
                u.cells = withUid(l->cells, uid);  // never reached the server
            }
            u.cells[TaskCol::Mark] = kCheckedMark;
            // The series goes on in the list's next occurrence, so the completed one is that
            // occurrence alone: a client that expands series would show it twice otherwise.
            if (renewedWhenLogged(l->cells))
                u.cells[TaskCol::Type] = QStringLiteral("0");
            out.uploads.push_back(std::move(u));
            return;
        }
        if (!remoteChanged) {
            if (b != base.constEnd() && !b->offList)  // removed here
                out.removals.push_back(Removal{uid, b->href, b->etag});
            return;
        }
        const TaskRow remoteRow = withUid(*r->cells, uid);
        const bool known = b != base.constEnd();
        // A completed task that was never on this list (or was logged from it) stays off it;
        // anything else new or changed there comes (back) in, an edit outweighing a removal here.
        if (isCompleted(remoteRow) && (!known || b->offList)) {
            out.agree.insert(uid, Agreed{r->href, r->etag, remoteRow, r->ics, true});
            return;
        }
        out.agree.insert(uid, Agreed{r->href, r->etag, remoteRow, r->ics, false});
        added.emplace_back(r->href, uid);
    };
    for (auto it = remote.constBegin(); it != remote.constEnd(); ++it)
        consider(it.key());
    for (auto it = logged.constBegin(); it != logged.constEnd(); ++it)
        consider(it.key());
    for (auto it = base.constBegin(); it != base.constEnd(); ++it)
        consider(it.key());

    std::sort(added.begin(), added.end());
    for (const auto& [href, uid] : added)
        keep(out.agree.value(uid).cells);
    if (!added.empty())
        out.localChanged = true;
    if (out.local.size() != local.size())
        out.localChanged = true;
    return out;
}

} // namespace veltry::threeway
