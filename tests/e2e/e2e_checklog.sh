#!/usr/bin/env bash
# Checking acts on the task under the cursor: of six tasks, Space on the first, Down four times,
# Space twice leaves the first checked and the fifth not when the program ends. A weekly task due
# in three days, checked and logged with Alt+L, is in the history and back in the list a week
# later.
source "$(dirname "$0")/lib.sh"
start_display

titles() {
  printf '1,0,Task\r\n2,0,Due On\r\n3,0,Due At\r\n4,0,Category\r\n5,0,Pr\r\n6,0,Notes\r\n7,0,Create Date\r\n'
  printf '8,0,Alarm\r\n9,0,Lead Time\r\n10,0,Type\r\n'
}

keys_to() {
  local win="$1"; shift
  xdotool windowfocus --sync "$win" 2>/dev/null || true
  sleep 0.3
  xdotool key --delay 100 "$@"
}

end_with_alt_x() {
  keys_to "$1" alt+x
  for _ in $(seq 200); do kill -0 "$APP_PID" 2>/dev/null || break; sleep 0.1; done
  kill -0 "$APP_PID" 2>/dev/null && fail "Alt+X did not end the program"
  wait "$APP_PID" 2>/dev/null || true
}

# --- Space, Down x4, Space, Space ---
{
  printf '12,7\r\n'
  titles
  for r in 1 2 3 4 5 6; do printf '1,%s,Task number %s\r\n5,%s,2\r\n10,%s,0\r\n' "$r" "$r" "$r" "$r"; done
} >"$E2E_LIST"
start_app
id="$(wait_for_window "Veltry Professional")"
keys_to "$id" space Down Down Down Down space space
end_with_alt_x "$id"
grep -q $'^0,1, \r$' "$E2E_LIST" || fail "task 1 is not checked after exit"
grep -q $'^0,5,' "$E2E_LIST" && fail "task 5 is still checked after exit"
[ "$(grep -c $'^0,[0-9]*, \r$' "$E2E_LIST")" = 1 ] || fail "other tasks than task 1 are checked: $(grep -a '^0,' "$E2E_LIST" | tr -d '\r' | tr '\n' ' ')"

# --- a checked weekly task due in three days, logged ---
due="$(date -d '+3 days' +%-m/%-d/%y)"
next="$(date -d '+10 days' +%-m/%-d/%y)"
{
  printf '12,2\r\n'
  titles
  printf '0,1, \r\n1,1,Take out the bins\r\n2,1,%s\r\n4,1,Home\r\n5,1,2\r\n10,1,2\r\n' "$due"
} >"$E2E_LIST"
rm -f "$E2E_LOG"
start_app
id="$(wait_for_window "Veltry Professional")"
keys_to "$id" alt+l
file_holds "$E2E_LOG" "Take out the bins" 100 || fail "the logged task did not reach the history"
# The notice about the logged task takes the focus; Return closes it.
sleep 0.5
xdotool key Return
end_with_alt_x "$id"
grep -q $'^2,1,'"$due"$'\r$' "$E2E_LOG" || fail "the history does not hold the task due $due"
head -n1 "$E2E_LIST" | grep -q $'^12,2\r$' || fail "the list does not hold exactly one task: $(head -n1 "$E2E_LIST" | tr -d '\r')"
grep -q $'^1,1,Take out the bins\r$' "$E2E_LIST" || fail "the weekly task did not come back"
grep -q $'^2,1,'"$next"$'\r$' "$E2E_LIST" || fail "the task is not due $next: $(grep -a '^2,1,' "$E2E_LIST" | tr -d '\r')"
grep -q $'^10,1,2\r$' "$E2E_LIST" || fail "the task that came back is not weekly"
grep -q $'^0,1,' "$E2E_LIST" && fail "the task that came back is checked"
echo "PASS"
