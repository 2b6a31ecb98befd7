// The three-way comparison of the task list with the calendar server, and its record on disk.
#include "MergeRows.h"
#include "TestEnv.h"
#include "store/core/ICalendar.h"
#include "sync/core/SyncMerge.h"
#include "sync/core/SyncState.h"

#include <QTemporaryDir>
#include <QtTest>

using namespace veltry;
using namespace veltry::sync;
using namespace veltry::mergerows;

namespace {

using veltry::mergerows::describe;  // beside the overloads below

// A side's version of task "u" (agreed "a" in category "c"): "=" as agreed, "T"/"C" the
// description/category changed to `text`, "-" absent.
std::optional<TaskRow> side(const QString& how, const QString& text)
{
    if (how == QLatin1String("-"))
        return std::nullopt;
    TaskRow row = task(QStringLiteral("u"), QStringLiteral("a"));
    if (how.contains(QLatin1Char('T')))
        row[TaskCol::Task] = text;
    if (how.contains(QLatin1Char('C')))
        row[TaskCol::Category] = text;
    if (how.contains(QLatin1Char('W'))) {  // weekly
        row[TaskCol::DueDate] = QStringLiteral("12/7/26");
        row[TaskCol::Type] = QStringLiteral("2");
    }
    return row;
}

QString describe(const MergeResult& m)
{
    QStringList out;
    for (const Upload& u : m.uploads)
        out << (u.ifMatch.isEmpty() ? QStringLiteral("create ") : QStringLiteral("put@") + QString::fromLatin1(u.ifMatch) + QLatin1Char(' '))
                   + describe({u.cells}) + (u.cells[TaskCol::Type] == QLatin1String("0") ? QString() : QStringLiteral("/repeats"));
    for (const Removal& r : m.removals)
        out << QStringLiteral("delete@") + QString::fromLatin1(r.ifMatch);
    out.sort();
    return out.join(QLatin1Char(','));
}

} // namespace

class tst_SyncMerge : public QObject
{
    Q_OBJECT

private slots:
    void threeWay_data();
    void threeWay();
    void uidsAreOwnAndKept();
    void recordRoundTripsAndSurvivesDamage();
    void oneTaskRoundTripsThroughTheCalendar();
    void changeKeepsWhatOthersWrote_data();
    void changeKeepsWhatOthersWrote();
};

void tst_SyncMerge::threeWay_data()
{
    QTest::addColumn<QString>("base");     // "a": agreed at etag "e1"; "-": never agreed
    QTest::addColumn<QString>("local");    // see side(); "L" texts
    QTest::addColumn<QString>("remote");   // see side(), "R" texts; "unchanged" not listed; "-" gone
    QTest::addColumn<bool>("logged");
    QTest::addColumn<QString>("list");
    QTest::addColumn<QString>("sent");
    QTest::addColumn<int>("conflicts");

    // Agreed task, every pairing of unchanged / description / category / removed.
    QTest::newRow("= =") << "a" << "=" << "unchanged" << false << "a/c" << "" << 0;
    QTest::newRow("= T") << "a" << "=" << "T" << false << "R/c" << "" << 0;
    QTest::newRow("= C") << "a" << "=" << "C" << false << "a/R" << "" << 0;
    QTest::newRow("= gone") << "a" << "=" << "-" << false << "" << "" << 0;
    QTest::newRow("T =") << "a" << "T" << "unchanged" << false << "L/c" << "put@e1 L/c" << 0;
    QTest::newRow("T T") << "a" << "T" << "T" << false << "R/c;L (conflict)/c" << "create L (conflict)/c" << 1;
    QTest::newRow("T T same") << "a" << "T" << "TS" << false << "L/c" << "" << 0;
    QTest::newRow("T C merged") << "a" << "T" << "C" << false << "L/R" << "put@e2 L/R" << 0;
    QTest::newRow("T gone") << "a" << "T" << "-" << false << "L/c" << "create L/c" << 0;
    QTest::newRow("C =") << "a" << "C" << "unchanged" << false << "a/L" << "put@e1 a/L" << 0;
    QTest::newRow("C T merged") << "a" << "C" << "T" << false << "R/L" << "put@e2 R/L" << 0;
    QTest::newRow("C C") << "a" << "C" << "C" << false << "a/R;a (conflict)/L" << "create a (conflict)/L" << 1;
    QTest::newRow("TC T") << "a" << "TC" << "T" << false << "R/L;L (conflict)/L" << "create L (conflict)/L,put@e2 R/L" << 1;
    QTest::newRow("removed =") << "a" << "-" << "unchanged" << false << "" << "delete@e1" << 0;
    QTest::newRow("removed T") << "a" << "-" << "T" << false << "R/c" << "" << 0;
    QTest::newRow("removed gone") << "a" << "-" << "-" << false << "" << "" << 0;
    // Logging completes the task on the server, with an edit made there meanwhile.
    QTest::newRow("logged =") << "a" << "-" << "unchanged" << true << "" << "put@e1 a/c/done" << 0;
    QTest::newRow("logged T") << "a" << "-" << "T" << true << "" << "put@e2 R/c/done" << 0;
    QTest::newRow("logged, repeating") << "aW" << "-" << "unchanged" << true << "" << "put@e1 a/c/done" << 0;
    QTest::newRow("logged gone") << "a" << "-" << "-" << true << "" << "" << 0;
    // Never agreed: new on one side, or on both with the same UID (a lost record).
    QTest::newRow("new here") << "-" << "T" << "unchanged" << false << "L/c" << "create L/c" << 0;
    QTest::newRow("new there") << "-" << "-" << "T" << false << "R/c" << "" << 0;
    QTest::newRow("new there, completed") << "-" << "-" << "TD" << false << "" << "" << 0;
    QTest::newRow("both, equal") << "-" << "T" << "TS" << false << "L/c" << "" << 0;
    QTest::newRow("both, differing") << "-" << "T" << "T" << false << "R/c;L (conflict)/c" << "create L (conflict)/c" << 1;
}

