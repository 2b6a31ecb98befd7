#include "platform/core/AppError.h"
#include "store/core/TaskListSaver.h"
#include "widgets/core/GridFile.h"

#include <QTemporaryDir>
#include <QTest>
#include <chrono>
#include <thread>

using namespace veltry;

namespace {
CellStore version(int n)
{
    CellStore s;
    s.setColumnCount(2);
    s.setRowCount(1);
    s.setCell(1, 0, QString::number(n));
    return s;
}
int versionIn(const QString& path)
{
    CellStore s;
    GridFile::loadFromFile(s, path);
    return s.cell(1, 0).toInt();
}
} // namespace

class TestTaskListSaver : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    // Many quick saves, a save in flight at the end, and a failing save, against one slow disk.
    void lastStateReachesTheFile()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("list.vlp"));
        const QString bad = dir.filePath(QStringLiteral("missing/list.vlp"));
        std::vector<int> written;
        TaskListSaver saver({}, [&](const CellStore& cells, const QString& to) {
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
            GridFile::saveToFile(cells, to);
            written.push_back(cells.cell(1, 0).toInt());
        });
        for (int n = 1; n <= 30; ++n)
            saver.request(version(n), path);
        saver.waitUntilIdle();
        QCOMPARE(versionIn(path), 30);
        QVERIFY(written.size() < 30);  // the waiting ones were taken together
        QVERIFY(std::is_sorted(written.begin(), written.end()));
        QVERIFY(saver.takeResults().back().saved);

        // The end comes while one save runs and another waits: the caller's own last write stays.
        saver.request(version(31), path);
        saver.request(version(32), path);
        saver.settle(path);
        GridFile::saveToFile(version(33), path);
        saver.waitUntilIdle();
        QCOMPARE(versionIn(path), 33);

        saver.takeResults();
        saver.request(version(34), bad);
        saver.request(version(35), path);
        saver.waitUntilIdle();
        const std::vector<TaskListSaver::Result> results = saver.takeResults();
        QCOMPARE(results.size(), size_t(2));
        QVERIFY(!results[0].saved);
        QVERIFY(results[0].error.contains(bad));
        QVERIFY(results[1].saved);
        QCOMPARE(versionIn(path), 35);
    }
};

QTEST_GUILESS_MAIN(TestTaskListSaver)
#include "tst_tasklistsaver.moc"
