// Calendar files: the tasks written as to-dos and read back, files in the shapes other programs
// write, and the exported file as a second, independent reader sees it.
#include "platform/core/AppError.h"
#include "store/core/ICalendar.h"
#include "store/core/ICalendar_p.h"
#include "store/core/ImportFile.h"
#include "store/core/Task.h"

#include <QFile>
#include <QProcess>
#include <QRandomGenerator>
#include <QSet>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

using namespace veltry;

namespace {

using Rows = QList<QStringList>;

// One task row: mark, description, due date, due time, category, priority, notes, creation
// date, alarm, type, UID; the lead time stays empty.
QStringList task(const QString& mark, const QString& description, const QString& date, const QString& time,
                 const QString& category, const QString& priority, const QString& notes, const QString& created,
                 const QString& alarm, const QString& type, const QString& uid = QString())
{
    return {mark, description, date, time, category, priority, notes, created, alarm, QString(), type, uid};
}

CellStore listOf(const Rows& rows)
{
    CellStore list;
    list.setColumnCount(TaskCol::Count);
    list.setRowCount(int(rows.size()) + 1);
    for (int c = 0; c < TaskCol::Count; ++c)
        list.setCell(c, 0, kTaskTitles[size_t(c)]);
    for (int r = 0; r < rows.size(); ++r)
        for (int c = 0; c < TaskCol::Count; ++c)
            list.setCell(c, r + 1, rows.at(r).at(c));
    return list;
}

Rows rowsOf(const CellStore& list)
{
    Rows rows;
    for (int r = 1; r < list.rowCount(); ++r) {
        QStringList row;
        for (int c = 0; c < TaskCol::Count; ++c)
            row << list.cell(c, r);
        rows << row;
    }
    return rows;
}

// A fixed place in time and space: month-first dates, two hours east of UTC, a day in May.
ICalendar::Context pinned()
{
    ICalendar::Context context;
    context.formats = LocaleFormats::fromPattern(QStringLiteral("m/d/yy"), QLatin1Char('/'));
    context.local = QTimeZone(2 * 3600);
    context.now = QDateTime(QDate(2026, 5, 10), QTime(12, 0), context.local);
    return context;
}

// The same, in a zone of the world, on a day in December.
ICalendar::Context pinnedIn(const char* zone)
{
    ICalendar::Context context = pinned();
    context.local = QTimeZone(zone);
    context.now = QDateTime(QDate(2026, 12, 7), QTime(10, 0), QTimeZone::utc());
    return context;
}

// A calendar's text with its folded lines joined.
QByteArray unfolded(QByteArray text)
{
    return text.replace("\r\n ", "");
}

ICalendar::TaskCells cellsOf(const QStringList& row)
{
    ICalendar::TaskCells cells;
    for (int c = 0; c < TaskCol::Count; ++c)
        cells[size_t(c)] = row.at(c);
    return cells;
}

QByteArray calendar(const QByteArray& body)
{
    return "BEGIN:VCALENDAR\r\nVERSION:2.0\r\nPRODID:-//Test//EN\r\n" + body + "END:VCALENDAR\r\n";
}

QByteArray todo(const QByteArray& lines)
{
    return calendar("BEGIN:VTODO\r\nUID:t\r\nDTSTAMP:20260101T000000Z\r\n" + lines + "END:VTODO\r\n");
}

const QString kNone = kEmptyPriority;

} // namespace

