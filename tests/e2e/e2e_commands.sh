#!/usr/bin/env bash
# The main window's commands by keyboard: two tasks added with Insert, one checked with Space,
# the other removed with Delete and OK, the program ended with Alt+X. The list file then holds
# exactly the checked task.
source "$(dirname "$0")/lib.sh"
start_display

start_app
id="$(wait_for_window "Veltry Professional")"
wait_for_file "$E2E_LIST"

# Keys go in as typed on the keyboard, to the window that has the focus; without a window
# manager nothing moves the focus, so each step gives it to its window first.
keys_to() {
  local win="$1"; shift
  xdotool windowfocus --sync "$win" 2>/dev/null || true
  sleep 0.3
  xdotool key --delay 80 "$@"
}

# Adds one task through the dialog that Insert opens; new tasks go to the top of the list.
add_task() {
  keys_to "$id" Insert
  local dlg; dlg="$(wait_for_window "Add New Task.*")"
  xdotool windowfocus --sync "$dlg" 2>/dev/null || true
  sleep 0.3
  xdotool type --delay 30 "$1"
  xdotool key Return
  for _ in $(seq 50); do grep -q "$1" "$E2E_LIST" && break; sleep 0.1; done
  grep -q "$1" "$E2E_LIST" || fail "\"$1\" was not saved after OK"
}
add_task "Buy milk"
add_task "Call Anna"

# Row 1 is "Call Anna": check it. Then remove "Buy milk" below it, answering OK.
keys_to "$id" ctrl+Home space Down Delete
box=""
for _ in $(seq 50); do
  box="$(xdotool search --onlyvisible --name '^Information$' 2>/dev/null | head -n1 || true)"
  [ -n "$box" ] && break
  sleep 0.1
done
[ -n "$box" ] || fail "no \"Remove this task?\" question"
# The question takes the focus itself when it comes up.
sleep 0.5
xdotool key Return
for _ in $(seq 50); do grep -q "Buy milk" "$E2E_LIST" || break; sleep 0.1; done
grep -q "Buy milk" "$E2E_LIST" && fail "\"Buy milk\" is still in the list after Delete and OK"

keys_to "$id" alt+x
for _ in $(seq 200); do kill -0 "$APP_PID" 2>/dev/null || break; sleep 0.1; done
kill -0 "$APP_PID" 2>/dev/null && fail "Alt+X did not end the program"
wait "$APP_PID" 2>/dev/null || true

head -n1 "$E2E_LIST" | grep -q $'^12,2\r$' || fail "the list does not hold exactly one task: $(head -n1 "$E2E_LIST" | tr -d '\r')"
grep -q $'^1,1,Call Anna\r$' "$E2E_LIST" || fail "\"Call Anna\" is not the task in the list"
grep -q $'^0,1, \r$' "$E2E_LIST" || fail "the remaining task is not checked in the file"
grep -q "Buy milk" "$E2E_LIST" && fail "\"Buy milk\" came back"
echo "PASS"
