#include "store/core/ICalendar_p.h"

namespace veltry::ICalendar {

namespace {

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

} // namespace

icaltimetype utcTime(const QDateTime& at)
{
    return icaltime_from_timet_with_zone(time_t(at.toSecsSinceEpoch()), 0, icaltimezone_get_utc_timezone());
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

namespace {

// The UTC moment of a wall-clock time in a zone, given the zone's offset at each UTC moment. A
// time in a gap (skipped when the clocks go forward) takes the offset from before the gap, and a
// time that comes twice its first coming, as RFC 5545 reads them.
template <typename OffsetAt>
QDateTime wallToUtc(const QDate& date, const QTime& time, OffsetAt offsetAt)
{
    const QDateTime asUtc(date, time, QTimeZone::utc());
    const int before = offsetAt(asUtc.addDays(-1));
    const int after = offsetAt(asUtc.addDays(1));
    for (const int offset : {before, after})
        if (offsetAt(asUtc.addSecs(-offset)) == offset)
            return asUtc.addSecs(-offset);
    return asUtc.addSecs(-before);
}

} // namespace

// A date-time value as a moment in `local`. Its zone is the calendar's own VTIMEZONE or the
// library's zone of that name (both already in `t`), else the zone `tzid` names for Qt; a value
// in no zone at all is floating and taken as it stands.
QDateTime localMoment(icaltimetype t, const QTimeZone& local, const QByteArray& tzid)
{
    const QDate date = dateOf(t);
    const QTime time(t.hour, t.minute, t.second);
    if (!date.isValid() || !time.isValid())
        return {};
    if (icaltime_is_utc(t))
        return QDateTime(date, time, QTimeZone::utc()).toTimeZone(local);
    if (t.zone) {
        auto* zone = const_cast<icaltimezone*>(t.zone);
        return wallToUtc(date, time, [zone](const QDateTime& utc) {
                   icaltimetype at = utcTime(utc);
                   int daylight = 0;
                   return icaltimezone_get_utc_offset_of_utc_time(zone, &at, &daylight);
               }).toTimeZone(local);
    }
    if (const QTimeZone named = zoneNamed(tzid); named.isValid())
        return wallToUtc(date, time, [&named](const QDateTime& utc) { return named.offsetFromUtc(utc); }).toTimeZone(local);
    return QDateTime(date, time, local);
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

} // namespace veltry::ICalendar
