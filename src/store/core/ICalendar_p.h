#pragma once

// What the calendar reader and writer share across their files; not part of the store's interface.

#include "store/core/ICalendar.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QDateTime>
#include <QTimeZone>
#include <memory>
#include <optional>
#include <vector>

#include <libical/ical.h>

namespace veltry::ICalendar {

// The calendar library frees a component together with everything inside it.
struct ComponentDeleter
{
    void operator()(icalcomponent* c) const { icalcomponent_free(c); }
};
using Component = std::unique_ptr<icalcomponent, ComponentDeleter>;

// The offset of the first of the `size` bytes at `data` that `stop` holds for, or `size`. Whole
// blocks are tested at once, which the compiler turns into vector instructions: byte by byte, a
// look through a huge text costs more than reading it.
template <typename Stop>
qsizetype findByte(const char* data, qsizetype size, Stop stop)
{
    constexpr qsizetype kBlock = 32;
    qsizetype i = 0;
    for (; i + kBlock <= size; i += kBlock) {
        unsigned hit = 0;
        for (qsizetype k = 0; k < kBlock; ++k)
            hit |= unsigned(stop(uchar(data[i + k])));
        if (hit)
            break;
    }
    while (i < size && !stop(uchar(data[i])))
        ++i;
    return i;
}

// ICalendarLines.cpp: the calendar library's tree of `bytes`, checked; throws AppError on a
// damaged calendar. Given the bytes to keep, it reads them in place (and leaves them changed)
// rather than copying them.
Component parseCalendar(QByteArrayView bytes);
Component parseCalendar(QByteArray&& bytes);

// The library copies a text value three times on its way in, which for a value of tens of
// megabytes costs more than the rest of the reading; so long SUMMARY and DESCRIPTION values are
// read here, where they lie in the calendar's bytes, and the library gets a stand-in.
struct LongTexts
{
    qsizetype from = 1024;            // the shortest value read here
    QByteArray bytes;                 // the calendar's, holding the values read here
    QByteArray mark;                  // random: the start of each stand-in, its number follows
    struct Value
    {
        const char* data;  // NUL-ended, as the library would hold it
        qsizetype size;
        bool plain;        // known to be printable ASCII
    };
    std::vector<Value> values;

    // The value `held` stands in for; null when it is the library's own text.
    const Value* find(const char* held) const;
    // The text a property holds: the library's `held`, or the value it stands in for.
    const char* text(const char* held) const
    {
        const Value* value = find(held);
        return value ? value->data : held;
    }
};

// What one look through a calendar's bytes finds, so that a huge one is not gone through again
// for each of the reader's checks.
struct TextCheck
{
    bool ascii = true;     // no byte past ASCII; unknown, and false, past a NUL
    qsizetype nul = -1;    // the first NUL, counted past a byte order mark
    bool tooDeep = false;  // components nested deeper than any calendar's
    // The long lines, cut at CR or LF: where each starts and ends (counted past a byte order
    // mark), and whether it holds a backslash, a control character or a byte past ASCII.
    struct Line
    {
        qsizetype begin;
        qsizetype end;
        bool odd;
    };
    static constexpr qsizetype kLongLine = 4096;
    std::vector<Line> longLines;
};
TextCheck checkText(QByteArrayView bytes);

// The same, reading the long texts into `texts`, which keeps the bytes; `checked`, if given, is
// checkText of these very bytes.
Component parseCalendar(QByteArray&& bytes, LongTexts* texts, const TextCheck* checked = nullptr);

// What an edit here changes in a calendar's text; the rest stays byte for byte as it came, since
// the library's reading and writing loses what other programs rely on (escaped commas in a
// category, escapes in their own properties).
struct TextEdit
{
    struct Replacement
    {
        QByteArray name;   // upper case
        QByteArray lines;  // folded, each ending in CR LF; empty to drop the property
    };
    // Every line of each name goes from the to-do; the new lines come where the first one was,
    // or after the to-do's other properties.
    std::vector<Replacement> properties;
    bool replaceAlarms = false;
    QByteArray alarms;  // the to-do's alarms in place of the old ones
    QByteArray zone;    // a time zone's definition to put ahead of the to-do
};

// ICalendarLines.cpp: `text` with `edit` made in its master to-do (the first that is not a
// changed occurrence); none when it holds no such to-do.
std::optional<QByteArray> editMasterTodo(QByteArrayView text, const TextEdit& edit);

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
