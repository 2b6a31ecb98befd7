#!/usr/bin/env python3
"""The folders of src/ include only the folders below them, and no source file passes 1,000 lines."""
import os
import re
import sys

FLOORS = ["platform", "widgets", "store", "sync", "history", "tray", "alarms", "config", "editing", "app"]
RANK = {name: i for i, name in enumerate(FLOORS)}
INCLUDE = re.compile(r'\s*#\s*include\s+"([a-z]+)/')

src = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "src")
faults = []
for root, _, files in os.walk(src):
    for name in files:
        if not name.endswith((".cpp", ".h")):
            continue
        path = os.path.join(root, name)
        floor = os.path.relpath(path, src).split(os.sep)[0]
        with open(path, encoding="utf-8", errors="replace") as f:
            lines = f.readlines()
        if len(lines) > 1000:
            faults.append("%s: %d lines" % (os.path.relpath(path, src), len(lines)))
        for number, line in enumerate(lines, 1):
            m = INCLUDE.match(line)
            if m and floor in RANK and RANK.get(m.group(1), -1) > RANK[floor]:
                faults.append("%s:%d includes %s, a floor above" % (os.path.relpath(path, src), number, m.group(1)))
for fault in faults:
    print(fault)
sys.exit(1 if faults else 0)
