// Two lists kept in step through a real calendar server, with a third, independent client
// changing to-dos beside them. Run by with_radicale.sh or with_xandikos.sh, which start the
// server. The lists run in Los Angeles, the other client reads in UTC.
#include "TestEnv.h"
#include "platform/core/LocaleFormats.h"
#include "store/core/Task.h"
#include "sync/net/CalDavClient.h"
#include "sync/net/SyncEngine.h"

#include <QElapsedTimer>
#include <QProcess>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTimeZone>
#include <ctime>
#include <QtTest>
#include <memory>

using namespace veltry;
using namespace veltry::sync;

namespace {

const QString kPeer = QStringLiteral(VELTRY_TEST_DATA "/../sync/caldav_peer.py");

TaskRow task(const QString& description, const QString& category = QString())
{
    TaskRow row;
    row[TaskCol::Task] = description;
    row[TaskCol::Category] = category;
    row[TaskCol::Priority] = kEmptyPriority;
    row[TaskCol::Type] = QStringLiteral("0");
    return row;
}

// One copy of the program as the engine sees it: a list in memory and a record of its own.
struct Side
{
    QTemporaryDir dir;
    std::vector<TaskRow> rows;
    CalDavClient client;
    std::unique_ptr<SyncEngine> engine;
    std::function<void(bool)>* savePending = nullptr;

    Side()
    {
        connect();
        restart();
    }

    void connect()
    {
        client.setServer(QUrl(qEnvironmentVariable("CALDAV_URL")), qEnvironmentVariable("CALDAV_USER"),
                         qEnvironmentVariable("CALDAV_PASSWORD"));
    }

    // One sync, with the follow-ups it asks for, to its end.
    bool sync()
    {
        QSignalSpy finished(engine.get(), &SyncEngine::cycleFinished);
        engine->syncNow();
        for (int waited = 0; waited < 3000; ++waited) {
            if (!finished.isEmpty() && !engine->isRunning()) {
                QTest::qWait(20);  // a follow-up cycle starts from the event loop
                if (!engine->isRunning())
                    return true;
            }
            QTest::qWait(100);
        }
        return false;
    }

    const TaskRow* find(const QString& description) const
    {
        for (const TaskRow& r : rows)
            if (r[TaskCol::Task] == description)
                return &r;
        return nullptr;
    }
    // The program started anew: the engine reads its record from the file.
    void restart()
    {
        engine.reset();
        SyncEngine::Host host;
        host.rows = [this] { return rows; };
        host.mayChange = [] { return true; };
        host.replaceRows = [this](const std::vector<TaskRow>& r, const std::function<void(bool)>& done) {
            if (savePending) {
                *savePending = done;  // the save is out; what the list held on disk stays
                return;
            }
            rows = r;
            done(true);
        };
        engine = std::make_unique<SyncEngine>(&client, std::move(host), dir.filePath(QStringLiteral("state.dat")));
        engine->setAccount(QStringLiteral("test"));
    }

    TaskRow* find(const QString& description)
    {
        return const_cast<TaskRow*>(std::as_const(*this).find(description));
    }
    QStringList descriptions() const
    {
        QStringList out;
        for (const TaskRow& r : rows)
            out << r[TaskCol::Task];
        out.sort();
        return out;
    }
};

QString peer(const QStringList& arguments);

// Whether the other client lists `text` after the side's last sync; empty when it does, else
// what it lists and what the side last reported. The list is in step within a sync or two (the
// program syncs every half minute), so a miss gets one more sync, and a warning in the log.
QByteArray peerHolds(Side& side, const QString& text)
{
    QString listed = peer({QStringLiteral("list")});
    if (listed.contains(text))
        return {};
    const QString first = QStringLiteral("the server lacks \"%1\"; it lists:\n%2\nlast error: %3")
                              .arg(text, listed, side.engine->lastError().message);
    if (side.sync() && peer({QStringLiteral("list")}).contains(text)) {
        qWarning("only after one more sync: %s", qPrintable(first));
        return {};
    }
    return first.toUtf8();
}

#define VERIFY_SERVER_HOLDS(side, text)                    \
    do {                                                   \
        const QByteArray why = peerHolds((side), (text));  \
        QVERIFY2(why.isEmpty(), why.constData());          \
    } while (false)

QString peer(const QStringList& arguments)
{
    QProcess p;
    p.start(QStringLiteral("/usr/bin/python3"), QStringList{kPeer} + arguments);
    if (!p.waitForFinished(60000) || p.exitCode() != 0)
        qWarning() << "peer failed:" << p.readAllStandardError();
    return QString::fromUtf8(p.readAllStandardOutput()).trimmed();
}

} // namespace

