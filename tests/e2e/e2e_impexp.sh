#!/usr/bin/env bash
# Started in a folder holding one file of the older standard edition, File > Import takes it by
# keys alone (Alt tapped, F, I, Down, Enter, Enter for Yes) and the task is in the task list file
# at once; File > Export under a typed name then writes exactly the task list file's bytes.
source "$(dirname "$0")/lib.sh"
start_display

# The title the window manager shows, with nothing appended to it.
exact_title() {
  xprop -id "$1" _NET_WM_NAME | grep -qxF "_NET_WM_NAME(UTF8_STRING) = \"$2\"" \
    || fail "the window title is not exactly '$2': $(xprop -id "$1" _NET_WM_NAME)"
}

# Source columns 1 to 6: task, due date, category, priority, notes, creation date. No due date,
# so the alarm check leaves the imported task as it is between the two steps.
{
  printf '7,2\r\n1,0,Task\r\n2,0,Due On\r\n3,0,Category\r\n4,0,Pr\r\n5,0,Notes\r\n6,0,Create Date\r\n'
  printf '1,1,Water the plants\r\n3,1,Home\r\n4,1,2\r\n5,1,ferns\t\bcacti\r\n6,1,3/1/26\r\n'
} >"$E2E_PROG/garden.vlo"

start_app
wait_for_file "$E2E_LIST"
id="$(wait_for_window "Veltry Professional")"
xdotool windowfocus --sync "$id" 2>/dev/null || true
sleep 0.5

# Alt tapped alone hands the keys to the menu bar.
xdotool key Alt_L
sleep 0.3
xdotool key f
sleep 0.3
xdotool key i
dlg="$(wait_for_window "Import Existing Veltry")"
exact_title "$dlg" "Import Existing Veltry"
sleep 0.5
xdotool key Down
sleep 0.3
xdotool key Return
box="$(wait_for_window "Information")"
sleep 0.3
xdotool key Return

saved=""
for _ in $(seq 50); do
  grep -qa $'^1,1,Water the plants\r$' "$E2E_LIST" && { saved=1; break; }
  sleep 0.1
done
[ -n "$saved" ] || fail "the imported task did not reach $E2E_LIST: $(tr '\r' ' ' <"$E2E_LIST")"
for line in '1,1,Water the plants' '4,1,Home' '5,1,2' $'6,1,ferns\t\bcacti' '7,1,3/1/26'; do
  grep -qa "^$line"$'\r$' "$E2E_LIST" || fail "the imported row lacks '$line': $(tr '\r' ' ' <"$E2E_LIST")"
done
grep -qa $'^0,1,' "$E2E_LIST" && fail "a mark was imported from the older layout"
xdotool search --onlyvisible --name '^Import Existing Veltry$' >/dev/null 2>&1 && fail "the import dialog stayed open"

xdotool windowfocus --sync "$id" 2>/dev/null || true
sleep 0.3
xdotool key Alt_L
sleep 0.3
xdotool key f
sleep 0.3
xdotool key e
exp="$(wait_for_window "Export Data File")"
exact_title "$exp" "Export Data File"
sleep 0.5
xdotool type --delay 20 "garden copy.vlp"
xdotool key Return
for _ in $(seq 50); do [ -s "$E2E_PROG/garden copy.vlp" ] && break; sleep 0.1; done
[ -s "$E2E_PROG/garden copy.vlp" ] || fail "the export did not write 'garden copy.vlp'"
cmp "$E2E_PROG/garden copy.vlp" "$E2E_LIST" || fail "the exported file differs from the task list file"
stop_app
echo "PASS"
