#include "platform/core/AppError.h"
#include "store/core/ImportFile.h"
#include "widgets/core/CellStore.h"
#include "widgets/core/GridFile.h"

#include "DamagedFiles.h"

#include <QDir>
#include <QFile>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>
#include <sys/stat.h>

using namespace veltry;

namespace {

QByteArray crlf(std::initializer_list<const char*> lines)
{
    QByteArray out;
    for (const char* l : lines)
        out += QByteArray(l) + "\r\n";
    return out;
}

const QByteArray kTitleLines = crlf({"1,0,Task", "2,0,Due On", "3,0,Due At", "4,0,Category", "5,0,Pr", "6,0,Notes",
                                     "7,0,Create Date", "8,0,Alarm", "9,0,Lead Time", "10,0,Type"});
// Title lines of the older standard edition, six data columns.
const QByteArray kStandardTitles = crlf({"1,0,Task", "2,0,Due On", "3,0,Category", "4,0,Pr", "5,0,Notes",
                                         "6,0,Create Date"});

QByteArray listFile(int rows, std::initializer_list<const char*> lines)
{
    return QByteArray("12," + QByteArray::number(rows) + "\r\n" + kTitleLines + crlf(lines));
}

CellStore listFrom(const QByteArray& file)
{
    CellStore s;
    s.setColumnCount(12);
    s.setRowCount(2);
    GridFile::decode(s, file);
    return s;
}

// One cell text as the grid file reader decodes it.
QByteArray decodedText(QByteArrayView text, bool utf8)
{
    CellStore one;
    one.setColumnCount(1);
    one.setRowCount(1);
    const QByteArray file = QByteArray(utf8 ? "\xEF\xBB\xBF" : "") + "\r\n0,0," + text.toByteArray() + "\r\n";
    GridFile::decode(one, file);
    return one.cellUtf8(0, 0).toByteArray();
}

// The import as a line-by-line loop: every new source row inserts a row at the top unless the
// list is empty, and each text is written into row 1.
CellStore insertEachAtTheTop(const CellStore& list, QByteArrayView bytes, ImportLayout layout)
{
    CellStore grid = listFrom(GridFile::encode(list));
    const bool utf8 = bytes.startsWith("\xEF\xBB\xBF");
    if (utf8)
        bytes = bytes.sliced(3);
    if (bytes.indexOf('\x1A') >= 0)
        bytes.truncate(bytes.indexOf('\x1A'));
    QList<QByteArrayView> lines;
    qsizetype pos = 0;
    while (pos < bytes.size()) {
        qsizetype end = bytes.indexOf('\r', pos);
        if (end < 0)
            end = bytes.size();
        lines << bytes.sliced(pos, end - pos);
        pos = end + 1;
        if (pos < bytes.size() && end < bytes.size() && bytes[pos] == '\n')
            ++pos;
    }
    qint64 previous = 0;
    for (qsizetype i = 1; i < lines.size(); ++i) {
        const QByteArrayView line = lines.at(i);
        const qsizetype c1 = line.indexOf(',');
        const qsizetype c2 = line.indexOf(',', c1 + 1);
        qint64 col = 0;
        qint64 row = 0;
        if (!parseInteger(line.first(c1), col) || !parseInteger(c2 < 0 ? line.sliced(c1 + 1) : line.sliced(c1 + 1, c2 - c1 - 1), row))
            throw AppError(QStringLiteral("not a number"));
        if (row == 0)
            continue;
        if (row != previous) {
            if (!(grid.rowCount() <= 2 && grid.isCellEmpty(1, 1)))
                grid.insertRows(1, 1);
            previous = row;
        }
        const int taskCol = importTaskColumn(layout, int(col), grid.columnCount());
        if (taskCol >= 0)
            grid.setCellUtf8(taskCol, 1, decodedText(c2 < 0 ? QByteArrayView() : line.sliced(c2 + 1), utf8));
    }
    return grid;
}

} // namespace

