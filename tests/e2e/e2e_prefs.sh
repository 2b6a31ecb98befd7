#!/usr/bin/env bash
# The preferences by keyboard: Alt+P opens them, Ctrl+Tab turns to "Editing", Alt+C switches all
# confirmations off, Enter is OK. Delete then removes a task without the "Information" question,
# and after Alt+X the settings file holds "NoConfirmations" on.
source "$(dirname "$0")/lib.sh"
start_display

printf '12,3\r\n1,0,Task\r\n2,0,Due On\r\n3,0,Due At\r\n4,0,Category\r\n5,0,Pr\r\n6,0,Notes\r\n7,0,Create Date\r\n8,0,Alarm\r\n9,0,Lead Time\r\n10,0,Type\r\n1,1,Buy milk\r\n5,1,\xa0\r\n10,1,0\r\n1,2,Call Anna\r\n5,2,\xa0\r\n10,2,0\r\n' >"$E2E_LIST"

start_app
id="$(wait_for_window "Veltry Professional")"

keys_to() {
  local win="$1"; shift
  xdotool windowfocus --sync "$win" 2>/dev/null || true
  sleep 0.3
  xdotool key --delay 120 "$@"
}

keys_to "$id" alt+p
prefs="$(wait_for_window "Preferences")"
# The title the window system shows is the dialog's own, with nothing added.
xprop -id "$prefs" _NET_WM_NAME | grep -qxF '_NET_WM_NAME(UTF8_STRING) = "Preferences"' \
  || fail "the dialog's title is $(xprop -id "$prefs" _NET_WM_NAME)"
keys_to "$prefs" ctrl+Tab alt+c
sleep 0.4
xdotool key Return
for _ in $(seq 50); do xdotool search --onlyvisible --name '^Preferences$' >/dev/null 2>&1 || break; sleep 0.1; done
xdotool search --onlyvisible --name '^Preferences$' >/dev/null 2>&1 && fail "Enter did not close the preferences"

# "Buy milk" is the first task; Delete removes it at once.
keys_to "$id" ctrl+Home Delete
for _ in $(seq 50); do grep -q "Buy milk" "$E2E_LIST" || break; sleep 0.1; done
xdotool search --onlyvisible --name '^Information$' >/dev/null 2>&1 && fail "Delete still asked \"Remove this task?\""
grep -q "Buy milk" "$E2E_LIST" && fail "Delete did not remove \"Buy milk\" at once"
grep -q "Call Anna" "$E2E_LIST" || fail "\"Call Anna\" went too"

keys_to "$id" alt+x
for _ in $(seq 200); do kill -0 "$APP_PID" 2>/dev/null || break; sleep 0.1; done
kill -0 "$APP_PID" 2>/dev/null && fail "Alt+X did not end the program"
wait "$APP_PID" 2>/dev/null || true
expect_dword NoConfirmations 1
echo "PASS"
