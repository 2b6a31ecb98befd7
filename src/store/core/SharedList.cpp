#include "store/core/SharedList.h"

#include "platform/core/AppError.h"
#include "platform/core/DataPaths.h"
#include "platform/core/FileSafety.h"
#include "widgets/core/GridFile.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QHash>
#include <QSet>
#include <QSaveFile>
#include <QScopeGuard>
#include <array>
#include <tuple>
#include <cstdio>
#include <deque>
#include <utility>

namespace veltry::shared {

namespace {
// An offer refused puts back the base the grid's rows derive from, and the file's bytes as known
// with it; taken or not, it is settled.
template<typename Offer, typename Base, typename File>
void settleOffer(Offer& offer, Base& offered, Base& base, File& file, bool taken)
{
    if (offer.pending && !taken) {
        base = std::move(offered);
        file.known = offer.known;
        file.knownValid = offer.knownValid;
    }
    offer = Offer();
    offered = Base();
}
} // namespace

namespace {

using threeway::uidOf;

const QString kLockFileName = QStringLiteral("veltlist.lock");
// The records of each shared folder carry a name of their own, made from the folder's path.
const QString kTaskBaseName = QStringLiteral("-list.vlp");
const QString kUnsavedName = QStringLiteral("-unsaved.vlp");

template <size_t N>
bool emptyRow(const CellStore& cells, int r)
{
    for (int c = 0; c < int(N) && c < cells.columnCount(); ++c)
        if (!cells.isCellEmpty(c, r))
            return false;
    return true;
}

template <typename Row>
std::vector<Row> rowsOf(const CellStore& cells, std::vector<int>* at = nullptr)
{
    std::vector<Row> rows;
    rows.reserve(size_t(std::max(0, cells.rowCount() - 1)));
    const int columns = std::min(int(std::tuple_size_v<Row>), cells.columnCount());
    for (int r = 1; r < cells.rowCount(); ++r) {
        if (emptyRow<std::tuple_size_v<Row>>(cells, r))
            continue;
        Row row;
        for (int c = 0; c < columns; ++c)
            row[size_t(c)] = cells.cell(c, r);
        rows.push_back(std::move(row));
        if (at)
            at->push_back(r);
    }
    return rows;
}

template <typename Row>
CellStore cellsOf(const std::vector<Row>& rows, const CellStore& titles)
{
    constexpr int width = int(std::tuple_size_v<Row>);
    CellStore cells;
    cells.setColumnCount(std::max(width, titles.columnCount()));
    cells.setRowCount(int(std::max<size_t>(rows.size(), 1)) + 1);
    if (titles.rowCount() > 0)
        for (int c = 0; c < titles.columnCount(); ++c)
            cells.setCellUtf8(c, 0, titles.cellUtf8(c, 0));
    for (size_t i = 0; i < rows.size(); ++i)
        for (int c = 0; c < width; ++c)
            if (!rows[i][size_t(c)].isEmpty())
                cells.setCell(c, int(i) + 1, rows[i][size_t(c)]);
    return cells;
}

template <typename Row>
bool sameRows(const std::vector<Row>& a, const std::vector<Row>& b)
{
    return a == b;
}


constexpr int kContentColumns[] = {TaskCol::Mark,     TaskCol::Task,       TaskCol::DueDate, TaskCol::DueTime,
                                   TaskCol::Category, TaskCol::Priority,   TaskCol::Notes,   TaskCol::CreateDate,
                                   TaskCol::Alarm,    TaskCol::Type};

bool emptyTask(const CellStore& cells, int r)
{
    return emptyRow<TaskCol::Count>(cells, r);
}

bool sameTask(const CellStore& a, int ra, const CellStore& b, int rb)
{
    for (int c : kContentColumns)
        if (a.cellUtf8(c, ra) != b.cellUtf8(c, rb))
            return false;
    return true;
}

TaskRow rowAt(const CellStore& cells, int r, QByteArrayView uid)
{
    TaskRow row;
    for (int c = 0; c < TaskCol::Count && c < cells.columnCount(); ++c)
        row[size_t(c)] = cells.cell(c, r);
    row[TaskCol::Reserved] = QString::fromUtf8(uid.data(), uid.size());
    return row;
}

// One side of a merge: its task rows (the title row and empty rows are none) and their UIDs.
// A row without a UID gets one made from its texts when it comes from the file, otherwise a new
// one; a repeated UID (a copied row) gets a new one. The UIDs are views into the cells (or into
// `made`), so the cells must not change while the side is in use.
struct Side
{
    const CellStore* cells = nullptr;
    std::vector<int> rows;
    std::vector<QByteArrayView> uids;
    std::deque<QByteArray> made;
    QHash<QByteArrayView, int> at;
    bool uidsGiven = false;

