#!/usr/bin/python3
# Another client of the same calendar, through Python's caldav package:
#   caldav_peer.py add <uid> <summary> | edit <uid> <summary> | complete <uid> | delete <uid>... | clear | list
#                  | put <resource name> <uid> <summary> [<line>] | resources | show <uid> | bulk <count>
# The server comes from CALDAV_URL, CALDAV_USER and CALDAV_PASSWORD (or the RADICALE_ ones).
# "list" prints "<uid>|<summary>|<status>|<categories>|<location>" a line, sorted. What "add"
# and "put" write carries a location, which the task list has no column for; "put" stores it
# under a resource name of its own choosing, with one more line of the caller's if given. "resources" prints the resource names, sorted;
# "show" the to-do's due moment (in UTC), completion moment and the raw text of its DUE line.
import os
import sys

import caldav

url = os.environ.get("CALDAV_URL") or os.environ["RADICALE_URL"]
user = os.environ.get("CALDAV_USER", os.environ.get("RADICALE_USER"))
password = os.environ.get("CALDAV_PASSWORD", os.environ.get("RADICALE_PASSWORD"))
client = caldav.DAVClient(url, username=user or None, password=password or None)
calendar = caldav.Calendar(client=client, url=url)


def todo_text(uid, summary, line=None):
    return ("BEGIN:VCALENDAR\r\nVERSION:2.0\r\nPRODID:-//test peer//EN\r\nBEGIN:VTODO\r\n"
            "UID:%s\r\nDTSTAMP:20261207T100000Z\r\nSUMMARY:%s\r\nLOCATION:Office\r\n%sEND:VTODO\r\nEND:VCALENDAR\r\n"
            % (uid, summary, line + "\r\n" if line else ""))


def moment(value):
    if value is None:
        return ""
    dt = value.dt
    if getattr(dt, "tzinfo", None) is not None:
        import datetime
        dt = dt.astimezone(datetime.timezone.utc)
    return dt.isoformat()


command = sys.argv[1]
if command == "add":
    calendar.save_todo(todo_text(sys.argv[2], sys.argv[3]))
elif command == "put":
    client.put(url + sys.argv[2], todo_text(sys.argv[3], sys.argv[4], sys.argv[5] if len(sys.argv) > 5 else None),
               {"Content-Type": "text/calendar; charset=utf-8"})
elif command == "bulk":
    for i in range(int(sys.argv[2])):
        client.put(url + "bulk-%d.ics" % i, todo_text("bulk-%d" % i, "task %d" % i),
                   {"Content-Type": "text/calendar; charset=utf-8"})
elif command == "bulkdone":
    for i in range(int(sys.argv[2])):
        client.put(url + "done-%d.ics" % i, todo_text("done-%d" % i, "done %d" % i,
                                                      "STATUS:COMPLETED\r\nCOMPLETED:20261201T100000Z"),
                   {"Content-Type": "text/calendar; charset=utf-8"})
elif command == "resources":
    names = [str(todo.url).rstrip("/").rsplit("/", 1)[-1] for todo in calendar.todos(include_completed=True)]
    print("\n".join(sorted(names)))
elif command == "show":
    todo = calendar.todo_by_uid(sys.argv[2])
    c = todo.icalendar_component
    due_line = [line for line in todo.data.replace("\r\n ", "").splitlines() if line.startswith("DUE")]
    print("due %s" % moment(c.get("DUE")))
    print("completed %s" % moment(c.get("COMPLETED")))
    print("line %s" % (due_line[0] if due_line else ""))
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