class tst_SyncEngine : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void changesReachEverySide();
    void bothEditingMergeOrCopy_data();
    void bothEditingMergeOrCopy();
    void unchangedListIsOneRequest();
    void unsavedListTakesNothingIn();
    void serverRemovingManyIsHeld_data();
    void serverRemovingManyIsHeld();
    void loggedTaskRenamedElsewhereStaysLogged_data();
    void loggedTaskRenamedElsewhereStaysLogged();
    void dueTimeAloneReachesTheServer();
    void loggedOfflineCarriesItsMoment();
    void conflictCopyBesideAnotherProgramsResource();
    void untouchedCategoriesStayReadable();
    void oneUidInTwoResourcesIsTold();
    // Last: it stops the server and ends the one it restarts.
    void serverAwayLosesNothing();

private:
    std::unique_ptr<Side> a, b;
};

void tst_SyncEngine::initTestCase()
{
    QVERIFY2(qEnvironmentVariableIsSet("CALDAV_URL"), "run through with_radicale.sh or with_xandikos.sh");
    // A zone far from UTC, where a time that lost its zone shows at once.
    qputenv("TZ", "America/Los_Angeles");
    tzset();
    QCOMPARE(QTimeZone::systemTimeZoneId(), QByteArray("America/Los_Angeles"));
    qInfo("against %s", qPrintable(qEnvironmentVariable("CALDAV_SERVER")));
}

void tst_SyncEngine::init()
{
    // Every test starts from an empty calendar and two fresh lists.
    peer({QStringLiteral("clear")});
    QCOMPARE(peer({QStringLiteral("list")}), QString());
    a = std::make_unique<Side>();
    b = std::make_unique<Side>();
}

void tst_SyncEngine::changesReachEverySide()
{
    // Added and edited in one list: in the other, and with the independent client.
    a->rows = {task(QStringLiteral("one")), task(QStringLiteral("two"))};
    QVERIFY(a->sync());
    QVERIFY(b->sync());
    QCOMPARE(b->descriptions(), (QStringList{QStringLiteral("one"), QStringLiteral("two")}));
    b->find(QStringLiteral("one"))->at(TaskCol::Category) = QStringLiteral("Home");
    QVERIFY(b->sync());
    QVERIFY(a->sync());
    QCOMPARE(a->find(QStringLiteral("one"))->at(TaskCol::Category), QStringLiteral("Home"));
    const QString uidOne = uidOf(*a->find(QStringLiteral("one")));
    VERIFY_SERVER_HOLDS(*b, uidOne + QStringLiteral("|one|NEEDS-ACTION|Home"));

    // The other client adds, edits and completes: both lists follow.
    peer({QStringLiteral("add"), QStringLiteral("phone-1"), QStringLiteral("from the phone")});
    peer({QStringLiteral("edit"), uidOne, QStringLiteral("one, edited")});
    QVERIFY(a->sync());
    QVERIFY(b->sync());
    for (Side* s : {a.get(), b.get()})
        QCOMPARE(s->descriptions(), (QStringList{QStringLiteral("from the phone"), QStringLiteral("one, edited"), QStringLiteral("two")}));
    peer({QStringLiteral("complete"), QStringLiteral("phone-1")});
    QVERIFY(a->sync());
    QCOMPARE(a->find(QStringLiteral("from the phone"))->at(TaskCol::Mark), kCheckedMark);
    // Changed here, the to-do keeps what the other client wrote that the list has no column for.
    a->find(QStringLiteral("from the phone"))->at(TaskCol::Category) = QStringLiteral("Errands");
    QVERIFY(a->sync());
    VERIFY_SERVER_HOLDS(*a, QStringLiteral("phone-1|from the phone|COMPLETED|Errands|Office"));

    // Logged in one list: completed on the server, checked in the other, not back in the first.
    const TaskRow two = *a->find(QStringLiteral("two"));
    std::erase_if(a->rows, [](const TaskRow& r) { return r[TaskCol::Task] == QLatin1String("two"); });
    a->engine->noteLogged({two}, QDateTime::currentDateTimeUtc());
    QVERIFY(a->sync());
    VERIFY_SERVER_HOLDS(*a, uidOf(two) + QStringLiteral("|two|COMPLETED|"));
    QVERIFY(b->sync());
    QCOMPARE(b->find(QStringLiteral("two"))->at(TaskCol::Mark), kCheckedMark);
    QVERIFY(a->sync());
    QVERIFY(!a->find(QStringLiteral("two")));

    // Removed in one list: gone from the server and from the other.
    std::erase_if(b->rows, [](const TaskRow& r) { return r[TaskCol::Task] == QLatin1String("from the phone"); });
    QVERIFY(b->sync());
    QVERIFY(!peer({QStringLiteral("list")}).contains(QStringLiteral("phone-1")));
    QVERIFY(a->sync());
    QVERIFY(!a->find(QStringLiteral("from the phone")));
    QCOMPARE(a->engine->statusText(), QStringLiteral("Server: in step"));
}

