#include "store/core/ICalendar.h"
#include "store/core/ICalendar_p.h"

#include "platform/core/Version.h"
#include "platform/core/AppError.h"
#include "platform/core/Clock.h"
#include "platform/core/FileSafety.h"
#include "store/core/Task.h"

#include <QSaveFile>
#include <QSet>
#include <QStringDecoder>
#include <QUuid>
#include <algorithm>
#include <array>
#include <bitset>
#include <cstdlib>
#include <memory>
#include <optional>
#include <string_view>
#include <vector>

#include <libical/ical.h>

namespace veltry::ICalendar {

namespace {

const QString kNoSummary = QStringLiteral("(no summary)");
const char kPriorityProperty[] = "X-VELTRY-PRIORITY";

// A cell text as the calendar carries it: line breaks as LF; control characters, which the
// format does not allow (and the library would drop a lone CR silently), left out.
QByteArray calendarText(QString text)
{
    text.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    text.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    text.removeIf([](QChar c) {
        return (c.unicode() < 0x20 && c != QLatin1Char('\n') && c != QLatin1Char('\t')) || c.unicode() == 0x7F;
    });
    return text.toUtf8();
}

// A calendar text as a task cell holds it: line breaks as CR LF, or blanks in a single-line
// cell; a TAB as a blank and other control characters left out, since the list file cannot
// carry them.
QString cellText(const char* utf8, bool multiLine)
{
    const std::string_view bytes(utf8 ? utf8 : "");
    // Most texts hold no control character at all: nothing below would change them.
    if (std::none_of(bytes.begin(), bytes.end(), [](char c) { return uchar(c) < 0x20 || c == 0x7F; }))
        return QString::fromUtf8(bytes.data(), qsizetype(bytes.size()));
    QString text = QString::fromUtf8(bytes.data(), qsizetype(bytes.size()));
    text.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    text.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    text.replace(QLatin1Char('\t'), QLatin1Char(' '));
    if (!multiLine)
        text.replace(QLatin1Char('\n'), QLatin1Char(' '));
    text.removeIf([](QChar c) { return (c.unicode() < 0x20 && c != QLatin1Char('\n')) || c.unicode() == 0x7F; });
    if (multiLine)
        text.replace(QLatin1Char('\n'), QLatin1String("\r\n"));
    return text;
}

// The library's own bytes when cellText would give them back unchanged (valid UTF-8 with no
// control character and no leading byte order mark, which the conversion drops), so that a huge
// text goes to its cell without two conversions; none otherwise.
std::optional<QByteArrayView> plainText(const char* utf8)
{
    const QByteArrayView bytes(utf8 ? utf8 : "");
    auto control = [](uchar c) { return c < 0x20 || c == 0x7F; };
    // Up to the first control character or byte past ASCII; most texts have neither.
    const qsizetype plain = findByte(bytes.data(), bytes.size(), [](uchar c) { return c < 0x20 || c >= 0x7F; });
    if (plain == bytes.size())
        return bytes;
    if (findByte(bytes.data() + plain, bytes.size() - plain, control) < bytes.size() - plain
        || bytes.startsWith("\xEF\xBB\xBF") || !bytes.isValidUtf8())
        return std::nullopt;
    return bytes;
}

const QString kRepeatsPrefix = QStringLiteral("Repeats: ");

// The rule a notes line stands for when it is the line reading puts there for a repeat the list
// cannot follow (written as the library writes rules); none for any other line.
std::optional<icalrecurrencetype> repeatsLineRule(const QString& line)
{
    if (!line.startsWith(kRepeatsPrefix))
        return std::nullopt;
    const QByteArray text = line.mid(kRepeatsPrefix.size()).toUtf8();
    icalrecurrencetype rule = icalrecurrencetype_from_string(text.constData());
    icalerror_clear_errno();
    if (rule.freq == ICAL_NO_RECURRENCE)
        return std::nullopt;
    char* back = icalrecurrencetype_as_string_r(&rule);
    const bool same = back && text == back;
    icalmemory_free_buffer(back);
    return same ? std::optional<icalrecurrencetype>(rule) : std::nullopt;
}

// The notes without the "Repeats: ..." lines: they show the to-do's rule here and never go out
// as text, or they would come back doubled.
QString notesWithoutRepeats(const QString& notes, std::vector<icalrecurrencetype>* rules)
{
    if (!notes.contains(kRepeatsPrefix))
        return notes;
    QStringList kept;
    for (const QString& line : notes.split(QLatin1String("\r\n"))) {
        if (const auto rule = repeatsLineRule(line)) {
            if (rules)
                rules->push_back(*rule);
            continue;
        }
        kept << line;
    }
    return kept.join(QLatin1String("\r\n"));
}

void addText(icalcomponent* c, icalproperty* (*make)(const char*), const QString& text)
{
    icalcomponent_add_property(c, make(calendarText(text).constData()));
}

void addRecurrence(icalcomponent* todo, const QString& type)
{
    icalrecurrencetype rule;
    icalrecurrencetype_clear(&rule);
    if (type == QLatin1String("1")) {
        rule.freq = ICAL_DAILY_RECURRENCE;
    } else if (type == QLatin1String("2")) {
        rule.freq = ICAL_WEEKLY_RECURRENCE;
    } else if (type == QLatin1String("3")) {
        rule.freq = ICAL_WEEKLY_RECURRENCE;
        rule.interval = 2;
    } else if (type == QLatin1String("4")) {
        rule.freq = ICAL_MONTHLY_RECURRENCE;
    } else {
        return;
    }
    icalcomponent_add_property(todo, icalproperty_new_rrule(rule));
}

// The standard PRIORITY of the list's levels 1 to 5: the more important level never has the less
// important number, and 1, 2 and 3 read as high, medium and low where only three levels are
// known. None for any other text.
int standardPriority(const QString& priority)
{
    static const int kValues[] = {1, 5, 7, 8, 9};
    bool isNumber = false;
    const int level = priority.toInt(&isNumber);
    return isNumber && level >= 1 && level <= 5 && priority == QString::number(level) ? kValues[level - 1] : 0;
}

void addPriority(icalcomponent* todo, const QString& priority)
{
    const int standard = standardPriority(priority);
    if (standard > 0)
        icalcomponent_add_property(todo, icalproperty_new_priority(standard));
    // The three-level reading of a standard number gives the level back; the text itself has to
    // come back for any other.
    if (priority.isEmpty() || priority == kEmptyPriority || priority == QLatin1String(" ") || standard == 1
        || standard == 5 || standard == 7)
        return;
    icalproperty* p = icalproperty_new_x(calendarText(priority).constData());
    icalproperty_set_x_name(p, kPriorityProperty);
    icalcomponent_add_property(todo, p);
}

// An alarm shown at the due moment.
void addAlarm(icalcomponent* todo, const QString& description)
{
    icalcomponent* alarm = icalcomponent_new(ICAL_VALARM_COMPONENT);
    icalcomponent_add_property(alarm, icalproperty_new_action(ICAL_ACTION_DISPLAY));
    icaltriggertype trigger;
    trigger.time = icaltime_null_time();
    trigger.duration = icaldurationtype_null_duration();
    icalproperty* p = icalproperty_new_trigger(trigger);
    icalproperty_add_parameter(p, icalparameter_new_related(ICAL_RELATED_END));
    icalcomponent_add_property(alarm, p);
    addText(alarm, icalproperty_new_description, description);
    icalcomponent_add_component(todo, alarm);
}

// Category names as other programs read them: the list's text split at its commas, each name
// trimmed (a blank after a comma would begin the next name).
QByteArray categoryList(const QString& text)
{
    QStringList names;
    for (const QString& name : text.split(QLatin1Char(',')))
        if (const QString trimmed = name.trimmed(); !trimmed.isEmpty())
            names << trimmed;
    return calendarText(names.join(QLatin1Char(',')));
}

icalcomponent* todoOf(const CellStore& list, int row, const Context& context, const QDateTime& completedAt = {},
                      const DueZone& zone = DueZone(), ZoneUse* zoneUse = nullptr)
{
    auto cell = [&](int col) { return list.cell(col, row); };
    icalcomponent* todo = icalcomponent_new(ICAL_VTODO_COMPONENT);
    // A task keeps its UID from one export to the next, and on the calendar server.
    const QString uid = cell(TaskCol::Reserved).isEmpty() ? QUuid::createUuid().toString(QUuid::WithoutBraces)
                                                          : calendarText(cell(TaskCol::Reserved));
    icalcomponent_add_property(todo, icalproperty_new_uid(uid.toUtf8().constData()));
    icalcomponent_add_property(todo, icalproperty_new_dtstamp(utcTime(context.now)));
    const QDate today = context.now.date();
    const QDate created = context.formats.parseDate(cell(TaskCol::CreateDate), today);
    if (created.isValid())
        icalcomponent_add_property(todo, icalproperty_new_created(utcTime(QDateTime(created, QTime(0, 0), context.local))));
    addText(todo, icalproperty_new_summary, cell(TaskCol::Task));

    const QDate dueDate = context.formats.parseDate(cell(TaskCol::DueDate), today);
    if (dueDate.isValid()) {
        const std::optional<QTime> dueTime = cell(TaskCol::DueTime).isEmpty()
            ? std::nullopt
            : context.formats.parseTime(cell(TaskCol::DueTime));
        icalcomponent_add_property(todo, dueProperty(dueDate, dueTime, context, zone, zoneUse));
    }
    if (const QByteArray categories = categoryList(cell(TaskCol::Category)); !categories.isEmpty())
        icalcomponent_add_property(todo, icalproperty_new_categories(categories.constData()));
    addPriority(todo, cell(TaskCol::Priority));
    std::vector<icalrecurrencetype> keptRules;
    if (const QString notes = notesWithoutRepeats(cell(TaskCol::Notes), &keptRules); !notes.isEmpty())
        addText(todo, icalproperty_new_description, notes);
    const bool done = cell(TaskCol::Mark) == kCheckedMark;
    icalcomponent_add_property(todo, icalproperty_new_status(done ? ICAL_STATUS_COMPLETED : ICAL_STATUS_NEEDSACTION));
    if (done)
        icalcomponent_add_property(todo, icalproperty_new_completed(utcTime(completedAt.isValid() ? completedAt : context.now)));
    const QString type = cell(TaskCol::Type);
    if (type == QLatin1String("1") || type == QLatin1String("2") || type == QLatin1String("3") || type == QLatin1String("4")) {
        addRecurrence(todo, type);
    } else {
        // A repeat the list cannot follow goes out as the rule it was read from.
        for (const icalrecurrencetype& rule : keptRules)
            icalcomponent_add_property(todo, icalproperty_new_rrule(rule));
    }
    // The alarm rings at the due moment, so without a due date there is nothing to ring.
    if (cell(TaskCol::Alarm) == kAlarmOn && dueDate.isValid())
        addAlarm(todo, cell(TaskCol::Task));
    return todo;
}

QByteArray calendarBytes(icalcomponent* calendar)
{
    char* text = icalcomponent_as_ical_string_r(calendar);
    QByteArray bytes(text);
    icalmemory_free_buffer(text);
    return bytes;
}

bool rowIsEmpty(const CellStore& list, int row)
{
    for (int c = 0; c < list.columnCount(); ++c)
        if (!list.isCellEmpty(c, row))
            return false;
    return true;
}

// --- reading ----------------------------------------------------------------------------------

bool isUnset(const short* values)
{
    return values[0] == ICAL_RECURRENCE_ARRAY_MAX;
}

bool isSingle(const short* values)
{
    return values[0] != ICAL_RECURRENCE_ARRAY_MAX && values[1] == ICAL_RECURRENCE_ARRAY_MAX;
}

// The recurrence type ("1" to "4") a rule stands for, or empty when it is none of them. A rule
// that names the due date's own weekday (weekly) or day of the month (monthly), as some
// programs write, is the same rule.
QString typeOf(const icalrecurrencetype& rule, const QDate& due)
{
    if (rule.count != 0 || !icaltime_is_null_time(rule.until) || (rule.rscale && *rule.rscale))
        return {};
    for (const short* values : {rule.by_second, rule.by_minute, rule.by_hour, rule.by_year_day, rule.by_week_no,
                                rule.by_month, rule.by_set_pos})
        if (!isUnset(values))
            return {};
    const bool weekdayOfDue = isSingle(rule.by_day) && due.isValid()
        && icalrecurrencetype_day_position(rule.by_day[0]) == 0
        && int(icalrecurrencetype_day_day_of_week(rule.by_day[0])) == due.dayOfWeek() % 7 + 1;
    const bool dayOfDue = isSingle(rule.by_month_day) && due.isValid() && rule.by_month_day[0] == due.day();
    const bool plain = isUnset(rule.by_day) && isUnset(rule.by_month_day);
    switch (rule.freq) {
    case ICAL_DAILY_RECURRENCE:
        return plain && rule.interval == 1 ? QStringLiteral("1") : QString();
    case ICAL_WEEKLY_RECURRENCE:
        if (!(plain || (weekdayOfDue && isUnset(rule.by_month_day))))
            return {};
        return rule.interval == 1 ? QStringLiteral("2") : rule.interval == 2 ? QStringLiteral("3") : QString();
    case ICAL_MONTHLY_RECURRENCE:
        return (plain || (dayOfDue && isUnset(rule.by_day))) && rule.interval == 1 ? QStringLiteral("4") : QString();
    default:
        return {};
    }
}

QString priorityOf(icalcomponent* todo)
{
    for (icalproperty* p = icalcomponent_get_first_property(todo, ICAL_X_PROPERTY); p;
         p = icalcomponent_get_next_property(todo, ICAL_X_PROPERTY)) {
        const char* name = icalproperty_get_x_name(p);
        if (name && qstricmp(name, kPriorityProperty) == 0) {
            const QString text = cellText(icalproperty_get_x(p), false);
            // A level whose standard number another program has changed since is that number.
            const int standard = standardPriority(text);
            icalproperty* number = icalcomponent_get_first_property(todo, ICAL_PRIORITY_PROPERTY);
            if (standard > 0 && number && icalproperty_get_priority(number) != standard)
                break;
            return text.isEmpty() || text == QLatin1String(" ") ? kEmptyPriority : text;
        }
    }
    if (icalproperty* p = icalcomponent_get_first_property(todo, ICAL_PRIORITY_PROPERTY)) {
        const int priority = icalproperty_get_priority(p);
        if (priority >= 1 && priority <= 4)
            return QStringLiteral("1");
        if (priority == 5)
            return QStringLiteral("2");
        if (priority >= 6 && priority <= 9)
            return QStringLiteral("3");
    }
    return kEmptyPriority;
}

// Reads the to-do's cells, its UID included, into `row`; the cells it leaves alone keep their
// texts. `longTexts`, if given, holds the long texts the library holds stand-ins for.
void readTodo(icalcomponent* todo, CellStore& rows, int row, const Context& context, const LongTexts* longTexts = nullptr)
{
    auto textOf = [longTexts](const char* held) { return longTexts ? longTexts->text(held) : held; };
    // plainText, without a look through a long text known to be plain.
    auto plainOf = [longTexts](const char* held, const char* text) {
        const LongTexts::Value* value = longTexts ? longTexts->find(held) : nullptr;
        return value && value->plain ? std::optional<QByteArrayView>(QByteArrayView(value->data, value->size))
                                     : plainText(text);
    };
    // The row is built once at the end: a to-do with a huge text is then not copied for each cell,
    // and a plain one goes into it straight from the library's tree.
    std::array<QByteArray, TaskCol::Count> texts;
    std::array<QByteArrayView, TaskCol::Count> views;
    std::bitset<TaskCol::Count> written;
    auto set = [&](int col, const QString& text) {
        texts[size_t(col)] = text.toUtf8();
        views[size_t(col)] = texts[size_t(col)];
        written.set(size_t(col));
    };
    const char* const summaryHeld = icalcomponent_get_summary(todo);
    const char* const summaryText = textOf(summaryHeld);
    const std::optional<QByteArrayView> plainSummary = plainOf(summaryHeld, summaryText);
    // A printable ASCII character: the summary is more than blanks (a text of other blanks only
    // is left to the conversion's own test).
    if (plainSummary && std::any_of(plainSummary->begin(), plainSummary->end(), [](char c) { return c > ' '; })) {
        views[TaskCol::Task] = *plainSummary;
        written.set(TaskCol::Task);
    } else {
        const QString summary = cellText(summaryText, false);
        set(TaskCol::Task, summary.trimmed().isEmpty() ? kNoSummary : summary);
    }

    // A due date alone has no time; a due time in any zone becomes the local date and time.
    QDate dueDate;
    const icaltimetype due = icalcomponent_get_due(todo);
    if (!icaltime_is_null_time(due)) {
        icalproperty* dueProperty = icalcomponent_get_first_property(todo, ICAL_DUE_PROPERTY);
        const QByteArray tzid = tzidOf(dueProperty ? dueProperty : icalcomponent_get_first_property(todo, ICAL_DTSTART_PROPERTY));
        if (due.is_date) {
            dueDate = dateOf(due);
        } else if (const QDateTime at = localMoment(due, context.local, tzid); at.isValid()) {
            dueDate = at.date();
            set(TaskCol::DueTime, context.formats.formatTime(at.time()));
        }
        if (dueDate.isValid())
            set(TaskCol::DueDate, context.formats.formatDate(dueDate));
    }

    QStringList categories;
    for (icalproperty* p = icalcomponent_get_first_property(todo, ICAL_CATEGORIES_PROPERTY); p;
         p = icalcomponent_get_next_property(todo, ICAL_CATEGORIES_PROPERTY))
        categories << cellText(icalproperty_get_categories(p), false);
    // The library splits the list at its commas and trims the names; they go back as written.
    set(TaskCol::Category, categories.join(QLatin1String(", ")));
    set(TaskCol::Priority, priorityOf(todo));

    const char* const descriptionHeld = icalcomponent_get_description(todo);
    const char* const description = textOf(descriptionHeld);
    std::optional<QString> notes;  // converted only when a repeat's line joins it
    QString type = QStringLiteral("0");
    int rules = 0;
    for (icalproperty* p = icalcomponent_get_first_property(todo, ICAL_RRULE_PROPERTY); p;
         p = icalcomponent_get_next_property(todo, ICAL_RRULE_PROPERTY))
        ++rules;
    for (icalproperty* p = icalcomponent_get_first_property(todo, ICAL_RRULE_PROPERTY); p;
         p = icalcomponent_get_next_property(todo, ICAL_RRULE_PROPERTY)) {
        const icalrecurrencetype rule = icalproperty_get_rrule(p);
        const QString mapped = rules == 1 ? typeOf(rule, dueDate) : QString();
        if (!mapped.isEmpty()) {
            type = mapped;
            continue;
        }
        // A repeat this list cannot follow is kept as words, so the user can see it.
        char* text = icalrecurrencetype_as_string_r(const_cast<icalrecurrencetype*>(&rule));
        const QString line = kRepeatsPrefix + cellText(text, false);
        icalmemory_free_buffer(text);
        if (!notes)
            notes = cellText(description, true);
        // An older edition sent the line out in the description: it is shown once.
        if (notes->split(QLatin1String("\r\n")).contains(line))
            continue;
        if (!notes->isEmpty())
            *notes += QLatin1String("\r\n");
        *notes += line;
    }
    const std::optional<QByteArrayView> plainNotes = notes ? std::nullopt : plainOf(descriptionHeld, description);
    if (plainNotes) {
        views[TaskCol::Notes] = *plainNotes;
        written.set(TaskCol::Notes);
    } else {
        set(TaskCol::Notes, notes ? *notes : cellText(description, true));
    }
    set(TaskCol::Type, type);

    QDate created;
    if (icalproperty* p = icalcomponent_get_first_property(todo, ICAL_CREATED_PROPERTY)) {
        const icaltimetype t = icalproperty_get_datetime_with_component(p, todo);
        created = t.is_date ? dateOf(t) : localMoment(t, context.local, tzidOf(p)).date();
    }
    set(TaskCol::CreateDate, context.formats.formatDate(created.isValid() ? created : context.now.toTimeZone(context.local).date()));

    if (dueDate.isValid() && icalcomponent_get_first_component(todo, ICAL_VALARM_COMPONENT))
        set(TaskCol::Alarm, kAlarmOn);
    // A cancelled to-do is no work to do either.
    const icalproperty_status status = icalcomponent_get_status(todo);
    const bool done = status == ICAL_STATUS_COMPLETED || status == ICAL_STATUS_CANCELLED
        || icalcomponent_get_first_property(todo, ICAL_COMPLETED_PROPERTY);
    set(TaskCol::Mark, done ? kCheckedMark : QString());
    set(TaskCol::Reserved, cellText(icalcomponent_get_uid(todo), false));

    if (row < 0 || row >= rows.rowCount())
        return;
    RowCells& cells = rows.row(row);
    std::vector<QByteArrayView> built(size_t(std::max(cells.storedCount(), int(TaskCol::Count))));
    for (size_t c = 0; c < built.size(); ++c)
        built[c] = c < size_t(std::min(rows.columnCount(), int(TaskCol::Count))) && written.test(c) ? views[c]
                                                                                                  : cells.cell(int(c));
    cells.assign(built);
}

} // namespace

Context::Context()
    : formats(LocaleFormats::current()), local(QTimeZone::systemTimeZone()), now(Clock::instance().now())
{
}

QByteArray encode(const CellStore& taskList, const Context& context)
{
    Component calendar(icalcomponent_new(ICAL_VCALENDAR_COMPONENT));
    icalcomponent_add_property(calendar.get(), icalproperty_new_version("2.0"));
    const QByteArray prodid = QByteArrayLiteral("-//Veltry//Veltry Professional ") + kVersionText + "//EN";
    icalcomponent_add_property(calendar.get(), icalproperty_new_prodid(prodid.constData()));
    std::vector<icalcomponent*> todos;
    ZoneUse zoneUse;
    for (int r = 1; r < taskList.rowCount(); ++r)
        if (!rowIsEmpty(taskList, r))
            todos.push_back(todoOf(taskList, r, context, QDateTime(), DueZone(), &zoneUse));
    // The zone's definition ahead of the to-dos that use it, as readers expect.
    addZoneDefinition(calendar.get(), zoneUse);
    for (icalcomponent* todo : todos)
        icalcomponent_add_component(calendar.get(), todo);
    return calendarBytes(calendar.get());
}

int assignUids(CellStore& taskList)
{
    if (taskList.columnCount() <= TaskCol::Reserved)
        return 0;
    QSet<QString> seen;
    int given = 0;
    for (int r = 1; r < taskList.rowCount(); ++r) {
        if (rowIsEmpty(taskList, r))
            continue;
        const QString uid = taskList.cell(TaskCol::Reserved, r);
        if (uid.isEmpty() || seen.contains(uid)) {
            const QString fresh = QUuid::createUuid().toString(QUuid::WithoutBraces);
            taskList.setCell(TaskCol::Reserved, r, fresh);
            seen.insert(fresh);
            ++given;
        } else {
            seen.insert(uid);
        }
    }
    return given;
}

void saveToFile(const CellStore& taskList, const QString& path, const Context& context)
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        throw AppError(QStringLiteral("Could not save \"%1\": %2").arg(path, file.errorString()));
    const QString reason = FileSafety::writeAll(&file, encode(taskList, context));
    if (!reason.isNull()) {
        file.cancelWriting();
        throw AppError(QStringLiteral("Could not save \"%1\": %2").arg(path, reason));
    }
    if (!file.commit())
        throw AppError(QStringLiteral("Could not save \"%1\": %2").arg(path, file.errorString()));
}

