#!/usr/bin/env bash
# A calendar whose summary is one line of 50 MB: the import neither hangs the program nor keeps
# a SIGTERM sent meanwhile from ending it the normal way, with the list saved whole.
source "$(dirname "$0")/lib.sh"
start_display

printf '12,2\r\n1,0,Task\r\n1,1,Kept\r\n10,1,0\r\n' >"$E2E_LIST"
{
  printf 'BEGIN:VCALENDAR\r\nVERSION:2.0\r\nPRODID:-//test//EN\r\nBEGIN:VTODO\r\nUID:long\r\nSUMMARY:'
  head -c 52428800 /dev/zero | tr '\0' 'x'
  printf '\r\nEND:VTODO\r\nEND:VCALENDAR\r\n'
} >"$E2E_PROG/long.ics"

start_task_window
id="$TASK_WINDOW"
xdotool key Alt_L
sleep 0.3
xdotool key f
sleep 0.3
xdotool key i
wait_for_window "Import Existing Veltry" >/dev/null
sleep 0.5
# The file types are just before the file list, the calendars' last.
import_first_calendar  # Yes: the import starts
sleep 0.3
kill -TERM "$APP_PID"
ended=""
for t in $(seq 150); do
  kill -0 "$APP_PID" 2>/dev/null || { ended="$t"; break; }
  sleep 0.1
done
[ -n "$ended" ] || fail "the program did not end within 15 s of SIGTERM during the import"
wait "$APP_PID" 2>/dev/null || true
echo "ended $((ended * 100)) ms after SIGTERM"
grep -q $'^1,[12],Kept\r$' "$E2E_LIST" || fail "the list lost its task: $(head -c 300 "$E2E_LIST" | tr '\r' ' ')"
[ "$(tail -c 2 "$E2E_LIST" | od -An -c | tr -d ' ')" = '\r\n' ] || fail "the list file is not whole"
echo "PASS"
