#include "platform/core/AppError.h"
#include "store/core/TaskListSaver.h"
#include "widgets/core/GridFile.h"

#include <QTemporaryDir>
#include <QTest>
#include <atomic>
#include <chrono>
#include <random>
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
QByteArray bytesOf(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
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

    // Random changes of every kind, the store replaced or handed out now and then, saves asked at
    // random points against a disk slow at times: the file is always the list as last asked.
    void followedListReachesTheFile()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("list.vlp"));
        std::atomic<int> delayUs{0};
        TaskListSaver saver({}, [&](const CellStore& cells, const QString& to) {
            std::this_thread::sleep_for(std::chrono::microseconds(delayUs.load()));
            GridFile::saveToFile(cells, to);
        });
        std::mt19937 rnd(37);
        auto pick = [&](int n) { return int(rnd() % unsigned(n)); };
        const QByteArray texts[] = {"", "Buy milk", "\xc3\xa9t\xc3\xa9 \xe2\x82\xac", "two\r\nlines", QByteArray(1500, 'x')};
        auto text = [&]() -> QByteArray { return texts[pick(5)] + QByteArray::number(pick(100)); };
        CellStore live;
        live.setColumnCount(4);
        live.setRowCount(6);
        QByteArray expected;
        for (int step = 0; step < 8000; ++step) {
            const int rows = live.rowCount() + 2;
            switch (pick(13)) {
            case 0: case 1: case 2: live.setCellUtf8(pick(6) - 1, pick(rows) - 1, text()); break;
            case 3: live.insertRows(pick(rows) - 1, pick(3)); break;
            case 4: live.removeRows(pick(rows) - 1, pick(3)); break;
            case 5: live.clearRows(pick(rows) - 1, pick(3)); break;
            case 6: live.swapRows(pick(rows), pick(rows)); break;
            case 7: live.setRowCount(pick(30)); break;
            case 8: live.setColumnCount(1 + pick(6)); break;
            case 9: if (pick(10) == 0) live.clearAllCells(); break;
            case 10: live.setCellImage(pick(4), pick(rows), TCellGraphic{}); break;
            case 11:
                if (live.rowCount() > 0) {
                    const int r = pick(live.rowCount());
                    (pick(2) ? live.row(r) : live.rows()[size_t(r)]).setCell(pick(4), text());
                }
                break;
            case 12: {
                CellStore other = TaskListSaver::snapshot(live);
                other.setCellUtf8(0, 0, text());
                live = std::move(other);
                break;
            }
            }
            if (pick(step % 2000 < 1000 ? 4 : 300) == 0) {  // at times many changes between saves
                saver.requestFollowing(live, path);
                expected = GridFile::encode(live);
            }
            if (pick(100) == 0)
                saver.prepareFollowing(live);
            if (pick(60) == 0) {
                saver.request(TaskListSaver::snapshot(live), path);
                expected = GridFile::encode(live);
            }
            if (pick(300) == 0) {  // the end: the caller's own last write
                saver.settle(path);
                GridFile::saveToFile(live, path);
                expected = GridFile::encode(live);
            }
            if (pick(100) == 0)
                delayUs = pick(2) * 3000;
            if (pick(40) == 0) {
                saver.waitUntilIdle();
                QCOMPARE(bytesOf(path), expected);
            }
        }
        saver.waitUntilIdle();
        QCOMPARE(bytesOf(path), expected);
        for (const TaskListSaver::Result& r : saver.takeResults())
            QVERIFY(r.saved);
    }
};

QTEST_GUILESS_MAIN(TestTaskListSaver)
#include "tst_tasklistsaver.moc"
