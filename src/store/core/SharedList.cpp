#include "store/core/SharedList.h"

#include "platform/core/AppError.h"
#include "platform/core/DataPaths.h"
#include "platform/core/FileSafety.h"
#include "sync/core/SyncState.h"
#include "widgets/core/GridFile.h"

#include <QFile>
#include <QSaveFile>
#include <QScopeGuard>
#include <array>
#include <tuple>

namespace veltry::shared {

namespace {

using sync::uidOf;

const QString kLockFileName = QStringLiteral("veltlist.lock");
const QString kTaskBaseName = QStringLiteral("shared-list.dat");
const QString kHistoryBaseName = QStringLiteral("shared-log.dat");

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

CellStore SharedList::taskCells(const std::vector<TaskRow>& rows, const CellStore& titles)
{
    return cellsOf(rows, titles);
}

CellStore SharedList::historyCells(const std::vector<HistoryRow>& rows, const CellStore& titles)
{
    return cellsOf(rows, titles);
}

void SharedList::agree(CellStore& tasks, const CellStore& history)
{
    std::vector<int> at;
    m_taskBase = rowsOf<TaskRow>(tasks, &at);
    if (giveFileUids(m_taskBase) > 0)
        for (size_t i = 0; i < at.size(); ++i)
            if (tasks.cell(TaskCol::Reserved, at[i]) != uidOf(m_taskBase[i]))
                tasks.setCell(TaskCol::Reserved, at[i], uidOf(m_taskBase[i]));
    m_historyBase = historyRows(history);
    for (FileState* file : {&m_tasksFile, &m_historyFile}) {
        QFile f(file->path);
        file->knownValid = f.open(QIODevice::ReadOnly);
        file->known = file->knownValid ? f.readAll() : QByteArray();
    }
    recordBase(true);
    recordBase(false);
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
    for (int c = 0; c < titles.columnCount() && titles.rowCount() > 0; ++c)
        cells.setCellUtf8(c, 0, titles.cellUtf8(c, 0));
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

void SharedList::recordBase(bool tasks)
{
    // The calendar sync's record: the agreed rows by UID (the history's by position), under the
    // file they were agreed with.
    sync::SyncState record;
    record.account = tasks ? m_tasksFile.path : m_historyFile.path;
    if (tasks) {
        record.agreed.reserve(qsizetype(m_taskBase.size()));
        for (size_t i = 0; i < m_taskBase.size(); ++i)
            record.agreed.insert(uidOf(m_taskBase[i]),
                                 sync::Agreed{QString::number(i), QByteArray(), m_taskBase[i], QByteArray(), false});
    } else {
        for (size_t i = 0; i < m_historyBase.size(); ++i) {
            TaskRow cells;
            std::copy(m_historyBase[i].begin(), m_historyBase[i].end(), cells.begin());
            record.agreed.insert(QString::number(i), sync::Agreed{QString::number(i), QByteArray(), cells, QByteArray(), false});
        }
    }
    try {
        record.save(m_recordDirectory + (tasks ? kTaskBaseName : kHistoryBaseName));
    } catch (const AppError&) {
        // The base is also in memory; without the record only a restart compares afresh.
    }
}

SharedList::Outcome SharedList::saveTasks(const CellStore& tasks, bool mayChange, int lockWaitMs)
{
    Outcome out;
    std::vector<TaskRow> ours = taskRows(tasks);
    const int given = sync::assignUids(ours, &sync::makeUid);  // new tasks get theirs here
    if (!m_lock.lock(lockWaitMs)) {
        out.status = m_lock.error().isEmpty() ? Outcome::Busy : Outcome::Failed;
        out.error = m_lock.error();
        return out;
    }
    const auto release = qScopeGuard([this] { m_lock.unlock(); });

    QByteArray bytes;
    CellStore read;
    std::vector<TaskRow> theirs;
    const Read state = readFile(m_tasksFile, bytes, read, tasks, &out.notice);
    const bool fileChanged = state == Read::Changed;
    if (fileChanged) {
        theirs = taskRows(read);
        giveFileUids(theirs);
    }
    TaskListMerge merged = fileChanged ? mergeTaskLists(m_taskBase, ours, theirs, Later::Ours) : TaskListMerge{ours, 0};
    const bool differs = given > 0 || !sameRows(merged.rows, ours);
    if (differs && !mayChange) {
        out.status = Outcome::Deferred;
        return out;
    }
    CellStore result = taskCells(merged.rows, tasks);
    const QByteArray written = GridFile::encode(result);
    if (state == Read::Missing || written != bytes) {
        if (!writeFile(m_tasksFile, written, out.error)) {
            out.status = Outcome::Failed;
            return out;
        }
    } else {
        m_tasksFile.known = bytes;
        m_tasksFile.knownValid = true;
    }
    m_taskBase = std::move(merged.rows);
    recordBase(true);
    out.conflicts = merged.conflicts;
    if (differs)
        out.cells = std::move(result);
    return out;
}

SharedList::Outcome SharedList::saveHistory(const CellStore& history, int lockWaitMs)
{
    Outcome out;
    const std::vector<HistoryRow> ours = historyRows(history);
    if (!m_lock.lock(lockWaitMs)) {
        out.status = m_lock.error().isEmpty() ? Outcome::Busy : Outcome::Failed;
        out.error = m_lock.error().isEmpty()
            ? QStringLiteral("Could not save \"%1\": the shared list is in use by %2.").arg(m_historyFile.path, m_lock.holderText())
            : m_lock.error();
        return out;
    }
    const auto release = qScopeGuard([this] { m_lock.unlock(); });

    QByteArray bytes;
    CellStore read;
    const Read state = readFile(m_historyFile, bytes, read, history, &out.notice);
    std::vector<HistoryRow> merged = state == Read::Changed ? mergeHistories(m_historyBase, ours, historyRows(read)) : ours;
    const bool differs = !sameRows(merged, ours);
    CellStore result = historyCells(merged, history);
    const QByteArray written = GridFile::encode(result);
    if (state == Read::Missing || written != bytes) {
        if (!writeFile(m_historyFile, written, out.error)) {
            out.status = Outcome::Failed;
            return out;
        }
    } else {
        m_historyFile.known = bytes;
        m_historyFile.knownValid = true;
    }
    m_historyBase = std::move(merged);
    recordBase(false);
    if (differs)
        out.cells = std::move(result);
    return out;
}

SharedList::Outcome SharedList::reloadTasks(const CellStore& tasks)
{
    Outcome out;
    QByteArray bytes;
    CellStore read;
    if (readFile(m_tasksFile, bytes, read, tasks, nullptr) != Read::Changed)
        return out;
    std::vector<TaskRow> theirs = taskRows(read);
    giveFileUids(theirs);
    std::vector<TaskRow> ours = taskRows(tasks);
    const int given = sync::assignUids(ours, &sync::makeUid);
    TaskListMerge merged = mergeTaskLists(m_taskBase, ours, theirs, Later::Theirs);
    m_taskBase = std::move(theirs);
    m_tasksFile.known = bytes;
    m_tasksFile.knownValid = true;
    recordBase(true);
    out.conflicts = merged.conflicts;
    if (given > 0 || !sameRows(merged.rows, ours))
        out.cells = taskCells(merged.rows, tasks);
    return out;
}

SharedList::Outcome SharedList::reloadHistory(const CellStore& history)
{
    Outcome out;
    QByteArray bytes;
    CellStore read;
    if (readFile(m_historyFile, bytes, read, history, nullptr) != Read::Changed)
        return out;
    std::vector<HistoryRow> theirs = historyRows(read);
    const std::vector<HistoryRow> ours = historyRows(history);
    std::vector<HistoryRow> merged = mergeHistories(m_historyBase, ours, theirs);
    m_historyBase = std::move(theirs);
    m_historyFile.known = bytes;
    m_historyFile.knownValid = true;
    recordBase(false);
    if (!sameRows(merged, ours))
        out.cells = historyCells(merged, history);
    return out;
}

} // namespace veltry::shared
