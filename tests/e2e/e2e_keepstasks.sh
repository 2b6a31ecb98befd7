#!/usr/bin/env bash
# Escape never changes a task behind the user's back: on a checked task's mark it does not
# uncheck it, so Alt+L still logs the task.
source "$(dirname "$0")/lib.sh"
start_display

{
  list_titles 3
  printf '0,1, \r\n1,1,Renew the passport\r\n5,1,1\r\n7,1,3/1/26\r\n10,1,0\r\n'
  printf '1,2,Plant the tulips\r\n4,2,Garden\r\n5,2,2\r\n7,2,3/2/26\r\n10,2,0\r\n'
} >"$E2E_LIST"

start_task_window
id="$TASK_WINDOW"
# Row 1, checked, is selected at start.
xdotool key --window "$id" Escape
sleep 0.3
xdotool key --window "$id" alt+l
for _ in $(seq 100); do
  [ -f "$E2E_LOG" ] && grep -q 'Renew the passport' "$E2E_LOG" && break
  sleep 0.1
done
grep -q $'^1,1,Renew the passport\r$' "$E2E_LOG" 2>/dev/null || fail "the checked task was not logged after Escape"
kill -TERM "$APP_PID"
wait "$APP_PID" 2>/dev/null || true
grep -q 'Renew the passport' "$E2E_LIST" && fail "the logged task is still in the task list file"
grep -q $'^1,1,Plant the tulips\r$' "$E2E_LIST" || fail "the open task was not left alone"
echo "PASS"