    QByteArrayView make(const QString& uid)
    {
        uidsGiven = true;
        made.push_back(uid.toUtf8());
        return made.back();
    }
};

Side sideOf(const CellStore& cells, bool fromFile)
{
    Side side;
    side.cells = &cells;
    side.rows.reserve(size_t(std::max(0, cells.rowCount() - 1)));
    side.uids.reserve(side.rows.capacity());
    std::vector<size_t> missing;
    for (int r = 1; r < cells.rowCount(); ++r) {
        if (emptyTask(cells, r))
            continue;
        side.rows.push_back(r);
        side.uids.push_back(cells.cellUtf8(TaskCol::Reserved, r));
        if (side.uids.back().isEmpty())
            missing.push_back(side.uids.size() - 1);
    }
    if (!missing.empty()) {
        if (fromFile) {
            std::vector<TaskRow> rows;
            for (size_t i : missing)
                rows.push_back(rowAt(cells, side.rows[i], QByteArray()));
            giveFileUids(rows);
            for (size_t k = 0; k < missing.size(); ++k)
                side.uids[missing[k]] = side.make(uidOf(rows[k]));
        } else {
            for (size_t i : missing)
                side.uids[i] = side.make(threeway::makeUid());
        }
    }
    side.at.reserve(qsizetype(side.rows.size()));
    for (size_t i = 0; i < side.uids.size(); ++i) {
        if (side.at.contains(side.uids[i]))
            side.uids[i] = side.make(threeway::makeUid());
        side.at.insert(side.uids[i], int(i));
    }
    return side;
}

bool sameSide(const Side& a, const Side& b)
{
    if (a.rows.size() != b.rows.size())
        return false;
    for (size_t i = 0; i < a.rows.size(); ++i)
        if (a.uids[i] != b.uids[i] || !sameTask(*a.cells, a.rows[i], *b.cells, b.rows[i]))
            return false;
    return true;
}

CellStore storeFor(const CellStore& titles, size_t rows)
{
    CellStore cells;
    cells.setColumnCount(std::max<int>(TaskCol::Count, titles.columnCount()));
    cells.setRowCount(int(std::max<size_t>(rows, 1)) + 1);
    if (titles.rowCount() > 0)
        cells.row(0) = std::as_const(titles).row(0).clone();
    return cells;
}

void copyRow(CellStore& to, int r, const Side& from, size_t i)
{
    to.row(r) = std::as_const(*from.cells).row(from.rows[i]).clone();
    if (from.uidsGiven && from.cells->cellUtf8(TaskCol::Reserved, from.rows[i]) != from.uids[i])
        to.setCellUtf8(TaskCol::Reserved, r, from.uids[i]);
}

// The side's rows as they are, with the UIDs it was given.
CellStore copyOf(const Side& side, const CellStore& titles)
{
    CellStore cells = storeFor(titles, side.rows.size());
    for (size_t i = 0; i < side.rows.size(); ++i)
        copyRow(cells, int(i) + 1, side, i);
    return cells;
}

// Whether two stores hold the same task rows, every column, in the same order.
bool sameTaskRows(const CellStore& a, const CellStore& b)
{
    int ra = 1;
    int rb = 1;
    for (;;) {
        while (ra < a.rowCount() && emptyTask(a, ra))
            ++ra;
        while (rb < b.rowCount() && emptyTask(b, rb))
            ++rb;
        if (ra >= a.rowCount() || rb >= b.rowCount())
            return ra >= a.rowCount() && rb >= b.rowCount();
        for (int c = 0; c < TaskCol::Count; ++c)
            if (a.cellUtf8(c, ra) != b.cellUtf8(c, rb))
                return false;
        ++ra;
        ++rb;
    }
}

void writeUids(CellStore& cells, const Side& side)
{
    if (!side.uidsGiven)
        return;
    for (size_t i = 0; i < side.rows.size(); ++i)
        if (cells.cellUtf8(TaskCol::Reserved, side.rows[i]) != side.uids[i])
            cells.setCellUtf8(TaskCol::Reserved, side.rows[i], side.uids[i]);
}

CellStore cloneOf(const CellStore& from)
{
    CellStore cells;
    cells.setColumnCount(from.columnCount());
    cells.setRowCount(from.rowCount());
    for (int r = 0; r < from.rowCount(); ++r)
        cells.row(r) = from.row(r).clone();
    return cells;
}

} // namespace

SharedList::SharedList(const QString& directory, const QString& recordDirectory)
    : m_directory(directory),
      m_recordDirectory(recordDirectory.isEmpty() ? DataPaths::userDataDirectory() : recordDirectory),
      m_lock(directory + kLockFileName)
{
    m_tasksFile.path = directory + kTaskListFileName;
    m_historyFile.path = directory + kHistoryFileName;
}

std::vector<TaskRow> SharedList::taskRows(const CellStore& cells)
{
    return rowsOf<TaskRow>(cells);
}

std::vector<HistoryRow> SharedList::historyRows(const CellStore& cells)
{
    return rowsOf<HistoryRow>(cells);
}

CellStore SharedList::historyCells(const std::vector<HistoryRow>& rows, const CellStore& titles)
{
    return cellsOf(rows, titles);
}

std::optional<CellStore> SharedList::agree(CellStore& tasks, const CellStore& history)
{
    writeUids(tasks, sideOf(tasks, true));
    CellStore theirs = cloneOf(tasks);
    // Changes this copy could not bring to the file when it last ended join the list now.
    std::optional<CellStore> merged;
    const QString unsaved = recordPath(kUnsavedName);
    if (QFile::exists(unsaved)) {
        CellStore base;
        CellStore ours;
        if (readRecord(recordPath(kTaskBaseName), base, tasks) && readRecord(unsaved, ours, tasks)) {
            m_taskBase = std::move(base);
            int conflicts = 0;
            merged = mergeTasks(ours, theirs, Later::Ours, conflicts);
        }
        QFile::remove(unsaved);
    }
    m_taskBase = std::move(theirs);
    m_historyBase = historyRows(history);
    for (FileState* file : {&m_tasksFile, &m_historyFile}) {
        QFile f(file->path);
        file->knownValid = f.open(QIODevice::ReadOnly);
        file->known = file->knownValid ? f.readAll() : QByteArray();
    }
    return merged;
}

void SharedList::keepUnsaved(const CellStore& tasks)
{
    settleTaskOffer(true);
    // The next start needs the base they differ from as much as the tasks themselves.
    recordBase(kTaskBaseName, GridFile::encode(m_taskBase));
    recordBase(kUnsavedName, GridFile::encode(tasks));
}

QString SharedList::recordPath(const QString& name) const
{
    const QByteArray folder = QCryptographicHash::hash(m_directory.toUtf8(), QCryptographicHash::Sha1).toHex().left(16);
    return m_recordDirectory + QStringLiteral("shared-") + QString::fromLatin1(folder) + name;
}

bool SharedList::readRecord(const QString& path, CellStore& cells, const CellStore& titles) const
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return false;
    cells.setColumnCount(titles.columnCount());
    cells.setRowCount(std::max(1, titles.rowCount()));
    try {
        GridFile::decode(cells, f.readAll());
    } catch (const AppError&) {
        return false;
    }
    return true;
}

