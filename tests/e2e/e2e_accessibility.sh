#!/usr/bin/env bash
# The program read over the real accessibility bus, as a screen reader reads it: the task list
# is a table whose cells hold the tasks, the toolbar named push buttons that can be pressed, and
# the reminder of a due task an alert that says which task is due.
if [ -z "${VELTRY_E2E_IN_SESSION:-}" ]; then
  command -v dbus-run-session >/dev/null || { echo "SKIP: no dbus-run-session"; exit 77; }
  VELTRY_E2E_IN_SESSION=1 exec dbus-run-session -- bash "$0" "$@"
fi
source "$(dirname "$0")/lib.sh"
here="$(cd "$(dirname "$0")" && pwd)"

launcher=""
for l in /usr/libexec/at-spi-bus-launcher /usr/lib/at-spi2-core/at-spi-bus-launcher; do
  [ -x "$l" ] && launcher="$l" && break
done
[ -n "$launcher" ] || fail "at-spi-bus-launcher is missing (at-spi2-core)"
# The system's Python: that is where Debian's pyatspi is.
python=/usr/bin/python3
[ -x "$python" ] || python=python3
"$python" -c 'import pyatspi' 2>/dev/null || fail "pyatspi is missing (python3-pyatspi)"

start_display
"$launcher" --launch-immediately >"$E2E_TMP/bus.log" 2>&1 &
E2E_PIDS+=($!)
bus_up=""
for _ in $(seq 50); do
  if dbus-send --session --print-reply --dest=org.a11y.Bus /org/a11y/bus org.a11y.Bus.GetAddress >/dev/null 2>&1; then
    bus_up=1
    break
  fi
  sleep 0.1
done
[ -n "$bus_up" ] || { echo "SKIP: the accessibility bus did not start"; cat "$E2E_TMP/bus.log"; exit 77; }

{
  list_titles 3
  printf '1,1,Renew the passport\r\n2,1,1/2/20\r\n3,1,09:30am\r\n4,1,Personal\r\n5,1,1\r\n7,1,1/1/20\r\n8,1,Y\r\n10,1,0\r\n'
  printf '1,2,Plan the holidays\r\n2,2,12/24/60\r\n3,2,09:30pm\r\n5,2,2\r\n7,2,1/1/20\r\n10,2,0\r\n'
} >"$E2E_LIST"

export QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1
start_app
wait_for_window "Task Due Reminder" >/dev/null
"$python" "$here/atspi_read.py" "$APP_PID" "Renew the passport" "Plan the holidays" || fail "read over the bus: see above"
stop_app

# A checked and an open task, nothing due; the keys go to the task list.
printf '12,3\r\n1,0,Task\r\n0,1, \r\n1,1,Renew the passport\r\n1,2,Plan the holidays\r\n' >"$E2E_LIST"
start_task_window
id="$TASK_WINDOW"
"$python" "$here/atspi_read.py" --marks "$APP_PID" "Renew the passport" "Plan the holidays" || fail "check marks over the bus"
stop_app
echo "PASS"