// The list that took the server's task could not be saved, and the program ended: at the next
// start the task is not on the list, and must come back rather than be removed everywhere.
void tst_SyncEngine::unsavedListTakesNothingIn()
{
    a->rows = {task(QStringLiteral("kept"))};
    QVERIFY(a->sync());
    std::function<void(bool)> pending;
    b->savePending = &pending;
    b->engine->syncNow();
    QTRY_VERIFY_WITH_TIMEOUT(bool(pending), 10000);
    QTest::qWait(50);
    QVERIFY(b->engine->isRunning());  // the cycle waits for the save
    std::exchange(pending, nullptr)(false);
    QTRY_VERIFY(!b->engine->isRunning());
    b->savePending = nullptr;
    b->restart();
    QVERIFY(b->sync());
    QCOMPARE(b->descriptions(), QStringList{QStringLiteral("kept")});
    QVERIFY(a->sync());
    QCOMPARE(a->descriptions(), QStringList{QStringLiteral("kept")});
}

void tst_SyncEngine::bothEditingMergeOrCopy_data()
{
    QTest::addColumn<int>("columnB");
    QTest::addColumn<QStringList>("expected");  // descriptions / categories in both lists
    QTest::newRow("different columns merge") << int(TaskCol::Category) << QStringList{QStringLiteral("a, edited here/Work")};
    QTest::newRow("same column keeps a copy") << int(TaskCol::Task)
                                              << QStringList{QStringLiteral("a, edited here (conflict)/"), QStringLiteral("a, edited there/")};
}

void tst_SyncEngine::bothEditingMergeOrCopy()
{
    QFETCH(int, columnB);
    QFETCH(QStringList, expected);
    a->rows = {task(QStringLiteral("a"))};
    QVERIFY(a->sync());
    QVERIFY(b->sync());
    a->rows[0][TaskCol::Task] = QStringLiteral("a, edited here");
    b->rows[0][columnB] = columnB == TaskCol::Task ? QStringLiteral("a, edited there") : QStringLiteral("Work");
    QVERIFY(b->sync());
    QVERIFY(a->sync());
    QVERIFY(b->sync());
    for (Side* s : {a.get(), b.get()}) {
        QStringList got;
        for (const TaskRow& r : s->rows)
            got << r[TaskCol::Task] + QLatin1Char('/') + r[TaskCol::Category];
        got.sort();
        QCOMPARE(got, expected);
    }
}

