#!/usr/bin/env bash
# Alt+S and Enter sort by priority, then due date, with the task without a date first and no
# error box; Alt+F finds "milk" in any letter case and Space checks the task found. Both reach the
# task list file at exit.
source "$(dirname "$0")/lib.sh"
start_display

{
  list_titles 5
  printf '1,1,Pay the rent\r\n2,1,3/1/27\r\n5,1,1\r\n7,1,3/1/26\r\n10,1,0\r\n'
  printf '1,2,Call the bank\r\n5,2,1\r\n7,2,3/1/26\r\n10,2,0\r\n'
  printf '1,3,Book the flights\r\n2,3,1/5/27\r\n5,3,1\r\n7,3,3/1/26\r\n10,3,0\r\n'
  printf '1,4,Buy MILK\r\n5,4,2\r\n7,4,3/1/26\r\n10,4,0\r\n'
} >"$E2E_LIST"

# Waits until no window is titled exactly $1.
wait_until_gone() {
  for _ in $(seq 100); do
    xdotool search --onlyvisible --name "^$1\$" >/dev/null 2>&1 || return 0
    sleep 0.1
  done
  fail "the window '$1' did not close"
}

start_task_window
id="$TASK_WINDOW"

# Real key presses throughout, to whichever window has the focus, as a person types them.
xdotool key alt+s
dlg="$(wait_for_window "Advanced Sort")"
# The caption alone, with nothing of the program's name added by the window system.
[ "$(xdotool getwindowname "$dlg")" = "Advanced Sort" ] || fail "the sort dialog is titled '$(xdotool getwindowname "$dlg")'"
xdotool windowfocus --sync "$dlg" 2>/dev/null || true
sleep 0.3
xdotool key Return
wait_until_gone "Advanced Sort"
sleep 0.3
# An error box would carry the program's name, like the task window, or its kind.
[ "$(xdotool search --onlyvisible --name '^Veltry Professional$' | wc -l)" -eq 1 ] || fail "a box came up after the sort"
xdotool search --onlyvisible --name '^(Error|Warning|Information)$' >/dev/null 2>&1 && fail "a box came up after the sort"

xdotool windowfocus --sync "$id" 2>/dev/null || true
xdotool key alt+f
dlg="$(wait_for_window "Find Text")"
[ "$(xdotool getwindowname "$dlg")" = "Find Text" ] || fail "the find dialog is titled '$(xdotool getwindowname "$dlg")'"
xdotool windowfocus --sync "$dlg" 2>/dev/null || true
sleep 0.3
xdotool type --delay 20 "milk"
xdotool key Return
wait_until_gone "Find Text"
xdotool search --onlyvisible --name '^Information$' >/dev/null 2>&1 && fail "milk was not found"
xdotool windowfocus --sync "$id" 2>/dev/null || true
sleep 0.3
xdotool key space
sleep 0.3
xdotool key alt+x
for _ in $(seq 100); do kill -0 "$APP_PID" 2>/dev/null || break; sleep 0.1; done
kill -0 "$APP_PID" 2>/dev/null && fail "the program did not end on Alt+X"
wait "$APP_PID" 2>/dev/null || true

rows="$(grep -a $'^1,[1-4],' "$E2E_LIST" | tr -d '\r' | tr '\n' ';')"
[ "$rows" = "1,1,Call the bank;1,2,Book the flights;1,3,Pay the rent;1,4,Buy MILK;" ] \
  || fail "the saved order is not none, 1/5/27, 3/1/27, then priority 2: $rows"
grep -qa $'^0,4, \r$' "$E2E_LIST" || fail "Buy MILK is not checked: $(tr '\r' ' ' <"$E2E_LIST")"
[ "$(grep -ac '^0,' "$E2E_LIST")" -eq 1 ] || fail "another task was checked too: $(tr '\r' ' ' <"$E2E_LIST")"
echo "PASS"