class TestICalendar : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void roundTrip_data()
    {
        QTest::addColumn<Rows>("tasks");
        QTest::newRow("every column: a checked daily task with an alarm")
            << Rows{task(" ", "Call the bank", "3/15/26", "09:30pm", "Money", "1", "Ask about\r\nthe fees", "3/1/26", "Y", "1")};
        QTest::newRow("weekly, at midnight")
            << Rows{task("", "Weekly review", "3/16/26", "12:00am", "", "2", "", "3/1/26", "", "2")};
        QTest::newRow("bi-weekly, at noon")
            << Rows{task("", "Pay the cleaner", "3/20/26", "12:00pm", "Home", "3", "", "3/1/26", "", "3")};
        QTest::newRow("monthly, a date without a time, with an alarm")
            << Rows{task("", "Rent", "1/31/26", "", "Home", kNone, "", "1/1/26", "Y", "4")};
        QTest::newRow("a priority of other text")
            << Rows{task("", "Odd priority", "", "", "", "urgent, really; yes", "", "2/2/26", "", "0")};
        QTest::newRow("notes with line breaks, commas, semicolons and non-Latin characters")
            << Rows{task("", "Notes", "", "", "", kNone,
                         "Line one, with a comma; and a semicolon\r\n\u041b\u0438\u043d\u0438\u044f \u0434\u0432\u0430 \u2014 "
                         "\u0445\u043e\u0440\u043e\u0448\u043e\r\n\u7b2c\u4e09\u884c \u4e2d\u6587 \U0001F642\r\n"
                         "back\\slash \"quoted\" a:b\r\n\r\nafter an empty line\r\n",
                         "2/2/26", "", "0")};
        QTest::newRow("no date")
            << Rows{task("", "Someday", "", "", "", kNone, "", "2/2/26", "", "0")};
        QTest::newRow("a category with a comma and a semicolon")
            << Rows{task("", "Shed", "", "", "Home, Garden; shed", kNone, "", "2/2/26", "", "0")};
        // The calendar library trims the blanks at either end of a text, so none is there.
        QTest::newRow("a long description folds and comes back whole")
            << Rows{task("", QString(QStringLiteral("\u00c9t\u00e9 \u65e5\u672c ")).repeated(30) + "end", "12/31/26", "11:59pm", "",
                         kNone, "", "2/2/26", "", "0")};
        QTest::newRow("several tasks keep their order")
            << Rows{task("", "First", "", "", "", "1", "", "2/2/26", "", "0"),
                    task(" ", "Second", "4/1/26", "", "", "2", "", "2/3/26", "", "2"),
                    task("", "Third", "", "", "", kNone, "", "2/4/26", "", "0")};
    }

    void roundTrip()
    {
        QFETCH(Rows, tasks);
        const ICalendar::Context context = pinned();
        CellStore list = listOf(tasks);
        QCOMPARE(ICalendar::assignUids(list), int(tasks.size()));
        const ICalendar::Tasks back = ICalendar::decode(ICalendar::encode(list, context), context);
        QCOMPARE(back.todos, int(tasks.size()));
        QCOMPARE(back.skipped, 0);
        QCOMPARE(rowsOf(back.rows), rowsOf(list));
    }

    void readBySecondReader_data()
    {
        QTest::addColumn<QStringList>("cells");
        QTest::addColumn<QStringList>("seen");  // the to-do's lines as the other reader prints them

        QTest::newRow("every column")
            << task(" ", "Call the bank", "3/15/26", "09:30pm", "Money", "1", "Ask about\r\nthe fees", "3/1/26", "Y", "1")
            << QStringList{"SUMMARY \"Call the bank\"", "DUE datetime 2026-03-15T19:30:00+00:00", "CATEGORIES [\"Money\"]",
                           "PRIORITY 1", "DESCRIPTION \"Ask about\\nthe fees\"", "RRULE FREQ=DAILY", "STATUS COMPLETED",
                           "VALARM DISPLAY RELATED=END datetime.timedelta(0)"};
        QTest::newRow("weekly, a date alone")
            << task("", "Review", "3/16/26", "", "Work, Home", "2", "", "3/1/26", "Y", "2")
            << QStringList{"SUMMARY \"Review\"", "DUE date 2026-03-16", "CATEGORIES [\"Work\", \"Home\"]", "PRIORITY 5",
                           "RRULE FREQ=WEEKLY", "STATUS NEEDS-ACTION", "VALARM DISPLAY RELATED=END datetime.timedelta(0)"};
        QTest::newRow("bi-weekly")
            << task("", "Cleaner", "3/20/26", "12:00pm", "", "3", "", "3/1/26", "", "3")
            << QStringList{"SUMMARY \"Cleaner\"", "DUE datetime 2026-03-20T10:00:00+00:00", "PRIORITY 7",
                           "RRULE FREQ=WEEKLY;INTERVAL=2", "STATUS NEEDS-ACTION"};
        QTest::newRow("monthly, other priority text, notes of every kind")
            << task("", "\u0421\u0447\u0451\u0442; rent, \u5bb6\u8cc3", "", "", "", "soon", "a, b; c\r\n\u65e5\u672c\\x",
                    "3/1/26", "", "4")
            << QStringList{"SUMMARY \"\u0421\u0447\u0451\u0442; rent, \u5bb6\u8cc3\"", "X-VELTRY-PRIORITY \"soon\"",
                           "DESCRIPTION \"a, b; c\\n\u65e5\u672c\\\\x\"", "RRULE FREQ=MONTHLY", "STATUS NEEDS-ACTION"};
        QTest::newRow("no date, no priority, no alarm without a date")
            << task("", "Someday", "", "", "", kNone, "", "2/2/26", "Y", "0")
            << QStringList{"SUMMARY \"Someday\"", "STATUS NEEDS-ACTION"};
    }

    void readBySecondReader()
    {
        QFETCH(QStringList, cells);
        QFETCH(QStringList, seen);
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("tasks.ics"));
        ICalendar::saveToFile(listOf({cells}), path, pinned());

        // The system's interpreter first: it is the one the Debian package installs the reader for.
        const QString script = QStringLiteral(VELTRY_TEST_DATA "/../store/ics_dump.py");
        QStringList interpreters{QStringLiteral("/usr/bin/python3")};
        if (const QString found = QStandardPaths::findExecutable(QStringLiteral("python3")); !found.isEmpty())
            interpreters << found;
        QByteArray output;
        for (const QString& python : interpreters) {
            QProcess p;
            p.start(python, {script, path});
            if (!p.waitForFinished(60000) || p.exitStatus() != QProcess::NormalExit)
                continue;
            if (p.exitCode() == 0) {
                output = p.readAllStandardOutput();
                break;
            }
            QVERIFY2(p.exitCode() == 77, p.readAllStandardError().constData());
        }
        if (output.isEmpty())
            QSKIP("Python's icalendar package (python3-icalendar) is missing; the second reader was not run.");
        QStringList expected = QStringList{"BEGIN"} + seen
            + QStringList{"PRODID -//Veltry//Veltry Professional v1.0//EN"};
        QCOMPARE(QString::fromUtf8(output).split(QLatin1Char('\n'), Qt::SkipEmptyParts), expected);
    }

    void importShapes_data()
    {
        QTest::addColumn<QString>("file");
        QTest::addColumn<Rows>("tasks");
        QTest::addColumn<int>("skipped");

        QTest::newRow("due in a named time zone with its definition: local time, a day later")
            << "tz-named.ics"
            << Rows{task("", "Send the quarterly report", "7/16/26", "01:00am", "Work", "2", "", "6/1/26", "Y", "0",
                         "6b1f5f0e-2c1a-4c55-9a37-2f7c0d1e9a10")} << 0;
        QTest::newRow("a due date alone")
            << "date-only.ics"
            << Rows{task("", "Renew the passport", "3/20/26", "", "", "1",
                         "Bring two photos, the old passport\r\nand the form.", "3/10/26", "", "0",
                         "20260310T080000Z-1234@example.org")}
            << 0;
        QTest::newRow("no due date, no creation date")
            << "no-due.ics" << Rows{task("", "Read the new book", "", "", "Home, Leisure", "3", "", "5/10/26", "", "0", "abc-123")} << 0;
        QTest::newRow("completed, with or without its status")
            << "completed.ics"
            << Rows{task(" ", "Pay the rent", "3/1/26", "", "", kNone, "", "2/1/26", "", "0", "done-1"),
                    task(" ", "Water the plants", "", "", "", kNone, "", "2/1/26", "", "0", "done-2")}
            << 0;
        QTest::newRow("events, journal entries and free time mixed with to-dos")
            << "mixed.ics"
            << Rows{task("", "Book the flights", "", "", "", kNone, "", "4/1/26", "", "0", "todo-1"),
                    task("", "Pack the bags", "4/10/26", "09:00am", "", kNone, "", "4/1/26", "", "0", "todo-2")}
            << 3;
        QTest::newRow("folded long lines")
            << "folded.ics"
            << Rows{task("", "Prepare the slides for the annual meeting of the regional garden club and print the handouts",
                         "", "", "", kNone,
                         "\u0420\u044f\u0434 \u0434\u043b\u0438\u043d\u043d\u044b\u0445 \u0437\u0430\u043c\u0435\u0442\u043e\u043a: "
                         "\u043f\u0440\u0438\u043d\u0435\u0441\u0442\u0438 \u043f\u0440\u043e\u0435\u043a\u0442\u043e\u0440, "
                         "\u0443\u0434\u043b\u0438\u043d\u0438\u0442\u0435\u043b\u044c; \u0438 \u043a\u0430\u0431\u0435\u043b\u0438."
                         "\r\n\u65e5\u672c\u8a9e\u306e\u30e1\u30e2\u3082\u6298\u308a\u8fd4\u3055\u308c\u307e\u3059\u3002",
                         "1/5/26", "", "0", "fold-1")}
            << 0;
    }

    void importShapes()
    {
        QFETCH(QString, file);
        QFETCH(Rows, tasks);
        QFETCH(int, skipped);
        QFile f(QStringLiteral(VELTRY_TEST_DATA "/ical/") + file);
        QVERIFY(f.open(QIODevice::ReadOnly));
        const ICalendar::Tasks read = ICalendar::decode(f.readAll(), pinned());
        QCOMPARE(rowsOf(read.rows), tasks);
        QCOMPARE(read.todos, int(tasks.size()));
        QCOMPARE(read.skipped, skipped);
    }

    // However its lines end and wherever they are folded, a calendar reads the same: a fold is a
    // line end and one blank or TAB, even inside a character of several bytes.
    void lineEndsAndFolds_data()
    {
        QTest::addColumn<QByteArray>("file");
        const QByteArray plain = todo("SUMMARY:Caf\xC3\xA9 \xE6\x97\xA5 and a long, long summary\r\n"
                                      "DESCRIPTION:first\\nsecond line  \r\nCATEGORIES:Home,Work\r\n");
        auto fold = [&](const QByteArray& lineEnd, const QByteArray& blank, int every) {
            QByteArray out;
            for (const QByteArray& line : plain.split('\n')) {
                if (line.isEmpty())
                    continue;
                const QByteArray text = line.chopped(1);  // the CR
                for (qsizetype i = 0; i < text.size(); i += every)
                    out += (i ? blank : QByteArray()) + text.mid(i, every) + lineEnd;
            }
            return out;
        };
        QTest::newRow("CR LF") << plain;
        QTest::newRow("LF") << QByteArray(plain).replace("\r\n", "\n");
        QTest::newRow("CR") << QByteArray(plain).replace("\r\n", "\r");
        QTest::newRow("folded every 7 bytes") << fold("\r\n", " ", 7);
        QTest::newRow("folded every byte, LF and TAB") << fold("\n", "\t", 1);
        QTest::newRow("folded every 10 bytes, CR") << fold("\r", " ", 10);
    }
    void lineEndsAndFolds()
    {
        QFETCH(QByteArray, file);
        const Rows read = rowsOf(ICalendar::decode(file, pinned()).rows);
        QStringList expected = task("", "Caf\u00e9 \u65e5 and a long, long summary", "", "", "Home, Work", kNone,
                                    "first\r\nsecond line", "5/10/26", "", "0");
        expected[TaskCol::Reserved] = QStringLiteral("t");  // the to-do's UID
        QCOMPARE(read, Rows{expected});
    }

    void todoFields_data()
    {
        QTest::addColumn<QByteArray>("lines");     // inside one to-do
        QTest::addColumn<QStringList>("cells");    // "column=text" the to-do gives

        QTest::newRow("priority 4 is high") << QByteArray("PRIORITY:4\r\n") << QStringList{"5=1"};
        QTest::newRow("priority 6 is low") << QByteArray("PRIORITY:6\r\n") << QStringList{"5=3"};
        QTest::newRow("priority 0 is none") << QByteArray("PRIORITY:0\r\n") << QStringList{"5=\u00a0"};
        QTest::newRow("the text priority wins")
            << QByteArray("PRIORITY:9\r\nX-VELTRY-PRIORITY:later\r\n") << QStringList{"5=later"};
        QTest::newRow("a level changed elsewhere is the new number")
            << QByteArray("PRIORITY:1\r\nX-VELTRY-PRIORITY:4\r\n") << QStringList{"5=1"};
        QTest::newRow("Windows-1252 text") << QByteArray("SUMMARY:Caf\xe9 \x80 5\r\n") << QStringList{"1=Caf\u00e9 \u20ac 5"};
        QTest::newRow("cancelled is done") << QByteArray("STATUS:CANCELLED\r\n") << QStringList{"0= "};
        QTest::newRow("a due time in the hour skipped takes the offset before it")
            << QByteArray("DUE;TZID=Europe/Berlin:20270328T023000\r\n") << QStringList{"2=3/28/27", "3=03:30am"};
        QTest::newRow("a due time in UTC becomes local")
            << QByteArray("DUE:20261231T230000Z\r\n") << QStringList{"2=1/1/27", "3=01:00am"};
        QTest::newRow("a floating due time stands")
            << QByteArray("DUE:20260102T070809\r\n") << QStringList{"2=1/2/26", "3=07:08am"};
        QTest::newRow("weekly on the due date's weekday is weekly")
            << QByteArray("DUE;VALUE=DATE:20260316\r\nRRULE:FREQ=WEEKLY;BYDAY=MO\r\n") << QStringList{"10=2", "6="};
        QTest::newRow("monthly on the due date's day is monthly")
            << QByteArray("DUE;VALUE=DATE:20260316\r\nRRULE:FREQ=MONTHLY;BYMONTHDAY=16\r\n") << QStringList{"10=4", "6="};
        QTest::newRow("a yearly repeat is one-time with the rule in the notes")
            << QByteArray("DESCRIPTION:Cake\r\nRRULE:FREQ=YEARLY\r\n") << QStringList{"10=0", "6=Cake\r\nRepeats: FREQ=YEARLY"};
        QTest::newRow("a repeat with an end is one-time")
            << QByteArray("RRULE:FREQ=DAILY;COUNT=3\r\n") << QStringList{"10=0", "6=Repeats: FREQ=DAILY;COUNT=3"};
        QTest::newRow("weekly on another day is one-time")
            << QByteArray("DUE;VALUE=DATE:20260316\r\nRRULE:FREQ=WEEKLY;BYDAY=TU,TH\r\n")
            << QStringList{"10=0", "6=Repeats: FREQ=WEEKLY;BYDAY=TU,TH"};
        QTest::newRow("every three weeks is one-time")
            << QByteArray("RRULE:FREQ=WEEKLY;INTERVAL=3\r\n") << QStringList{"10=0", "6=Repeats: FREQ=WEEKLY;INTERVAL=3"};
        QTest::newRow("no summary") << QByteArray("DESCRIPTION:x\r\n") << QStringList{"1=(no summary)"};
        QTest::newRow("a summary of blanks of every kind is none")
            << QByteArray("SUMMARY:\xC2\xA0 \xE3\x80\x80\r\n") << QStringList{"1=(no summary)"};
        QTest::newRow("texts lose a leading byte order mark")
            << QByteArray("SUMMARY:\xEF\xBB\xBFShed\r\nDESCRIPTION:\xEF\xBB\xBFPaint\xEF\xBB\xBF\r\n")
            << QStringList{"1=Shed", "6=Paint\uFEFF"};
        QTest::newRow("a summary over lines and tabs is one line")
            << QByteArray("SUMMARY:a\\nb\tc\r\n") << QStringList{"1=a b c"};
        QTest::newRow("an alarm without a due date rings never") << QByteArray("BEGIN:VALARM\r\nACTION:AUDIO\r\n"
                                                                           "TRIGGER:-PT5M\r\nEND:VALARM\r\n")
                                                                << QStringList{"8="};
        QTest::newRow("any alarm of a due to-do is the alarm")
            << QByteArray("DUE;VALUE=DATE:20260316\r\nBEGIN:VALARM\r\nACTION:AUDIO\r\nTRIGGER:-PT5M\r\nEND:VALARM\r\n")
            << QStringList{"8=Y"};
        QTest::newRow("a creation date in a zone behind UTC")
            << QByteArray("CREATED:20260301T230000Z\r\n") << QStringList{"7=3/2/26"};
        QTest::newRow("a Windows zone name is that zone")
            << QByteArray("DUE;TZID=Eastern Standard Time:20261215T090000\r\n") << QStringList{"2=12/15/26", "3=04:00pm"};
        QTest::newRow("a zone nobody knows is floating")
            << QByteArray("DUE;TZID=Somewhere Special:20261215T090000\r\n") << QStringList{"2=12/15/26", "3=09:00am"};
        QTest::newRow("a start in a Windows zone and a duration")
            << QByteArray("DTSTART;TZID=W. Europe Standard Time:20261215T090000\r\nDURATION:PT1H\r\n")
            << QStringList{"2=12/15/26", "3=11:00am"};
        QTest::newRow("an older edition's repeat line in the description shows once")
            << QByteArray("DESCRIPTION:Cake\\nRepeats: FREQ=YEARLY\r\nRRULE:FREQ=YEARLY\r\n")
            << QStringList{"10=0", "6=Cake\r\nRepeats: FREQ=YEARLY"};
        QTest::newRow("a due date and a duration give the due moment")
            << QByteArray("DTSTART:20260301T080000Z\r\nDURATION:PT2H\r\n") << QStringList{"2=3/1/26", "3=12:00pm"};
    }

    void todoFields()
    {
        QFETCH(QByteArray, lines);
        QFETCH(QStringList, cells);
        const ICalendar::Tasks read = ICalendar::decode(todo(lines), pinned());
        QCOMPARE(read.todos, 1);
        for (const QString& cell : cells) {
            const qsizetype eq = cell.indexOf(QLatin1Char('='));
            // The bytes, so that a mark the conversion to text hides still counts.
            QCOMPARE(read.rows.cellUtf8(cell.left(eq).toInt(), 1).toByteArray(), cell.mid(eq + 1).toUtf8());
        }
    }

    void damagedFilesAddNothing_data()
    {
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<QString>("why");  // the start of the reason given

        QTest::newRow("a due date that is no date")
            << todo("SUMMARY:a\r\nDUE:someday\r\n")
            << "Can't parse as DATE-TIME value in DUE property. Removing entire property: someday";
        QTest::newRow("a line that is no property")
            << todo("SUMMARY:a\r\nthis is not a property\r\n")
            << "Got a data line, but could not find a property name or component begin tag";
        QTest::newRow("a repeat rule that is none")
            << todo("RRULE:FREQ=SOMETIMES\r\n") << "Can't parse as RECUR value in RRULE property";
        QTest::newRow("cut short") << calendar("BEGIN:VTODO\r\nSUMMARY:a\r\n").chopped(15) << "The file holds no complete calendar";
        QTest::newRow("not a calendar") << QByteArray("12,2\r\n1,1,a task list\r\n") << "The file holds no complete calendar";
        QTest::newRow("empty") << QByteArray() << "The file holds no complete calendar";
        QTest::newRow("UTF-8 beside Windows-1252") << todo("SUMMARY:Caf\xc3\xa9 and caf\xe9\r\n") << "The file mixes UTF-8";
        QTest::newRow("a NUL byte")
            << todo(QByteArray("SUMMARY:a\0b\r\n", 12)) << "The file holds a NUL byte at offset";
        QTest::newRow("a property with thousands of parameters")
            << todo("SUMMARY" + QByteArray(";X-P=1").repeated(20000) + ":a\r\n")
            << "Line 7 of the calendar gives a property more than 64 parameters.";
        QTest::newRow("a NUL byte past a byte order mark")
            << "\xEF\xBB\xBF" + todo(QByteArray("SUMMARY:a\0b\r\n", 12)) << "The file holds a NUL byte at offset 105;";
        QTest::newRow("a NUL byte below parts nested too deep")
            << calendar(QByteArray("BEGIN:X-A\r\n").repeated(20) + QByteArray("X-B:\0\r\n", 7))
            << "The file holds a NUL byte at offset";
        QTest::newRow("nested one deeper than any calendar")
            << calendar(QByteArray("BEGIN:X-A\r\n").repeated(16) + QByteArray("END:X-A\r\n").repeated(16))
            << "The calendar nests its parts more than 16 deep.";
        QTest::newRow("nested thousands deep")
            << calendar(QByteArray("BEGIN:X-A\r\n").repeated(100000) + QByteArray("END:X-A\r\n").repeated(100000))
            << "The calendar nests its parts more than 16 deep.";
    }

    void damagedFilesAddNothing()
    {
        QFETCH(QByteArray, file);
        QFETCH(QString, why);
        const CellStore list = listOf({task("", "Kept", "", "", "", kNone, "", "1/1/26", "", "0")});
        try {
            importCalendar(list, file, pinned());
            QFAIL("the file was taken");
        } catch (const AppError& e) {
            QVERIFY2(e.message().startsWith(why), qPrintable(e.message()));
        }
    }

    void oversizedFileIsRefused()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("huge.ics"));
        QFile f(path);
        QVERIFY(f.open(QIODevice::WriteOnly));
        QVERIFY(f.write(todo("SUMMARY:a\r\n")) > 0);
        f.close();
        QCOMPARE(ImportCalendarFile(listOf({}), path).todos, 1);
        // Sparse: no room taken on disk, yet far more than the calendar library should hold.
        QVERIFY(f.resize(kMaxCalendarBytes + 1));
        try {
            ImportCalendarFile(listOf({}), path);
            QFAIL("the file was read");
        } catch (const AppError& e) {
            QVERIFY2(e.message().endsWith(QLatin1String(" is too large to be imported.")), qPrintable(e.message()));
        }
    }

    void importAddsAtTheTop_data()
    {
        QTest::addColumn<Rows>("before");
        QTest::addColumn<QStringList>("after");  // the descriptions
        QTest::newRow("into an empty list") << Rows{task("", "", "", "", "", "", "", "", "", "")}
                                            << QStringList{"C", "B", "A"};
        QTest::newRow("above the tasks there")
            << Rows{task("", "Kept", "", "", "", kNone, "", "1/1/26", "", "0")} << QStringList{"C", "B", "A", "Kept"};
    }

    void importAddsAtTheTop()
    {
        QFETCH(Rows, before);
        QFETCH(QStringList, after);
        const CalendarImport result = importCalendar(
            listOf(before), calendar("BEGIN:VTODO\r\nSUMMARY:A\r\nEND:VTODO\r\nBEGIN:VEVENT\r\nSUMMARY:E\r\nEND:VEVENT\r\n"
                                     "BEGIN:VTODO\r\nSUMMARY:B\r\nEND:VTODO\r\nBEGIN:VTODO\r\nSUMMARY:C\r\nEND:VTODO\r\n"),
            pinned());
        QCOMPARE(result.todos, 3);
        QCOMPARE(result.skipped, 1);
        QStringList descriptions;
        for (const QStringList& row : rowsOf(result.list))
            descriptions << row.at(TaskCol::Task);
        QCOMPARE(descriptions, after);
    }
    // A calendar's own definition of a zone name outweighs what the name means elsewhere.
    void ownZoneDefinitionComesFirst()
    {
        const ICalendar::Tasks read = ICalendar::decode(
            calendar("BEGIN:VTIMEZONE\r\nTZID:Eastern Standard Time\r\nBEGIN:STANDARD\r\nDTSTART:16010101T000000\r\n"
                     "TZOFFSETFROM:-0300\r\nTZOFFSETTO:-0300\r\nEND:STANDARD\r\nEND:VTIMEZONE\r\n"
                     "BEGIN:VTODO\r\nUID:t\r\nDTSTAMP:20260101T000000Z\r\nDUE;TZID=Eastern Standard Time:20261215T090000\r\n"
                     "END:VTODO\r\n"),
            pinned());
        QCOMPARE(read.rows.cell(TaskCol::DueTime, 1), QStringLiteral("02:00pm"));
    }

    // The server's copy after an edit here: changed only where the list changed, in the form
    // other programs read, and read back here as the list has it.
    void editsOfAServerCopy_data()
    {
        QTest::addColumn<QByteArray>("previous");  // the to-do's lines in the server's copy
        QTest::addColumn<QByteArray>("zone");      // where the list runs
        QTest::addColumn<QStringList>("edits");    // "column=text"
        QTest::addColumn<QStringList>("lines");    // lines the new copy holds
        QTest::addColumn<QStringList>("absent");   // texts it does not hold

        QTest::newRow("a repeat the list cannot follow, and a notes edit")
            << QByteArray("SUMMARY:Bake\r\nDESCRIPTION:Cake\r\nRRULE:FREQ=DAILY;INTERVAL=3;COUNT=5\r\n") << QByteArray("Europe/Berlin")
            << QStringList{"6=Chocolate cake\r\nRepeats: FREQ=DAILY;COUNT=5;INTERVAL=3"}
            << QStringList{"DESCRIPTION:Chocolate cake", "RRULE:FREQ=DAILY;INTERVAL=3;COUNT=5"} << QStringList{"Repeats"};
        QTest::newRow("a due-time edit in another zone stays in UTC")
            << QByteArray("SUMMARY:Call\r\nDUE:20261215T090000Z\r\n") << QByteArray("America/Los_Angeles")
            << QStringList{"3=02:00am"} << QStringList{"DUE:20261215T100000Z"} << QStringList();
        QTest::newRow("a due-time edit stays in the to-do's named zone")
            << QByteArray("SUMMARY:Call\r\nDUE;TZID=Europe/Berlin:20261215T090000\r\n") << QByteArray("America/Los_Angeles")
            << QStringList{"3=01:00am"} << QStringList{"DUE;TZID=Europe/Berlin:20261215T100000"} << QStringList();
        QTest::newRow("a due-time edit stays in a Windows zone")
            << QByteArray("SUMMARY:Call\r\nDUE;TZID=Eastern Standard Time:20261215T090000\r\n") << QByteArray("America/Los_Angeles")
            << QStringList{"3=07:00am"} << QStringList{"DUE;TZID=Eastern Standard Time:20261215T100000"} << QStringList();
        QTest::newRow("a floating due time stays floating")
            << QByteArray("SUMMARY:Call\r\nDUE:20261215T090000\r\n") << QByteArray("America/Los_Angeles")
            << QStringList{"3=10:00am"} << QStringList{"DUE:20261215T100000"} << QStringList{"TZID"};
        QTest::newRow("a time added to a date goes in the system's zone, defined")
            << QByteArray("SUMMARY:Call\r\nDUE;VALUE=DATE:20261215\r\n") << QByteArray("America/Los_Angeles")
            << QStringList{"3=10:00am"}
            << QStringList{"DUE;TZID=America/Los_Angeles:20261215T100000", "TZID:America/Los_Angeles"} << QStringList();
        QTest::newRow("names holding a comma go out as names")
            << QByteArray("SUMMARY:Shed\r\n") << QByteArray("Europe/Berlin") << QStringList{"4=Home, Garden"}
            << QStringList{"CATEGORIES:Home,Garden"} << QStringList();
        QTest::newRow("a notes edit stamps the change, the revision stays")
            << QByteArray("SUMMARY:Plan\r\nDUE:20261215T090000Z\r\nLAST-MODIFIED:20200101T000000Z\r\nSEQUENCE:2\r\n")
            << QByteArray("Europe/Berlin") << QStringList{"6=more"}
            << QStringList{"LAST-MODIFIED:20261207T100000Z", "SEQUENCE:2", "DESCRIPTION:more"} << QStringList{"20200101T000000Z"};
        QTest::newRow("a new due date is a new revision")
            << QByteArray("SUMMARY:Plan\r\nDUE:20261215T090000Z\r\nLAST-MODIFIED:20200101T000000Z\r\nSEQUENCE:2\r\n")
            << QByteArray("Europe/Berlin") << QStringList{"2=12/20/26"}
            << QStringList{"LAST-MODIFIED:20261207T100000Z", "SEQUENCE:3", "DUE:20261220T090000Z"} << QStringList();
        QTest::newRow("checking is a new revision")
            << QByteArray("SUMMARY:Plan\r\nLAST-MODIFIED:20200101T000000Z\r\n") << QByteArray("Europe/Berlin")
            << QStringList{"0= "} << QStringList{"LAST-MODIFIED:20261207T100000Z", "SEQUENCE:1", "STATUS:COMPLETED"}
            << QStringList();
        QTest::newRow("a due date where a duration was")
            << QByteArray("SUMMARY:Meet\r\nDTSTART:20261215T080000Z\r\nDURATION:PT2H\r\n") << QByteArray("America/Los_Angeles")
            << QStringList{"2=12/16/26"} << QStringList{"DUE:20261216T100000Z", "DTSTART:20261215T080000Z"}
            << QStringList{"DURATION"};
        // What the list did not change goes out as it came, byte for byte, and no new revision.
        for (const char* line : {"CATEGORIES:Home\\, Garden,Work,\u00dcn\u00efc\u00f6d\u00e9", "X-CUSTOM;X-PARAM=one:value\\, with\\;\\n",
                                 "GEO:37.386013;-122.082932", "RELATED-TO;RELTYPE=PARENT:p-1", "ATTACH:https://a.example/b%2Cc",
                                 "PRIORITY:2", "PRIORITY:7", "STATUS:CANCELLED"})
            QTest::newRow(line) << "SUMMARY:Shed\r\n" + QByteArray(line) + "\r\n" << QByteArray("Europe/Berlin")
                                << QStringList{"1=Shed roof"} << QStringList{line, "SUMMARY:Shed roof"} << QStringList{"SEQUENCE"};
        QTest::newRow("a date spelled otherwise is no new revision")
            << QByteArray("SUMMARY:Plan\r\nDUE:20261205T090000Z\r\n") << QByteArray("Europe/Berlin")
            << QStringList{"1=Plan B", "~2=12/05/26", "~10="} << QStringList{"DUE:20261205T090000Z"} << QStringList{"SEQUENCE"};
        QTest::newRow("levels 4 and 5 have standard numbers too")
            << QByteArray("SUMMARY:Plan\r\nPRIORITY:1\r\n") << QByteArray("Europe/Berlin") << QStringList{"5=4"}
            << QStringList{"PRIORITY:8", "X-VELTRY-PRIORITY:4"} << QStringList{"PRIORITY:1"};
    }

    void editsOfAServerCopy()
    {
        QFETCH(QByteArray, previous);
        QFETCH(QByteArray, zone);
        QFETCH(QStringList, edits);
        QFETCH(QStringList, lines);
        QFETCH(QStringList, absent);
        const ICalendar::Context context = pinnedIn(zone.constData());
        const QByteArray copy = calendar("BEGIN:VTODO\r\nUID:t\r\nDTSTAMP:20260101T000000Z\r\nX-OTHER:kept\r\n" + previous
                                         + "END:VTODO\r\n");
        std::optional<ICalendar::TaskCells> cells = ICalendar::decodeTask(copy, context);
        QVERIFY(cells);
        // "~": another spelling of what the copy holds, which reads back as the copy spells it.
        ICalendar::TaskCells expected = *cells;
        for (QString edit : edits) {
            const bool respelt = edit.startsWith(QLatin1Char('~'));
            edit.remove(0, respelt ? 1 : 0);
            const qsizetype eq = edit.indexOf(QLatin1Char('='));
            (*cells)[size_t(edit.left(eq).toInt())] = edit.mid(eq + 1);
            if (!respelt)
                expected[size_t(edit.left(eq).toInt())] = edit.mid(eq + 1);
        }
        const QByteArray written = ICalendar::encodeTask(*cells, QDateTime(), context, copy);
        const QByteArray text = unfolded(written);
        for (const QString& line : lines)
            QVERIFY2(text.contains(QByteArray("\r\n" + line.toUtf8() + "\r\n")), text.constData());
        for (const QString& none : absent)
            QVERIFY2(!text.contains(none.toUtf8()), text.constData());
        QVERIFY(text.contains("\r\nX-OTHER:kept\r\n"));
        QCOMPARE(text.count("BEGIN:VTODO"), 1);
        // Read back here, or after another program changed something else: the list's version.
        const std::optional<ICalendar::TaskCells> back = ICalendar::decodeTask(written, context);
        QVERIFY(back);
        QCOMPARE(*back, expected);
        QByteArray elsewhere = written;
        elsewhere.replace("X-OTHER:kept", "X-OTHER:changed");
        QCOMPARE(*ICalendar::decodeTask(elsewhere, context), expected);
    }

    // A new task says which zone its due time is in, and defines it, so it means the same
    // moment everywhere.
    void newTasksNameTheirZone()
    {
        const ICalendar::Context la = pinnedIn("America/Los_Angeles");
        const QStringList row = task("", "Call", "12/15/26", "09:00am", "", kNone, "", "12/1/26", "", "0", "n-1");
        const QByteArray one = unfolded(ICalendar::encodeTask(cellsOf(row), QDateTime(), la));
        QVERIFY2(one.contains("\r\nDUE;TZID=America/Los_Angeles:20261215T090000\r\n"), one.constData());
        QVERIFY(one.contains("BEGIN:VTIMEZONE\r\nTZID:America/Los_Angeles\r\n"));
        QVERIFY(one.contains("LAST-MODIFIED:20261207T100000Z"));
        const std::optional<ICalendar::TaskCells> inBerlin = ICalendar::decodeTask(one, pinnedIn("Europe/Berlin"));
        QVERIFY(inBerlin);
        QCOMPARE(inBerlin->at(TaskCol::DueTime), QStringLiteral("06:00pm"));

        const QByteArray file = ICalendar::encode(listOf({row, task("", "Later", "6/15/27", "09:00am", "", kNone, "", "12/1/26", "", "0")}), la);
        QCOMPARE(file.count("BEGIN:VTIMEZONE"), 1);
        QVERIFY(file.indexOf("BEGIN:VTIMEZONE") < file.indexOf("BEGIN:VTODO"));
        const ICalendar::Tasks back = ICalendar::decode(file, pinnedIn("Europe/Berlin"));
        QCOMPARE(back.rows.cell(TaskCol::DueTime, 2), QStringLiteral("06:00pm"));  // summer time on both sides
    }

    // A task is one to-do in every file it goes to; a to-do coming in keeps its UID.
    void exportedTasksKeepTheirUids()
    {
        CellStore list = listOf({task("", "A", "", "", "", kNone, "", "1/1/26", "", "0"),
                                 task("", "B", "", "", "", kNone, "", "1/1/26", "", "0", "from-elsewhere"),
                                 task("", "B, copied", "", "", "", kNone, "", "1/1/26", "", "0", "from-elsewhere")});
        QCOMPARE(ICalendar::assignUids(list), 2);
        QCOMPARE(ICalendar::assignUids(list), 0);
        QCOMPARE(list.cell(TaskCol::Reserved, 2), QStringLiteral("from-elsewhere"));
        const QSet<QString> uids{list.cell(TaskCol::Reserved, 1), list.cell(TaskCol::Reserved, 2), list.cell(TaskCol::Reserved, 3)};
        QCOMPARE(uids.size(), 3);
        for (int run = 0; run < 2; ++run) {
            const ICalendar::Tasks back = ICalendar::decode(ICalendar::encode(list, pinned()), pinned());
            for (int r = 1; r <= 3; ++r)
                QCOMPARE(back.rows.cell(TaskCol::Reserved, r), list.cell(TaskCol::Reserved, r));
        }
    }

    // Texts read past the library come out as the library reads them: escapes, white space at
    // the ends, folds anywhere (inside a character too), parameters, bytes that are not UTF-8.
    void longTextsReadAsTheLibraryReads()
    {
        static const char* const kPieces[] = {"\\n", "\\N", "\\,", "\\;", "\\\\", "\\", "\\x", "\\:", "\\T",
                                              "\\r", "\\B", "\\f", "\\\"", "\xC3\xA9", "\xE6\x97\xA5",
                                              "\xF0\x9F\x98\x80", "\xFF", "\xC3", "\xA0", "\x7F", " ", "\t", "\v", "\f",
                                              "a", "b c", ",", ";", ":", "\""};
        static const char* const kPlainPieces[] = {"a", "b c", ",", ";", ":", "\"", " ", "\x7F"};
        static const char* const kParameters[] = {"", ";LANGUAGE=en", ";X-A=b", ";FOO", ";X-Q=\"a:b;c\"",
                                                  ";X-E=a\\:b", ";VALUE=TEXT", ";x-value=1"};
        static const char* const kNames[] = {"SUMMARY", "summary", "DESCRIPTION", "Description"};
        QRandomGenerator random(37);
        auto pick = [&random](const auto& list) { return QByteArray(list[random.bounded(int(std::size(list)))]); };
        for (int round = 0; round < 400; ++round) {
            QByteArray lines;
            for (int p = 0; p < 3; ++p) {
                QByteArray line = pick(kNames) + pick(kParameters) + ':';
                const bool plain = random.bounded(3) == 0;
                // Now and then a line long enough to be gone through once only.
                const bool longLine = random.bounded(4) == 0;
                const int pieces = random.bounded(12);
                const int fillerAt = longLine ? random.bounded(pieces + 1) : -1;
                for (int n = 0; n <= pieces; ++n) {
                    if (n == fillerAt)
                        line += QByteArray(4096 + random.bounded(2000), 'a');
                    if (n < pieces)
                        line += plain ? pick(kPlainPieces) : pick(kPieces);
                }
                // Folded at random places, a CR LF or an LF and a blank or a TAB each time.
                for (qsizetype at = 1 + random.bounded(6); at < line.size(); at += 1 + random.bounded(longLine ? 8000 : 6)) {
                    const QByteArray fold = QByteArray(random.bounded(2) ? "\r\n" : "\n") + (plain || random.bounded(2) ? ' ' : '\t');
                    line.insert(at, fold);
                    at += fold.size();
                }
                lines += line + "\r\n";
            }
            const QByteArray file = (random.bounded(4) ? QByteArray() : QByteArray("\xEF\xBB\xBF")) + todo(lines);
            QByteArray library;
            QByteArray own;
            ICalendar::LongTexts texts;
            texts.from = 1;
            auto values = [](icalcomponent* root, const ICalendar::LongTexts* read) {
                icalcomponent* c = icalcomponent_get_first_component(root, ICAL_VTODO_COMPONENT);
                QByteArray out;
                for (const char* text : {icalcomponent_get_summary(c), icalcomponent_get_description(c)}) {
                    const ICalendar::LongTexts::Value* value = read ? read->find(text) : nullptr;
                    const QByteArray bytes = value ? QByteArray(value->data, value->size) : QByteArray(text);
                    out += (value || text ? "[" + bytes + "]" : QByteArray("none")) + '|';
                    if (value && value->plain && std::any_of(bytes.begin(), bytes.end(), [](char b) { return b < 0x20 || b > 0x7E; }))
                        out += "not plain";
                }
                return out;
            };
            try {
                library = values(ICalendar::parseCalendar(QByteArrayView(file)).get(), nullptr);
            } catch (const AppError& e) {
                library = e.message().toUtf8();
            }
            try {
                own = values(ICalendar::parseCalendar(QByteArray(file), &texts).get(), &texts);
            } catch (const AppError& e) {
                own = e.message().toUtf8();
            }
            const QByteArray shown = file.toPercentEncoding(" :;=\"\\") + "\n" + library.toPercentEncoding() + "\n"
                + own.toPercentEncoding();
            QVERIFY2(library == own, shown.constData());
        }
    }

    void importKeepsTheFileUids()
    {
        const QByteArray file = calendar("BEGIN:VTODO\r\nUID:a\r\nSUMMARY:A\r\nEND:VTODO\r\nBEGIN:VTODO\r\nUID:b\r\nSUMMARY:B\r\n"
                                         "END:VTODO\r\nBEGIN:VTODO\r\nUID:a\r\nSUMMARY:A again\r\nEND:VTODO\r\n");
        const CalendarImport result
            = importCalendar(listOf({task("", "Kept", "", "", "", kNone, "", "1/1/26", "", "0", "b")}), file, pinned());
        QStringList got;
        for (const QStringList& row : rowsOf(result.list))
            got << row.at(TaskCol::Task) + QLatin1Char('=') + row.at(TaskCol::Reserved);
        // The list's own UID and a repeat within the file are not taken twice.
        QCOMPARE(got, (QStringList{"A again=", "B=", "A=a", "Kept=b"}));
    }
};

QTEST_GUILESS_MAIN(TestICalendar)
#include "tst_icalendar.moc"
