#!/usr/bin/env bash
# Ctrl+Z takes back an added task, a removal, an edit and a logging, each saved at once; Ctrl+Y
# logs again, and Ctrl+Z takes that back too. At exit the list holds the three tasks it started
# with (the logged one checked, as it was logged), and the history none of them.
source "$(dirname "$0")/lib.sh"
start_display

{
  printf '12,4\r\n1,0,Task\r\n5,0,Pr\r\n10,0,Type\r\n'
  printf '1,1,Task one\r\n5,1,1\r\n10,1,0\r\n1,2,Task two\r\n5,2,2\r\n10,2,0\r\n1,3,Task three\r\n5,3,3\r\n10,3,0\r\n'
} >"$E2E_LIST"
rm -f "$E2E_LOG"
start_app
id="$(wait_for_window "Veltry Professional")"
keys() {
  xdotool windowfocus --sync "$id" 2>/dev/null || true
  sleep 0.3
  xdotool key --delay 150 "$@"
}
file_lacks() { for _ in $(seq 50); do grep -qF "$2" "$1" 2>/dev/null || return 0; sleep 0.1; done; return 1; }

add_task_by_keys "$id" "Fresh task" "$E2E_LIST"
xdotool keyup Return 2>/dev/null || true
keys ctrl+z
file_lacks "$E2E_LIST" "Fresh task" || fail "undoing the added task left it in the list"

keys ctrl+Home Delete
for _ in $(seq 50); do xdotool search --onlyvisible --name '^Information$' >/dev/null 2>&1 && break; sleep 0.1; done
sleep 0.5
xdotool key Return  # "Remove this task?"
file_lacks "$E2E_LIST" "Task one" || fail "the task was not removed"
keys ctrl+z
file_holds "$E2E_LIST" "Task one" 50 || fail "undoing the removal did not bring the task back"

keys alt+e
dlg="$(wait_for_window "Edit Task")"
xdotool windowfocus --sync "$dlg" 2>/dev/null || true
sleep 0.5
xdotool type --window "$dlg" --delay 20 "Edited"
xdotool key --window "$dlg" Return 2>/dev/null || true
xdotool keyup Return 2>/dev/null || true
file_holds "$E2E_LIST" "Edited" 50 || fail "the edit did not reach the list"
keys ctrl+z
file_lacks "$E2E_LIST" "Edited" || fail "undoing the edit left the new description"

keys space alt+l
file_holds "$E2E_LOG" "Task one" 50 || fail "the checked task was not logged"
sleep 0.5
xdotool key Return  # the notice of the logged tasks
keys ctrl+z
file_lacks "$E2E_LOG" "Task one" || fail "undoing the logging left the task in the history"
keys ctrl+y
file_holds "$E2E_LOG" "Task one" 50 || fail "redoing the logging did not log the task again"
keys ctrl+z alt+x
for _ in $(seq 200); do kill -0 "$APP_PID" 2>/dev/null || break; sleep 0.1; done
wait "$APP_PID" 2>/dev/null || true
head -n1 "$E2E_LIST" | grep -q $'^12,4\r$' || fail "the list does not hold three tasks: $(head -n1 "$E2E_LIST")"
for t in one two three; do grep -q $'^1,[123],Task '"$t"$'\r$' "$E2E_LIST" || fail "Task $t is not in the list"; done
row="$(grep -a $'^1,[123],Task one\r$' "$E2E_LIST" | cut -d, -f2)"
grep -q "^0,$row, "$'\r$' "$E2E_LIST" || fail "Task one did not come back checked: $(tr '\r' ' ' <"$E2E_LIST")"
grep -qF "Task one" "$E2E_LOG" && fail "the history still holds the logged task at exit"
echo "PASS"
