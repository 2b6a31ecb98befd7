#!/usr/bin/env bash
# A 200-byte list whose cell names row 4,999,999: the start says so, keeps an untouched copy,
# loads the rows the first line declares and stays small; a task added afterwards replaces none
# and the first line counts it. A temporary file that a killed save left beside the list is gone
# after the start.
source "$(dirname "$0")/lib.sh"
start_display

printf '12,3\r\n1,0,Task\r\n2,0,Due On\r\n1,1,Alpha\r\n7,1,3/1/26\r\n1,4999999,Far away\r\n1,2,Beta\r\n7,2,3/2/26\r\n' >"$E2E_LIST"
original="$E2E_TMP/original.vlp"
cp "$E2E_LIST" "$original"
leftover="$E2E_PROG/veltlist.vlp.Ab3dE9"
head -c 100000 /dev/zero >"$leftover"

start_app
box="$(wait_for_window "Veltry Professional")"
sleep 1
copy="$(ls "$E2E_PROG"/veltlist-unreadable-*.vlp 2>/dev/null | head -n1 || true)"
[ -n "$copy" ] || fail "no untouched copy of the damaged list"
cmp "$original" "$copy" || fail "the copy is not the file as it was"
[ -e "$leftover" ] && fail "the leftover of a killed save is still there"
rss_kb="$(awk '/^VmRSS:/ {print $2}' "/proc/$APP_PID/status")"
[ "$rss_kb" -lt 204800 ] || fail "the program takes ${rss_kb} kB"
xdotool windowfocus --sync "$box" 2>/dev/null || true
xdotool key Return
sleep 1

id="$(wait_for_window "Veltry Professional")"
add_task_by_keys "$id" "Gamma" "$E2E_LIST"
stop_app
head -n1 "$E2E_LIST" | grep -q $'^12,4\r$' || fail "the header does not count three tasks: $(head -n1 "$E2E_LIST")"
for line in '1,1,Gamma' '1,2,Alpha' '1,3,Beta'; do
  grep -q "^$line"$'\r$' "$E2E_LIST" || fail "the list lacks '$line': $(tr '\r' ' ' <"$E2E_LIST")"
done
grep -q 'Far away' "$E2E_LIST" && fail "the far cell came back"
cmp "$original" "$copy" || fail "the copy changed"
echo "PASS"