namespace {

// `bytes` as UTF-8: nothing when they are so already, else read as Windows-1252, the code page
// that the programs writing calendars in anything else use; never replacement characters.
std::optional<QByteArray> utf8Text(QByteArrayView bytes)
{
    // A fold may fall inside a character: the lines are judged unfolded. The text between line
    // breaks goes across in one piece, and a text without folds is judged as it is.
    QByteArray unfolded;
    qsizetype copied = 0;
    uchar all = 0;  // every byte ORed together: ASCII text needs no further look
    for (qsizetype i = 0; i < bytes.size(); ++i) {
        const char c = bytes[i];
        all |= uchar(c);
        if (c != '\r' && c != '\n')
            continue;
        qsizetype next = i + 1;
        if (c == '\r' && next < bytes.size() && bytes[next] == '\n')
            ++next;
        if (next < bytes.size() && (bytes[next] == ' ' || bytes[next] == '\t')) {
            if (unfolded.isEmpty())
                unfolded.reserve(bytes.size());
            unfolded.append(bytes.sliced(copied, i - copied));
            copied = next + 1;
            i = next;
        }
    }
    if (copied > 0)
        unfolded.append(bytes.sliced(copied));
    const QByteArrayView judged = copied > 0 ? QByteArrayView(unfolded) : bytes;
    if (!(all & 0x80) || judged.isValidUtf8())
        return std::nullopt;
    if (copied == 0)
        unfolded = bytes.toByteArray();
    // UTF-8 characters beside bytes that are none: either reading would mangle part of the text.
    for (qsizetype i = 0; i + 1 < unfolded.size(); ++i) {
        const auto lead = uchar(unfolded[i]);
        const int more = lead >= 0xC2 && lead <= 0xDF ? 1 : lead >= 0xE0 && lead <= 0xEF ? 2 : lead >= 0xF0 && lead <= 0xF4 ? 3 : 0;
        int next = 1;
        while (next <= more && i + next < unfolded.size() && (uchar(unfolded[i + next]) & 0xC0) == 0x80)
            ++next;
        if (more > 0 && next == more + 1)
            throw AppError(QStringLiteral("The file mixes UTF-8 text with bytes that are not UTF-8, so part of its "
                                          "text could not be read as written; nothing was imported."));
    }
    // 0x80 to 0x9F; the five codes the page leaves free stand for the control characters.
    static const char16_t kHigh[32] = {0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
                                       0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,
                                       0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
                                       0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};
    QString text;
    text.reserve(bytes.size());
    for (const char c : bytes) {
        const auto byte = uchar(c);
        text += byte >= 0x80 && byte < 0xA0 ? QChar(kHigh[byte - 0x80]) : QChar(byte);
    }
    return text.toUtf8();
}

} // namespace