SharedList::Read SharedList::readFile(FileState& file, QByteArray& bytes, CellStore& cells, const CellStore& titles,
                                      QString* notice)
{
    QFile f(file.path);
    // A file that vanished (a share away for a moment) is no removal of every task.
    if (!f.open(QIODevice::ReadOnly))
        return Read::Missing;
    bytes = f.readAll();
    if (file.knownValid && bytes == file.known)
        return Read::Same;
    cells.setColumnCount(titles.columnCount());
    cells.setRowCount(std::max(1, titles.rowCount()));
    if (titles.rowCount() > 0)
        cells.row(0) = titles.row(0).clone();
    try {
        GridFile::decode(cells, bytes);
    } catch (const AppError& e) {
        if (notice) {
            // What it holds may be another copy's only record of its changes.
            const QString copy = FileSafety::keepUntouchedCopy(file.path);
            *notice = e.message()
                + (copy.isEmpty() ? QStringLiteral("\n\nThe shared file \"%1\" could not be read completely, and no copy "
                                                   "of it could be made beside it.")
                                        .arg(file.path)
                                  : QStringLiteral("\n\nThe shared file \"%1\" could not be read completely. An untouched "
                                                   "copy of it was kept as \"%2\".")
                                        .arg(file.path, copy));
        }
        return Read::Damaged;
    }
    return Read::Changed;
}