void tst_SyncMerge::threeWay()
{
    QFETCH(QString, base);
    QFETCH(QString, local);
    QFETCH(QString, remote);
    QFETCH(bool, logged);
    QFETCH(QString, list);
    QFETCH(QString, sent);
    QFETCH(int, conflicts);

    QHash<QString, Agreed> agreed;
    const QString agreedHow = base == QLatin1String("aW") ? QStringLiteral("=W") : QStringLiteral("=");
    if (base.startsWith(QLatin1Char('a')))
        agreed.insert(QStringLiteral("u"), Agreed{QStringLiteral("/cal/u.ics"), "e1", *side(agreedHow, {}), {}, false});
    std::vector<TaskRow> rows;
    if (auto l = side(local, QStringLiteral("L")))
        rows.push_back(*l);
    QHash<QString, RemoteChange> changes;
    if (remote != QLatin1String("unchanged")) {
        // "S": the server made the same change as this list; "D": it completed the task.
        QString how = remote;
        const bool same = how.contains(QLatin1Char('S'));
        const bool done = how.contains(QLatin1Char('D'));
        how.remove(QLatin1Char('S')).remove(QLatin1Char('D'));
        auto r = side(how, same ? QStringLiteral("L") : QStringLiteral("R"));
        if (r && done)
            (*r)[TaskCol::Mark] = kCheckedMark;
        changes.insert(QStringLiteral("u"), RemoteChange{QStringLiteral("/cal/u.ics"), "e2", r, {}});
    }
    QHash<QString, LoggedTask> log;
    if (logged)
        log.insert(QStringLiteral("u"), LoggedTask{*side(agreedHow, {}), QDateTime(QDate(2026, 12, 7), QTime(9, 0), QTimeZone::utc())});

    const MergeResult m = merge(rows, agreed, changes, log, &testUid);
    QCOMPARE(describe(m.localChanged ? m.local : rows), list);
    QCOMPARE(describe(m), sent);
    QCOMPARE(m.conflicts, conflicts);
    // The list changed exactly when its rows did.
    QCOMPARE(m.localChanged, describe(m.local) != describe(rows));
    for (const Upload& u : m.uploads)
        QCOMPARE(u.offList, logged);
}

