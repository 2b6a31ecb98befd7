#pragma once

#include <QDateTime>
#include <QString>

namespace veltry {

class CellStore;
struct Settings;

// The folder both data files live in: the alternative folder when it is switched on and exists,
// otherwise the program's folder. Ends with "/".
QString dataDirectory(const Settings& settings);

// What the shared-list check compares: a file's last-modified time and its size. Comparing both
// for inequality catches writes from machines whose clocks lag and file systems with coarse times.
struct FileStamp
{
    QDateTime time;  // invalid when the file cannot be opened
    qint64 size = -1;
    bool operator==(const FileStamp& other) const { return time == other.time && size == other.size; }
    bool operator!=(const FileStamp& other) const { return !(*this == other); }
};

FileStamp fileStamp(const QString& path);

// When the program's folder cannot be written, the user's data folder stands in for it. A task
// list and history kept in the program's folder are copied there the first time (when the
// stand-in holds neither), so the tasks do not look gone. Returns what to tell the user, empty
// when nothing was copied.
QString adoptProgramFolderFiles();

// The last resort when a data file cannot be saved at the program's end: `cells` written whole
// to a new file named after `fileName` ("veltlist.vlp" gives
// "veltlist-unsaved-<date>-<time>.vlp") in the user's data folder, or in the temporary folder
// when that cannot be written either. Returns the file's path; empty when no copy could be made.
QString saveUnsavedCopy(const CellStore& cells, const QString& fileName, const QDateTime& now);
// The file's last-modified time; an invalid time (the zero value) when it cannot be opened.
QDateTime FileTime(const QString& path);

// The recorded stamps of the task list and history files, so a copy reloads what another running
// copy wrote but never its own saves.
class DataFileWatch
{
public:
    void RecordFileTimes(const QString& directory);
    void recordTaskList(const QString& directory);
    void recordHistory(const QString& directory);
    // True when the file differs from what was recorded; the new stamp is then recorded.
    bool taskListChanged(const QString& directory);
    bool historyChanged(const QString& directory);

    // A stamp taken elsewhere, where the file was known to be as this copy left it.
    void setTaskListStamp(const FileStamp& stamp) { m_taskList = stamp; }
    void setHistoryStamp(const FileStamp& stamp) { m_history = stamp; }
    const FileStamp& taskListStamp() const { return m_taskList; }
    const FileStamp& historyStamp() const { return m_history; }

private:
    static bool changed(FileStamp& recorded, const QString& path);
    FileStamp m_taskList;
    FileStamp m_history;
};

} // namespace veltry