namespace {

Tasks tasksOf(const Component& root, const Context& context, const LongTexts* texts)
{
    // Several calendars in one file come inside one root; a lone component stands for itself.
    std::vector<icalcomponent*> items;
    auto collect = [&items](icalcomponent* calendar) {
        for (icalcomponent* c = icalcomponent_get_first_component(calendar, ICAL_ANY_COMPONENT); c;
             c = icalcomponent_get_next_component(calendar, ICAL_ANY_COMPONENT))
            items.push_back(c);
    };
    const icalcomponent_kind rootKind = icalcomponent_isa(root.get());
    if (rootKind == ICAL_XROOT_COMPONENT) {
        for (icalcomponent* c = icalcomponent_get_first_component(root.get(), ICAL_ANY_COMPONENT); c;
             c = icalcomponent_get_next_component(root.get(), ICAL_ANY_COMPONENT)) {
            if (icalcomponent_isa(c) == ICAL_VCALENDAR_COMPONENT)
                collect(c);
            else
                items.push_back(c);
        }
    } else if (rootKind == ICAL_VCALENDAR_COMPONENT) {
        collect(root.get());
    } else {
        items.push_back(root.get());
    }

    Tasks tasks;
    tasks.rows.setColumnCount(TaskCol::Count);
    int todos = 0;
    for (icalcomponent* c : items)
        if (icalcomponent_isa(c) == ICAL_VTODO_COMPONENT)
            ++todos;
    if (1 + qint64(todos) > CellStore::kMaxRows)
        throw AppError(QStringLiteral("The file holds more to-dos than the list can take."));
    tasks.rows.setRowCount(1 + todos);
    for (icalcomponent* c : items) {
        const icalcomponent_kind kind = icalcomponent_isa(c);
        if (kind == ICAL_VTODO_COMPONENT) {
            readTodo(c, tasks.rows, ++tasks.todos, context, texts);
        }
        else if (kind != ICAL_VTIMEZONE_COMPONENT)  // a time zone only serves the items that use it
            ++tasks.skipped;
    }
    return tasks;
}

Tasks tasksOfText(QByteArray&& bytes, const Context& context)
{
    // Most calendars are ASCII, which one look through them finds along with what the reading
    // checks first; the few that are recoded are checked again.
    const TextCheck check = checkText(bytes);
    std::optional<QByteArray> recoded = check.ascii ? std::nullopt : utf8Text(bytes);
    LongTexts texts;
    const Component root = recoded ? parseCalendar(std::move(*recoded), &texts)
                                   : parseCalendar(std::move(bytes), &texts, &check);
    return tasksOf(root, context, &texts);
}

} // namespace

