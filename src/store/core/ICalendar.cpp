#include "store/core/ICalendar.h"

#include "app/core/Version.h"
#include "platform/core/AppError.h"
#include "platform/core/Clock.h"
#include "platform/core/FileSafety.h"
#include "store/core/Task.h"

#include <QSaveFile>
#include <QScopeGuard>
#include <QSet>
#include <QUuid>
#include <algorithm>
#include <cstdlib>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include <libical/ical.h>

namespace veltry::ICalendar {

namespace {

// The calendar library frees a component together with everything inside it.
struct ComponentDeleter
{
    void operator()(icalcomponent* c) const { icalcomponent_free(c); }
};
using Component = std::unique_ptr<icalcomponent, ComponentDeleter>;

// Calendars nest three deep (calendar, to-do, alarm); the library frees components recursively,
// so a file nesting thousands deep would overflow the stack.
constexpr int kMaxNesting = 16;

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
    QString text = QString::fromUtf8(utf8 ? utf8 : "");
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

icaltimetype utcTime(const QDateTime& at)
{
    return icaltime_from_timet_with_zone(time_t(at.toSecsSinceEpoch()), 0, icaltimezone_get_utc_timezone());
}

icaltimetype dateValue(const QDate& date)
{
    icaltimetype t = icaltime_null_date();
    t.year = date.year();
    t.month = date.month();
    t.day = date.day();
    return t;
}

// A local time with no zone attached: it means the same wall-clock time wherever it is read.
icaltimetype floatingTime(const QDate& date, const QTime& time)
{
    icaltimetype t = icaltime_null_time();
    t.year = date.year();
    t.month = date.month();
    t.day = date.day();
    t.hour = time.hour();
    t.minute = time.minute();
    return t;
}

QDate dateOf(const icaltimetype& t)
{
    return QDate(t.year, t.month, t.day);
}

// The TZID parameter of a property, or empty.
QByteArray tzidOf(icalproperty* p)
{
    icalparameter* param = p ? icalproperty_get_first_parameter(p, ICAL_TZID_PARAMETER) : nullptr;
    const char* tzid = param ? icalparameter_get_tzid(param) : nullptr;
    return tzid ? QByteArray(tzid) : QByteArray();
}

// The zone a TZID names when the calendar holds no VTIMEZONE of that name and the calendar
// library knows none by it: a Windows name (as Windows and Exchange clients write them) through
// Qt's table, else a name Qt knows itself; invalid when neither knows it.
QTimeZone zoneNamed(const QByteArray& tzid)
{
    if (tzid.isEmpty())
        return {};
    const QByteArray iana = QTimeZone::windowsIdToDefaultIanaId(tzid);
    if (!iana.isEmpty())
        if (const QTimeZone zone(iana); zone.isValid())
            return zone;
    if (QTimeZone::isTimeZoneIdAvailable(tzid))
        return QTimeZone(tzid);
    return {};
}

// A date-time value as a moment in `local`. Its zone is the calendar's own VTIMEZONE or the
// library's zone of that name (both already in `t`), else the zone `tzid` names for Qt; a value
// in no zone at all is floating and taken as it stands.
QDateTime localMoment(icaltimetype t, const QTimeZone& local, const QByteArray& tzid = {})
{
    const bool floating = t.zone == nullptr && !icaltime_is_utc(t);
    const QTimeZone named = floating ? zoneNamed(tzid) : QTimeZone();
    if (!floating)
        t = icaltime_convert_to_zone(t, icaltimezone_get_utc_timezone());
    const QDate date = dateOf(t);
    const QTime time(t.hour, t.minute, t.second);
    if (!date.isValid() || !time.isValid())
        return {};
    if (named.isValid())
        return QDateTime(date, time, named).toTimeZone(local);
    if (floating)
        return QDateTime(date, time, local);
    return QDateTime(date, time, QTimeZone::utc()).toTimeZone(local);
}

// The zone a due time is written in: the system's for a new task (so other programs show the
// moment meant, and the zone's name), and for an edit the to-do's own.
struct DueZone
{
    enum Kind { System, Utc, Floating, Named } kind = System;
    QByteArray tzid;               // Named: the TZID as the to-do names it
    icaltimezone* ical = nullptr;  // Named: the zone the calendar (or the library) defines by it,
    QTimeZone qt;                  // or else the one Qt knows by it
};

// The zone of the system's time zone that due times were written in, and from when on they
// need its definition.
struct ZoneUse
{
    QByteArray tzid;
    icaltimezone* zone = nullptr;
    QDateTime earliest;
};

// The system's zone as the calendar names it: the library's definition of its name, or UTC
// where the library has none (an offset without a name) or the zone is UTC itself.
DueZone systemZone(const QTimeZone& local)
{
    DueZone zone;
    const QByteArray id = local.id();
    icaltimezone* builtin = id.isEmpty() ? nullptr : icaltimezone_get_builtin_timezone(id.constData());
    if (!builtin || builtin == icaltimezone_get_utc_timezone()) {
        zone.kind = DueZone::Utc;
        return zone;
    }
    zone.kind = DueZone::Named;
    zone.tzid = id;
    zone.ical = builtin;
    return zone;
}

// The zone the to-do's due time is in (its start's, when it has a duration instead).
DueZone dueZoneOf(icalcomponent* todo)
{
    icalproperty* p = icalcomponent_get_first_property(todo, ICAL_DUE_PROPERTY);
    if (!p)
        p = icalcomponent_get_first_property(todo, ICAL_DTSTART_PROPERTY);
    DueZone zone;
    if (!p)
        return zone;
    const icaltimetype t = icalproperty_get_datetime_with_component(p, todo);
    if (icaltime_is_null_time(t) || t.is_date)
        return zone;
    if (icaltime_is_utc(t)) {
        zone.kind = DueZone::Utc;
        return zone;
    }
    const QByteArray tzid = tzidOf(p);
    if (tzid.isEmpty()) {
        zone.kind = DueZone::Floating;
        return zone;
    }
    if (t.zone) {
        zone.kind = DueZone::Named;
        zone.tzid = tzid;
        zone.ical = const_cast<icaltimezone*>(t.zone);
    } else if (const QTimeZone named = zoneNamed(tzid); named.isValid()) {
        zone.kind = DueZone::Named;
        zone.tzid = tzid;
        zone.qt = named;
    }
    return zone;
}

// The DUE of a date, and a time meant in `context.local`, written in `zone`; a use of the
// system's zone is noted in `use`.
icalproperty* dueProperty(const QDate& date, const std::optional<QTime>& time, const Context& context,
                          DueZone zone, ZoneUse* use)
{
    if (!time)
        return icalproperty_new_due(dateValue(date));
    const QDateTime moment(date, *time, context.local);
    if (zone.kind == DueZone::System) {
        zone = systemZone(context.local);
        if (zone.kind == DueZone::Named && use) {
            use->tzid = zone.tzid;
            use->zone = zone.ical;
            if (!use->earliest.isValid() || moment < use->earliest)
                use->earliest = moment;
        }
    }
    switch (zone.kind) {
    case DueZone::Utc:
        return icalproperty_new_due(utcTime(moment));
    case DueZone::Floating:
        return icalproperty_new_due(floatingTime(date, *time));
    default:
        break;
    }
    icaltimetype wall;
    if (zone.ical) {
        wall = icaltime_convert_to_zone(utcTime(moment), zone.ical);
        wall.zone = nullptr;
    } else {
        const QDateTime there = moment.toTimeZone(zone.qt);
        wall = floatingTime(there.date(), there.time());
    }
    icalproperty* p = icalproperty_new_due(wall);
    icalproperty_add_parameter(p, icalparameter_new_tzid(zone.tzid.constData()));
    return p;
}

// The definition of the system's zone the due times use, in `calendar` unless it has one of
// that name already; only its rules from the earliest due time on.
void addZoneDefinition(icalcomponent* calendar, const ZoneUse& use)
{
    if (!use.zone || !calendar)
        return;
    for (icalcomponent* c = icalcomponent_get_first_component(calendar, ICAL_VTIMEZONE_COMPONENT); c;
         c = icalcomponent_get_next_component(calendar, ICAL_VTIMEZONE_COMPONENT)) {
        icalproperty* p = icalcomponent_get_first_property(c, ICAL_TZID_PROPERTY);
        if (p && use.tzid == icalproperty_get_tzid(p))
            return;
    }
    icalcomponent* definition = icalcomponent_new_clone(icaltimezone_get_component(use.zone));
    // The library names its own zones with a prefix; the other programs know the plain name.
    if (icalproperty* p = icalcomponent_get_first_property(definition, ICAL_TZID_PROPERTY))
        icalproperty_set_tzid(p, use.tzid.constData());
    icaltimezone_truncate_vtimezone(definition, utcTime(use.earliest), icaltime_null_time(), 1);
    icalcomponent_add_component(calendar, definition);
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

void addPriority(icalcomponent* todo, const QString& priority)
{
    if (priority == QLatin1String("1"))
        icalcomponent_add_property(todo, icalproperty_new_priority(1));
    else if (priority == QLatin1String("2"))
        icalcomponent_add_property(todo, icalproperty_new_priority(5));
    else if (priority == QLatin1String("3"))
        icalcomponent_add_property(todo, icalproperty_new_priority(9));
    else if (!priority.isEmpty() && priority != kEmptyPriority && priority != QLatin1String(" ")) {
        // Other calendars know only the numbers; the text itself comes back on import.
        icalproperty* p = icalproperty_new_x(calendarText(priority).constData());
        icalproperty_set_x_name(p, kPriorityProperty);
        icalcomponent_add_property(todo, p);
    }
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

void readTodo(icalcomponent* todo, CellStore& rows, int row, const Context& context)
{
    auto set = [&](int col, const QString& text) { rows.setCell(col, row, text); };
    const QString summary = cellText(icalcomponent_get_summary(todo), false);
    set(TaskCol::Task, summary.trimmed().isEmpty() ? kNoSummary : summary);

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

    QString notes = cellText(icalcomponent_get_description(todo), true);
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
        // An older edition sent the line out in the description: it is shown once.
        if (notes.split(QLatin1String("\r\n")).contains(line))
            continue;
        if (!notes.isEmpty())
            notes += QLatin1String("\r\n");
        notes += line;
    }
    set(TaskCol::Notes, notes);
    set(TaskCol::Type, type);

    QDate created;
    if (icalproperty* p = icalcomponent_get_first_property(todo, ICAL_CREATED_PROPERTY)) {
        const icaltimetype t = icalproperty_get_datetime_with_component(p, todo);
        created = t.is_date ? dateOf(t) : localMoment(t, context.local, tzidOf(p)).date();
    }
    set(TaskCol::CreateDate, context.formats.formatDate(created.isValid() ? created : context.now.toTimeZone(context.local).date()));

    if (dueDate.isValid() && icalcomponent_get_first_component(todo, ICAL_VALARM_COMPONENT))
        set(TaskCol::Alarm, kAlarmOn);
    const bool done = icalcomponent_get_status(todo) == ICAL_STATUS_COMPLETED
        || icalcomponent_get_first_property(todo, ICAL_COMPLETED_PROPERTY);
    set(TaskCol::Mark, done ? kCheckedMark : QString());
}

// The library's complaint about the first damaged line it met, or null.
const char* firstError(icalcomponent* c)
{
    if (icalproperty* p = icalcomponent_get_first_property(c, ICAL_XLICERROR_PROPERTY))
        return icalproperty_get_xlicerror(p);
    for (icalcomponent* child = icalcomponent_get_first_component(c, ICAL_ANY_COMPONENT); child;
         child = icalcomponent_get_next_component(c, ICAL_ANY_COMPONENT))
        if (const char* e = firstError(child))
            return e;
    return nullptr;
}

void checkNesting(QByteArrayView bytes)
{
    int depth = 0;
    qsizetype pos = 0;
    while (pos < bytes.size()) {
        qsizetype end = bytes.indexOf('\n', pos);
        if (end < 0)
            end = bytes.size();
        // A folded line goes on with a blank, so a line that starts with BEGIN: opens a component.
        const QByteArrayView line = bytes.sliced(pos, end - pos);
        if (line.size() >= 6 && qstrnicmp(line.data(), "BEGIN:", 6) == 0) {
            if (++depth > kMaxNesting)
                throw AppError(QStringLiteral("The calendar nests its parts more than %1 deep.").arg(kMaxNesting));
        } else if (line.size() >= 4 && qstrnicmp(line.data(), "END:", 4) == 0 && depth > 0) {
            --depth;
        }
        pos = end + 1;
    }
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

// The library looks for the end of a property's parameters anew for each parameter, so a line
// costs their number times its length; no calendar gives a property anywhere near this many.
constexpr int kMaxParameters = 64;

// The parameters of a content line as the library splits them: semicolons before the first
// colon, neither inside quotes; a character after a backslash, and the first one, count for
// neither.
int parameterCount(const std::string& line)
{
    int count = 0;
    bool quoted = false;
    for (size_t i = 1; i < line.size(); ++i) {
        if (line[i - 1] == '\\')
            continue;
        const char c = line[i];
        if (c == '"')
            quoted = !quoted;
        else if (!quoted && c == ':')
            break;
        else if (!quoted && c == ';')
            ++count;
    }
    return count;
}

struct ParserDeleter
{
    void operator()(icalparser* p) const { icalparser_free(p); }
};

// The calendar library's tree of `bytes`, or null. The library's own line reader looks for the
// end of a line anew for every 80 bytes it takes, which makes one long line cost its length
// squared (minutes for a few megabytes); here the lines are cut and unfolded in one pass and
// handed to the library whole. A line ends at LF, CR LF or a lone CR; one that starts with a
// blank or a TAB goes on with the line before it.
icalcomponent* parseLines(QByteArrayView bytes)
{
    std::unique_ptr<icalparser, ParserDeleter> parser(icalparser_new());
    const icalerrorstate malformed = icalerror_get_error_state(ICAL_MALFORMEDDATA_ERROR);
    icalerror_set_error_state(ICAL_MALFORMEDDATA_ERROR, ICAL_ERROR_NONFATAL);
    const auto restore = qScopeGuard([malformed] { icalerror_set_error_state(ICAL_MALFORMEDDATA_ERROR, malformed); });

    Component root;
    auto collect = [&root](icalcomponent* c) {
        // Several calendars in a row go under one root, as the library's own reader puts them.
        if (!root) {
            root.reset(c);
        } else {
            if (icalcomponent_isa(root.get()) != ICAL_XROOT_COMPONENT) {
                icalcomponent* all = icalcomponent_new(ICAL_XROOT_COMPONENT);
                icalcomponent_add_component(all, root.release());
                root.reset(all);
            }
            icalcomponent_add_component(root.get(), c);
        }
    };
    std::string line;
    int lineNumber = 0;  // of the file, where the content line starts
    auto flush = [&] {
        // Trailing blanks and line ends are not part of the value, as the library reads it.
        while (!line.empty() && (line.back() == ' ' || line.back() == '\t'))
            line.pop_back();
        if (line.empty())
            return;
        if (parameterCount(line) > kMaxParameters)
            throw AppError(QStringLiteral("Line %1 of the calendar gives a property more than %2 parameters.")
                               .arg(lineNumber)
                               .arg(kMaxParameters));
        if (icalcomponent* c = icalparser_add_line(parser.get(), line.data()))
            collect(c);
        line.clear();
    };

    const char* const data = bytes.data();
    const qsizetype size = bytes.size();
    qsizetype pos = 0;
    int physical = 0;
    while (pos < size) {
        ++physical;
        qsizetype end = pos;
        while (end < size && data[end] != '\n' && data[end] != '\r')
            ++end;
        const char* start = data + pos;
        qsizetype length = end - pos;
        if (length > 0 && (*start == ' ' || *start == '\t')) {
            ++start;  // a folded line: its first blank is the fold
            --length;
        } else {
            flush();
            lineNumber = physical;
        }
        line.append(start, size_t(length));
        pos = end;
        if (pos < size && data[pos] == '\r') {
            ++pos;
            if (pos < size && data[pos] == '\n')
                ++pos;
        } else if (pos < size) {
            ++pos;  // LF
        }
    }
    flush();
    return root.release();
}

// The calendar library's tree of `bytes`, checked; throws AppError on a damaged calendar.
Component parseCalendar(QByteArrayView bytes)
{
    if (bytes.startsWith("\xEF\xBB\xBF"))
        bytes = bytes.sliced(3);
    // The library reads up to the first NUL and would take the rest as missing.
    if (const qsizetype nul = bytes.indexOf('\0'); nul >= 0)
        throw AppError(QStringLiteral("The file holds a NUL byte at offset %1; a calendar is text.").arg(nul));
    checkNesting(bytes);

    icalerror_clear_errno();
    Component root(parseLines(bytes));
    if (!root) {
        throw AppError(icalerrno != ICAL_NO_ERROR
                           ? QString::fromUtf8(icalerror_strerror(icalerrno))
                           : QStringLiteral("The file holds no complete calendar (BEGIN:VCALENDAR to END:VCALENDAR)."));
    }
    if (const char* error = firstError(root.get()))
        throw AppError(QString::fromUtf8(error));
    return root;
}

} // namespace

Tasks decode(QByteArrayView bytes, const Context& context)
{
    Component root = parseCalendar(bytes);

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
            readTodo(c, tasks.rows, ++tasks.todos, context);
            tasks.rows.setCell(TaskCol::Reserved, tasks.todos, cellText(icalcomponent_get_uid(c), false));
        }
        else if (kind != ICAL_VTIMEZONE_COMPONENT)  // a time zone only serves the items that use it
            ++tasks.skipped;
    }
    return tasks;
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

// The master to-do of a calendar: the one without a RECURRENCE-ID.
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
        for (icalcomponent* child = icalcomponent_get_first_component(c, ICAL_ANY_COMPONENT); child;
             child = icalcomponent_get_next_component(c, ICAL_ANY_COMPONENT))
            stack.push_back(child);
    }
    return nullptr;
}

