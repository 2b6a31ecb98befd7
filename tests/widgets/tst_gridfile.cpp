#include "platform/core/AppError.h"
#include "widgets/core/CellStore.h"
#include "widgets/core/GridFile.h"

#include "DamagedFiles.h"

#include <QDir>
#include <QFile>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTest>
#include <cerrno>
#include <cstring>
#include <memory>
#include <vector>

using namespace veltry;

namespace {
QByteArray crlf(std::initializer_list<const char*> lines)
{
    QByteArray out;
    for (const char* l : lines)
        out += QByteArray(l) + "\r\n";
    return out;
}

CellStore taskStore(int rows)
{
    CellStore s;
    s.setColumnCount(12);
    s.setRowCount(rows);
    const char* titles[] = {"", "Task", "Due On", "Due At", "Category", "Pr", "Notes", "Create Date", "Alarm", "Lead Time", "Type", ""};
    for (int c = 0; c < 12; ++c)
        s.setCell(c, 0, QString::fromLatin1(titles[c]));
    return s;
}

// A disk that takes `room` bytes and then reports itself full.
class FillingDevice final : public QIODevice
{
public:
    explicit FillingDevice(qint64 room) : m_room(room) {}

protected:
    qint64 readData(char*, qint64) override { return -1; }
    qint64 writeData(const char*, qint64 len) override
    {
        if (m_room == 0) {
            setErrorString(QString::fromLocal8Bit(std::strerror(ENOSPC)));
            return -1;
        }
        const qint64 n = std::min(len, m_room);
        m_room -= n;
        return n;
    }

private:
    qint64 m_room;
};

const QByteArray kTitleLines = crlf({"1,0,Task", "2,0,Due On", "3,0,Due At", "4,0,Category", "5,0,Pr", "6,0,Notes",
                                     "7,0,Create Date", "8,0,Alarm", "9,0,Lead Time", "10,0,Type"});
} // namespace