Tasks decode(QByteArrayView bytes, const Context& context)
{
    return tasksOfText(bytes.toByteArray(), context);
}

Tasks decode(QByteArray&& bytes, const Context& context)
{
    return tasksOfText(std::move(bytes), context);
}

namespace {

CellStore oneTask(const TaskCells& task)
{
    CellStore list;
    list.setColumnCount(TaskCol::Count);
    list.setRowCount(2);
    for (int c = 0; c < TaskCol::Count; ++c)
        list.setCell(c, 1, task[size_t(c)]);
    return list;
}

// The master to-do of a calendar: the first, in the order of the text, without a RECURRENCE-ID.
icalcomponent* masterTodo(icalcomponent* root)
{
    std::vector<icalcomponent*> stack{root};
    while (!stack.empty()) {
        icalcomponent* c = stack.back();
        stack.pop_back();
        if (icalcomponent_isa(c) == ICAL_VTODO_COMPONENT) {
            if (!icalcomponent_get_first_property(c, ICAL_RECURRENCEID_PROPERTY))
                return c;
            continue;
        }
        std::vector<icalcomponent*> children;
        for (icalcomponent* child = icalcomponent_get_first_component(c, ICAL_ANY_COMPONENT); child;
             child = icalcomponent_get_next_component(c, ICAL_ANY_COMPONENT))
            children.push_back(child);
        stack.insert(stack.end(), children.rbegin(), children.rend());
    }
    return nullptr;
}

bool isOurPriority(icalproperty* p)
{
    const char* name = icalproperty_get_x_name(p);
    return name && qstricmp(name, kPriorityProperty) == 0;
}

// `todo`'s properties of `kind` as the library writes them; of the X- properties only our own.
QByteArray propertyLines(icalcomponent* todo, icalproperty_kind kind)
{
    QByteArray lines;
    for (icalproperty* p = icalcomponent_get_first_property(todo, kind); p; p = icalcomponent_get_next_property(todo, kind)) {
        if (kind == ICAL_X_PROPERTY && !isOurPriority(p))
            continue;
        char* text = icalproperty_as_ical_string_r(p);
        lines += text;
        icalmemory_free_buffer(text);
    }
    return lines;
}

QByteArray propertyName(icalproperty_kind kind)
{
    return kind == ICAL_X_PROPERTY ? QByteArray(kPriorityProperty) : QByteArray(icalproperty_kind_to_string(kind));
}

QByteArray alarmLines(icalcomponent* todo)
{
    QByteArray lines;
    for (icalcomponent* c = icalcomponent_get_first_component(todo, ICAL_VALARM_COMPONENT); c;
         c = icalcomponent_get_next_component(todo, ICAL_VALARM_COMPONENT))
        lines += calendarBytes(c);
    return lines;
}

void removeAll(icalcomponent* todo, icalproperty_kind kind)
{
    std::vector<icalproperty*> old;
    for (icalproperty* p = icalcomponent_get_first_property(todo, kind); p; p = icalcomponent_get_next_property(todo, kind))
        old.push_back(p);
    for (icalproperty* p : old) {
        icalcomponent_remove_property(todo, p);
        icalproperty_free(p);
    }
}

// Clients that settle conflicts by the time of the last change must see ours.
void setLastModified(icalcomponent* todo, const QDateTime& now)
{
    removeAll(todo, ICAL_LASTMODIFIED_PROPERTY);
    icalcomponent_add_property(todo, icalproperty_new_lastmodified(utcTime(now)));
}

// The definition of the system's zone that a new due time of `todo` needs, unless its calendar
// has one of that name already.
QByteArray zoneDefinitionFor(icalcomponent* todo, const ZoneUse& use)
{
    icalcomponent* calendar = icalcomponent_get_parent(todo);
    if (!calendar || !use.zone)
        return {};
    const int had = icalcomponent_count_components(calendar, ICAL_VTIMEZONE_COMPONENT);
    addZoneDefinition(calendar, use);
    if (icalcomponent_count_components(calendar, ICAL_VTIMEZONE_COMPONENT) == had)
        return {};
    icalcomponent* added = nullptr;  // the library adds it after the others
    for (icalcomponent* c = icalcomponent_get_first_component(calendar, ICAL_VTIMEZONE_COMPONENT); c;
         c = icalcomponent_get_next_component(calendar, ICAL_VTIMEZONE_COMPONENT))
        added = c;
    return calendarBytes(added);
}

// What each task column is in a to-do.
struct ColumnProperties
{
    std::initializer_list<int> columns;
    std::initializer_list<icalproperty_kind> kinds;
};
const ColumnProperties kColumnProperties[] = {
    {{TaskCol::Task}, {ICAL_SUMMARY_PROPERTY}},
    {{TaskCol::DueDate, TaskCol::DueTime}, {ICAL_DUE_PROPERTY}},
    {{TaskCol::Category}, {ICAL_CATEGORIES_PROPERTY}},
    {{TaskCol::Priority}, {ICAL_PRIORITY_PROPERTY, ICAL_X_PROPERTY}},
    {{TaskCol::Notes}, {ICAL_DESCRIPTION_PROPERTY}},
    {{TaskCol::CreateDate}, {ICAL_CREATED_PROPERTY}},
    {{TaskCol::Type}, {ICAL_RRULE_PROPERTY}},
    {{TaskCol::Mark}, {ICAL_STATUS_PROPERTY, ICAL_COMPLETED_PROPERTY, ICAL_PERCENTCOMPLETE_PROPERTY}},
};

// `previous` with the list's version of its master `todo`: only the properties of the columns the
// list changed are written anew; everything else another program keeps there (its own
// properties, the form of ours, changed occurrences) stays as it came, and a due time stays in
// the to-do's own zone.
std::optional<QByteArray> editedCopy(icalcomponent* todo, const TaskCells& task, const QDateTime& completedAt,
                                     const Context& context, QByteArrayView previous)
{
    const DueZone zone = dueZoneOf(todo);
    ZoneUse zoneUse;
    Component fresh(todoOf(oneTask(task), 1, context, completedAt, zone, &zoneUse));
    // The to-do as the list reads it, written the same way: a column that comes out the same was
    // not changed here, however its text is spelled (a date with leading zeros, blanks in a list).
    CellStore before;
    before.setColumnCount(TaskCol::Count);
    before.setRowCount(2);
    readTodo(todo, before, 1, context);
    before.setCell(TaskCol::Reserved, 1, task[TaskCol::Reserved]);
    Component was(todoOf(before, 1, context, completedAt, zone));

    TextEdit edit;
    auto replace = [&](icalproperty_kind kind) {
        edit.properties.push_back({propertyName(kind), propertyLines(fresh.get(), kind)});
    };
    bool changed = false;
    bool rescheduled = false;  // what other programs count as a new version of the to-do
    for (const ColumnProperties& group : kColumnProperties) {
        const bool differs = std::any_of(group.kinds.begin(), group.kinds.end(), [&](icalproperty_kind kind) {
            return propertyLines(fresh.get(), kind) != propertyLines(was.get(), kind);
        });
        if (!differs)
            continue;
        changed = true;
        for (icalproperty_kind kind : group.kinds)
            replace(kind);
        const int first = *group.columns.begin();
        if (first == TaskCol::DueDate) {
            // A due moment and a duration together are not allowed; the due moment is the list's now.
            replace(ICAL_DURATION_PROPERTY);
            edit.zone = zoneDefinitionFor(todo, zoneUse);
        }
        if (first == TaskCol::DueDate || first == TaskCol::Mark || first == TaskCol::Type)
            rescheduled = true;
    }
    // Another program's alarm stays as it set it while the alarm stays on.
    const QByteArray alarms = alarmLines(fresh.get());
    if (alarms.isEmpty() != alarmLines(was.get()).isEmpty()) {
        edit.replaceAlarms = true;
        edit.alarms = alarms;
        changed = true;
    }
    replace(ICAL_DTSTAMP_PROPERTY);
    if (changed) {
        setLastModified(fresh.get(), context.now);
        replace(ICAL_LASTMODIFIED_PROPERTY);
    }
    if (rescheduled) {
        // RFC 5545's revision number.
        int sequence = 0;
        if (icalproperty* p = icalcomponent_get_first_property(todo, ICAL_SEQUENCE_PROPERTY))
            sequence = std::max(0, icalproperty_get_sequence(p));
        icalcomponent_add_property(fresh.get(), icalproperty_new_sequence(sequence + 1));
        replace(ICAL_SEQUENCE_PROPERTY);
    }
    std::optional<QByteArray> edited = editMasterTodo(previous, edit);
    if (!edited)
        return std::nullopt;
    // The text's master must be the one the library reads: the edit stamped it.
    Component check = parseCalendar(*edited);
    icalcomponent* master = masterTodo(check.get());
    icalproperty* stamp = master ? icalcomponent_get_first_property(master, ICAL_DTSTAMP_PROPERTY) : nullptr;
    if (!stamp || icaltime_compare(icalproperty_get_dtstamp(stamp), utcTime(context.now)) != 0)
        return std::nullopt;
    return edited;
}

} // namespace