bool SharedList::writeFile(FileState& file, const QByteArray& bytes, QString& error)
{
    QSaveFile out(file.path);
    if (!out.open(QIODevice::WriteOnly)) {
        error = QStringLiteral("Could not save \"%1\": %2").arg(file.path, out.errorString());
        return false;
    }
    const QString reason = FileSafety::writeAll(&out, bytes);
    if (!reason.isNull()) {
        out.cancelWriting();
        error = QStringLiteral("Could not save \"%1\": %2").arg(file.path, reason);
        return false;
    }
    if (!out.commit()) {
        error = QStringLiteral("Could not save \"%1\": %2").arg(file.path, out.errorString());
        return false;
    }
    file.known = bytes;
    file.knownValid = true;
    return true;
}

void SharedList::recordBase(const QString& name, const QByteArray& bytes)
{
    // In the list file's own form, written whole and renamed into place.
    QDir().mkpath(m_recordDirectory);
    const QString path = recordPath(name);
    QFile out(path + QStringLiteral(".new"));
    if (!out.open(QIODevice::WriteOnly) || !FileSafety::writeAll(&out, bytes).isNull()) {
        out.remove();
        return;
    }
    out.close();
    ::rename(QFile::encodeName(out.fileName()).constData(), QFile::encodeName(path).constData());
}

CellStore SharedList::mergeTasks(const CellStore& ours, const CellStore& theirs, Later later, int& conflicts)
{
    conflicts = 0;
    const Side o = sideOf(ours, false);
    const Side t = sideOf(theirs, true);
    const Side b = sideOf(m_taskBase, false);
    if (sameSide(o, b))
        return copyOf(t, ours);
    if (sameSide(t, b))
        return copyOf(o, ours);

    // Tasks alike on all three sides stay as they are; the rest go through the merge.
    QSet<QByteArrayView> involved;
    // The sides mostly hold the tasks in one order: the row after the last one found is tried
    // before the hash.
    auto find = [](const Side& side, QByteArrayView uid, int& next) {
        int at = next >= 0 && size_t(next) < side.uids.size() && side.uids[size_t(next)] == uid ? next : side.at.value(uid, -1);
        next = at < 0 ? next : at + 1;
        return at;
    };
    int nextBase = 0;
    int nextTheirs = 0;
    for (size_t i = 0; i < o.rows.size(); ++i) {
        const int bi = find(b, o.uids[i], nextBase);
        const int ti = find(t, o.uids[i], nextTheirs);
        if (bi < 0 || ti < 0 || !sameTask(ours, o.rows[i], m_taskBase, b.rows[size_t(bi)])
            || !sameTask(theirs, t.rows[size_t(ti)], m_taskBase, b.rows[size_t(bi)]))
            involved.insert(o.uids[i]);
    }
    for (size_t i = 0; i < t.rows.size(); ++i)
        if (!o.at.contains(t.uids[i]))
            involved.insert(t.uids[i]);
    auto part = [&](const Side& side) {
        std::vector<TaskRow> rows;
        for (size_t i = 0; i < side.rows.size(); ++i)
            if (involved.contains(side.uids[i]))
                rows.push_back(rowAt(*side.cells, side.rows[i], side.uids[i]));
        return rows;
    };
    const TaskListMerge merged = mergeTaskLists(part(b), part(o), part(t), later);
    conflicts = merged.conflicts;

    // Our order, theirs' new tasks on top, each conflict copy below the task it follows.
    struct Placed
    {
        int group, pos, sub;
        bool fromMerge;
        size_t index;
    };
    std::vector<Placed> placed;
    placed.reserve(o.rows.size() + merged.rows.size());
    for (size_t i = 0; i < o.rows.size(); ++i)
        if (!involved.contains(o.uids[i]))
            placed.push_back({1, int(i), 0, false, i});
    Placed last{0, -1, 0, true, 0};
    for (size_t j = 0; j < merged.rows.size(); ++j) {
        const QByteArray uid = uidOf(merged.rows[j]).toUtf8();
        if (const auto oi = o.at.constFind(uid); oi != o.at.constEnd())
            last = {1, *oi, 0, true, j};
        else if (const auto ti = t.at.constFind(uid); ti != t.at.constEnd())
            last = {0, *ti, 0, true, j};
        else
            last = {last.group, last.pos, last.sub + 1, true, j};
        placed.push_back(last);
    }
    std::stable_sort(placed.begin(), placed.end(), [](const Placed& x, const Placed& y) {
        return std::tie(x.group, x.pos, x.sub) < std::tie(y.group, y.pos, y.sub);
    });
    CellStore cells = storeFor(ours, placed.size());
    for (size_t k = 0; k < placed.size(); ++k) {
        const int r = int(k) + 1;
        if (!placed[k].fromMerge) {
            copyRow(cells, r, o, placed[k].index);
            continue;
        }
        const TaskRow& row = merged.rows[placed[k].index];
        for (int c = 0; c < TaskCol::Count; ++c)
            if (!row[size_t(c)].isEmpty())
                cells.setCell(c, r, row[size_t(c)]);
    }
    return cells;
}

