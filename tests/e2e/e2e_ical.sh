#!/usr/bin/env bash
# File > Export under a name ending in ".ics" writes a calendar (Alt tapped, F, E); File > Import
# with "iCalendar (.ics)" chosen reads it into an empty list (Alt tapped, F, I): the same tasks,
# every column, the last one on top as with every import. A second export, after a restart,
# names every task by the same UID (read back with Python's icalendar), and the import keeps them.
source "$(dirname "$0")/lib.sh"
start_display

# Waits until $2 windows titled exactly $1 are shown (notices carry the program's title too).
wait_for_windows() {
  for _ in $(seq 100); do
    [ "$(xdotool search --onlyvisible --name "^$1\$" 2>/dev/null | wc -l)" -ge "$2" ] && return 0
    sleep 0.1
  done
  fail "fewer than $2 windows titled '$1'"
}

# Opens File > $1 with the menu bar's keys.
file_menu() {
  xdotool windowfocus --sync "$id" 2>/dev/null || true
  sleep 0.3
  xdotool key Alt_L
  sleep 0.3
  xdotool key f
  sleep 0.3
  xdotool key "$1"
}

# Every column: a checked daily task with an alarm, weekly, bi-weekly and monthly ones, other
# priority text, notes over lines with commas, semicolons and non-Latin text, a task without a
# date. Due dates lie ahead, so neither the alarm nor the renewal of repeats touches them.
{
  list_titles 7
  printf '0,1, \r\n1,1,Call the bank\r\n2,1,3/15/45\r\n3,1,09:30pm\r\n4,1,Money\r\n5,1,1\r\n6,1,Ask about\t\bthe fees\r\n7,1,3/1/26\r\n8,1,Y\r\n10,1,1\r\n'
  printf '1,2,Weekly review\r\n2,2,3/16/45\r\n3,2,12:00am\r\n5,2,2\r\n7,2,3/2/26\r\n10,2,2\r\n'
  printf '1,3,Pay the cleaner\r\n2,3,3/20/45\r\n4,3,Home, Garden\r\n5,3,3\r\n7,3,3/3/26\r\n10,3,3\r\n'
  printf '1,4,Rent\r\n2,4,1/31/45\r\n5,4,\xc2\xa0\r\n7,4,3/4/26\r\n8,4,Y\r\n10,4,4\r\n'
  printf '1,5,Odd priority\r\n5,5,soon; maybe\r\n6,5,a, b; c\t\b\xd0\x9f\xd1\x80\xd0\xb8\xd0\xb2\xd0\xb5\xd1\x82 \xe6\x97\xa5\xe6\x9c\xac\r\n7,5,3/5/26\r\n10,5,0\r\n'
  printf '1,6,Someday\r\n5,6,\xc2\xa0\r\n7,6,3/6/26\r\n10,6,0\r\n'
} | { printf '\xEF\xBB\xBF'; cat; } >"$E2E_LIST"
cp "$E2E_LIST" "$E2E_TMP/before.vlp"

start_app
id="$(wait_for_window "Veltry Professional")"
file_menu e
wait_for_window "Export Data File" >/dev/null
sleep 0.5
xdotool type --delay 20 "tasks.ics"
xdotool key Return
for _ in $(seq 50); do [ -s "$E2E_PROG/tasks.ics" ] && break; sleep 0.1; done
[ -s "$E2E_PROG/tasks.ics" ] || fail "the export did not write 'tasks.ics'"
grep -qa '^BEGIN:VCALENDAR' "$E2E_PROG/tasks.ics" || fail "'tasks.ics' is no calendar: $(head -c 200 "$E2E_PROG/tasks.ics")"
[ "$(grep -ca '^BEGIN:VTODO' "$E2E_PROG/tasks.ics")" = 6 ] || fail "'tasks.ics' does not hold six to-dos"
wait_for_windows "Veltry Professional" 2
sleep 0.3
xdotool key Return  # the "saved as" notice
sleep 0.5
stop_app
[ "$(grep -ca $'^11,[1-6],.' "$E2E_LIST")" = 6 ] || fail "the list was not saved with the tasks' UIDs: $(tr '\r' ' ' <"$E2E_LIST")"

# The same list exported once more after a restart: the same to-dos for every other program.
start_app
id="$(wait_for_window "Veltry Professional")"
file_menu e
wait_for_window "Export Data File" >/dev/null
sleep 0.5
xdotool type --delay 20 "again.ics"
xdotool key Return
for _ in $(seq 50); do [ -s "$E2E_PROG/again.ics" ] && break; sleep 0.1; done
[ -s "$E2E_PROG/again.ics" ] || fail "the second export did not write 'again.ics'"
wait_for_windows "Veltry Professional" 2
sleep 0.3
xdotool key Return  # the "saved as" notice
sleep 0.5
stop_app
/usr/bin/python3 - "$E2E_PROG/tasks.ics" "$E2E_PROG/again.ics" >"$E2E_TMP/uids.txt" 2>&1 <<'EOF' \
  || fail "the two exports do not name the tasks by the same UIDs: $(cat "$E2E_TMP/uids.txt")"
import sys
import icalendar

def uids(path):
    with open(path, "rb") as f:
        return [(str(t.get("SUMMARY")), str(t.get("UID"))) for t in icalendar.Calendar.from_ical(f.read()).walk("VTODO")]

first, second = uids(sys.argv[1]), uids(sys.argv[2])
print(first)
print(second)
sys.exit(0 if len(first) == 6 and len({u for _, u in first}) == 6 and first == second else 1)
EOF

# An empty list: the program sets one up when there is none.
cp "$E2E_LIST" "$E2E_TMP/exported.vlp"
rm -f "$E2E_LIST"
start_app
wait_for_file "$E2E_LIST"
id="$(wait_for_window "Veltry Professional")"
file_menu i
wait_for_window "Import Existing Veltry" >/dev/null
sleep 0.5
# The file list has the focus; the file types are just before it.
import_first_calendar  # Yes
wait_for_windows "Veltry Professional" 2
sleep 0.3
xdotool key Return  # the counts

saved=""
for _ in $(seq 50); do
  grep -qa $'^1,6,Call the bank\r$' "$E2E_LIST" && { saved=1; break; }
  sleep 0.1
done
[ -n "$saved" ] || fail "the imported tasks did not reach $E2E_LIST: $(tr '\r' ' ' <"$E2E_LIST")"

# The cell lines of both lists, each task numbered from the bottom after the import; the UIDs
# (column 11) are compared with those of the exported list.
cells() {
  tail -c +4 "$1" | tail -n +2 | awk -F, -v OFS=, -v flip="$2" -v uids="$3" '
    { col = $1; row = $2; $1 = ""; $2 = ""; text = substr($0, 3) }
    row > 0 && flip { row = 7 - row }
    (col == 11) == (uids == 1) { print col "," row "," text }' | sort
}
diff <(cells "$E2E_TMP/before.vlp" 0 0) <(cells "$E2E_LIST" 1 0) >"$E2E_TMP/diff.txt" \
  || fail "the imported tasks differ from the exported ones: $(cat -A "$E2E_TMP/diff.txt")"
diff <(cells "$E2E_TMP/exported.vlp" 0 1) <(cells "$E2E_LIST" 1 1) >"$E2E_TMP/diff.txt" \
  || fail "the imported tasks do not keep the to-dos' UIDs: $(cat -A "$E2E_TMP/diff.txt")"
stop_app
echo "PASS"
