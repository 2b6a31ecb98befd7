#pragma once

#include "store/core/Task.h"

#include <QByteArray>
#include <QDateTime>
#include <QHash>
#include <QString>
#include <array>
#include <optional>
#include <vector>

// The three-way merge of task rows, by UID and column by column. The calendar sync runs it
// between the list and the server ("remote"); the shared folder between this copy's list and
// the file, the side whose text stands in a conflict taking the server's place.
namespace veltry::threeway {

// One task row, every column; the task's UID is in TaskCol::Reserved.
using TaskRow = std::array<QString, TaskCol::Count>;

inline const QString& uidOf(const TaskRow& row) { return row[TaskCol::Reserved]; }

// What this list and the server last agreed on for one task.
struct Agreed
{
    QString href;
    QByteArray etag;
    TaskRow cells;
    QByteArray ics;  // the server's copy as agreed, so a change keeps what other programs put there
    // Known to both, but deliberately not in the list: logged here (completed on the server), or
    // already completed on the server when this list first met it.
    bool offList = false;
};

// A task whose server copy is not the agreed one any more.
struct RemoteChange
{
    QString href;
    QByteArray etag;
    std::optional<TaskRow> cells;  // none: gone from the server
    QByteArray ics;
};

// A task logged here since the last sync: it leaves the list, and goes to the server as completed.
struct LoggedTask
{
    TaskRow cells;
    QDateTime at;
};

// A task to write to the server. An empty `ifMatch` creates it (and fails if it exists).
struct Upload
{
    QString uid;
    QString href;  // empty: the engine names a new resource
    QByteArray ifMatch;
    TaskRow cells;
    bool offList = false;   // a logged task: completed on the server, kept off the list
    QDateTime completedAt;  // for a logged task
    QByteArray previous;    // the server's copy it changes; empty for a new one
};

struct Removal
{
    QString uid;
    QString href;
    QByteArray ifMatch;
};

struct MergeResult
{
    std::vector<TaskRow> local;     // the list as it is to be now (only meaningful when localChanged)
    bool localChanged = false;
    std::vector<Upload> uploads;
    std::vector<Removal> removals;
    QHash<QString, Agreed> agree;   // server versions taken as they are: agreed from now on
    std::vector<QString> forget;    // gone on both sides
    int conflicts = 0;              // conflict copies made
};

inline const QString kConflictSuffix = QStringLiteral(" (conflict)");

// The columns that belong to a task's content (the UID and the never-written lead time do not).
bool sameContent(const TaskRow& a, const TaskRow& b);

// The three-way comparison. `local` is the list in its order, each row with a UID of its own
// (see assignUids); `base` what was last agreed; `remote` only the tasks whose server copy
// differs from `base` (new, changed or gone); `logged` the tasks logged here since.
//
// Every edit survives: a task changed on both sides is merged column by column; where both
// changed the same column differently, the server's text wins in the task and the local version
// is kept as a copy whose description ends in " (conflict)". A task removed on one side and
// changed on the other is kept as changed. Tasks new from the server are appended in href order,
// except completed ones this list never had, which are remembered off the list.
// `newUid` makes the UIDs of conflict copies.
MergeResult merge(const std::vector<TaskRow>& local, const QHash<QString, Agreed>& base,
                  const QHash<QString, RemoteChange>& remote, const QHash<QString, LoggedTask>& logged,
                  QString (*newUid)());

// A server copy's column that reads as this list's text would after a trip through the
// calendar (a trimmed blank, a time spelled anew) is no change made there: the list's text
// stands in for it. The reference is the agreed version, or the list's row for a task never
// agreed on.
void discountRoundTrips(QHash<QString, RemoteChange>& remote, const QHash<QString, Agreed>& base,
                        const std::vector<TaskRow>& local);

// Gives every row an own UID: empty ones and repeats (a copied row) get new ones. Returns the
// rows changed.
int assignUids(std::vector<TaskRow>& rows, QString (*newUid)());

QString makeUid();

} // namespace veltry::threeway
