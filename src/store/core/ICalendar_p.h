#pragma once

// What the calendar reader and writer share across their files; not part of the store's interface.

#include "store/core/ICalendar.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QDateTime>
#include <QTimeZone>
#include <memory>
#include <optional>

#include <libical/ical.h>

namespace veltry::ICalendar {

// The calendar library frees a component together with everything inside it.
struct ComponentDeleter
{
    void operator()(icalcomponent* c) const { icalcomponent_free(c); }
};
using Component = std::unique_ptr<icalcomponent, ComponentDeleter>;

// ICalendarLines.cpp: the calendar library's tree of `bytes`, checked; throws AppError on a
// damaged calendar.
Component parseCalendar(QByteArrayView bytes);

// ICalendarZones.cpp: time values, and the zones due times are read and written in.
icaltimetype utcTime(const QDateTime& at);
QDate dateOf(const icaltimetype& t);
QByteArray tzidOf(icalproperty* p);
QDateTime localMoment(icaltimetype t, const QTimeZone& local, const QByteArray& tzid = {});

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

DueZone dueZoneOf(icalcomponent* todo);
icalproperty* dueProperty(const QDate& date, const std::optional<QTime>& time, const Context& context,
                          DueZone zone, ZoneUse* use);
void addZoneDefinition(icalcomponent* calendar, const ZoneUse& use);

} // namespace veltry::ICalendar