void tst_SyncMerge::uidsAreOwnAndKept()
{
    std::vector<TaskRow> rows{task(QString(), QStringLiteral("x")), task(QStringLiteral("k"), QStringLiteral("y")),
                              task(QStringLiteral("k"), QStringLiteral("copy of y"))};
    QCOMPARE(assignUids(rows, &makeUid), 2);
    QCOMPARE(uidOf(rows[1]), QStringLiteral("k"));
    QVERIFY(!uidOf(rows[0]).isEmpty());
    QVERIFY(uidOf(rows[2]) != QStringLiteral("k") && uidOf(rows[2]) != uidOf(rows[0]));
    QCOMPARE(assignUids(rows, &makeUid), 0);
}

void tst_SyncMerge::recordRoundTripsAndSurvivesDamage()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("state.dat"));
    SyncState s;
    s.account = accountOf(QStringLiteral("http://h/cal/"), QStringLiteral("alice"));
    s.syncToken = QStringLiteral("tok-1");
    s.agreed.insert(QStringLiteral("u"), Agreed{QStringLiteral("/cal/u.ics"), "\"e1\"", task(QStringLiteral("u"), QStringLiteral("é\r\nx")), "BEGIN:VCALENDAR\r\n", true});
    s.logged.insert(QStringLiteral("v"), LoggedTask{task(QStringLiteral("v"), QStringLiteral("v")), QDateTime(QDate(2026, 1, 2), QTime(3, 4), QTimeZone::utc())});
    s.save(path);
    QCOMPARE(QFile::permissions(path) & (QFileDevice::ReadGroup | QFileDevice::ReadOther), QFileDevice::Permissions());

    QString error;
    const SyncState back = SyncState::load(path, &error);
    QVERIFY(error.isEmpty());
    QCOMPARE(back.account, s.account);
    QCOMPARE(back.syncToken, s.syncToken);
    QCOMPARE(back.agreed.value(QStringLiteral("u")).cells, s.agreed.value(QStringLiteral("u")).cells);
    QVERIFY(back.agreed.value(QStringLiteral("u")).offList);
    QCOMPARE(back.agreed.value(QStringLiteral("u")).ics, QByteArray("BEGIN:VCALENDAR\r\n"));
    QCOMPARE(back.agreed.value(QStringLiteral("u")).etag, QByteArray("\"e1\""));
    QCOMPARE(back.logged.value(QStringLiteral("v")).at, s.logged.value(QStringLiteral("v")).at);

    // Cut short or overwritten: an empty record and a message, never a crash.
    QFile f(path);
    QVERIFY(f.open(QIODevice::ReadWrite));
    const QByteArray whole = f.readAll();
    for (const QByteArray& damaged : QList<QByteArray>{whole.left(whole.size() / 2), "garbage", whole.left(12) + QByteArray(8, '\xFF')}) {
        f.resize(0);
        QVERIFY(f.seek(0) && f.write(damaged) == damaged.size() && f.flush());
        error.clear();
        const SyncState d = SyncState::load(path, &error);
        QVERIFY(!error.isEmpty());
        QVERIFY(d.agreed.isEmpty() && d.syncToken.isEmpty());
    }
}

void tst_SyncMerge::oneTaskRoundTripsThroughTheCalendar()
{
    ICalendar::Context context;
    context.now = QDateTime(QDate(2026, 12, 7), QTime(10, 0), QTimeZone::utc());
    TaskRow row = task(QStringLiteral("uid-1"), QStringLiteral("Buy milk"), QStringLiteral("Home"));
    row[TaskCol::Mark] = kCheckedMark;
    row[TaskCol::Notes] = QStringLiteral("two\r\nlines");
    const QDateTime logged(QDate(2026, 12, 6), QTime(8, 30), QTimeZone::utc());
    const QByteArray ics = ICalendar::encodeTask(row, logged, context);
    QVERIFY(ics.contains("UID:uid-1"));
    QVERIFY(ics.contains("STATUS:COMPLETED"));
    QVERIFY(ics.contains("COMPLETED:20261206T083000Z"));
    const auto back = ICalendar::decodeTask(ics, context);
    QVERIFY(back);
    QCOMPARE((*back)[TaskCol::Reserved], QStringLiteral("uid-1"));
    QCOMPARE((*back)[TaskCol::Task], row[TaskCol::Task]);
    QCOMPARE((*back)[TaskCol::Notes], row[TaskCol::Notes]);
    QCOMPARE((*back)[TaskCol::Mark], kCheckedMark);
    // A resource with no to-do is no task.
    QVERIFY(!ICalendar::decodeTask("BEGIN:VCALENDAR\r\nVERSION:2.0\r\nPRODID:x\r\nBEGIN:VEVENT\r\nUID:e\r\n"
                                   "DTSTAMP:20260101T000000Z\r\nEND:VEVENT\r\nEND:VCALENDAR\r\n", context));
}

