#include "store/core/DataFiles.h"

#include "config/core/Settings.h"
#include "platform/core/DataPaths.h"
#include "store/core/Task.h"

#include <QFile>
#include <QFileInfo>

namespace veltry {

QString dataDirectory(const Settings& settings)
{
    if (settings.UseAltDirPath && !settings.AltDirPath.isEmpty() && QFileInfo(settings.AltDirPath).isDir()) {
        QString dir = settings.AltDirPath;
        if (!dir.endsWith(QLatin1Char('/')))
            dir += QLatin1Char('/');
        return dir;
    }
    return DataPaths::programDirectory();
}

FileStamp fileStamp(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    FileStamp stamp;
    stamp.time = file.fileTime(QFileDevice::FileModificationTime);
    stamp.size = file.size();
    return stamp;
}

QDateTime FileTime(const QString& path)
{
    return fileStamp(path).time;
}

void DataFileWatch::RecordFileTimes(const QString& directory)
{
    recordTaskList(directory);
    recordHistory(directory);
}

void DataFileWatch::recordTaskList(const QString& directory)
{
    m_taskList = fileStamp(directory + kTaskListFileName);
}

void DataFileWatch::recordHistory(const QString& directory)
{
    m_history = fileStamp(directory + kHistoryFileName);
}

bool DataFileWatch::changed(FileStamp& recorded, const QString& path)
{
    const FileStamp now = fileStamp(path);
    // A file that vanished is not a change to load.
    if (now.size < 0 || now == recorded)
        return false;
    recorded = now;
    return true;
}

bool DataFileWatch::taskListChanged(const QString& directory)
{
    return changed(m_taskList, directory + kTaskListFileName);
}

bool DataFileWatch::historyChanged(const QString& directory)
{
    return changed(m_history, directory + kHistoryFileName);
}

} // namespace veltry
