#include "platform/core/Settings.h"
#include "platform/core/DataPaths.h"
#include "store/core/DataFiles.h"
#include "store/core/Task.h"
#include "widgets/core/CellStore.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

using namespace veltry;

namespace {
void write(const QString& path, const QByteArray& bytes, const QDateTime& time)
{
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write(bytes);
    f.flush();  // a later flush would stamp the file with the present time
    f.setFileTime(time, QFileDevice::FileModificationTime);
    f.close();
}
} // namespace

class TestDataFiles : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void dataDirectoryChoice()
    {
        QTemporaryDir program;
        QTemporaryDir alt;
        DataPaths::setProgramDirectoryOverride(program.path());
        Settings s;
        QCOMPARE(dataDirectory(s), program.path() + QLatin1Char('/'));
        s.UseAltDirPath = true;
        s.AltDirPath = alt.path() + QLatin1Char('/');
        QCOMPARE(dataDirectory(s), alt.path() + QLatin1Char('/'));
        s.AltDirPath = QStringLiteral("/no/such/dir/");
        QCOMPARE(dataDirectory(s), program.path() + QLatin1Char('/'));
        s.UseAltDirPath = false;
        s.AltDirPath = alt.path() + QLatin1Char('/');
        QCOMPARE(dataDirectory(s), program.path() + QLatin1Char('/'));
        DataPaths::setProgramDirectoryOverride(QString());
    }

    void unwritableProgramFolderUsesStandIn()
    {
        DataPaths::setProgramDirectoryOverride(QStringLiteral("/proc/"));
        QVERIFY(DataPaths::usingStandIn());
        QCOMPARE(DataPaths::programDirectory(), qEnvironmentVariable("XDG_DATA_HOME") + QStringLiteral("/veltry/"));
        QVERIFY(QDir(DataPaths::programDirectory()).exists());
        DataPaths::setProgramDirectoryOverride(QString());
    }

    // At the end, with the list's folder and the user's data folder both unwritable, the tasks
    // still reach a file: in the temporary folder.
    void unsavedCopyFallsBackToTheTemporaryFolder()
    {
        QString data = DataPaths::userDataDirectory();
        if (data.endsWith(QLatin1Char('/')))
            data.chop(1);
        QVERIFY(QDir(data).removeRecursively());
        // A file where the folder belongs: nothing goes in there, not even for the superuser.
        write(data, "not a folder", QDateTime::currentDateTime());
        QTemporaryDir temporary;
        const QByteArray oldTmp = qgetenv("TMPDIR");
        qputenv("TMPDIR", QFile::encodeName(temporary.path()));
        CellStore cells;
        cells.setColumnCount(TaskCol::Count);
        cells.setRowCount(3);
        cells.setCell(TaskCol::Task, 1, QStringLiteral("precious"));
        cells.setCell(TaskCol::Task, 2, QStringLiteral("also kept"));
        const QString copy = saveUnsavedCopy(cells, kTaskListFileName, QDateTime(QDate(2026, 12, 7), QTime(10, 0, 5)));
        qputenv("TMPDIR", oldTmp);
        QFile::remove(data);
        QVERIFY(QDir().mkpath(data));
        QCOMPARE(copy, temporary.filePath(QStringLiteral("veltlist-unsaved-20261207-100005.vlp")));
        QFile f(copy);
        QVERIFY(f.open(QIODevice::ReadOnly));
        const QByteArray bytes = f.readAll();
        QVERIFY(bytes.contains("1,1,precious\r\n"));
        QVERIFY(bytes.contains("1,2,also kept\r\n"));
    }

    void changeDetection()
    {
        QTemporaryDir dir;
        const QString d = dir.path() + QLatin1Char('/');
        const QDateTime t0 = QDateTime::currentDateTime().addSecs(-3600);
        write(d + kTaskListFileName, "12,2\r\n", t0);
        write(d + kHistoryFileName, "7,2\r\n", t0);
        DataFileWatch watch;
        watch.RecordFileTimes(d);
        QVERIFY(!watch.taskListChanged(d));
        QVERIFY(!watch.historyChanged(d));

        // Same time, other size: another machine's write on a coarse clock.
        write(d + kTaskListFileName, "12,3\r\n1,2,x\r\n", t0);
        QVERIFY(watch.taskListChanged(d));
        QVERIFY(!watch.taskListChanged(d));  // recorded once seen
        // Earlier time, same size: a lagging clock.
        write(d + kHistoryFileName, "7,3\r\n", t0.addSecs(-600));
        QVERIFY(watch.historyChanged(d));
        // The program's own save, recorded right after, is no change.
        write(d + kTaskListFileName, "12,2\r\n", QDateTime::currentDateTime());
        watch.recordTaskList(d);
        QVERIFY(!watch.taskListChanged(d));
        // A file that disappears is nothing to load.
        QFile::remove(d + kTaskListFileName);
        QVERIFY(!watch.taskListChanged(d));
        QVERIFY(!FileTime(d + kTaskListFileName).isValid());
    }
};

QTEST_GUILESS_MAIN(TestDataFiles)
#include "tst_datafiles.moc"