void tst_SyncEngine::unchangedListIsOneRequest()
{
    // To-dos put straight into the server's storage, as another client would have (or, where
    // the storage is the server's own business, by the other client). How many does not matter:
    // an unchanged list is one sync report (10,000 take a cold server minutes).
    const QString folder = qEnvironmentVariable("CALDAV_STORE");
    const int kTasks = qEnvironmentVariableIntValue("VELTRY_SYNC_TASKS") > 0 ? qEnvironmentVariableIntValue("VELTRY_SYNC_TASKS")
                       : folder.isEmpty()                                    ? 200
                                                                             : 1000;
    if (folder.isEmpty())
        peer({QStringLiteral("bulk"), QString::number(kTasks)});
    else
        QVERIFY(QFileInfo(folder).isDir());
    for (int i = 0; i < kTasks && !folder.isEmpty(); ++i) {
        QFile f(folder + QStringLiteral("bulk-%1.ics").arg(i));
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write("BEGIN:VCALENDAR\r\nVERSION:2.0\r\nPRODID:-//test//EN\r\nBEGIN:VTODO\r\nUID:bulk-" + QByteArray::number(i)
                + "\r\nDTSTAMP:20261207T100000Z\r\nSUMMARY:task " + QByteArray::number(i) + "\r\nEND:VTODO\r\nEND:VCALENDAR\r\n");
    }
    QElapsedTimer t;
    t.start();
    QVERIFY(a->sync());
    const qint64 first = t.restart();
    const int firstRequests = a->engine->requestsInLastCycle();
    QCOMPARE(a->rows.size(), size_t(kTasks));
    QVERIFY(a->sync());
    qInfo("first sync of %d to-dos: %lld ms in %d requests; again: %lld ms", kTasks, first, firstRequests, t.elapsed());
    QCOMPARE(a->engine->requestsInLastCycle(), 1);
    QCOMPARE(a->engine->statusText(), QStringLiteral("Server: in step"));
}

// The tasks of a list file kept beside the side's record, sorted by description.
QStringList keptCopies(const Side& side)
{
    QStringList tasks;
    for (const QString& name : QDir(side.dir.path()).entryList({QStringLiteral("veltlist-removed-*.vlp")})) {
        QFile f(side.dir.filePath(name));
        if (!f.open(QIODevice::ReadOnly))
            continue;
        for (const QByteArray& line : f.readAll().split('\n'))
            if (line.startsWith("1,") && !line.startsWith("1,0,"))
                tasks << QString::fromLatin1(line.mid(line.indexOf(',', 2) + 1).trimmed());
    }
    tasks.sort();
    return tasks;
}

void tst_SyncEngine::serverRemovingManyIsHeld_data()
{
    QTest::addColumn<int>("tasks");      // on the list
    QTest::addColumn<int>("completed");  // done elsewhere before the list met them: never on it
    QTest::addColumn<int>("removed");    // of the list's tasks
    QTest::addColumn<QString>("answer");  // to the one question; empty when none is asked
    QTest::newRow("a few leave the list, copied first") << 10 << 0 << 2 << QString();
    QTest::newRow("many are kept, then removed when the user says so") << 10 << 0 << 8 << "yes";
    QTest::newRow("many are kept, and put back when the user says so") << 10 << 0 << 8 << "no";
    QTest::newRow("all the list's tasks beside many completed ones") << 6 << 20 << 6 << "yes";
}

