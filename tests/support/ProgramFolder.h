#pragma once

// What the window tests share: a throw-away program folder and the fixed texts of a task list.
// Header-only, so only the tests that link the whole program pull in its seams.

#include "platform/core/Settings.h"
#include "platform/MessageBox.h"
#include "platform/core/ConfigStore.h"
#include "platform/core/DataPaths.h"
#include "store/core/TaskListSaver.h"

#include <QByteArray>
#include <QFile>
#include <QString>
#include <QTemporaryDir>

namespace veltry::test {

// Row 0 of a task list file, spelled out rather than taken from the program, so a changed
// title shows up as a failing comparison.
inline const QByteArray kTaskTitleLines = "1,0,Task\r\n2,0,Due On\r\n3,0,Due At\r\n4,0,Category\r\n5,0,Pr\r\n"
                                          "6,0,Notes\r\n7,0,Create Date\r\n8,0,Alarm\r\n9,0,Lead Time\r\n"
                                          "10,0,Type\r\n";

// The start of a task list file: the size line (twelve columns, `rowCount` rows with the title
// row) and the title lines.
inline QByteArray taskListHeader(qsizetype rowCount)
{
    return "12," + QByteArray::number(rowCount) + "\r\n" + kTaskTitleLines;
}

// Where the program keeps its settings in the settings store.
inline const QString kSettingsKey = SettingsIO::kRoot + QLatin1Char('\\') + SettingsIO::kKey;

// A missing or unreadable file reads as empty. The task list is saved off the window's thread:
// what was asked for is read.
inline QByteArray readAll(const QString& path)
{
    TaskListSaver::waitForAll();
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// Written as another copy would, after this copy's saves asked so far have landed.
[[nodiscard]] inline bool writeAll(const QString& path, const QByteArray& bytes)
{
    TaskListSaver::waitForAll();
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size();
}

// A fresh, empty folder that the program takes as its own, with the settings started from
// nothing and message boxes recorded instead of shown. The override outlives the object; the
// next test's folder replaces it.
class ProgramFolder final
{
public:
    ProgramFolder()
    {
        DataPaths::setProgramDirectoryOverride(m_dir.path());
        QFile::remove(ConfigStore::shared().filePath());
        ConfigStore::shared().reload();
        MessageBox::setTestMode(true);
        MessageBox::clearShownTexts();
    }
    Q_DISABLE_COPY_MOVE(ProgramFolder)

    QString path() const { return m_dir.path(); }
    // With a trailing "/", as the program's own folder names are.
    QString dir() const { return m_dir.path() + QLatin1Char('/'); }
    QString filePath(const QString& name) const { return dir() + name; }
    QByteArray read(const QString& name) const { return readAll(filePath(name)); }
    [[nodiscard]] bool write(const QString& name, const QByteArray& bytes) const
    {
        return writeAll(filePath(name), bytes);
    }

private:
    QTemporaryDir m_dir;
};

} // namespace veltry::test
