#include "store/core/DataFiles.h"

#include "platform/core/Settings.h"
#include "platform/core/DataPaths.h"
#include "platform/core/AppError.h"
#include "store/core/Task.h"
#include "widgets/core/GridFile.h"

#include <QDir>
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

QString adoptProgramFolderFiles()
{
    if (!DataPaths::usingStandIn())
        return {};
    const QString from = DataPaths::programFileDirectory();
    const QString to = DataPaths::programDirectory();
    const QStringList names = {kTaskListFileName, kHistoryFileName};
    bool any = false;
    for (const QString& name : names) {
        if (QFile::exists(to + name))
            return {};
        any = any || QFile::exists(from + name);
    }
    if (!any)
        return {};
    QStringList failed;
    for (const QString& name : names)
        if (QFile::exists(from + name) && !QFile::copy(from + name, to + name))
            failed << name;
    if (!failed.isEmpty())
        return QStringLiteral("The program folder \"%1\" cannot be written, and \"%2\" could not be copied from it to \"%3\".")
            .arg(from, failed.join(QStringLiteral("\", \"")), to);
    return QStringLiteral("The program folder \"%1\" cannot be written, so your task list is kept in \"%2\" from now on. "
                          "The tasks of the program folder were copied there.")
        .arg(from, to);
}

QString saveUnsavedCopy(const CellStore& cells, const QString& fileName, const QDateTime& now)
{
    const QFileInfo name(fileName);
    const QString file = name.completeBaseName() + QStringLiteral("-unsaved-")
        + now.toString(QStringLiteral("yyyyMMdd-HHmmss")) + QLatin1Char('.') + name.suffix();
    for (QString dir : {DataPaths::userDataDirectory(), QDir::tempPath()}) {
        if (!dir.endsWith(QLatin1Char('/')))
            dir += QLatin1Char('/');
        QDir().mkpath(dir);
        try {
            GridFile::saveToFile(cells, dir + file);
            return dir + file;
        } catch (const AppError&) {
            // Try the next place.
        }
    }
    return {};
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
