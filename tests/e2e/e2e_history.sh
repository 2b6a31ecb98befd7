#!/usr/bin/env bash
# Two tasks checked with Space and logged with Alt+L are in the history file and gone from the
# task list file at once: a program killed right after loses neither.
source "$(dirname "$0")/lib.sh"
start_display

{
  list_titles 4
  printf '1,1,Pay the rent\r\n5,1,1\r\n7,1,3/1/26\r\n10,1,0\r\n'
  printf '1,2,Buy stamps\r\n5,2,2\r\n6,2,first class\r\n7,2,3/2/26\r\n10,2,0\r\n'
  printf '1,3,Water the plants\r\n5,3,3\r\n7,3,3/3/26\r\n10,3,0\r\n'
} >"$E2E_LIST"

start_task_window
id="$TASK_WINDOW"
# The first task is selected at start; check it and the one below.
xdotool key --window "$id" space
sleep 0.3
xdotool key --window "$id" Down
sleep 0.3
xdotool key --window "$id" space
sleep 0.3
xdotool key --window "$id" alt+l

logged=""
for _ in $(seq 100); do
  if [ -f "$E2E_LOG" ] && grep -q 'Pay the rent' "$E2E_LOG" && grep -q 'Buy stamps' "$E2E_LOG"; then
    logged=1
    break
  fi
  sleep 0.1
done
[ -n "$logged" ] || fail "the two logged tasks did not reach $E2E_LOG"
# The notice about the logged tasks is up; the files are already written.
kill -KILL "$APP_PID"
wait "$APP_PID" 2>/dev/null || true

head -n1 "$E2E_LOG" | grep -q $'^7,3\r$' || fail "history header is not 7,3: $(head -n1 "$E2E_LOG" | tr -d '\r')"
grep -q $'^1,1,Buy stamps\r$' "$E2E_LOG" || fail "the last checked task is not on top of the history"
grep -q $'^1,2,Pay the rent\r$' "$E2E_LOG" || fail "the first checked task is not second in the history"
grep -q $'^5,1,first class\r$' "$E2E_LOG" || fail "the notes did not go with the task"
grep -q 'Pay the rent' "$E2E_LIST" && fail "Pay the rent is still in the task list file"
grep -q 'Buy stamps' "$E2E_LIST" && fail "Buy stamps is still in the task list file"
grep -q $'^1,1,Water the plants\r$' "$E2E_LIST" || fail "the open task is not left alone in the task list file"
head -n1 "$E2E_LIST" | grep -q $'^12,2\r$' || fail "task list header is not 12,2"
echo "PASS"