void tst_SyncMerge::changeKeepsWhatOthersWrote_data()
{
    QTest::addColumn<int>("column");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QStringList>("present");
    QTest::addColumn<QStringList>("absent");
    const QStringList theirs{QStringLiteral("LOCATION:Office"), QStringLiteral("X-OTHER-APP:kept"),
                             QStringLiteral("RRULE:FREQ=YEARLY"), QStringLiteral("TRIGGER:-PT15M")};
    QTest::newRow("nothing") << -1 << QString() << theirs + QStringList{QStringLiteral("CATEGORIES:Home"), QStringLiteral("PERCENT-COMPLETE:40")}
                             << QStringList();
    QTest::newRow("category") << int(TaskCol::Category) << QStringLiteral("Work") << theirs + QStringList{QStringLiteral("CATEGORIES:Work")}
                              << QStringList{QStringLiteral("CATEGORIES:Home")};
    QTest::newRow("checked") << int(TaskCol::Mark) << kCheckedMark
                             << theirs + QStringList{QStringLiteral("STATUS:COMPLETED"), QStringLiteral("COMPLETED:20261207T100000Z")}
                             << QStringList{QStringLiteral("PERCENT-COMPLETE"), QStringLiteral("NEEDS-ACTION")};
    QTest::newRow("alarm off") << int(TaskCol::Alarm) << QString() << QStringList{QStringLiteral("LOCATION:Office")}
                               << QStringList{QStringLiteral("VALARM")};
}

void tst_SyncMerge::changeKeepsWhatOthersWrote()
{
    QFETCH(int, column);
    QFETCH(QString, text);
    QFETCH(QStringList, present);
    QFETCH(QStringList, absent);
    ICalendar::Context context;
    context.now = QDateTime(QDate(2026, 12, 7), QTime(10, 0), QTimeZone::utc());
    const QByteArray theirs = "BEGIN:VCALENDAR\r\nVERSION:2.0\r\nPRODID:-//other//EN\r\nBEGIN:VTODO\r\nUID:t1\r\n"
                              "DTSTAMP:20260101T000000Z\r\nSUMMARY:Renew the lease\r\nDUE:20261210T090000\r\n"
                              "CATEGORIES:Home\r\nLOCATION:Office\r\nX-OTHER-APP:kept\r\nPERCENT-COMPLETE:40\r\n"
                              "STATUS:NEEDS-ACTION\r\nRRULE:FREQ=YEARLY\r\nBEGIN:VALARM\r\nACTION:DISPLAY\r\n"
                              "DESCRIPTION:x\r\nTRIGGER:-PT15M\r\nEND:VALARM\r\nEND:VTODO\r\nEND:VCALENDAR\r\n";
    auto task = ICalendar::decodeTask(theirs, context);
    QVERIFY(task);
    if (column >= 0)
        (*task)[size_t(column)] = text;
    const QByteArray out = ICalendar::encodeTask(*task, QDateTime(), context, theirs);
    for (const QString& p : present)
        QVERIFY2(out.contains(p.toUtf8()), qPrintable(p + QLatin1String(" missing:\n") + QString::fromUtf8(out)));
    for (const QString& a : absent)
        QVERIFY2(!out.contains(a.toUtf8()), qPrintable(a + QLatin1String(" still there:\n") + QString::fromUtf8(out)));
    // Read back, the to-do is the task as the list has it.
    const auto back = ICalendar::decodeTask(out, context);
    QVERIFY(back);
    QVERIFY(sameContent(*back, *task));
}

QTEST_GUILESS_MAIN(tst_SyncMerge)
#include "tst_syncmerge.moc"
