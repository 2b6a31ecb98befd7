#!/usr/bin/env python3
"""Reads the running program through the accessibility bus as a screen reader does and checks
what it finds: the task list as a table holding the tasks, the toolbar as named push buttons,
and the reminder as an alert about its task.

Usage: atspi_read.py PID DUE_TASK OTHER_TASK...
       atspi_read.py --marks PID CHECKED_TASK OPEN_TASK
"""
import subprocess
import sys
import time

import pyatspi
from gi.repository import GLib


def walk(node, depth=0):
    if node is None or depth > 40:
        return
    yield node
    try:
        count = node.childCount
    except Exception:
        return
    # A table's cells are read through its table interface, not walked one by one.
    if node.getRole() == pyatspi.ROLE_TABLE:
        return
    for i in range(count):
        try:
            child = node.getChildAtIndex(i)
        except Exception:
            continue
        yield from walk(child, depth + 1)


def find_app(pid):
    desktop = pyatspi.Registry.getDesktop(0)
    for app in desktop:
        try:
            if app is not None and app.get_process_id() == pid:
                return app
        except Exception:
            continue
    return None


def read(pid):
    app = find_app(pid)
    if app is None:
        return None, "the program is not on the accessibility bus"
    nodes = list(walk(app))
    tables = [n for n in nodes if n.getRole() == pyatspi.ROLE_TABLE and n.name == "Tasks"]
    if not tables:
        return None, "no table named Tasks"
    table = tables[0].queryTable()
    cells = []
    for r in range(table.nRows):
        for c in range(table.nColumns):
            cell = table.getAccessibleAt(r, c)
            if cell is not None:
                cells.append(cell.name)
    headers = []
    for c in range(table.nColumns):
        header = table.getColumnHeader(c)
        headers.append(header.name if header is not None else None)
    buttons = {n.name for n in nodes if n.getRole() == pyatspi.ROLE_PUSH_BUTTON and n.name}
    pressable = {n.name for n in nodes if n.getRole() == pyatspi.ROLE_PUSH_BUTTON and n.name
                 and any(n.queryAction().getName(i) == "Press" for i in range(n.queryAction().nActions))}
    alerts = [(n.name, n.description) for n in nodes if n.getRole() == pyatspi.ROLE_ALERT]
    return {"rows": table.nRows, "cells": cells, "headers": headers, "buttons": buttons,
            "pressable": pressable, "alerts": alerts}, None


def wait_for(what):
    for _ in range(200):  # ten seconds
        try:
            found = what()
        except Exception:  # the windows may still be building
            found = None
        if found:
            return found
        GLib.MainContext.default().iteration(False)
        time.sleep(0.05)
    return None


def marks(pid, checked_task, open_task):
    """Check marks heard as check boxes named by their task, Space heard, the find field named."""
    table = wait_for(lambda: [n for n in walk(find_app(pid)) if n.name == "Tasks"][0].queryTable())
    for row, name, checked in ((0, checked_task, True), (1, open_task, False)):
        cell = table.getAccessibleAt(row, 0)
        if cell.getRole() != pyatspi.ROLE_CHECK_BOX or cell.name != name \
                or cell.getState().contains(pyatspi.STATE_CHECKED) != checked:
            return "cell %r: %s %r" % (cell.name, cell.getRoleName(), cell.getState().getStates())
    heard = []
    pyatspi.Registry.registerEventListener(lambda e: heard.append((e.source.name, e.detail1)),
                                           "object:state-changed:checked")
    subprocess.run(["xdotool", "key", "space"], check=True)
    if not wait_for(lambda: (checked_task, 0) in heard):
        return "Space was not heard: %r" % heard
    subprocess.run(["xdotool", "key", "alt+f"], check=True)
    if not wait_for(lambda: [n for n in walk(find_app(pid)) if n.getRole() == pyatspi.ROLE_TEXT
                             and n.parent.name == "Find Text" and n.name]):
        return "the find field has no name"


def main():
    if sys.argv[1] == "--marks":
        why = marks(int(sys.argv[2]), sys.argv[3], sys.argv[4])
        print("FAIL: %s" % why if why else "PASS marks")
        return 1 if why else 0
    pid = int(sys.argv[1])
    due = sys.argv[2]
    tasks = sys.argv[2:]
    found, why = None, None
    deadline = time.time() + 20
    toolbar = {"Add Task", "Remove Task", "Edit Task", "Find Text", "View Task History"}
    while time.time() < deadline:
        try:
            found, why = read(pid)
        except Exception as e:  # the program may still be building its windows
            found, why = None, repr(e)
        if found and set(tasks) <= set(found["cells"]) and toolbar <= found["pressable"] \
                and any(due in (d or "") for _, d in found["alerts"]):
            print("PASS", found["rows"], "rows;", len(found["buttons"]), "named push buttons")
            return 0
        time.sleep(0.5)
    if found:
        why = ("cells %r; headers %r; buttons %r; pressable %r; alerts %r"
               % (found["cells"], found["headers"], sorted(found["buttons"]), sorted(found["pressable"]),
                  found["alerts"]))
    print("FAIL:", why, file=sys.stderr)
    return 1


if __name__ == "__main__":
    sys.exit(main())