SharedList::Outcome SharedList::saveMerged(FileState& file, const CellStore& ours, int lockWaitMs, const MergeSteps& steps)
{
    Outcome out;
    if (!m_lock.lock(lockWaitMs)) {
        out.status = m_lock.error().isEmpty() ? Outcome::Busy : Outcome::Failed;
        out.error = m_lock.error();
        return out;
    }
    auto release = qScopeGuard([this] { m_lock.unlock(); });

    QByteArray bytes;
    CellStore read;
    const Read state = readFile(file, bytes, read, ours, &out.notice);
    // Unchanged, gone or unreadable: the file counts as the base, and our list stands.
    CellStore result = steps.merge(state == Read::Changed ? &read : nullptr, out.conflicts);
    const bool differs = !steps.sameAsOurs(result);
    if (differs && !steps.mayChange) {
        out.status = Outcome::Deferred;
        return out;
    }
    const QByteArray written = GridFile::encode(result);
    if (state == Read::Missing || written != bytes) {
        if (!writeFile(file, written, out.error)) {
            out.status = Outcome::Failed;
            return out;
        }
    } else {
        file.known = bytes;
        file.knownValid = true;
    }
    out.stamp = fileStamp(file.path);
    if (steps.keepLock)
        release.dismiss();
    steps.agree(result);
    if (differs)
        out.cells = std::move(result);
    return out;
}

SharedList::Outcome SharedList::reloadMerged(FileState& file, const CellStore& ours, const MergeSteps& steps)
{
    Outcome out;
    QByteArray bytes;
    CellStore read;
    if (readFile(file, bytes, read, ours, nullptr) != Read::Changed)
        return out;
    CellStore result = steps.merge(&read, out.conflicts);
    // What the file holds now is agreed.
    steps.agree(read);
    file.known = bytes;
    file.knownValid = true;
    if (!steps.sameAsOurs(result))
        out.cells = std::move(result);
    return out;
}

SharedList::Outcome SharedList::saveTasks(const CellStore& tasks, bool mayChange, int lockWaitMs)
{
    return saveTasks(cloneOf(tasks), mayChange, lockWaitMs);
}

SharedList::Outcome SharedList::saveTasks(CellStore&& tasks, bool mayChange, int lockWaitMs)
{
    settleTaskOffer(true);
    // The rows handed in get the UIDs the merge gives them, so that a grid which cannot take the
    // merged rows keeps a base that names its tasks as the file does.
    std::vector<std::pair<int, QByteArray>> given;
    {
        const Side side = sideOf(tasks, false);
        if (side.uidsGiven)
            for (size_t i = 0; i < side.rows.size(); ++i)
                if (tasks.cellUtf8(TaskCol::Reserved, side.rows[i]) != side.uids[i])
                    given.emplace_back(side.rows[i], side.uids[i].toByteArray());
        writeUids(tasks, side);
    }
    const bool uidsGiven = !given.empty();
    MergeSteps steps;
    steps.merge = [&](CellStore* theirs, int& conflicts) {
        return theirs ? mergeTasks(tasks, *theirs, Later::Ours, conflicts) : copyOf(sideOf(tasks, false), tasks);
    };
    // Rows that got their UID here count as different: the grid lacks it.
    steps.sameAsOurs = [&](const CellStore& result) { return !uidsGiven && sameTaskRows(result, tasks); };
    steps.agree = [this](CellStore& result) { m_taskBase = cloneOf(result); };
    steps.mayChange = mayChange;
    Outcome out = saveMerged(m_tasksFile, tasks, lockWaitMs, steps);
    // Mostly a save merely names new tasks: the grid takes their UIDs, not a whole new list.
    if (out.cells && uidsGiven && sameTaskRows(*out.cells, tasks)) {
        out.cells.reset();
        out.uids = std::move(given);
    }
    if (out.cells || !out.uids.empty()) {
        // Refused, the rows handed in are the base, and the file holds more than they do.
        m_taskOffer = Offer{true, false, QByteArray()};
        m_taskOfferBase = std::move(tasks);
    }
    return out;
}