void tst_SyncEngine::serverRemovingManyIsHeld()
{
    QFETCH(int, tasks);
    QFETCH(int, completed);
    QFETCH(int, removed);
    QFETCH(QString, answer);
    if (completed > 0)
        peer({QStringLiteral("bulkdone"), QString::number(completed)});
    for (int i = 0; i < tasks; ++i)
        a->rows.push_back(task(QStringLiteral("task %1").arg(i)));
    QVERIFY(a->sync());
    QCOMPARE(a->rows.size(), size_t(tasks));
    // Once more, so that the list's token comes after its uploads: a server may leave out of a
    // later report what was both made and removed since an older token.
    QVERIFY(a->sync());
    QStringList uids, gone;
    for (int i = 0; i < removed; ++i) {
        uids << uidOf(a->rows[size_t(i)]);
        gone << QStringLiteral("task %1").arg(i);
    }
    const auto serverHolds = [] {
        const QString listed = peer({QStringLiteral("list")});
        return listed.isEmpty() ? 0 : int(listed.split(QLatin1Char('\n')).size());
    };
    peer(QStringList{QStringLiteral("delete")} + uids);
    QCOMPARE(serverHolds(), tasks + completed - removed);

    QSignalSpy held(a->engine.get(), &SyncEngine::serverRemovalsHeld);
    QVERIFY(a->sync());
    if (answer.isEmpty()) {
        QCOMPARE(held.size(), 0);
        QCOMPARE(a->rows.size(), size_t(tasks - removed));
        QCOMPARE(keptCopies(*a), gone);
        return;
    }
    // Kept, said, and asked once however often the list looks again.
    QCOMPARE(a->rows.size(), size_t(tasks));
    QCOMPARE(held.size(), 1);
    QCOMPARE(held.first().at(0).toInt(), removed);
    QCOMPARE(a->engine->statusText(), QStringLiteral("Server: %1 tasks removed there are kept here").arg(removed));
    QVERIFY(a->sync());
    QCOMPARE(a->rows.size(), size_t(tasks));
    QCOMPARE(held.size(), 1);
    QVERIFY(keptCopies(*a).isEmpty());

    a->engine->answerServerRemovals(answer == QLatin1String("yes"));
    QVERIFY(a->sync());
    if (answer == QLatin1String("yes")) {
        QCOMPARE(a->rows.size(), size_t(tasks - removed));
        QCOMPARE(keptCopies(*a), gone);
        QCOMPARE(serverHolds(), tasks + completed - removed);
    } else {
        QCOMPARE(a->rows.size(), size_t(tasks));
        QVERIFY(keptCopies(*a).isEmpty());
        for (const QString& uid : uids)
            VERIFY_SERVER_HOLDS(*a, uid);
        // And the other list, new to the server, gets them all.
        QVERIFY(b->sync());
        QCOMPARE(b->rows.size(), size_t(tasks));
    }
    QCOMPARE(a->engine->statusText(), QStringLiteral("Server: in step"));
}

void tst_SyncEngine::loggedTaskRenamedElsewhereStaysLogged_data()
{
    QTest::addColumn<bool>("renamedFirst");  // renamed there before the log reached the server
    QTest::newRow("renamed after the log went out") << false;
    QTest::newRow("renamed before the log went out") << true;
}

void tst_SyncEngine::loggedTaskRenamedElsewhereStaysLogged()
{
    QFETCH(bool, renamedFirst);
    a->rows = {task(QStringLiteral("errand")), task(QStringLiteral("other"))};
    QVERIFY(a->sync());
    const TaskRow errand = *a->find(QStringLiteral("errand"));
    std::erase_if(a->rows, [](const TaskRow& r) { return r[TaskCol::Task] == QLatin1String("errand"); });
    a->engine->noteLogged({errand}, QDateTime::currentDateTimeUtc());
    if (renamedFirst)
        peer({QStringLiteral("edit"), uidOf(errand), QStringLiteral("errand, renamed")});
    QVERIFY(a->sync());
    if (!renamedFirst) {
        peer({QStringLiteral("edit"), uidOf(errand), QStringLiteral("errand, renamed")});
        QVERIFY(a->sync());
    }
    QVERIFY(a->sync());
    QCOMPARE(a->descriptions(), QStringList{QStringLiteral("other")});
    VERIFY_SERVER_HOLDS(*a, uidOf(errand) + QStringLiteral("|errand, renamed|COMPLETED|"));
    QVERIFY(b->sync());
    QCOMPARE(b->descriptions(), QStringList{QStringLiteral("other")});
}

