#!/usr/bin/env python3
"""Prints the to-dos of a calendar file as a second, independent reader sees them: per to-do one
"BEGIN" line, then one line per property that the task list exchanges. Texts are printed as JSON
strings, so line breaks and other characters show exactly. Exits 77 when the reader is missing."""
import json
import sys

try:
    import icalendar
except ImportError:
    sys.exit(77)


def text(value):
    return json.dumps(str(value), ensure_ascii=False)


def main(path):
    with open(path, 'rb') as f:
        calendar = icalendar.Calendar.from_ical(f.read())
    for todo in calendar.walk('VTODO'):
        print('BEGIN')
        print('SUMMARY', text(todo.get('SUMMARY')))
        due = todo.get('DUE')
        if due is not None:
            print('DUE', type(due.dt).__name__, due.dt.isoformat())
        categories = todo.get('CATEGORIES')
        if categories is not None:
            print('CATEGORIES', json.dumps([str(c) for c in categories.cats], ensure_ascii=False))
        if todo.get('PRIORITY') is not None:
            print('PRIORITY', int(todo.get('PRIORITY')))
        if todo.get('X-VELTRY-PRIORITY') is not None:
            print('X-VELTRY-PRIORITY', text(todo.get('X-VELTRY-PRIORITY')))
        if todo.get('DESCRIPTION') is not None:
            print('DESCRIPTION', text(todo.get('DESCRIPTION')))
        if todo.get('RRULE') is not None:
            print('RRULE', todo.get('RRULE').to_ical().decode())
        print('STATUS', str(todo.get('STATUS')))
        for alarm in todo.walk('VALARM'):
            trigger = alarm.get('TRIGGER')
            print('VALARM', str(alarm.get('ACTION')), 'RELATED=' + trigger.params.get('RELATED', 'START'),
                  repr(trigger.dt))
        for name in ('UID', 'DTSTAMP', 'CREATED'):
            if todo.get(name) is None:
                print('MISSING', name)
    print('PRODID', str(calendar.get('PRODID')))


if __name__ == '__main__':
    main(sys.argv[1])
