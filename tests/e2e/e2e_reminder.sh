#!/usr/bin/env bash
# A task whose alarm moment passed while the program was not running rings right after start;
# cancelling its alarm keeps the task, and the end of the run writes it without the alarm flag.
source "$(dirname "$0")/lib.sh"
start_display

{
  list_titles 3
  printf '1,1,Renew the passport\r\n2,1,1/2/20\r\n3,1,09:30am\r\n4,1,Personal\r\n5,1,1\r\n7,1,1/1/20\r\n8,1,Y\r\n10,1,0\r\n'
  printf '1,2,Plan the holidays\r\n2,2,12/24/60\r\n3,2,09:30pm\r\n5,2,2\r\n7,2,1/1/20\r\n8,2,Y\r\n10,2,0\r\n'
} >"$E2E_LIST"

start_app
id="$(wait_for_window "Task Due Reminder")"
xdotool windowfocus --sync "$id" 2>/dev/null || true
xdotool key --clearmodifiers alt+c
# Answered, it goes away and does not come back on the following ticks.
for _ in $(seq 50); do
  xdotool search --onlyvisible --name '^Task Due Reminder$' >/dev/null 2>&1 || break
  sleep 0.1
done
xdotool search --onlyvisible --name '^Task Due Reminder$' >/dev/null 2>&1 && fail "the reminder did not close on alt+c"
sleep 2
xdotool search --onlyvisible --name '^Task Due Reminder$' >/dev/null 2>&1 && fail "the cancelled alarm rang again"
stop_app

grep -qa $'^1,1,Renew the passport\r$' "$E2E_LIST" || fail "the task was not kept"
grep -qa $'^2,1,1/2/20\r$' "$E2E_LIST" || fail "the due date changed"
grep -qa $'^8,1,' "$E2E_LIST" && fail "the alarm flag of the cancelled task was written"
grep -qa $'^8,2,Y\r$' "$E2E_LIST" || fail "the other task lost its alarm"
echo "PASS"
