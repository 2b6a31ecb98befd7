#include "alarms/core/AlarmScheduler.h"
#include "platform/core/LocaleFormats.h"
#include "store/core/Task.h"
#include "widgets/core/CellStore.h"
#include "widgets/core/GridFile.h"

#include <QRandomGenerator>
#include <QTest>

using namespace veltry;

namespace {
struct TaskSpec
{
    QString name;
    QString date;
    QString time;
    QString alarm;
    QString type = QStringLiteral("0");
};

CellStore makeList(const QList<TaskSpec>& tasks)
{
    CellStore s;
    s.setColumnCount(TaskCol::Count);
    s.setRowCount(int(tasks.size()) + 1);
    for (int c = 0; c < TaskCol::Count; ++c)
        s.setCell(c, 0, kTaskTitles[size_t(c)]);
    for (int i = 0; i < tasks.size(); ++i) {
        const int r = i + 1;
        const TaskSpec& t = tasks[i];
        s.setCell(TaskCol::Task, r, t.name);
        s.setCell(TaskCol::DueDate, r, t.date);
        s.setCell(TaskCol::DueTime, r, t.time);
        s.setCell(TaskCol::Category, r, QStringLiteral("Work"));
        s.setCell(TaskCol::Priority, r, QStringLiteral("2"));
        s.setCell(TaskCol::Notes, r, QStringLiteral("notes of ") + t.name);
        s.setCell(TaskCol::CreateDate, r, QStringLiteral("1/1/25"));
        s.setCell(TaskCol::Alarm, r, t.alarm);
        s.setCell(TaskCol::Type, r, t.type);
    }
    return s;
}

QDateTime at(int y, int m, int d, int h = 0, int min = 0, int s = 0, int ms = 0)
{
    return QDateTime(QDate(y, m, d), QTime(h, min, s, ms));
}

// Runs passes and records what they asked of the windows.
struct Recorder
{
    AlarmScheduler scheduler;
    QStringList rung;  // task names, in the order their reminders came
    QList<int> ringTypes;
    int messages = 0;
    std::function<void(CellStore&, int)> onRing;
    LocaleFormats formats = LocaleFormats::fromPattern(QStringLiteral("m/d/yy"), QLatin1Char('/'));

    void pass(CellStore& cells, const QDateTime& now)
    {
        AlarmScheduler::Hooks hooks;
        hooks.raiseReminder = [&](int row, int type) {
            rung << cells.cell(TaskCol::Task, row);
            ringTypes << type;
            if (onRing)
                onRing(cells, row);
        };
        hooks.reportUnreadable = [&](const QString& text) {
            QCOMPARE(text, QStringLiteral("got screwed up in check alarms. Blank due date maybe?"));
            ++messages;
        };
        scheduler.checkAlarms(cells, now, formats, hooks);
    }
};
} // namespace