bool isOurPriority(icalproperty* p)
{
    const char* name = icalproperty_get_x_name(p);
    return name && qstricmp(name, kPriorityProperty) == 0;
}

// `target`'s properties of `kind` become `fresh`'s; of the X- properties only our own.
void replaceProperties(icalcomponent* target, icalcomponent* fresh, icalproperty_kind kind)
{
    std::vector<icalproperty*> old;
    for (icalproperty* p = icalcomponent_get_first_property(target, kind); p; p = icalcomponent_get_next_property(target, kind))
        if (kind != ICAL_X_PROPERTY || isOurPriority(p))
            old.push_back(p);
    for (icalproperty* p : old) {
        icalcomponent_remove_property(target, p);
        icalproperty_free(p);
    }
    for (icalproperty* p = icalcomponent_get_first_property(fresh, kind); p; p = icalcomponent_get_next_property(fresh, kind)) {
        if (kind == ICAL_X_PROPERTY && !isOurPriority(p))
            continue;
        icalproperty* copy = icalproperty_new_clone(p);
        // The library's copy leaves its value without its property, and a value on its own
        // escapes the commas that separate a list's names.
        if (const icalvalue* value = icalproperty_get_value(copy))
            icalproperty_set_value(copy, icalvalue_new_clone(value));
        icalcomponent_add_property(target, copy);
    }
}

