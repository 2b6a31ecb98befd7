// A list shared through a folder: the three-way merge of two copies' lists and histories, the
// lock beside the list, and two copies saving and reloading one file.
#include "MergeRows.h"
#include "store/core/SharedFileLock.h"
#include "store/core/SharedList.h"
#include "store/core/SharedMerge.h"
#include "store/core/Task.h"
#include "widgets/core/GridFile.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <unistd.h>

using namespace veltry;
using namespace veltry::shared;
using veltry::sync::uidOf;
using namespace veltry::mergerows;

namespace {

using veltry::mergerows::describe;  // beside the overloads below

// One side's version of task "u" (agreed as "a" in category "c"), from `how`: "=" as agreed, "T" /
// "C" description / category changed to `text`, "M" checked, "-" absent.
std::vector<TaskRow> side(const QString& how, const QString& text)
{
    if (how == QLatin1String("-"))
        return {};
    TaskRow row = task(QStringLiteral("u"), QStringLiteral("a"));
    if (how.contains(QLatin1Char('T')))
        row[TaskCol::Task] = text;
    if (how.contains(QLatin1Char('C')))
        row[TaskCol::Category] = text;
    if (how.contains(QLatin1Char('M')))
        row[TaskCol::Mark] = kCheckedMark;
    return {row};
}

HistoryRow entry(const QString& description, const QString& logDate = QStringLiteral("12/7/26"))
{
    HistoryRow row;
    row[HistCol::Task] = description;
    row[HistCol::LogDate] = logDate;
    return row;
}

std::vector<HistoryRow> entries(const QString& list)
{
    std::vector<HistoryRow> rows;
    for (const QString& d : list.split(QLatin1Char(','), Qt::SkipEmptyParts))
        rows.push_back(entry(d));
    return rows;
}

QString describe(const std::vector<HistoryRow>& rows)
{
    QStringList out;
    for (const HistoryRow& r : rows)
        out << r[HistCol::Task];
    return out.join(QLatin1Char(','));
}

QByteArray fileBytes(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// A list file as an older edition writes it: no UIDs, CR LF, the titles.
void writeOldEditionList(const QString& path, const QStringList& descriptions)
{
    QByteArray bytes = "12," + QByteArray::number(std::max<qsizetype>(descriptions.size(), 1) + 1) + "\r\n";
    for (int c = 1; c <= 10; ++c)
        bytes += QByteArray::number(c) + ",0," + kTaskTitles[size_t(c)].toLatin1() + "\r\n";
    for (int i = 0; i < descriptions.size(); ++i) {
        const QByteArray r = QByteArray::number(i + 1);
        bytes += "1," + r + "," + descriptions[i].toLatin1() + "\r\n5," + r + ",\xA0\r\n10," + r + ",0\r\n";
    }
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write(bytes);
}

// One running copy: its grid's cells and its hold on the shared folder.
struct Copy
{
    Copy(const QString& folder, const QString& records) : list(folder, records)
    {
        GridFile::loadFromFile(tasks, folder + kTaskListFileName);
        history.setColumnCount(HistCol::Count);
        history.setRowCount(2);
        if (std::optional<CellStore> unsaved = list.agree(tasks, history))
            tasks = std::move(*unsaved);
    }
    int rowOf(const QString& description) const
    {
        for (int r = 1; r < tasks.rowCount(); ++r)
            if (tasks.cell(TaskCol::Task, r) == description)
                return r;
        return -1;
    }
    void add(const QString& description)
    {
        tasks.insertRows(1, 1);
        tasks.setCell(TaskCol::Task, 1, description);
        tasks.setCell(TaskCol::Priority, 1, kEmptyPriority);
    }
    void take(SharedList::Outcome& outcome)
    {
        if (outcome.cells)
            tasks = std::move(*outcome.cells);
        for (const auto& [row, uid] : outcome.uids)
            tasks.setCellUtf8(TaskCol::Reserved, row, uid);
    }
    SharedList::Outcome save()
    {
        SharedList::Outcome o = list.saveTasks(tasks, true, 1000);
        take(o);
        o.cells.reset();
        return o;
    }
    void reload()
    {
        SharedList::Outcome o = list.reloadTasks(tasks);
        take(o);
    }
    QStringList descriptions() const
    {
        QStringList out;
        for (const TaskRow& r : SharedList::taskRows(tasks))
            out << r[TaskCol::Task];
        out.sort();
        return out;
    }

    SharedList list;
    CellStore tasks;
    CellStore history;
};

// Two copies started on one folder, whose list an older edition wrote with Seed and Other.
struct TwoCopies
{
    static QString seeded(const QTemporaryDir& folder)
    {
        const QString dir = folder.path() + QLatin1Char('/');
        writeOldEditionList(dir + kTaskListFileName, {QStringLiteral("Seed"), QStringLiteral("Other")});
        return dir;
    }

    QTemporaryDir folder;
    QTemporaryDir recordsA;
    QTemporaryDir recordsB;
    QString dir = seeded(folder);
    Copy a{dir, recordsA.path() + QLatin1Char('/')};
    Copy b{dir, recordsB.path() + QLatin1Char('/')};
};

} // namespace

class tst_SharedList : public QObject
{
    Q_OBJECT

private slots:
    void mergeTable_data();
    void mergeTable();
    void rowsWithoutUidsMatchByTheirTexts();
    void historyUnion_data();
    void historyUnion();
    void twoCopiesKeepEachOthersChanges();
    void mergedRowsNotTakenLoseNothing_data();
    void mergedRowsNotTakenLoseNothing();
    void oneColumnEditReachesBothCopies_data();
    void oneColumnEditReachesBothCopies();
    void fileStaysInItsFormat();
    void unsavedAtTheEndJoinsAtTheNextStart();
    void lockExcludesAndIsTakenOverWhenLeft();
    void saveWaitsForTheLock();
};

void tst_SharedList::mergeTable_data()
{
    QTest::addColumn<QString>("base");    // "a" agreed, "-" never agreed
    QTest::addColumn<QString>("ours");    // see side(); "O" texts
    QTest::addColumn<QString>("theirs");  // see side(); "F" texts (the file); "S": the same change as ours
    QTest::addColumn<QString>("atSave");    // the merge when this copy saves: its text stands
    QTest::addColumn<QString>("atReload");  // when it reads the file: the file's text stands
    QTest::addColumn<int>("conflicts");

    QTest::newRow("= =") << "a" << "=" << "=" << "a/c" << "a/c" << 0;
    QTest::newRow("= T") << "a" << "=" << "T" << "F/c" << "F/c" << 0;
    QTest::newRow("= removed") << "a" << "=" << "-" << "" << "" << 0;
    QTest::newRow("T =") << "a" << "T" << "=" << "O/c" << "O/c" << 0;
    QTest::newRow("T T") << "a" << "T" << "T" << "O/c;F (conflict)/c" << "F/c;O (conflict)/c" << 1;
    QTest::newRow("T T same") << "a" << "T" << "TS" << "O/c" << "O/c" << 0;
    QTest::newRow("T C merged") << "a" << "T" << "C" << "O/F" << "O/F" << 0;
    QTest::newRow("C C") << "a" << "C" << "C" << "a/O;a (conflict)/F" << "a/F;a (conflict)/O" << 1;
    QTest::newRow("TC T") << "a" << "TC" << "T" << "O/O;F (conflict)/c" << "F/O;O (conflict)/O" << 1;
    QTest::newRow("checked here, edited there") << "a" << "M" << "T" << "F/c/done" << "F/c/done" << 0;
    QTest::newRow("T removed") << "a" << "T" << "-" << "O/c" << "O/c" << 0;
    // A check mark keeps no task the other copy removed (or logged): it would be logged twice.
    QTest::newRow("checked here, removed there") << "a" << "M" << "-" << "" << "" << 0;
    QTest::newRow("removed here, checked there") << "a" << "-" << "M" << "" << "" << 0;
    QTest::newRow("checked and edited here, removed there") << "a" << "MT" << "-" << "O/c/done" << "O/c/done" << 0;
    QTest::newRow("removed =") << "a" << "-" << "=" << "" << "" << 0;
    QTest::newRow("removed T") << "a" << "-" << "T" << "F/c" << "F/c" << 0;
    QTest::newRow("removed removed") << "a" << "-" << "-" << "" << "" << 0;
    QTest::newRow("new here") << "-" << "T" << "-" << "O/c" << "O/c" << 0;
    QTest::newRow("new there") << "-" << "-" << "T" << "F/c" << "F/c" << 0;
    // A checked task is no completed one: it comes in like any other (the sync keeps it off).
    QTest::newRow("new there, checked") << "-" << "-" << "TM" << "F/c/done" << "F/c/done" << 0;
    QTest::newRow("new on both, equal") << "-" << "T" << "TS" << "O/c" << "O/c" << 0;
    QTest::newRow("new on both, differing") << "-" << "T" << "T" << "O/c;F (conflict)/c" << "F/c;O (conflict)/c" << 1;
}

void tst_SharedList::mergeTable()
{
    QFETCH(QString, base);
    QFETCH(QString, ours);
    QFETCH(QString, theirs);
    QFETCH(QString, atSave);
    QFETCH(QString, atReload);
    QFETCH(int, conflicts);

    // Two other tasks, one changed on each side, so neither side's list is taken whole.
    const TaskRow ownEdit = task(QStringLiteral("o1"), QStringLiteral("other"));
    const TaskRow theirEdit = task(QStringLiteral("o2"), QStringLiteral("other"));
    std::vector<TaskRow> b{ownEdit, theirEdit};
    if (base == QLatin1String("a"))
        b.push_back(side(QStringLiteral("="), {}).front());
    std::vector<TaskRow> o{ownEdit, theirEdit};
    o[0][TaskCol::Notes] = QStringLiteral("ours");
    for (const TaskRow& r : side(ours, QStringLiteral("O")))
        o.push_back(r);
    QString how = theirs;
    const bool same = how.contains(QLatin1Char('S'));
    how.remove(QLatin1Char('S'));
    std::vector<TaskRow> t{ownEdit, theirEdit};
    t[1][TaskCol::Notes] = QStringLiteral("theirs");
    for (const TaskRow& r : side(how, same ? QStringLiteral("O") : QStringLiteral("F")))
        t.push_back(r);
    // The task that counts sits elsewhere in each list.
    std::reverse(t.begin(), t.end());

    for (const Later later : {Later::Ours, Later::Theirs}) {
        const TaskListMerge m = mergeTaskLists(b, o, t, later, &testUid);
        std::vector<TaskRow> rows = m.rows;
        rows.erase(std::remove_if(rows.begin(), rows.end(), [](const TaskRow& r) { return uidOf(r).startsWith(QLatin1Char('o')); }),
                   rows.end());
        QCOMPARE(m.rows.size(), rows.size() + 2);  // the other tasks, once each
        for (const TaskRow& r : m.rows)
            if (uidOf(r).startsWith(QLatin1Char('o')))
                QCOMPARE(r[TaskCol::Notes], uidOf(r) == QLatin1String("o1") ? QStringLiteral("ours") : QStringLiteral("theirs"));
        QCOMPARE(describe(rows), later == Later::Ours ? atSave : atReload);
        QCOMPARE(m.conflicts, conflicts);
        QSet<QString> uids;
        for (const TaskRow& r : m.rows)
            uids.insert(uidOf(r));
        QCOMPARE(qsizetype(uids.size()), qsizetype(m.rows.size()));
    }
}

void tst_SharedList::rowsWithoutUidsMatchByTheirTexts()
{
    // Two copies read the same older edition's file: they name its rows alike, also two equal ones.
    std::vector<TaskRow> first{task(QString(), QStringLiteral("Seed")), task(QString(), QStringLiteral("Twin")),
                               task(QString(), QStringLiteral("Twin"))};
    std::vector<TaskRow> second = first;
    QCOMPARE(giveFileUids(first), 3);
    giveFileUids(second);
    QCOMPARE(first, second);
    QVERIFY(uidOf(first[1]) != uidOf(first[2]));
    // A check mark given in the older edition does not make another task of it.
    std::vector<TaskRow> checked{task(QString(), QStringLiteral("Seed"))};
    checked[0][TaskCol::Mark] = kCheckedMark;
    giveFileUids(checked);
    QCOMPARE(uidOf(checked[0]), uidOf(first[0]));

    // The older edition adds a task and keeps the UIDs it read; we added one meanwhile.
    std::vector<TaskRow> ours = first;
    ours.insert(ours.begin(), task(QStringLiteral("mine"), QStringLiteral("Ours")));
    std::vector<TaskRow> file = first;
    file[0][TaskCol::Reserved].clear();  // an older edition's own copy of a row may lose it too
    file.push_back(task(QString(), QStringLiteral("Older edition's")));
    giveFileUids(file);
    const TaskListMerge m = mergeTaskLists(first, ours, file, Later::Ours, &testUid);
    QCOMPARE(describe(m.rows), QStringLiteral("Older edition's/c;Ours/c;Seed/c;Twin/c;Twin/c"));
    QCOMPARE(m.conflicts, 0);
}

void tst_SharedList::historyUnion_data()
{
    QTest::addColumn<QString>("base");
    QTest::addColumn<QString>("ours");
    QTest::addColumn<QString>("theirs");
    QTest::addColumn<QString>("merged");

    QTest::newRow("logged on each side") << "h" << "x,h" << "y,h" << "x,y,h";
    QTest::newRow("same task logged on both") << "h" << "x,h" << "x,h" << "x,h";
    QTest::newRow("logged there only") << "h" << "h" << "y,h" << "y,h";
    QTest::newRow("cleared here") << "g,h" << "" << "g,h" << "";
    QTest::newRow("cleared here, logged there") << "g,h" << "" << "y,g,h" << "y";
    QTest::newRow("cleared on both, logged here") << "g,h" << "x" << "" << "x";
    QTest::newRow("a repeat logged here") << "h" << "h,h" << "y,h" << "h,y,h";
    QTest::newRow("removed on both sides, once and twice") << "h,h" << "h" << "" << "";
}

void tst_SharedList::historyUnion()
{
    QFETCH(QString, base);
    QFETCH(QString, ours);
    QFETCH(QString, theirs);
    QFETCH(QString, merged);
    QCOMPARE(describe(mergeHistories(entries(base), entries(ours), entries(theirs))), merged);
}

void tst_SharedList::mergedRowsNotTakenLoseNothing_data()
{
    QTest::addColumn<bool>("atReload");  // else: the save that merged
    QTest::newRow("save") << false;
    QTest::newRow("reload") << true;
}

// The merge ran on other threads while the grid changed, so the grid keeps its own rows: what the
// other copy wrote meanwhile must still reach it, and its own new task appear once.
void tst_SharedList::mergedRowsNotTakenLoseNothing()
{
    QFETCH(bool, atReload);
    TwoCopies copies;
    Copy& a = copies.a;
    a.add(QStringLiteral("A2"));
    if (atReload)
        QCOMPARE(a.save().status, SharedList::Outcome::Done);
    copies.b.add(QStringLiteral("B2"));
    QCOMPARE(copies.b.save().status, SharedList::Outcome::Done);
    const SharedList::Outcome o = atReload ? a.list.reloadTasks(a.tasks) : a.list.saveTasks(a.tasks, true, 1000);
    QVERIFY(o.cells || !o.uids.empty());
    a.tasks.setCell(TaskCol::Category, a.rowOf(QStringLiteral("Seed")), QStringLiteral("edited"));
    a.list.answer(false);
    QCOMPARE(a.save().status, SharedList::Outcome::Done);
    QCOMPARE(a.descriptions(), (QStringList{"A2", "B2", "Other", "Seed"}));
    QCOMPARE(a.tasks.cell(TaskCol::Category, a.rowOf(QStringLiteral("Seed"))), QStringLiteral("edited"));
    copies.b.reload();
    QCOMPARE(copies.b.descriptions(), a.descriptions());
}

void tst_SharedList::twoCopiesKeepEachOthersChanges()
{
    TwoCopies copies;
    Copy& a = copies.a;
    Copy& b = copies.b;

    // A has the add dialog open (its save comes later); B adds and saves.
    b.add(QStringLiteral("B2"));
    QCOMPARE(b.save().status, SharedList::Outcome::Done);
    a.add(QStringLiteral("A2"));
    QCOMPARE(a.save().status, SharedList::Outcome::Done);
    const QStringList all{QStringLiteral("A2"), QStringLiteral("B2"), QStringLiteral("Other"), QStringLiteral("Seed")};
    QCOMPARE(a.descriptions(), all);
    b.reload();
    QCOMPARE(b.descriptions(), all);

    // A check mark given in A (not saved) survives B's save and A's reload.
    a.tasks.setCell(TaskCol::Mark, a.rowOf(QStringLiteral("Seed")), kCheckedMark);
    b.tasks.setCell(TaskCol::Category, b.rowOf(QStringLiteral("Seed")), QStringLiteral("Home"));
    b.save();
    a.reload();
    QCOMPARE(a.tasks.cell(TaskCol::Mark, a.rowOf(QStringLiteral("Seed"))), kCheckedMark);
    QCOMPARE(a.tasks.cell(TaskCol::Category, a.rowOf(QStringLiteral("Seed"))), QStringLiteral("Home"));

    // Both edit one description; B saves first, A's later save stands, B's text becomes the copy.
    b.tasks.setCell(TaskCol::Task, b.rowOf(QStringLiteral("Other")), QStringLiteral("Other by B"));
    b.save();
    a.tasks.setCell(TaskCol::Task, a.rowOf(QStringLiteral("Other")), QStringLiteral("Other by A"));
    QCOMPARE(a.save().conflicts, 1);
    b.reload();
    a.reload();  // nothing new: its own save
    const QStringList merged{QStringLiteral("A2"), QStringLiteral("B2"), QStringLiteral("Other by A"),
                             QStringLiteral("Other by B (conflict)"), QStringLiteral("Seed")};
    QCOMPARE(a.descriptions(), merged);
    QCOMPARE(b.descriptions(), merged);
    // Each saves again: still one copy, and the check mark reached the file.
    b.save();
    a.save();
    b.reload();
    QCOMPARE(a.descriptions(), merged);
    QCOMPARE(b.descriptions(), merged);
    QCOMPARE(b.tasks.cell(TaskCol::Mark, b.rowOf(QStringLiteral("Seed"))), kCheckedMark);

    // Removed in A, edited in B: it stays.
    a.tasks.removeRows(a.rowOf(QStringLiteral("B2")), 1);
    b.tasks.setCell(TaskCol::Notes, b.rowOf(QStringLiteral("B2")), QStringLiteral("more"));
    a.save();
    b.save();
    a.reload();
    QVERIFY(a.rowOf(QStringLiteral("B2")) > 0);
    QCOMPARE(a.tasks.cell(TaskCol::Notes, a.rowOf(QStringLiteral("B2"))), QStringLiteral("more"));
}

void tst_SharedList::oneColumnEditReachesBothCopies_data()
{
    QTest::addColumn<int>("column");
    QTest::addColumn<QString>("text");
    const QString texts[TaskCol::Count] = {kCheckedMark, QStringLiteral("Seed renamed"), QStringLiteral("12/31/26"),
                                           QStringLiteral("09:30pm"), QStringLiteral("Work"), QStringLiteral("1"),
                                           QStringLiteral("first\r\nsecond"), QStringLiteral("12/1/26"), kAlarmOn,
                                           QString(), QStringLiteral("2"), QString()};
    for (int c = 0; c < TaskCol::Count; ++c)
        if (c != TaskCol::LeadTime && c != TaskCol::Reserved)
            QTest::newRow(qPrintable(QStringLiteral("column %1").arg(c))) << c << texts[c];
}

void tst_SharedList::oneColumnEditReachesBothCopies()
{
    // A changes one column of Seed; B meanwhile changes another task and saves first.
    QFETCH(int, column);
    QFETCH(QString, text);
    TwoCopies copies;
    Copy& a = copies.a;
    Copy& b = copies.b;
    const QString uid = a.tasks.cell(TaskCol::Reserved, a.rowOf(QStringLiteral("Seed")));
    const auto seedIn = [&](const Copy& copy) {
        for (const TaskRow& r : SharedList::taskRows(copy.tasks))
            if (uidOf(r) == uid)
                return r[column];
        return QStringLiteral("<gone>");
    };
    a.tasks.setCell(column, a.rowOf(QStringLiteral("Seed")), text);
    b.tasks.setCell(TaskCol::Notes, b.rowOf(QStringLiteral("Other")), QStringLiteral("by B"));
    QCOMPARE(b.save().status, SharedList::Outcome::Done);
    QCOMPARE(a.save().status, SharedList::Outcome::Done);
    b.reload();
    QCOMPARE(seedIn(a), text);
    QCOMPARE(seedIn(b), text);
    QCOMPARE(a.tasks.cell(TaskCol::Notes, a.rowOf(QStringLiteral("Other"))), QStringLiteral("by B"));
}

void tst_SharedList::fileStaysInItsFormat()
{
    QTemporaryDir folder;
    QTemporaryDir records;
    const QString dir = folder.path() + QLatin1Char('/');
    const QString path = dir + kTaskListFileName;
    writeOldEditionList(path, {QStringLiteral("Seed")});
    Copy a(dir, records.path() + QLatin1Char('/'));
    a.add(QStringLiteral("Pay, then file"));
    a.save();
    const QByteArray bytes = fileBytes(path);
    QVERIFY(bytes.startsWith("12,3\r\n1,0,Task\r\n"));
    QVERIFY(bytes.endsWith("\r\n"));
    QVERIFY(!bytes.contains("\n\n") && bytes.count('\n') == bytes.count("\r\n"));
    QVERIFY(bytes.contains("1,1,Pay, then file\r\n"));
    QVERIFY(bytes.contains("5,1,\xA0\r\n"));
    // Every task carries its UID in column 11, and the one read from the older file keeps the
    // UID its texts gave it.
    std::vector<TaskRow> seed{task(QString(), QStringLiteral("Seed"), QString())};
    giveFileUids(seed);
    QVERIFY(bytes.contains(QByteArray(QByteArray("11,2,") + uidOf(seed[0]).toLatin1() + "\r\n")));
    QVERIFY(bytes.contains("\r\n11,1,"));

    // A file cut short by another program is kept aside before it is written over.
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write(bytes.left(bytes.size() - 5));
    f.close();
    a.add(QStringLiteral("After the damage"));
    const SharedList::Outcome o = a.save();
    QVERIFY(o.notice.contains(QStringLiteral("untouched copy")));
    QVERIFY(fileBytes(path).contains("After the damage"));
    QVERIFY(fileBytes(path).contains("Pay, then file"));
}

void tst_SharedList::unsavedAtTheEndJoinsAtTheNextStart()
{
    QTemporaryDir folder;
    QTemporaryDir recordsA;
    QTemporaryDir recordsB;
    const QString dir = folder.path() + QLatin1Char('/');
    writeOldEditionList(dir + kTaskListFileName, {QStringLiteral("Seed")});
    {
        Copy a(dir, recordsA.path() + QLatin1Char('/'));
        a.add(QStringLiteral("Late"));
        SharedFileLock other(dir + QStringLiteral("veltlist.lock"));
        QVERIFY(other.tryLock());
        QCOMPARE(a.list.saveTasks(a.tasks, true, 50).status, SharedList::Outcome::Busy);
        a.list.keepUnsaved(a.tasks);
    }
    Copy b(dir, recordsB.path() + QLatin1Char('/'));
    b.add(QStringLiteral("Meanwhile"));
    b.save();
    Copy again(dir, recordsA.path() + QLatin1Char('/'));
    const QStringList all{QStringLiteral("Late"), QStringLiteral("Meanwhile"), QStringLiteral("Seed")};
    QCOMPARE(again.descriptions(), all);
    again.save();
    b.reload();
    QCOMPARE(b.descriptions(), all);
    // Kept once: the start after that reads the file alone.
    QCOMPARE(Copy(dir, recordsA.path() + QLatin1Char('/')).descriptions(), all);
}

void tst_SharedList::lockExcludesAndIsTakenOverWhenLeft()
{
    QTemporaryDir folder;
    const QString path = folder.filePath(QStringLiteral("veltlist.lock"));
    {
        SharedFileLock one(path);
        SharedFileLock two(path);
        QVERIFY(one.tryLock());
        QVERIFY(!two.tryLock());
        QCOMPARE(two.holder().host, SharedFileLock::hostName());
        QCOMPARE(two.holder().pid, qint64(::getpid()));
        QVERIFY(two.holderText().contains(QString::number(::getpid())));
        one.unlock();
        QVERIFY(!QFile::exists(path));
        QVERIFY(two.tryLock());
    }
    QVERIFY(!QFile::exists(path));

    auto plant = [&](const QString& host, qint64 pid, qint64 ageSeconds) {
        QFile f(path);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(SharedFileLock::describe({host, pid, QDateTime::currentDateTimeUtc().addSecs(-ageSeconds)}));
    };
    const auto holderHost = [&] { return SharedFileLock::parse(fileBytes(path)).host; };
    // Taken from us while we hung: letting go leaves the new holder's lock.
    {
        SharedFileLock mine(path);
        QVERIFY(mine.tryLock());
        plant(QStringLiteral("elsewhere.example"), 42, 0);
        mine.unlock();
        QCOMPARE(holderHost(), QStringLiteral("elsewhere.example"));
        QVERIFY(QFile::remove(path));
    }
    QProcess gone;
    gone.start(QStringLiteral("true"));
    QVERIFY(gone.waitForStarted());
    const qint64 deadPid = gone.processId();
    QVERIFY(gone.waitForFinished());
    QVERIFY(deadPid > 0);

    // Left by a copy on this machine that is gone: taken over once a minute old, not before.
    plant(SharedFileLock::hostName(), deadPid, 5);
    {
        SharedFileLock lock(path);
        QVERIFY(!lock.tryLock());
    }
    plant(SharedFileLock::hostName(), deadPid, 90);
    {
        SharedFileLock lock(path);
        QVERIFY(lock.tryLock());
        QCOMPARE(SharedFileLock::parse(fileBytes(path)).pid, qint64(::getpid()));
    }
    // Another copy took the left lock over between our look and our move: its fresh lock goes back.
    plant(SharedFileLock::hostName(), deadPid, 90);
    {
        SharedFileLock lock(path);
        lock.setBeforeTakeOver([&] { plant(QStringLiteral("quicker.example"), 7, 0); });
        QVERIFY(!lock.tryLock());
        QCOMPARE(holderHost(), QStringLiteral("quicker.example"));
    }
    // Old, but its holder still runs: kept.
    plant(SharedFileLock::hostName(), qint64(::getpid()), 90);
    {
        SharedFileLock lock(path);
        QVERIFY(!lock.tryLock());
    }
    // Another machine's: its clock is not ours, so it counts as left once seen unchanged that long.
    plant(QStringLiteral("elsewhere.example"), 1, 3600);
    {
        SharedFileLock lock(path);
        lock.setStaleAfterMs(300);
        QVERIFY(!lock.tryLock());
        QVERIFY(!lock.lock(100));
        QVERIFY(lock.lock(2000));
    }
    // An empty one (its writer found the disk full) has only the file's time: taken once old.
    QFile empty(path);
    QVERIFY(empty.open(QIODevice::WriteOnly));
    QVERIFY(!SharedFileLock(path).tryLock());
    QVERIFY(empty.setFileTime(QDateTime::currentDateTimeUtc().addSecs(-90), QFileDevice::FileModificationTime));
    QVERIFY(SharedFileLock(path).tryLock());
}

void tst_SharedList::saveWaitsForTheLock()
{
    QTemporaryDir folder;
    QTemporaryDir records;
    const QString dir = folder.path() + QLatin1Char('/');
    writeOldEditionList(dir + kTaskListFileName, {QStringLiteral("Seed")});
    Copy a(dir, records.path() + QLatin1Char('/'));
    const QByteArray before = fileBytes(dir + kTaskListFileName);
    SharedFileLock other(dir + QStringLiteral("veltlist.lock"));
    QVERIFY(other.tryLock());
    a.add(QStringLiteral("Waits"));
    QCOMPARE(a.list.saveTasks(a.tasks, true, 100).status, SharedList::Outcome::Busy);
    QCOMPARE(fileBytes(dir + kTaskListFileName), before);
    other.unlock();
    QCOMPARE(a.save().status, SharedList::Outcome::Done);
    QVERIFY(fileBytes(dir + kTaskListFileName).contains("Waits"));

    // A history save of its own lets go of the lock.
    a.history.setCell(HistCol::Task, 1, QStringLiteral("Alone"));
    QCOMPARE(a.list.saveHistory(a.history, 100).status, SharedList::Outcome::Done);
    QVERIFY(other.tryLock());
    other.unlock();

    // Logging: the history's save holds the lock for the task list's save that follows, so no
    // other copy reads the entry in the history while the task is still in the list.
    a.history.setCell(HistCol::Task, 1, QStringLiteral("Waits"));
    QCOMPARE(a.list.saveHistory(a.history, 100, true).status, SharedList::Outcome::Done);
    QVERIFY(!other.tryLock());
    a.tasks.removeRows(a.rowOf(QStringLiteral("Waits")), 1);
    QCOMPARE(a.save().status, SharedList::Outcome::Done);
    QVERIFY(other.tryLock());
}

QTEST_GUILESS_MAIN(tst_SharedList)
#include "tst_sharedlist.moc"