class TestAlarmScheduler : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void ringsAtTheMoment_data()
    {
        QTest::addColumn<QString>("time");
        QTest::addColumn<QDateTime>("now");
        QTest::addColumn<bool>("rings");
        QTest::newRow("a second before") << "09:30am" << at(2025, 6, 10, 9, 29, 59, 999) << false;
        QTest::newRow("at the minute") << "09:30am" << at(2025, 6, 10, 9, 30) << true;
        QTest::newRow("a tick later") << "09:30am" << at(2025, 6, 10, 9, 30, 0, 400) << true;
        QTest::newRow("pm") << "09:30pm" << at(2025, 6, 10, 12, 0) << false;
        QTest::newRow("12:00am is midnight") << "12:00am" << at(2025, 6, 10, 0, 0) << true;
        QTest::newRow("no time, day before") << "" << at(2025, 6, 9, 23, 59, 59, 999) << false;
        QTest::newRow("no time, midnight") << "" << at(2025, 6, 10, 0, 0) << true;
        QTest::newRow("days late") << "09:30am" << at(2025, 6, 14, 8, 0) << true;
    }
    void ringsAtTheMoment()
    {
        QFETCH(QString, time);
        QFETCH(QDateTime, now);
        QFETCH(bool, rings);
        CellStore cells = makeList({{"call", "6/10/25", time, "Y"}});
        Recorder rec;
        rec.pass(cells, now);
        QCOMPARE(rec.rung.size(), rings ? 1 : 0);
    }

    void severalDueRingInRowOrder()
    {
        CellStore cells = makeList({{"first", "6/10/25", "09:00am", "Y"},
                                    {"later", "6/11/25", "09:00am", "Y"},
                                    {"second", "6/9/25", "", "Y", "2"},
                                    {"quiet", "6/1/25", "", ""},
                                    {"third", "6/10/25", "09:30am", "Y"}});
        Recorder rec;
        rec.pass(cells, at(2025, 6, 10, 9, 30));
        QCOMPARE(rec.rung, QStringList({"first", "second", "third"}));
        QCOMPARE(rec.ringTypes, QList<int>({0, 2, 0}));
        QCOMPARE(cells.rowCount(), 6);  // an alarm task is never renewed
    }

    void unansweredReminderRingsAgain()
    {
        CellStore cells = makeList({{"call", "6/10/25", "09:30am", "Y"}});
        Recorder rec;
        rec.pass(cells, at(2025, 6, 10, 9, 30));
        rec.pass(cells, at(2025, 6, 10, 9, 30, 1));
        QCOMPARE(rec.rung.size(), 2);
        // Once its alarm is off, it rings no more.
        cells.setCell(TaskCol::Alarm, 1, QString());
        rec.pass(cells, at(2025, 6, 10, 9, 30, 2));
        QCOMPARE(rec.rung.size(), 2);
    }

    void emptyTypeBecomesOneTimeWhenDue()
    {
        CellStore cells = makeList({{"old", "6/1/25", "", "", ""}, {"ahead", "7/1/25", "", "", ""}});
        Recorder rec;
        rec.pass(cells, at(2025, 6, 10, 9, 0));
        QCOMPARE(cells.cell(TaskCol::Type, 1), QStringLiteral("0"));
        QCOMPARE(cells.cell(TaskCol::Type, 2), QString());
        QCOMPARE(cells.rowCount(), 3);
    }

    void emptyListAndNoDateDoNothing()
    {
        CellStore placeholder = makeList({{"", "", "", "", ""}});
        CellStore titlesOnly = makeList({});
        CellStore noDate = makeList({{"someday", "", "09:00am", "Y", ""}});
        Recorder rec;
        rec.pass(placeholder, at(2025, 6, 10, 9, 0));
        rec.pass(titlesOnly, at(2025, 6, 10, 9, 0));
        rec.pass(noDate, at(2025, 6, 10, 9, 0));
        QVERIFY(rec.rung.isEmpty());
        QCOMPARE(placeholder.cell(TaskCol::Type, 1), QString());
        QCOMPARE(noDate.cell(TaskCol::Type, 1), QString());
        QCOMPARE(rec.messages, 0);
    }

    void renewal_data()
    {
        QTest::addColumn<QString>("type");
        QTest::addColumn<QString>("due");
        QTest::addColumn<QDateTime>("now");
        QTest::addColumn<QString>("next");  // empty: not renewed
        QTest::newRow("daily, due yesterday") << "1" << "6/9/25" << at(2025, 6, 10, 11, 0) << "6/11/25";
        QTest::newRow("daily, due today at 10:00, now 11:00") << "1" << "6/10/25" << at(2025, 6, 10, 11, 0) << "";
        QTest::newRow("weekly, on the Wednesday") << "2" << "6/2/25" << at(2025, 6, 4, 8, 0) << "6/9/25";
        QTest::newRow("weekly, a week later") << "2" << "6/2/25" << at(2025, 6, 9, 8, 0) << "6/16/25";
        QTest::newRow("bi-weekly") << "3" << "6/2/25" << at(2025, 6, 4, 8, 0) << "6/16/25";
        QTest::newRow("monthly, on the 15th") << "4" << "1/15/25" << at(2025, 3, 15, 10, 0) << "3/15/25";
        QTest::newRow("monthly, on the 16th") << "4" << "1/15/25" << at(2025, 3, 16, 10, 0) << "4/15/25";
        QTest::newRow("monthly, 31 December on 5 January") << "4" << "12/31/25" << at(2026, 1, 5, 9, 0) << "1/31/26";
        QTest::newRow("monthly, 31 January in February") << "4" << "1/31/24" << at(2024, 2, 2, 9, 0) << "2/29/24";
        QTest::newRow("one-time") << "0" << "6/1/25" << at(2025, 6, 10, 9, 0) << "";
        QTest::newRow("type naming nothing") << "9" << "6/1/25" << at(2025, 6, 10, 9, 0) << "";
    }
    void renewal()
    {
        QFETCH(QString, type);
        QFETCH(QString, due);
        QFETCH(QDateTime, now);
        QFETCH(QString, next);
        CellStore cells = makeList({{"water plants", due, "10:00am", "", type}});
        cells.setCell(TaskCol::Mark, 1, kCheckedMark);
        cells.setCell(TaskCol::Reserved, 1, QStringLiteral("kept"));
        Recorder rec;
        rec.pass(cells, now);
        QVERIFY(rec.rung.isEmpty());
        if (next.isEmpty()) {
            QCOMPARE(cells.rowCount(), 2);
            QCOMPARE(cells.cell(TaskCol::Type, 1), type);
            return;
        }
        QCOMPARE(cells.rowCount(), 3);
        for (int c = TaskCol::Task; c < TaskCol::Count; ++c)
            if (c != TaskCol::DueDate && c != TaskCol::Type)
                QCOMPARE(cells.cell(c, 2), cells.cell(c, 1));
        QCOMPARE(cells.cell(TaskCol::DueDate, 2), next);
        QCOMPARE(cells.cell(TaskCol::DueTime, 2), QStringLiteral("10:00am"));
        QCOMPARE(cells.cell(TaskCol::Type, 2), type);
        QCOMPARE(cells.cell(TaskCol::Mark, 2), QString());  // the mark is not copied
        // The old task stays, overdue and one-time; the next pass leaves both alone.
        QCOMPARE(cells.cell(TaskCol::Type, 1), QStringLiteral("0"));
        QCOMPARE(cells.cell(TaskCol::DueDate, 1), due);
        rec.pass(cells, now.addSecs(1));
        QCOMPARE(cells.rowCount(), 3);
    }

    void rowsAddedDuringThePassWaitForTheNext()
    {
        CellStore cells = makeList({{"a", "6/10/25", "", "Y"}});
        Recorder rec;
        rec.onRing = [](CellStore& s, int) {
            if (s.rowCount() == 2) {
                s.setRowCount(3);
                s.setCell(TaskCol::Task, 2, QStringLiteral("b"));
                s.setCell(TaskCol::DueDate, 2, QStringLiteral("6/1/25"));
                s.setCell(TaskCol::Alarm, 2, QStringLiteral("Y"));
            }
        };
        rec.pass(cells, at(2025, 6, 10, 12, 0));
        QCOMPARE(rec.rung, QStringList({"a"}));
        rec.pass(cells, at(2025, 6, 10, 12, 0, 1));
        QCOMPARE(rec.rung, QStringList({"a", "a", "b"}));
    }

    void rowsRemovedDuringThePass()
    {
        CellStore cells = makeList({{"a", "6/10/25", "", "Y"}, {"b", "6/10/25", "", "Y"}, {"c", "6/10/25", "", "Y"}});
        Recorder rec;
        rec.onRing = [](CellStore& s, int row) { s.removeRows(row, 1); };
        rec.pass(cells, at(2025, 6, 10, 12, 0));
        // The row that moved up into the removed one's place waits for the next pass.
        QCOMPARE(rec.rung, QStringList({"a", "c"}));
        rec.pass(cells, at(2025, 6, 10, 12, 0, 1));
        QCOMPARE(rec.rung, QStringList({"a", "c", "b"}));
        QCOMPARE(cells.rowCount(), 1);
    }

    void unreadableRowsAreSkippedAndToldOnce()
    {
        CellStore cells = makeList({{"bad date", "13/45/25", "", "Y"},
                                    {"good", "6/10/25", "09:00am", "Y"},
                                    {"bad time", "6/10/25", "9.30 o'clock", "Y"},
                                    {"same bad date", "13/45/25", "", ""},
                                    {"renewed", "6/1/25", "", "", "1"}});
        Recorder rec;
        rec.pass(cells, at(2025, 6, 10, 12, 0));
        QCOMPARE(rec.rung, QStringList({"good"}));
        QCOMPARE(rec.messages, 2);  // one for each distinct unreadable text
        QCOMPARE(cells.rowCount(), 7);  // the recurring task after them was still renewed
        for (int i = 1; i <= 3; ++i)
            rec.pass(cells, at(2025, 6, 10, 12, 0, i));
        QCOMPARE(rec.rung.size(), 4);
        QCOMPARE(rec.messages, 2);
        QCOMPARE(cells.cell(TaskCol::Type, 1), QStringLiteral("0"));
        // A new unreadable text is told; a mended one rings.
        cells.setCell(TaskCol::DueDate, 4, QStringLiteral("soon"));
        cells.setCell(TaskCol::DueDate, 1, QStringLiteral("6/10/25"));
        rec.pass(cells, at(2025, 6, 10, 12, 0, 5));
        QCOMPARE(rec.messages, 3);
        QCOMPARE(rec.rung.mid(4), QStringList({"bad date", "good"}));
    }

    // The cache of parsed rows must notice every change that other code makes between passes.
    void changesBetweenPassesAreSeen_data()
    {
        QTest::addColumn<int>("change");
        QTest::newRow("date, same length") << 0;
        QTest::newRow("time, same length") << 1;
        QTest::newRow("alarm switched on") << 2;
        QTest::newRow("rows swapped") << 3;
        QTest::newRow("row inserted") << 4;
        QTest::newRow("row removed") << 5;
        QTest::newRow("whole list replaced") << 6;
        QTest::newRow("cells rewritten twice") << 7;
        QTest::newRow("row removed above one falling due") << 8;
        QTest::newRow("another list looked at in between") << 9;
        QTest::newRow("row written, then one inserted above it") << 10;
    }
    void changesBetweenPassesAreSeen()
    {
        QFETCH(int, change);
        // Nothing is due at first; each change makes exactly one task due.
        CellStore cells = makeList({{"a", "6/11/25", "12:01pm", "Y"},
                                    {"b", "6/11/25", "09:00am", ""},
                                    {"far", "6/19/25", "10:00am", "Y"}});
        Recorder rec;
        const QDateTime now = at(2025, 6, 11, 12, 0);
        rec.pass(cells, now);
        QVERIFY(rec.rung.isEmpty());
        QString expected = QStringLiteral("a");
        QDateTime when = now;
        switch (change) {
        case 0: cells.setCell(TaskCol::DueDate, 1, QStringLiteral("6/10/25")); break;
        case 1: cells.setCell(TaskCol::DueTime, 1, QStringLiteral("11:59am")); break;
        case 2:
            cells.setCell(TaskCol::Alarm, 2, QStringLiteral("Y"));
            expected = QStringLiteral("b");
            break;
        case 3:
            cells.setCell(TaskCol::DueDate, 3, QStringLiteral("6/1/25"));
            rec.pass(cells, now);
            rec.rung.clear();
            cells.swapRows(1, 3);
            expected = QStringLiteral("far");
            break;
        case 4:
            cells.insertRows(1, 1);
            cells.setCell(TaskCol::Task, 1, QStringLiteral("new"));
            cells.setCell(TaskCol::DueDate, 1, QStringLiteral("6/11/25"));
            cells.setCell(TaskCol::Alarm, 1, QStringLiteral("Y"));
            expected = QStringLiteral("new");
            break;
        case 5:
            cells.removeRows(1, 1);
            cells.setCell(TaskCol::Alarm, 1, QStringLiteral("Y"));
            expected = QStringLiteral("b");
            break;
        case 6:
            cells = makeList({{"reloaded", "6/11/25", "11:59am", "Y"}});
            expected = QStringLiteral("reloaded");
            break;
        case 7:
            // Two writes in a row may hand the row its old memory back.
            cells.setCell(TaskCol::DueDate, 1, QStringLiteral("6/21/25"));
            cells.setCell(TaskCol::DueDate, 1, QStringLiteral("6/10/25"));
            break;
        case 8:
            cells.insertRows(1, 1);
            cells.setCell(TaskCol::Task, 1, QStringLiteral("undated"));
            rec.pass(cells, now);
            cells.removeRows(1, 1);
            when = now.addSecs(60);
            break;
        case 9: {
            CellStore other = makeList(QList<TaskSpec>(3, {"later", "12/31/25", "", "Y"}));
            rec.pass(other, now);
            cells.setCell(TaskCol::Notes, 3, QStringLiteral("seen"));
            when = now.addSecs(60);
            break;
        }
        case 10:
            cells.setCell(TaskCol::Alarm, 2, QStringLiteral("Y"));
            cells.insertRows(1, 1);
            expected = QStringLiteral("b");
            break;
        }
        rec.pass(cells, when);
        QCOMPARE(rec.rung, QStringList({expected}));
    }

    // Random changes at random rows between passes at random moments: a scheduler that kept its
    // parsed rows all along rings, renews and writes exactly what a new one does on the same list.
    void keptRowsActAsNewOnes_data()
    {
        QTest::addColumn<int>("seed");
        for (int seed = 1; seed <= 8; ++seed)
            QTest::addRow("seed %d", seed) << seed;
    }
    void keptRowsActAsNewOnes()
    {
        QFETCH(int, seed);
        QRandomGenerator rng{quint32(seed)};
        const QStringList times = {"", "09:00am", "12:30pm", "03:15pm", "11:59pm", "99:99"};
        const QStringList types = {"", "0", "1", "2", "3", "Daily"};
        auto pick = [&](const QStringList& l) { return l.at(int(rng.bounded(qsizetype(l.size())))); };
        Recorder kept;
        QDateTime now = at(2025, 6, 9, 8, 0);
        // Answered by putting the task off to the next day, so that many alarms stay on.
        kept.onRing = [&](CellStore& s, int row) {
            s.setCell(TaskCol::DueDate, row, kept.formats.formatDate(now.date().addDays(1)));
        };
        auto date = [&] {
            const int k = int(rng.bounded(5));
            return k == 3 ? QString() : k == 4 ? QStringLiteral("13/40/25") : kept.formats.formatDate(now.date().addDays(k - 1));
        };
        QList<TaskSpec> tasks;
        for (int i = 0; i < 30; ++i)
            tasks.append({QString::number(i), date(), pick(times), rng.bounded(2) ? "Y" : "", pick(types)});
        CellStore cells = makeList(tasks);
        CellStore other;
        for (int step = 0; step < 1000; ++step) {
            const int rows = cells.rowCount();
            const int row = 1 + int(rng.bounded(rows - 1));
            switch (rng.bounded(9)) {
            case 0: cells.insertRows(row, 1 + int(rng.bounded(2))); break;
            case 1: if (rows > 3) cells.removeRows(row, 1); break;
            case 2: cells.swapRows(row, 1 + int(rng.bounded(rows - 1))); break;
            case 3: cells.setCell(TaskCol::DueDate, row, date()); break;
            case 4: cells.setCell(TaskCol::DueTime, row, pick(times)); break;
            case 5: cells.setCell(TaskCol::Alarm, row, rng.bounded(2) ? "Y" : ""); break;
            case 6: cells.setCell(TaskCol::Type, row, pick(types)); break;
            case 7: cells.setCell(TaskCol::Notes, row, QString::number(step)); break;
            case 8:  // another list as long, looked at in between: its journal is not this one's
                other = makeList(QList<TaskSpec>(rows - 1, {"later", "12/31/25", "", "", "0"}));
                kept.pass(other, now);
            }
            if (rng.bounded(2))
                continue;
            now = now.addSecs(qint64(rng.bounded(1800)));
            CellStore copy;
            copy.setColumnCount(cells.columnCount());
            copy.setRowCount(cells.rowCount());
            for (int r = 0; r < cells.rowCount(); ++r)
                copy.row(r) = std::as_const(cells).row(r).clone();
            Recorder fresh;
            fresh.onRing = kept.onRing;
            kept.rung.clear();
            const quint64 generation = cells.generation();
            kept.pass(cells, now);
            fresh.pass(copy, now);
            if (cells.generation() == generation) {
                // The pass changed nothing, so every row it keeps is in step: a pass that
                // cannot follow the changes (row() may change anything) parses none again.
                const quint64 parsed = kept.scheduler.parsedRows();
                (void)cells.row(1);
                kept.pass(cells, now);
                QCOMPARE(kept.scheduler.parsedRows(), parsed);
            }
            QCOMPARE(kept.rung, fresh.rung);
            QCOMPARE(GridFile::encode(cells), GridFile::encode(copy));
        }
    }

    void quietPassesStillRingOnTime()
    {
        // Passes with nothing to do and no change in between are skipped; the moment itself is not.
        CellStore cells = makeList({{"later", "6/11/25", "12:01pm", "Y"}, {"past", "6/10/25", "", ""}});
        Recorder rec;
        for (int s = 0; s < 60; ++s)
            rec.pass(cells, at(2025, 6, 11, 12, 0, s));
        QVERIFY(rec.rung.isEmpty());
        rec.pass(cells, at(2025, 6, 11, 12, 1, 0));
        QCOMPARE(rec.rung, QStringList({"later"}));
        // A read of the cells is no change; a write is.
        rec.rung.clear();
        cells.setCell(TaskCol::Alarm, 1, QString());
        rec.pass(cells, at(2025, 6, 11, 12, 1, 1));
        (void)std::as_const(cells).row(1);
        rec.pass(cells, at(2025, 6, 11, 12, 1, 2));
        QVERIFY(rec.rung.isEmpty());
        cells.setCell(TaskCol::Alarm, 2, QStringLiteral("Y"));
        rec.pass(cells, at(2025, 6, 11, 12, 1, 3));
        QCOMPARE(rec.rung, QStringList({"past"}));
    }

    void newDayAndNewFormatsAreSeen()
    {
        // Dates without a year belong to the current one; the same text means another day later.
        CellStore cells = makeList({{"a", "6/10", "", "Y"}});
        Recorder rec;
        rec.pass(cells, at(2025, 6, 9, 23, 59, 59));
        QVERIFY(rec.rung.isEmpty());
        rec.pass(cells, at(2025, 6, 10, 0, 0, 0));
        QCOMPARE(rec.rung.size(), 1);
        CellStore dayFirst = makeList({{"b", "10/6/25", "", "Y"}});
        rec.pass(dayFirst, at(2025, 6, 10, 12, 0));  // 10 October as month-first
        QCOMPARE(rec.rung.size(), 1);
        rec.formats = LocaleFormats::fromPattern(QStringLiteral("dd/mm/yy"), QLatin1Char('/'));
        rec.pass(dayFirst, at(2025, 6, 10, 12, 0, 1));
        QCOMPARE(rec.rung.size(), 2);
    }

    // A locale whose time separator is not ":" reads its own times and those stored with ":".
    void ringsInEveryLocaleWithEitherSeparator_data()
    {
        QTest::addColumn<QString>("locale");
        QTest::addColumn<bool>("colon");  // the time stored with ":", else in the locale's form
        for (const char* locale : {"en_US", "fi_FI", "da_DK", "id_ID", "de_DE"}) {
            QTest::addRow("%s, own form", locale) << QString::fromLatin1(locale) << false;
            QTest::addRow("%s, with \":\"", locale) << QString::fromLatin1(locale) << true;
        }
    }
    void ringsInEveryLocaleWithEitherSeparator()
    {
        QFETCH(QString, locale);
        QFETCH(bool, colon);
        Recorder rec;
        rec.formats = LocaleFormats::fromLocale(QLocale(locale));
        const QString time = colon ? QStringLiteral("09:30pm") : rec.formats.formatTime(QTime(21, 30));
        CellStore cells = makeList({{"call", rec.formats.formatDate(QDate(2025, 6, 10)), time, "Y"}});
        rec.pass(cells, at(2025, 6, 10, 21, 29, 59));
        QVERIFY(rec.rung.isEmpty());
        rec.pass(cells, at(2025, 6, 10, 21, 30));
        QCOMPARE(rec.rung.size(), 1);
        QCOMPARE(rec.messages, 0);
    }

    void alarmMoment()
    {
        const LocaleFormats f = LocaleFormats::fromPattern(QStringLiteral("m/d/yy"), QLatin1Char('/'));
        const QDate today(2025, 6, 1);
        QCOMPARE(AlarmScheduler::alarmMoment(u"6/10/25", u"09:30pm", today, f),
                 AlarmScheduler::momentKey(QDate(2025, 6, 10), QTime(21, 30)));
        QCOMPARE(AlarmScheduler::alarmMoment(u"6/10/25", u"", today, f),
                 AlarmScheduler::momentKey(QDate(2025, 6, 10), QTime(0, 0)));
        QVERIFY(!AlarmScheduler::alarmMoment(u"", u"", today, f));
        QVERIFY(!AlarmScheduler::alarmMoment(u"6/10/25", u"25:00", today, f));
    }
};

QTEST_GUILESS_MAIN(TestAlarmScheduler)
#include "tst_alarmscheduler.moc"
