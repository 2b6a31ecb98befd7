#!/usr/bin/env bash
# The advanced sort compares descriptions by the bytes of the list file: in Windows-1252 the euro
# sign (0x80) comes before "é" (0xE9), so with both tasks at priority 2, Alt+S with the secondary
# key Description puts "x€ euro" first, and the file written at exit says so.
source "$(dirname "$0")/lib.sh"
start_display

{
  list_titles 3
  printf '1,1,x\xe9 cafe\r\n5,1,2\r\n7,1,3/1/26\r\n10,1,0\r\n'
  printf '1,2,x\x80 euro\r\n5,2,2\r\n7,2,3/1/26\r\n10,2,0\r\n'
} >"$E2E_LIST"

start_task_window
id="$TASK_WINDOW"

xdotool key alt+s
dlg="$(wait_for_window "Advanced Sort")"
xdotool windowfocus --sync "$dlg" 2>/dev/null || true
sleep 0.3
# Primary key, primary direction, then the secondary key: one up from "Due Date" is "Description".
xdotool key Tab Tab Up
sleep 0.2
xdotool key Return
for _ in $(seq 100); do
  xdotool search --onlyvisible --name '^Advanced Sort$' >/dev/null 2>&1 || break
  sleep 0.1
done
xdotool search --onlyvisible --name '^Advanced Sort$' >/dev/null 2>&1 && fail "the sort dialog did not close"
sleep 0.3
xdotool windowfocus --sync "$id" 2>/dev/null || true
xdotool key alt+x
for _ in $(seq 100); do kill -0 "$APP_PID" 2>/dev/null || break; sleep 0.1; done
kill -0 "$APP_PID" 2>/dev/null && fail "the program did not end on Alt+X"
wait "$APP_PID" 2>/dev/null || true

first="$(LC_ALL=C grep -a $'^1,1,' "$E2E_LIST" | tr -d '\r')"
[ "$first" = "$(printf '1,1,x\x80 euro')" ] || fail "the first row is not x€ euro: $(LC_ALL=C grep -a '^1,[12],' "$E2E_LIST" | od -c | head -4)"
LC_ALL=C grep -qa $'^1,2,x\xe9 cafe\r$' "$E2E_LIST" || fail "xé cafe is not the second row"
echo "PASS"