void tst_SyncEngine::dueTimeAloneReachesTheServer()
{
    const LocaleFormats formats = LocaleFormats::current();
    TaskRow call = task(QStringLiteral("call"));
    call[TaskCol::DueDate] = formats.formatDate(QDate(2026, 12, 15));
    call[TaskCol::DueTime] = formats.formatTime(QTime(9, 0));
    a->rows = {call};
    QVERIFY(a->sync());
    const QString uid = uidOf(a->rows.at(0));
    QCOMPARE(peer({QStringLiteral("show"), uid}).split(QLatin1Char('\n')).mid(0, 3),
             (QStringList{QStringLiteral("due 2026-12-15T17:00:00+00:00"), QStringLiteral("completed "),
                          QStringLiteral("line DUE;TZID=America/Los_Angeles:20261215T090000")}));
    a->rows[0][TaskCol::DueTime] = formats.formatTime(QTime(10, 30));
    QVERIFY(a->sync());
    QVERIFY(peer({QStringLiteral("show"), uid}).startsWith(QLatin1String("due 2026-12-15T18:30:00+00:00\n")));
    QVERIFY(b->sync());
    QCOMPARE(b->rows.at(0)[TaskCol::DueTime], formats.formatTime(QTime(10, 30)));

    // Another program's due time in UTC, moved here: still in UTC, at the moment meant.
    peer({QStringLiteral("put"), QStringLiteral("utc.ics"), QStringLiteral("utc-1"), QStringLiteral("in utc"),
          QStringLiteral("DUE:20261215T090000Z")});
    QVERIFY(a->sync());
    QCOMPARE(a->find(QStringLiteral("in utc"))->at(TaskCol::DueTime), formats.formatTime(QTime(1, 0)));
    a->find(QStringLiteral("in utc"))->at(TaskCol::DueTime) = formats.formatTime(QTime(2, 0));
    QVERIFY(a->sync());
    QCOMPARE(peer({QStringLiteral("show"), QStringLiteral("utc-1")}).split(QLatin1Char('\n')).value(2),
             QStringLiteral("line DUE:20261215T100000Z"));
}

void tst_SyncEngine::loggedOfflineCarriesItsMoment()
{
    a->rows = {task(QStringLiteral("paid"))};
    QVERIFY(a->sync());
    const TaskRow paid = a->rows.at(0);
    // Logged while the server is out of reach, and the program started again before it is back.
    a->client.setServer(QUrl(QStringLiteral("http://127.0.0.1:1/cal/")), QString(), QString());
    a->rows.clear();
    const QDateTime at(QDate(2026, 12, 1), QTime(8, 15, 30), QTimeZone::utc());
    a->engine->noteLogged({paid}, at);
    QVERIFY(a->sync());
    QCOMPARE(a->engine->lastError().kind, DavError::Unreachable);
    a->restart();
    a->connect();
    QVERIFY(a->sync());
    QVERIFY2(!a->engine->lastError(), qPrintable(a->engine->lastError().message));
    QCOMPARE(peer({QStringLiteral("show"), uidOf(paid)}).split(QLatin1Char('\n')).value(1),
             QStringLiteral("completed 2026-12-01T08:15:30+00:00"));
}

void tst_SyncEngine::conflictCopyBesideAnotherProgramsResource()
{
    // Another program names its resources its own way, not after the UID.
    peer({QStringLiteral("put"), QStringLiteral("their-own-name.ics"), QStringLiteral("shared-1"), QStringLiteral("shared")});
    QVERIFY(a->sync());
    // Edited on both sides, the description in both, a category here: the merged to-do goes back
    // to the other program's resource, the list's own version to a new one beside it.
    TaskRow* shared = a->find(QStringLiteral("shared"));
    QVERIFY(shared);
    shared->at(TaskCol::Task) = QStringLiteral("shared, edited here");
    shared->at(TaskCol::Category) = QStringLiteral("Home");
    peer({QStringLiteral("edit"), QStringLiteral("shared-1"), QStringLiteral("shared, edited there")});
    QVERIFY(a->sync());
    QVERIFY(a->sync());
    QCOMPARE(a->descriptions(), (QStringList{QStringLiteral("shared, edited here (conflict)"), QStringLiteral("shared, edited there")}));
    const QString copy = uidOf(*a->find(QStringLiteral("shared, edited here (conflict)")));
    QVERIFY(copy != QLatin1String("shared-1"));
    QStringList resources{QStringLiteral("their-own-name.ics"), copy + QStringLiteral(".ics")};
    resources.sort();
    QCOMPARE(peer({QStringLiteral("resources")}).split(QLatin1Char('\n')), resources);
    VERIFY_SERVER_HOLDS(*a, QStringLiteral("shared-1|shared, edited there||Home|Office"));
    QVERIFY(b->sync());
    QCOMPARE(b->descriptions(), a->descriptions());
}