void replaceAlarms(icalcomponent* target, icalcomponent* fresh)
{
    std::vector<icalcomponent*> old;
    for (icalcomponent* c = icalcomponent_get_first_component(target, ICAL_VALARM_COMPONENT); c;
         c = icalcomponent_get_next_component(target, ICAL_VALARM_COMPONENT))
        old.push_back(c);
    for (icalcomponent* c : old) {
        icalcomponent_remove_component(target, c);
        icalcomponent_free(c);
    }
    for (icalcomponent* c = icalcomponent_get_first_component(fresh, ICAL_VALARM_COMPONENT); c;
         c = icalcomponent_get_next_component(fresh, ICAL_VALARM_COMPONENT))
        icalcomponent_add_component(target, icalcomponent_new_clone(c));
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

// A new due moment, status or repeat is a new version of the to-do (RFC 5545's revision number).
void bumpSequence(icalcomponent* todo)
{
    int sequence = 0;
    if (icalproperty* p = icalcomponent_get_first_property(todo, ICAL_SEQUENCE_PROPERTY))
        sequence = std::max(0, icalproperty_get_sequence(p));
    removeAll(todo, ICAL_SEQUENCE_PROPERTY);
    icalcomponent_add_property(todo, icalproperty_new_sequence(sequence + 1));
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

} // namespace

QByteArray encodeTask(const TaskCells& task, const QDateTime& completedAt, const Context& context,
                      QByteArrayView previous)
{
    const CellStore list = oneTask(task);
    if (!previous.isEmpty()) {
        try {
            Component root = parseCalendar(previous);
            if (icalcomponent* todo = masterTodo(root.get())) {
                // Only what the list changed is written anew; everything else another program
                // keeps in the to-do (its own properties, changed occurrences) stays as it was,
                // and a due time stays in the to-do's own zone.
                ZoneUse zoneUse;
                Component fresh(todoOf(list, 1, context, completedAt, dueZoneOf(todo), &zoneUse));
                CellStore before;
                before.setColumnCount(TaskCol::Count);
                before.setRowCount(2);
                readTodo(todo, before, 1, context);
                bool changed = false;
                bool rescheduled = false;  // what other programs count as a new version of the to-do
                for (const ColumnProperties& group : kColumnProperties) {
                    const bool differs = std::any_of(group.columns.begin(), group.columns.end(),
                                                     [&](int c) { return before.cell(c, 1) != task[size_t(c)]; });
                    if (!differs)
                        continue;
                    changed = true;
                    for (icalproperty_kind kind : group.kinds)
                        replaceProperties(todo, fresh.get(), kind);
                    const int first = *group.columns.begin();
                    if (first == TaskCol::DueDate) {
                        // A due moment and a duration together are not allowed; the due moment is
                        // the list's now.
                        replaceProperties(todo, fresh.get(), ICAL_DURATION_PROPERTY);
                        addZoneDefinition(icalcomponent_get_parent(todo), zoneUse);
                    }
                    if (first == TaskCol::DueDate || first == TaskCol::Mark || first == TaskCol::Type)
                        rescheduled = true;
                }
                if (before.cell(TaskCol::Alarm, 1) != task[TaskCol::Alarm]) {
                    replaceAlarms(todo, fresh.get());
                    changed = true;
                }
                replaceProperties(todo, fresh.get(), ICAL_DTSTAMP_PROPERTY);
                if (changed)
                    setLastModified(todo, context.now);
                if (rescheduled)
                    bumpSequence(todo);
                return calendarBytes(root.get());
            }
        } catch (const AppError&) {
            // A copy this program cannot read is replaced by the list's own version.
        }
    }
    ZoneUse zoneUse;
    Component fresh(todoOf(list, 1, context, completedAt, DueZone(), &zoneUse));
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
    rows.setCell(TaskCol::Reserved, 1, cellText(icalcomponent_get_uid(master), false));
    TaskCells task;
    for (int c = 0; c < TaskCol::Count; ++c)
        task[size_t(c)] = rows.cell(c, 1);
    return task;
}

} // namespace veltry::ICalendar