class TestGridFile : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void emptyListIsHeaderAndTitles()
    {
        CellStore s = taskStore(2);
        QCOMPARE(GridFile::encode(s), QByteArray("12,2\r\n") + kTitleLines);
    }

    void exampleTaskBytes()
    {
        CellStore s = taskStore(2);
        s.setCell(0, 1, QStringLiteral(" "));
        s.setCell(1, 1, QStringLiteral("Call the bank"));
        s.setCell(5, 1, QString(QChar(0xA0)));
        s.setCell(6, 1, QStringLiteral("line one\r\nline two"));
        s.setCell(7, 1, QStringLiteral("12/7/26"));
        s.setCell(10, 1, QStringLiteral("0"));
        const QByteArray expected = QByteArray("12,2\r\n") + kTitleLines
            + crlf({"0,1, ", "1,1,Call the bank", "5,1,\xA0", "6,1,line one\t\bline two", "7,1,12/7/26", "10,1,0"});
        QCOMPARE(GridFile::encode(s), expected);
        CellStore back;
        GridFile::decode(back, expected);
        QCOMPARE(back.columnCount(), 12);
        QCOMPARE(back.rowCount(), 2);
        for (int c = 0; c < 12; ++c)
            for (int r = 0; r < 2; ++r)
                QCOMPARE(back.cell(c, r), s.cell(c, r));
    }

    void cellTexts_data()
    {
        QTest::addColumn<QString>("written");
        QTest::addColumn<QString>("readBack");
        QTest::newRow("commas") << QStringLiteral("a, b,, c,") << QStringLiteral("a, b,, c,");
        QTest::newRow("cr lf") << QStringLiteral("a\r\nb") << QStringLiteral("a\r\nb");
        QTest::newRow("tab reads as cr") << QStringLiteral("a\tb") << QStringLiteral("a\rb");
        QTest::newRow("bs reads as lf") << QStringLiteral("a\bb") << QStringLiteral("a\nb");
        QTest::newRow("windows-1252") << QStringLiteral("caf\u00e9 \u20ac \u201cq\u201d") << QStringLiteral("caf\u00e9 \u20ac \u201cq\u201d");
        QTest::newRow("beyond the code page") << QStringLiteral("\u65e5\u672c \u00e9") << QStringLiteral("\u65e5\u672c \u00e9");
        QTest::newRow("ctrl-z dropped") << QStringLiteral("a\x1A" "b") << QStringLiteral("ab");
    }
    void cellTexts()
    {
        QFETCH(QString, written);
        QFETCH(QString, readBack);
        CellStore s = taskStore(3);
        s.setCell(1, 1, written);
        s.setCell(1, 2, QStringLiteral("after"));
        CellStore back;
        GridFile::decode(back, GridFile::encode(s));
        QCOMPARE(back.cell(1, 1), readBack);
        QCOMPARE(back.cell(1, 2), QStringLiteral("after"));
    }

    void encodingChoice()
    {
        CellStore s = taskStore(2);
        s.setCell(1, 1, QStringLiteral("\u00e9"));
        QByteArray bytes = GridFile::encode(s);
        QVERIFY(!bytes.startsWith("\xEF\xBB\xBF"));
        QVERIFY(bytes.contains("1,1,\xE9\r\n"));
        s.setCell(4, 1, QStringLiteral("\u0416"));
        bytes = GridFile::encode(s);
        QVERIFY(bytes.startsWith("\xEF\xBB\xBF" "12,2\r\n"));
        QVERIFY(bytes.contains("1,1,\xC3\xA9\r\n"));
    }

    void lineReading()
    {
        CellStore s;
        // LF alone does not end a line; a later line for a cell wins; a Ctrl-Z as the very last
        // byte is an old editor's end mark.
        GridFile::decode(s, QByteArray("3,2\r\n1,1,a\nb\r\n0,1,x\r\n0,1,y\r\n1,0,t\r\n\x1A"));
        QCOMPARE(s.columnCount(), 3);
        QCOMPARE(s.rowCount(), 2);
        QCOMPARE(s.cell(1, 1), QStringLiteral("a\nb"));
        QCOMPARE(s.cell(0, 1), QStringLiteral("y"));
        QCOMPARE(s.cell(1, 0), QStringLiteral("t"));
        QVERIFY(s.cell(2, 1).isEmpty());
    }

    // A file that stops early is never taken as whole: the load throws after the lines before
    // the damage, drops the rows no line reached and keeps the titles the file did not reach.
    void damagedFiles_data()
    {
        damagedfiles::addRows();
        // A header declaring more than the lines fill: the cells that are there, no empty rows.
        const QString rows = QStringLiteral("The first line of the file declares %1 rows");
        QTest::newRow("millions of rows declared") << QByteArray("12,4999999\r\n") << rows.arg(4999999) << 1 << QStringList{};
        QTest::newRow("huge grid declared") << QByteArray("212,2232233\r\n0,0,\r\n") << rows.arg(2232233) << 1 << QStringList{};
        QTest::newRow("rows filled, then emptied") << QByteArray("12,4\r\n" + kTitleLines + "1,1,a\r\n1,2,x\r\n1,3,y\r\n1,2,\r\n1,3,\r\n")
                                                   << rows.arg(4) << 2 << QStringList{"a"};
        QTest::newRow("more columns declared") << QByteArray("40,2\r\n" + kTitleLines + "1,1,a\r\n")
                                               << QStringLiteral("The first line of the file declares 40 columns") << 2 << QStringList{"a"};
    }
    void damagedFiles()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QString, message);
        QFETCH(int, rows);
        QFETCH(QStringList, tasks);
        CellStore s = taskStore(2);
        try {
            GridFile::decode(s, bytes);
            QVERIFY2(message.isEmpty(), "reported whole");
        } catch (const AppError& e) {
            QVERIFY2(e.message().startsWith(message) && !message.isEmpty(), qPrintable(e.message()));
        }
        QCOMPARE(s.rowCount(), rows);
        QCOMPARE(s.columnCount(), 12);
        for (int r = 1; r < rows; ++r)
            QCOMPARE(s.cell(1, r), r <= tasks.size() ? tasks[r - 1] : QString());
        // Saved back, the list still has every title.
        QVERIFY(GridFile::encode(s).contains(kTitleLines));
    }

    void lfOnlyFileIsOneLine()
    {
        CellStore s;
        s.setColumnCount(3);
        s.setRowCount(2);
        QVERIFY_THROWS_EXCEPTION(AppError, GridFile::decode(s, QByteArray("3,2\n1,1,a\n")));
    }

    void emptyHeaderKeepsDimensions()
    {
        CellStore s;
        s.setColumnCount(4);
        s.setRowCount(3);
        s.setCell(3, 2, QStringLiteral("old"));
        GridFile::decode(s, QByteArray("\r\n1,1,new\r\n"));
        QCOMPARE(s.columnCount(), 4);
        QCOMPARE(s.rowCount(), 3);
        QCOMPARE(s.cell(1, 1), QStringLiteral("new"));
        QVERIFY(s.cell(3, 2).isEmpty());  // the grid holds what the file holds
    }

    void rowsInAnyOrder()
    {
        CellStore s;
        GridFile::decode(s, QByteArray("2,4\r\n1,3,c\r\n1,1,a\r\n0,3,x\r\n1,2,b\r\n1,3,C\r\n"));
        QCOMPARE(s.cell(1, 1), QStringLiteral("a"));
        QCOMPARE(s.cell(1, 2), QStringLiteral("b"));
        QCOMPARE(s.cell(1, 3), QStringLiteral("C"));
        QCOMPARE(s.cell(0, 3), QStringLiteral("x"));
    }

    void badNumbers_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("message");
        QTest::newRow("header") << QByteArray("x,2\r\n") << QStringLiteral("'x' is not a valid integer value");
        QTest::newRow("cell column") << QByteArray("2,3\r\n1,1,ok\r\nq,2,bad\r\n1,2,never\r\n")
                                     << QStringLiteral("'q' is not a valid integer value");
        QTest::newRow("no commas") << QByteArray("2,3\r\n1,1,ok\r\njunk\r\n") << QStringLiteral("'' is not a valid integer value");
    }
    void badNumbers()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QString, message);
        CellStore s;
        s.setColumnCount(2);
        s.setRowCount(3);
        try {
            GridFile::decode(s, bytes);
            QFAIL("no error");
        } catch (const AppError& e) {
            QCOMPARE(e.message(), message);
        }
        if (bytes.contains("1,1,ok")) {
            QCOMPARE(s.cell(1, 1), QStringLiteral("ok"));  // lines before the bad one stay applied
            QVERIFY(s.cell(1, 2).isEmpty());
        }
    }

    void hostileCounts_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::newRow("negative rows") << QByteArray("12,-5\r\n");
        QTest::newRow("huge rows") << QByteArray("12,2000000000\r\n");
        QTest::newRow("too many columns") << QByteArray("100000,2\r\n");
        QTest::newRow("overflow") << QByteArray("12,99999999999999999999\r\n");
        QTest::newRow("negative column index") << QByteArray("12,2\r\n-1,1,x\r\n");
        QTest::newRow("huge row index") << QByteArray("12,2\r\n1,2147483647,x\r\n");
        QTest::newRow("column index past 255") << QByteArray("12,2\r\n256,1,x\r\n");
    }
    void hostileCounts()
    {
        QFETCH(QByteArray, bytes);
        CellStore s;
        QVERIFY_THROWS_EXCEPTION(AppError, GridFile::decode(s, bytes));
        QVERIFY(s.rowCount() <= CellStore::kMaxRows);
        QVERIFY(s.columnCount() <= CellStore::kMaxColumns);
    }

    void linesBeyondHeaderWidenTheGrid()
    {
        CellStore s;
        GridFile::decode(s, QByteArray("2,2\r\n1,1,a\r\n1,2,b\r\n1,3,c\r\n3,4,far\r\n"));
        QCOMPARE(s.columnCount(), 4);
        QCOMPARE(s.rowCount(), 5);
        QCOMPARE(s.cell(3, 4), QStringLiteral("far"));
        // Rows between them that no line fills are damage, as in the header.
        QVERIFY_THROWS_EXCEPTION(AppError, GridFile::decode(s, QByteArray("2,2\r\n3,4,far\r\n")));
        QCOMPARE(s.rowCount(), 2);
        QCOMPARE(s.cell(3, 1), QStringLiteral("far"));
    }

    void utf8BomIsRead()
    {
        CellStore s;
        GridFile::decode(s, QByteArray("\xEF\xBB\xBF" "2,2\r\n1,1,\xC3\xA9\xE2\x82\xAC\r\n"));
        QCOMPARE(s.cell(1, 1), QStringLiteral("\u00e9\u20ac"));
    }

    void filesOnDisk()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("veltlist.vlp"));
        CellStore s = taskStore(2);
        s.setCell(1, 1, QStringLiteral("task"));
        GridFile::saveToFile(s, path);
        CellStore back;
        GridFile::loadFromFile(back, path);
        QCOMPARE(back.cell(1, 1), QStringLiteral("task"));

        const QString missing = dir.filePath(QStringLiteral("none.vlp"));
        try {
            GridFile::loadFromFile(back, missing);
            QFAIL("no error");
        } catch (const AppError& e) {
            QCOMPARE(e.message(), QStringLiteral("File ") + missing + QStringLiteral(" not found"));
        }
        QCOMPARE(back.cell(1, 1), QStringLiteral("task"));  // unchanged

        // A save that cannot be made is an error naming the file, and the old file is untouched.
        QDir(dir.path()).mkdir(QStringLiteral("blocked.vlp"));
        const QString blocked = dir.filePath(QStringLiteral("blocked.vlp"));
        QVERIFY_THROWS_EXCEPTION(AppError, GridFile::saveToFile(s, blocked));
        try {
            GridFile::saveToFile(s, dir.filePath(QStringLiteral("no/such/folder/x.vlp")));
            QFAIL("no error");
        } catch (const AppError& e) {
            QVERIFY(e.message().contains(QStringLiteral("x.vlp")));
        }
    }

    // A full disk names the file and the system's reason, never "Unknown error", however the
    // device gives up: at once, at the flush of a small file, or after taking part of the bytes.
    void fullDiskIsNamed_data()
    {
        QTest::addColumn<int>("tasks");
        QTest::addColumn<qint64>("room");  // bytes the device takes before it is full; -1: /dev/full
        QTest::newRow("small list to /dev/full") << 1 << qint64(-1);
        QTest::newRow("large list to /dev/full") << 5000 << qint64(-1);
        QTest::newRow("disk fills part-way") << 5000 << qint64(65536);
    }
    void fullDiskIsNamed()
    {
        QFETCH(int, tasks);
        QFETCH(qint64, room);
        CellStore s = taskStore(tasks + 1);
        for (int r = 1; r <= tasks; ++r)
            s.setCell(1, r, QStringLiteral("task number %1 with some words").arg(r));
        std::unique_ptr<QIODevice> device;
        if (room < 0) {
            if (!QFile::exists(QStringLiteral("/dev/full")))
                QSKIP("no /dev/full here");
            device = std::make_unique<QFile>(QStringLiteral("/dev/full"));
            QVERIFY(device->open(QIODevice::WriteOnly));
        } else {
            device = std::make_unique<FillingDevice>(room);
            QVERIFY(device->open(QIODevice::WriteOnly | QIODevice::Unbuffered));
        }
        try {
            GridFile::saveToDevice(s, device.get(), QStringLiteral("/lists/veltlist.vlp"));
            QFAIL("no error");
        } catch (const AppError& e) {
            QCOMPARE(e.message(), QStringLiteral("Could not save \"/lists/veltlist.vlp\": ")
                                      + QString::fromLocal8Bit(std::strerror(ENOSPC)));
        }
    }

    void rowOperationsCarryPictures()
    {
        CellStore s = taskStore(4);
        s.setCell(1, 1, QStringLiteral("a"));
        s.setCell(1, 2, QStringLiteral("b"));
        s.setCellImage(0, 2, TCellGraphic{TCellGraphic::ImageList, 0, 2, 0});
        s.insertRows(1, 1);
        QCOMPARE(s.cell(1, 3), QStringLiteral("b"));
        QVERIFY(s.cellImage(0, 3));
        QVERIFY(!s.cellImage(0, 1));
        s.swapRows(1, 3);
        QCOMPARE(s.cell(1, 1), QStringLiteral("b"));
        QCOMPARE(s.cellImage(0, 1)->horizontal, quint8(2));
        s.removeRows(1, 1);
        QCOMPARE(s.rowCount(), 4);
        QVERIFY(!s.cellImage(0, 1));
        QCOMPARE(s.cell(1, 1), QStringLiteral("a"));
    }

    // Rows inserted and removed at random places, mostly near the last change, among every other
    // way in to the rows: each row stays where a plain list says it is.
    void rowsStayInPlace()
    {
        QRandomGenerator rng(41);
        CellStore s;
        s.setColumnCount(2);
        std::vector<QByteArray> model;
        int made = 0, at = 0;
        for (int step = 0; step < 6000; ++step) {
            const int n = int(model.size());
            at = rng.bounded(4) ? std::clamp(at + int(rng.bounded(5)) - 2, 0, n) : int(rng.bounded(n + 1));
            const int count = int(rng.bounded(1, step % 1500 < 100 ? 300 : 4));
            const auto it = model.begin() + at;
            switch (rng.bounded(9)) {
            case 0: case 1: case 2:
                s.insertRows(at, count);
                for (int k = 0; k < count; ++k)
                    s.setCellUtf8(1, at + k, *model.insert(model.begin() + at + k, QByteArray::number(++made)));
                break;
            case 3: case 4: s.removeRows(at, count); model.erase(it, it + std::min(count, n - at)); break;
            case 5: if (at < n) { const int b = int(rng.bounded(n)); s.swapRows(at, b); std::swap(*it, model[size_t(b)]); } break;
            case 6: s.setRowCount(std::max(0, n + count - 3)); model.resize(size_t(std::max(0, n + count - 3))); break;
            case 7: if (at < n && rng.bounded(10) == 0) { s.rows().erase(s.rows().begin() + at); model.erase(it); } break;
            case 8: {
                if (at < n)
                    s.row(at).setCell(1, *it += "x");
                CellStore moved(std::move(s));
                QCOMPARE(s.rowCount(), 0);
                s = std::move(moved);
                QCOMPARE(moved.rowCount(), 0);
                break;
            }
            }
            const bool all = step % 50 == 0;
            QCOMPARE(s.rowCount(), int(model.size()));
            for (int r = all ? 0 : std::max(0, at - 3); r < (all ? int(model.size()) : std::min(int(model.size()), at + 3)); ++r)
                QCOMPARE(s.cellUtf8(1, r).toByteArray(), model[size_t(r)]);
        }
    }

    // Cells set in any order, emptied or overwritten (a row's own text included), keep every other
    // cell; trailing empty cells are never stored.
    void cellEditsKeepTheRow()
    {
        QRandomGenerator rng(37);
        for (int round = 0; round < 300; ++round) {
            RowCells row;
            std::vector<QByteArray> model(6);
            for (int step = 0; step < 12; ++step) {
                const int col = int(rng.bounded(6));
                const int from = int(rng.bounded(6));
                const QByteArray text = rng.bounded(3) == 0 ? QByteArray() : rng.bounded(4) == 0 ? model[size_t(from)]
                                                                           : QByteArray::number(rng.bounded(1000));
                if (text == model[size_t(from)] && rng.bounded(2))
                    row.setCell(col, row.cell(from));
                else
                    row.setCell(col, text);
                model[size_t(col)] = text;
                int stored = 0;
                for (int c = 0; c < 6; ++c) {
                    QCOMPARE(row.cell(c).toByteArray(), model[size_t(c)]);
                    stored = model[size_t(c)].isEmpty() ? stored : c + 1;
                }
                QCOMPARE(row.storedCount(), stored);
                RowCells built;
                const std::vector<QByteArrayView> views(model.begin(), model.end());
                built.assign(views);
                QCOMPARE(built.storedCount(), stored);
                QCOMPARE(built.memoryUsage(), row.memoryUsage());
            }
        }
    }
};

QTEST_GUILESS_MAIN(TestGridFile)
#include "tst_gridfile.moc"