void tst_SyncEngine::untouchedCategoriesStayReadable()
{
    // Another program's categories, one holding a comma: after a title edit here, the other
    // client still reads them (it fails on a list split into one line a name).
    peer({QStringLiteral("put"), QStringLiteral("cats.ics"), QStringLiteral("cats-1"), QStringLiteral("shed"),
          QStringLiteral("CATEGORIES:Home\\, Garden,Work,\u00dcn\u00efc\u00f6d\u00e9")});
    QVERIFY(a->sync());
    QVERIFY(a->find(QStringLiteral("shed")));
    a->find(QStringLiteral("shed"))->at(TaskCol::Task) = QStringLiteral("shed roof");
    QVERIFY(a->sync());
    VERIFY_SERVER_HOLDS(*a, QStringLiteral("cats-1|shed roof||Home, Garden,Work,\u00dcn\u00efc\u00f6d\u00e9|Office"));
}

void tst_SyncEngine::serverAwayLosesNothing()
{
    a->rows = {task(QStringLiteral("kept"))};
    QVERIFY(a->sync());
    QVERIFY(b->sync());

    // The server goes; changes wait, and are counted.
    const qint64 pid = qEnvironmentVariable("CALDAV_PID").toLongLong();
    QVERIFY(pid > 0);
    QCOMPARE(QProcess::execute(QStringLiteral("kill"), {QString::number(pid)}), 0);
    QTRY_VERIFY_WITH_TIMEOUT(!QFile::exists(QStringLiteral("/proc/%1").arg(pid)), 10000);
    a->rows[0][TaskCol::Category] = QStringLiteral("Offline");
    a->rows.push_back(task(QStringLiteral("added offline")));
    QVERIFY(a->sync());
    QCOMPARE(a->engine->lastError().kind, DavError::Unreachable);
    QCOMPARE(a->engine->statusText(), QStringLiteral("Server: cannot reach 127.0.0.1"));
    QCOMPARE(a->engine->waitingChanges(a->rows), 2);

    // Back on the same port and storage: the waiting changes go out and reach the other list.
    QProcess server;
    server.setProcessChannelMode(QProcess::ForwardedChannels);
    server.start(QStringLiteral("bash"), {QStringLiteral("-c"), qEnvironmentVariable("CALDAV_RESTART")});
    QVERIFY(server.waitForStarted());
    QTRY_VERIFY_WITH_TIMEOUT(a->sync() && !a->engine->lastError(), 20000);
    QCOMPARE(a->engine->statusText(), QStringLiteral("Server: in step"));
    QVERIFY(b->sync());
    QCOMPARE(b->descriptions(), (QStringList{QStringLiteral("added offline"), QStringLiteral("kept")}));
    QCOMPARE(b->find(QStringLiteral("kept"))->at(TaskCol::Category), QStringLiteral("Offline"));
    server.terminate();
    server.waitForFinished();
}

void tst_SyncEngine::oneUidInTwoResourcesIsTold()
{
    // Written into the server's storage: a server refuses such a PUT.
    const QString folder = qEnvironmentVariable("CALDAV_STORE");
    if (folder.isEmpty())
        QSKIP("the server's storage is its own business");
    for (const QByteArray name : {"dupA", "dupB"}) {
        QFile f(folder + QString::fromLatin1(name + ".ics"));
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write("BEGIN:VCALENDAR\r\nBEGIN:VTODO\r\nUID:dup-uid-1\r\nSUMMARY:" + name + "\r\nEND:VTODO\r\nEND:VCALENDAR\r\n");
    }
    for (int sync = 0; sync < 2; ++sync)  // at every sync, not only at the first
        QVERIFY(a->sync() && a->engine->statusText().contains(QStringLiteral("dup-uid-1")));
}

QTEST_GUILESS_MAIN(tst_SyncEngine)
#include "tst_syncengine.moc"