class TestImportFile : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void importRules_data()
    {
        QTest::addColumn<QByteArray>("list");
        QTest::addColumn<QString>("fileName");
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<QByteArray>("expected");  // the list afterwards as its file; empty when refused
        QTest::addColumn<QPoint>("cell");          // and one cell's text, read directly
        QTest::addColumn<QString>("cellText");

        const QByteArray empty = listFile(2, {});
        const QByteArray two = listFile(3, {"1,1,old one", "1,2,old two", "6,2,kept"});
        QTest::newRow("three tasks into an empty list, the last one on top")
            << empty << "in.vlp" << listFile(4, {"1,1,first", "4,1,Work", "1,2,second", "1,3,third"})
            << listFile(4, {"1,1,third", "1,2,second", "1,3,first", "4,3,Work"}) << QPoint(1, 1) << "third";
        QTest::newRow("above the tasks that were there, nothing replaced")
            << two << "in.vlp" << listFile(3, {"1,1,new one", "1,2,new two"})
            << listFile(5, {"1,1,new two", "1,2,new one", "1,3,old one", "1,4,old two", "6,4,kept"}) << QPoint(1, 3)
            << "old one";
        QTest::newRow("standard columns 1 to 6 land in 1, 2, 4, 5, 6, 7")
            << empty << "old.vlo"
            << QByteArray("7,2\r\n" + kStandardTitles + crlf({"1,1,Desc", "2,1,3/4/26", "3,1,Home", "4,1,2", "5,1,note", "6,1,1/2/26"}))
            << listFile(2, {"1,1,Desc", "2,1,3/4/26", "4,1,Home", "5,1,2", "6,1,note", "7,1,1/2/26"}) << QPoint(3, 1)
            << "";
        QTest::newRow("standard mark and columns beyond 6 are dropped")
            << empty << "old.vlo" << QByteArray("8,2\r\n" + kStandardTitles + crlf({"0,1, ", "1,1,Desc", "7,1,extra", "9,1,more"}))
            << listFile(2, {"1,1,Desc"}) << QPoint(0, 1) << "";
        QTest::newRow("current layout keeps the mark and every column")
            << empty << "in.vlp" << listFile(2, {"0,1, ", "1,1,Desc", "3,1,09:30pm", "8,1,Y", "10,1,2", "11,1,x", "12,1,beyond"})
            << listFile(2, {"0,1, ", "1,1,Desc", "3,1,09:30pm", "8,1,Y", "10,1,2", "11,1,x"}) << QPoint(0, 1) << " ";
        QTest::newRow("upper-case VLO is the current layout")
            << empty << "OLD.VLO" << QByteArray("7,2\r\n" + kStandardTitles + crlf({"1,1,Desc", "3,1,Home"}))
            << listFile(2, {"1,1,Desc", "3,1,Home"}) << QPoint(3, 1) << "Home";
        QTest::newRow("the last three letters decide, dot or not")
            << empty << "oldvlo" << QByteArray("7,2\r\n" + kStandardTitles + crlf({"1,1,Desc", "3,1,Home"}))
            << listFile(2, {"1,1,Desc", "4,1,Home"}) << QPoint(4, 1) << "Home";
        QTest::newRow("notes with line breaks come out with CR LF")
            << empty << "in.vlp" << listFile(2, {"1,1,Desc", "6,1,first\t\bsecond"})
            << listFile(2, {"1,1,Desc", "6,1,first\t\bsecond"}) << QPoint(6, 1) << "first\r\nsecond";
        QTest::newRow("Windows-1252 texts")
            << empty << "in.vlp" << listFile(2, {"1,1,caf\xE9 \x80", "5,1,\xA0"})
            << listFile(2, {"1,1,caf\xE9 \x80", "5,1,\xA0"}) << QPoint(1, 1) << QStringLiteral("caf\u00e9 \u20ac");
        QTest::newRow("UTF-8 after a byte-order mark")
            << empty << "in.vlp" << QByteArray("\xEF\xBB\xBF" + listFile(2, {"1,1,\xE6\x97\xA5 caf\xC3\xA9"}))
            << QByteArray("\xEF\xBB\xBF" + listFile(2, {"1,1,\xE6\x97\xA5 caf\xC3\xA9"})) << QPoint(1, 1)
            << QStringLiteral("\u65e5 caf\u00e9");
        QTest::newRow("header and titles are not read")
            << empty << "in.vlp" << QByteArray("3,1\r\n1,0,anything\r\n1,1,Desc\r\n") << listFile(2, {"1,1,Desc"})
            << QPoint(1, 0) << "Task";
        QTest::newRow("a file without tasks changes nothing")
            << two << "in.vlp" << listFile(2, {}) << two << QPoint(1, 1) << "old one";
        QTest::newRow("each run of one source row is a task, in file order")
            << empty << "in.vlp" << listFile(3, {"1,2,b", "1,1,a", "4,1,cat", "1,2,c", "1,5,e"})
            << listFile(5, {"1,1,e", "1,2,c", "1,3,a", "4,3,cat", "1,4,b"}) << QPoint(1, 4) << "b";
        QTest::newRow("a task without a description shares the empty list's placeholder row")
            << empty << "in.vlp" << listFile(4, {"6,1,notes only", "1,2,named", "1,3,third"})
            << listFile(3, {"1,1,third", "1,2,named", "6,2,notes only"}) << QPoint(6, 2) << "notes only";
        QTest::newRow("Ctrl-Z as the last byte ends the file")
            << empty << "in.vlp" << QByteArray(listFile(2, {"1,1,a"}) + "\x1A") << listFile(2, {"1,1,a"}) << QPoint(1, 1)
            << "a";

        // Refused as a whole: the tasks before the bad line are not added either.
        const QByteArray refused;
        const auto bad = [&](const char* name, const char* line) {
            QTest::newRow(name) << two << "in.vlp" << listFile(4, {"1,1,a", "1,2,b", line, "1,3,c"}) << refused
                                << QPoint(1, 1) << "";
        };
        bad("column not a number", "x,2,text");
        bad("row not a number", "1,y,text");
        bad("empty line", "");
        bad("line without a comma", "12");
        bad("column beyond the reader's range", "256,2,text");
        bad("negative column", "-1,2,text");
        bad("negative row", "1,-2,text");
        bad("row beyond the reader's range", "1,5000000,text");
        bad("number beyond 32 bits", "1,99999999999,text");
        // A file whose lines end in LF alone is one line, and that one without its CR LF.
        QTest::newRow("lines ended by LF alone") << two << "in.vlp" << QByteArray("12,3\n1,1,a\n1,2,b\n") << refused
                                                 << QPoint(1, 1) << "";
    }

    void importRules()
    {
        QFETCH(QByteArray, list);
        QFETCH(QString, fileName);
        QFETCH(QByteArray, file);
        QFETCH(QByteArray, expected);
        QFETCH(QPoint, cell);
        QFETCH(QString, cellText);
        const CellStore before = listFrom(list);
        if (expected.isEmpty()) {
            QVERIFY_THROWS_EXCEPTION(AppError, importTasks(before, file, importLayoutOf(fileName)));
            return;
        }
        const CellStore after = importTasks(before, file, importLayoutOf(fileName));
        QCOMPARE(GridFile::encode(after), expected);
        QCOMPARE(after.cell(cell.x(), cell.y()), cellText);
        // The same rows in the same order as inserting each task at the top in turn.
        QCOMPARE(GridFile::encode(after), GridFile::encode(insertEachAtTheTop(before, file, importLayoutOf(fileName))));
    }

    // What the list loader calls damaged adds nothing, with the loader's reason and the line; a
    // whole file adds the tasks the loader reads, the last one on top.
    void damagedFilesAddNothing_data() { damagedfiles::addRows(); }
    void damagedFilesAddNothing()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QString, message);
        QFETCH(QStringList, tasks);
        const CellStore before = listFrom(listFile(3, {"1,1,old one", "1,2,old two"}));
        if (message.isEmpty()) {
            const CellStore after = importTasks(before, bytes, ImportLayout::Current);
            QStringList added;
            for (int r = 1; r < after.rowCount() - 2; ++r)
                added.prepend(after.cell(1, r));
            tasks.removeAll(QString());
            QCOMPARE(added, tasks);
            QCOMPARE(after.cell(1, after.rowCount() - 2), QStringLiteral("old one"));
            return;
        }
        for (ImportLayout layout : {ImportLayout::Current, ImportLayout::Standard}) {
            try {
                importTasks(before, bytes, layout);
                QFAIL("imported a damaged file");
            } catch (const AppError& e) {
                QVERIFY2(e.message().startsWith(message), qPrintable(e.message()));
                static const QRegularExpression namesLine(QStringLiteral("\\bline \\d"),
                                                          QRegularExpression::CaseInsensitiveOption);
                QVERIFY2(bytes.isEmpty() || e.message().contains(namesLine), qPrintable(e.message()));
            }
        }
    }

    void sameAsInsertingEachTaskAtTheTop()
    {
        // Odd files nobody writes by hand on purpose: rows out of order and repeated, titles in
        // between, empty texts, dropped columns, placeholder rows with and without content.
        QRandomGenerator random(20260315);
        const QByteArray lists[] = {listFile(2, {}), listFile(2, {"4,1,placeholder category", "10,1,0"}),
                                    listFile(3, {"0,1, ", "1,1,one", "1,2,two"}), listFile(2, {"1,1,only"})};
        const char* texts[] = {"", "a", "b\tc\bd", "x,y", "\xE9", " "};
        for (int round = 0; round < 400; ++round) {
            const CellStore before = listFrom(lists[random.bounded(4)]);
            const ImportLayout layout = random.bounded(2) ? ImportLayout::Standard : ImportLayout::Current;
            QByteArray file = "12,9\r\n";
            const int lineCount = random.bounded(14);
            for (int i = 0; i < lineCount; ++i) {
                const int rows[] = {0, 1, 1, 2, 2, 3, 5};
                file += QByteArray::number(random.bounded(14)) + ',' + QByteArray::number(rows[random.bounded(7)]);
                if (random.bounded(8))
                    file += QByteArray(",") + texts[random.bounded(6)];
                file += "\r\n";
            }
            const CellStore after = importTasks(before, file, layout);
            const CellStore reference = insertEachAtTheTop(before, file, layout);
            QVERIFY2(GridFile::encode(after) == GridFile::encode(reference), file.toPercentEncoding(" ,").constData());
        }
    }

    void rowsGoInAsTheirListFileWould()
    {
        // Decoded rows (a calendar's to-dos) skip the list file's bytes; what lands where must not
        // change: empty rows, placeholder rows with and without a description, columns the list
        // does not have, line breaks and texts only UTF-8 can carry.
        QRandomGenerator random(20261207);
        const QByteArray lists[] = {listFile(2, {}), listFile(2, {"4,1,placeholder category", "10,1,0"}),
                                    listFile(3, {"0,1, ", "1,1,one", "1,2,two"}), listFile(2, {"1,1,only"})};
        const QString texts[] = {QString(), QStringLiteral("a"), QStringLiteral("b\r\nc"), QStringLiteral("x,y"),
                                 QStringLiteral("\u00E9\u20AC"), QStringLiteral("\u65E5")};
        for (int round = 0; round < 400; ++round) {
            const CellStore before = listFrom(lists[random.bounded(4)]);
            CellStore rows;
            rows.setColumnCount(14);
            rows.setRowCount(1 + random.bounded(5));
            for (int r = 1; r < rows.rowCount(); ++r)
                for (int cells = random.bounded(4); cells > 0; --cells)
                    rows.setCell(random.bounded(14), r, texts[random.bounded(6)]);
            const CellStore after = importTaskRows(before, rows);
            const CellStore reference = importTasks(before, GridFile::encode(rows), ImportLayout::Current);
            QVERIFY2(GridFile::encode(after) == GridFile::encode(reference),
                     GridFile::encode(rows).toPercentEncoding(" ,").constData());
            // Rows handed over rather than lent land the same.
            CellStore taken;
            taken.setColumnCount(rows.columnCount());
            taken.setRowCount(rows.rowCount());
            for (int r = 1; r < rows.rowCount(); ++r)
                taken.rows()[size_t(r)] = rows.row(r).clone();
            const CellStore handed = importTaskRows(before, std::move(taken));
            QCOMPARE(GridFile::encode(handed), GridFile::encode(reference));
            for (int r = 0; r < handed.rowCount(); ++r)  // nor do they keep texts of columns the list lacks
                QVERIFY(handed.row(r).storedCount() <= handed.columnCount());
        }
    }

    void refusesWhatIsNoTaskFile_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::newRow("missing") << "missing";
        QTest::newRow("folder") << "folder";
        QTest::newRow("pipe without a writer") << "pipe";
        QTest::newRow("device without end") << "device";
        QTest::newRow("larger than any list") << "huge";
    }

    void refusesWhatIsNoTaskFile()
    {
        QFETCH(QString, kind);
        QTemporaryDir dir;
        QString path = dir.filePath(QStringLiteral("tasks.vlp"));
        if (kind == QLatin1String("folder")) {
            QVERIFY(QDir(dir.path()).mkdir(QStringLiteral("tasks.vlp")));
        } else if (kind == QLatin1String("pipe")) {
            QCOMPARE(::mkfifo(QFile::encodeName(path).constData(), 0600), 0);
        } else if (kind == QLatin1String("device")) {
            path = QStringLiteral("/dev/zero");
        } else if (kind == QLatin1String("huge")) {
            QFile f(path);
            QVERIFY(f.open(QIODevice::WriteOnly));
            QVERIFY(f.write(listFile(2, {"1,1,a"})) > 0);
            // Sparse: takes no room on disk, but a reader that trusted it would try to hold it.
            QVERIFY(f.resize(qint64(UINT32_MAX) + 1));
        }
        QVERIFY_THROWS_EXCEPTION(AppError, readImportFile(path));
        QVERIFY_THROWS_EXCEPTION(AppError, ImportFile(listFrom(listFile(2, {})), path));
    }
};

QTEST_GUILESS_MAIN(TestImportFile)
#include "tst_importfile.moc"
