#!/usr/bin/env bash
# Insert opens the add dialog; a task typed with a date, a category, a time and the alarm on is
# in the task list file as soon as OK is taken: time as hh:mmam/pm, alarm Y, type 0. Opened again
# with Alt+E and taken with Enter, it keeps its category, which is in no category list.
source "$(dirname "$0")/lib.sh"
start_display

start_app
wait_for_file "$E2E_LIST"
id="$(wait_for_window "Veltry Professional")"
xdotool windowfocus --sync "$id" 2>/dev/null || true
sleep 0.5
xdotool key --window "$id" Insert
dlg="$(wait_for_window "Add New Task")"
xdotool windowfocus --sync "$dlg" 2>/dev/null || true
sleep 0.5

# Focus starts in the description; Tab goes on to the date, the calendar button, category,
# priority, the two panel tabs and the time, each field coming up with its text selected.
xdotool type --window "$dlg" --delay 20 "Call the plumber"
xdotool key --window "$dlg" Tab
xdotool type --window "$dlg" --delay 20 "4/3/2027"
xdotool key --window "$dlg" Tab Tab
xdotool type --window "$dlg" --delay 20 "Garden"
xdotool key --window "$dlg" Tab Tab Tab Tab
xdotool type --window "$dlg" --delay 20 "0930pm"
xdotool key --window "$dlg" alt+a
sleep 0.3
# The dialog goes away on the key press, so sending the release may find no window.
xdotool key --window "$dlg" Return 2>/dev/null || true

saved=""
for _ in $(seq 100); do
  grep -q 'Call the plumber' "$E2E_LIST" 2>/dev/null && { saved=1; break; }
  sleep 0.1
done
[ -n "$saved" ] || fail "the new task did not reach $E2E_LIST"

head -n1 "$E2E_LIST" | grep -q $'^12,2\r$' || fail "task list header is not 12,2"
rows_hold() {
  for line in '1,1,Call the plumber' '2,1,4/3/27' '3,1,09:30pm' '4,1,Garden' '8,1,Y' '10,1,0' "5,1,"$'\xa0'; do
    grep -q "^$line"$'\r$' "$E2E_LIST" || fail "$1 lacks '$line': $(tr '\r' ' ' <"$E2E_LIST")"
  done
}
rows_hold "the new row"
# The release of that Return found no window; without it the server keeps the key down and
# swallows the next press.
xdotool keyup Return 2>/dev/null || true

# Typed as on the keyboard, to the window given the focus.
xdotool windowfocus --sync "$id" 2>/dev/null || true
sleep 0.3
xdotool key alt+e
dlg="$(wait_for_window "Edit Task")"
xdotool windowfocus --sync "$dlg" 2>/dev/null || true
sleep 0.5
xdotool key Return
closed=""
for _ in $(seq 50); do
  xdotool search --onlyvisible --name '^Edit Task$' >/dev/null 2>&1 || { closed=1; break; }
  sleep 0.1
done
[ -n "$closed" ] || fail "Enter did not take the edit dialog"
stop_app
rows_hold "the row edited without a change"
echo "PASS"
