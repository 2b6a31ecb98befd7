#!/usr/bin/python3
# Another client of the same calendar, through Python's caldav package:
#   caldav_peer.py add <uid> <summary> | edit <uid> <summary> | complete <uid> | delete <uid>... | clear | list
# The server comes from RADICALE_URL, RADICALE_USER and RADICALE_PASSWORD. "list" prints
# "<uid>|<summary>|<status>|<categories>|<location>" a line, sorted. What "add" writes carries a
# location, which the task list has no column for.
import os
import sys

import caldav

url = os.environ["RADICALE_URL"]
client = caldav.DAVClient(url, username=os.environ.get("RADICALE_USER") or None,
                          password=os.environ.get("RADICALE_PASSWORD") or None)
calendar = caldav.Calendar(client=client, url=url)
command = sys.argv[1]
if command == "add":
    calendar.save_todo("BEGIN:VCALENDAR\r\nVERSION:2.0\r\nPRODID:-//test peer//EN\r\nBEGIN:VTODO\r\n"
                       "UID:%s\r\nDTSTAMP:20261207T100000Z\r\nSUMMARY:%s\r\nLOCATION:Office\r\nEND:VTODO\r\nEND:VCALENDAR\r\n"
                       % (sys.argv[2], sys.argv[3]))
elif command == "edit":
    todo = calendar.todo_by_uid(sys.argv[2])
    todo.icalendar_component["SUMMARY"] = sys.argv[3]
    todo.save()
elif command == "complete":
    calendar.todo_by_uid(sys.argv[2]).complete()
elif command == "delete":
    for uid in sys.argv[2:]:
        calendar.todo_by_uid(uid).delete()
elif command == "clear":
    # A new, empty calendar at the same address.
    client.delete(url)
    client.mkcalendar(url, '<?xml version="1.0"?><C:mkcalendar xmlns:D="DAV:" xmlns:C="urn:ietf:params:xml:ns:caldav">'
                      '<D:set><D:prop><C:supported-calendar-component-set><C:comp name="VTODO"/>'
                      '</C:supported-calendar-component-set></D:prop></D:set></C:mkcalendar>')
elif command == "list":
    lines = []
    for todo in calendar.todos(include_completed=True):
        c = todo.icalendar_component
        categories = c.get("CATEGORIES")
        names = ",".join(str(n) for n in categories.cats) if categories is not None else ""
        lines.append("%s|%s|%s|%s|%s" % (c.get("UID"), c.get("SUMMARY"), c.get("STATUS", ""), names, c.get("LOCATION", "")))
    print("\n".join(sorted(lines)))
else:
    sys.exit("unknown command " + command)
