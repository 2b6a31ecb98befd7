#pragma once

#include "store/core/DataFiles.h"
#include "store/core/SharedFileLock.h"
#include "store/core/SharedMerge.h"
#include "widgets/core/CellStore.h"

#include <QByteArray>
#include <QString>
#include <functional>
#include <optional>
#include <vector>

namespace veltry::shared {

// The task list and history files of a folder that several copies share. A save is a merge under
// the folder's lock: the file as it is now, this copy's list and the base (the list as last agreed
// with the file) meet three ways, and the result replaces the file whole. A reload merges the
// file into this copy's list the same way, so unsaved check marks stay. The base is kept in
// memory; when the list cannot reach the file at the end, it goes to the user's data folder with
// the base, and the next start merges it.
class SharedList
{
public:
    // `recordDirectory` ends with "/"; empty: the user's data folder.
    explicit SharedList(const QString& directory, const QString& recordDirectory = QString());

    const QString& directory() const { return m_directory; }
    SharedFileLock& fileLock() { return m_lock; }

    struct Outcome
    {
        enum Status { Done, Busy, Deferred, Failed };
        Status status = Done;
        // The merged list or history, when it differs from what was handed in; the caller shows
        // it. Rows that got their UID here count as different.
        std::optional<CellStore> cells;
        // A save that only gave tasks their UIDs: the rows that got one and what they got, for
        // the grid to take without its rows being replaced.
        std::vector<std::pair<int, QByteArray>> uids;
        int conflicts = 0;
        QString error;   // Failed: the file and the reason
        QString notice;  // a damaged file kept aside: what to tell the user
        FileStamp stamp;  // a save that went through: the file as this copy left it, under the lock
    };

    // After the files were read into the grids (start, a new folder): what they hold is agreed.
    // Rows without a UID get theirs, in `tasks` too. Changes kept by keepUnsaved() at this
    // copy's last end are merged with them: the list to show and save at once.
    std::optional<CellStore> agree(CellStore& tasks, const CellStore& history);
    // The end came and the list could not reach the file: it is kept beside the base, so the
    // next start merges it.
    void keepUnsaved(const CellStore& tasks);

    // Saves `tasks` merged with the file. Waits up to `lockWaitMs` for the lock (Busy when it
    // stays held). When the result differs from `tasks` and `mayChange` is false, nothing is
    // written (Deferred): the caller tries again when it can take the merged list.
    Outcome saveTasks(const CellStore& tasks, bool mayChange, int lockWaitMs);
    // The same with rows of the caller's own (a snapshot), which get their UIDs in place.
    Outcome saveTasks(CellStore&& tasks, bool mayChange, int lockWaitMs);
    // With `keepLock` the lock stays held after a save that went through, so that the task list's
    // save that follows (logging) reaches the file before any other copy reads either; the
    // caller lets go with fileLock().unlock().
    Outcome saveHistory(const CellStore& history, int lockWaitMs, bool keepLock = false);

    // Merges what another copy wrote into `tasks` / `history`; the file's text stands where both
    // changed a column. An unreadable file (being written by an older edition) is left for the
    // next check. The caller holds the lock around both, so it reads no half-done logging.
    Outcome reloadTasks(const CellStore& tasks);
    Outcome reloadHistory(const CellStore& history);

    // Whether the grid took the rows the last save or reload handed back (Outcome::cells or
    // Outcome::uids). A
    // grid changed since its rows were handed in (the merge ran elsewhere meanwhile) cannot:
    // what it holds then derives from the rows it handed in, not from the merged ones, and the
    // next merge must start from those or it would take the other copies' changes for ours
    // undone. Unanswered by the next save or reload, the rows count as taken.
    void answer(bool tasksTaken, bool historyTaken = true);

    // The rows of a grid's cell store (the title row and empty rows are none), and back.
    static std::vector<TaskRow> taskRows(const CellStore& cells);
    static std::vector<HistoryRow> historyRows(const CellStore& cells);
    static CellStore historyCells(const std::vector<HistoryRow>& rows, const CellStore& titles);

private:
    struct FileState
    {
        QString path;
        QByteArray known;  // the bytes last read from or written to the file
        bool knownValid = false;
    };
    enum class Read { Same, Missing, Damaged, Changed };
    // What the task list and the history each bring to the one frame of a save or a reload.
    struct MergeSteps
    {
        // Ours merged with the file's cells (none: the file is unchanged, gone or unreadable).
        std::function<CellStore(CellStore* theirs, int& conflicts)> merge;
        std::function<bool(const CellStore& result)> sameAsOurs;
        // Keeps what is agreed with the file now: the result of a save, the file's cells at a reload.
        std::function<void(CellStore& agreed)> agree;
        bool mayChange = true;   // a save that would change ours is put off (Deferred) when false
        bool keepLock = false;   // the lock stays held after a save that went through
    };
    // The lock, the file as it is now, the merge when another copy changed it, and the result
    // written whole when it differs from the file.
    Outcome saveMerged(FileState& file, const CellStore& ours, int lockWaitMs, const MergeSteps& steps);
    // The file merged into ours when another copy changed it.
    Outcome reloadMerged(FileState& file, const CellStore& ours, const MergeSteps& steps);
    Read readFile(FileState& file, QByteArray& bytes, CellStore& cells, const CellStore& titles, QString* notice);
    bool writeFile(FileState& file, const QByteArray& bytes, QString& error);
    // Keeps a list's bytes beside this copy's settings, under the shared folder's name.
    void recordBase(const QString& name, const QByteArray& bytes);
    QString recordPath(const QString& name) const;
    bool readRecord(const QString& path, CellStore& cells, const CellStore& titles) const;
    // The task lists meet three ways; only the tasks that differ anywhere go through the merge,
    // the others are copied as they are. `ours` may lack UIDs; `theirs` has them.
    CellStore mergeTasks(const CellStore& ours, const CellStore& theirs, Later later, int& conflicts);

    // What a refused answer puts back: the base the grid's rows derive from, and the file's
    // bytes as known with it (none: the file is read afresh at the next merge).
    struct Offer
    {
        bool pending = false;
        bool knownValid = false;
        QByteArray known;
    };
    Offer m_taskOffer;
    CellStore m_taskOfferBase;
    Offer m_historyOffer;
    std::vector<HistoryRow> m_historyOfferBase;
    void settleTaskOffer(bool taken);
    void settleHistoryOffer(bool taken);

    QString m_directory;
    QString m_recordDirectory;
    SharedFileLock m_lock;
    FileState m_tasksFile;
    FileState m_historyFile;
    CellStore m_taskBase;  // rows with their UIDs, as last agreed with the file
    std::vector<HistoryRow> m_historyBase;
};

} // namespace veltry::shared