SharedList::Outcome SharedList::saveHistory(const CellStore& history, int lockWaitMs, bool keepLock)
{
    settleHistoryOffer(true);
    const std::vector<HistoryRow> ours = historyRows(history);
    std::vector<HistoryRow> merged;
    MergeSteps steps;
    steps.merge = [&](CellStore* theirs, int&) {
        merged = theirs ? mergeHistories(m_historyBase, ours, historyRows(*theirs)) : ours;
        return historyCells(merged, history);
    };
    steps.sameAsOurs = [&](const CellStore&) { return sameRows(merged, ours); };
    steps.agree = [&](CellStore&) { m_historyBase = std::move(merged); };
    steps.keepLock = keepLock;
    Outcome out = saveMerged(m_historyFile, history, lockWaitMs, steps);
    if (out.status == Outcome::Busy)
        out.error = QStringLiteral("Could not save \"%1\": the shared list is in use by %2.")
                        .arg(m_historyFile.path, m_lock.holderText());
    return out;
}

SharedList::Outcome SharedList::reloadTasks(const CellStore& tasks)
{
    settleTaskOffer(true);
    // Refused, the merge is undone: the old base, and the file still to be merged.
    const Offer prior{true, m_tasksFile.knownValid, m_tasksFile.known};
    MergeSteps steps;
    steps.merge = [&](CellStore* theirs, int& conflicts) {
        writeUids(*theirs, sideOf(*theirs, true));
        return mergeTasks(tasks, *theirs, Later::Theirs, conflicts);
    };
    steps.sameAsOurs = [&](const CellStore& result) { return sameTaskRows(result, tasks); };
    steps.agree = [this](CellStore& read) { m_taskOfferBase = std::exchange(m_taskBase, std::move(read)); };
    Outcome out = reloadMerged(m_tasksFile, tasks, steps);
    if (out.cells)
        m_taskOffer = prior;
    else
        m_taskOfferBase = CellStore();
    return out;
}

SharedList::Outcome SharedList::reloadHistory(const CellStore& history)
{
    settleHistoryOffer(true);
    const Offer prior{true, m_historyFile.knownValid, m_historyFile.known};
    const std::vector<HistoryRow> ours = historyRows(history);
    std::vector<HistoryRow> theirs;
    std::vector<HistoryRow> merged;
    MergeSteps steps;
    steps.merge = [&](CellStore* read, int&) {
        theirs = historyRows(*read);
        merged = mergeHistories(m_historyBase, ours, theirs);
        return historyCells(merged, history);
    };
    steps.sameAsOurs = [&](const CellStore&) { return sameRows(merged, ours); };
    steps.agree = [&](CellStore&) { m_historyOfferBase = std::exchange(m_historyBase, std::move(theirs)); };
    Outcome out = reloadMerged(m_historyFile, history, steps);
    if (out.cells)
        m_historyOffer = prior;
    else
        m_historyOfferBase.clear();
    return out;
}


void SharedList::answer(bool tasksTaken, bool historyTaken)
{
    settleTaskOffer(tasksTaken);
    settleHistoryOffer(historyTaken);
}

void SharedList::settleTaskOffer(bool taken)
{
    settleOffer(m_taskOffer, m_taskOfferBase, m_taskBase, m_tasksFile, taken);
}

void SharedList::settleHistoryOffer(bool taken)
{
    settleOffer(m_historyOffer, m_historyOfferBase, m_historyBase, m_historyFile, taken);
}

} // namespace veltry::shared