QByteArray encodeTask(const TaskCells& task, const QDateTime& completedAt, const Context& context,
                      QByteArrayView previous)
{
    if (!previous.isEmpty()) {
        try {
            Component root = parseCalendar(previous);
            if (icalcomponent* todo = masterTodo(root.get()))
                if (std::optional<QByteArray> edited = editedCopy(todo, task, completedAt, context, previous))
                    return *edited;
        } catch (const AppError&) {
            // A copy this program cannot read is replaced by the list's own version.
        }
    }
    ZoneUse zoneUse;
    Component fresh(todoOf(oneTask(task), 1, context, completedAt, DueZone(), &zoneUse));
    setLastModified(fresh.get(), context.now);
    Component calendar(icalcomponent_new(ICAL_VCALENDAR_COMPONENT));
    icalcomponent_add_property(calendar.get(), icalproperty_new_version("2.0"));
    const QByteArray prodid = QByteArrayLiteral("-//Veltry//Veltry Professional ") + kVersionText + "//EN";
    icalcomponent_add_property(calendar.get(), icalproperty_new_prodid(prodid.constData()));
    addZoneDefinition(calendar.get(), zoneUse);
    icalcomponent_add_component(calendar.get(), fresh.release());
    return calendarBytes(calendar.get());
}

std::optional<TaskCells> decodeTask(QByteArrayView bytes, const Context& context)
{
    Component root = parseCalendar(bytes);
    icalcomponent* master = masterTodo(root.get());
    if (!master)
        return std::nullopt;
    CellStore rows;
    rows.setColumnCount(TaskCol::Count);
    rows.setRowCount(2);
    readTodo(master, rows, 1, context);
    TaskCells task;
    for (int c = 0; c < TaskCol::Count; ++c)
        task[size_t(c)] = rows.cell(c, 1);
    return task;
}

} // namespace veltry::ICalendar
