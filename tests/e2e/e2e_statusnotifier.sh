#!/usr/bin/env bash
# On a panel that speaks the status-notifier protocol (the tray of most desktops today) the icon
# registers with the panel's watcher and exports the tray menu over D-Bus in its current state;
# the panel's click shows the task window, its menu switches the alarms off and on (a task that
# falls due meanwhile rings only once they are on again, with a desktop notification) and its
# Exit ends the run with the list saved.
if [ -z "${E2E_OWN_SESSION_BUS:-}" ]; then
  command -v dbus-run-session >/dev/null || { echo "FAIL: dbus-run-session is not installed" >&2; exit 1; }
  E2E_OWN_SESSION_BUS=1 exec dbus-run-session -- bash "$0" "$@"
fi
source "$(dirname "$0")/lib.sh"
# Debian's own Python, which python3-dbus and python3-gi install into.
py=/usr/bin/python3
"$py" -c 'import dbus, gi' 2>/dev/null || fail "python3-dbus and python3-gi are not installed"
panel="$(dirname "$0")/sni_host.py"
panel_log="$E2E_TMP/panel.log"
start_display

# The panel runs before the program, as on a desktop: Qt looks for it when the icon is made.
"$py" "$panel" serve "$panel_log" >"$E2E_TMP/panel.err" 2>&1 &
E2E_PIDS+=($!)
file_holds "$panel_log" "ready" 100 || { cat "$E2E_TMP/panel.err" >&2; fail "the panel did not start"; }

mkdir -p "$(dirname "$E2E_SETTINGS")"
printf '[HKEY_LOCAL_MACHINE\\SOFTWARE\\Veltry Pro]\n"StartMinimized"=dword:00000001\n"Networkable"=dword:00000001\n' \
  >"$E2E_SETTINGS"
list_head='12,2\r\n1,0,Task\r\n2,0,Due On\r\n3,0,Due At\r\n4,0,Category\r\n5,0,Pr\r\n6,0,Notes\r\n7,0,Create Date\r\n8,0,Alarm\r\n9,0,Lead Time\r\n10,0,Type\r\n'
printf "$list_head"'1,1,Water the plants\r\n7,1,1/1/20\r\n10,1,0\r\n' >"$E2E_LIST"

start_app
file_holds "$panel_log" "registered " 100 || { cat "$E2E_TMP/app.log" >&2; fail "no item registered with the watcher"; }
# Started minimised with a tray present: the task window waits in the tray.
sleep 1
xdotool search --onlyvisible --name '^Veltry Professional$' >/dev/null 2>&1 && fail "the task window showed at start"

# The panel reads the tray menu, every item in its state (mnemonics the D-Bus way, "_").
menu_now() { "$py" "$panel" layout | awk -F'\t' '{ print $2 "|" $3 "|" $4 "|" $5 "|" $6 "|" $7 }'; }
expected_menu() {
  printf '%s\n' "standard|_Veltry||-1|true|true" "standard|_Calendar||-1|true|true" \
    "separator|||-1|true|true" "standard|Enable _Alarms|checkmark|$1|true|true" "separator|||-1|true|true" \
    "standard|_Exit||-1|true|true"
}
# Qt leaves out what is at its default: no type for a plain entry, no toggle for an unchecked one.
normalise() { sed -e 's/^|/standard|/' -e 's/^separator|[^|]*|[^|]*|[^|]*|/separator|||-1|/'; }
got="$(menu_now | normalise)" || fail "the panel could not read the tray menu"
[ "$got" = "$(expected_menu 1)" ] || { printf 'got:\n%s\nwanted:\n%s\n' "$got" "$(expected_menu 1)" >&2; fail "the exported menu differs"; }

# The panel's click on the icon shows the task window.
"$py" "$panel" activate || fail "Activate was refused"
win="$(wait_for_window "Veltry Professional")"

# Alarms off through the panel's menu: the switch is off in the menu the panel reads, and the
# panel was told the menu changed.
updates_before="$(grep -c '^menu-updated' "$panel_log" || true)"
"$py" "$panel" click "Enable _Alarms" || fail "the panel could not click the alarm switch"
for _ in $(seq 50); do [ "$(menu_now | normalise)" = "$(expected_menu 0)" ] && break; sleep 0.1; done
[ "$(menu_now | normalise)" = "$(expected_menu 0)" ] || fail "the menu still shows the alarms on"
[ "$(grep -c '^menu-updated' "$panel_log" || true)" -gt "$updates_before" ] || fail "the panel was not told the menu changed"

# With the alarms off nothing is checked: a task written meanwhile by another copy, already due,
# neither comes in nor rings.
sleep 1.2
printf "$list_head"'1,1,Renew the passport\r\n2,1,1/2/20\r\n3,1,09:30am\r\n7,1,1/1/20\r\n8,1,Y\r\n10,1,0\r\n' >"$E2E_LIST"
sleep 3
xdotool search --onlyvisible --name '^Task Due Reminder$' >/dev/null 2>&1 && fail "a reminder rang with the alarms off"

# On again: the menu says so, and the due task rings.
"$py" "$panel" click "Enable _Alarms" || fail "the panel could not click the alarm switch"
for _ in $(seq 50); do [ "$(menu_now | normalise)" = "$(expected_menu 1)" ] && break; sleep 0.1; done
[ "$(menu_now | normalise)" = "$(expected_menu 1)" ] || fail "the menu still shows the alarms off"
reminder="$(wait_for_window "Task Due Reminder")"
# The reminder is also announced through the desktop's notification service.
file_holds "$panel_log" "notify Veltry|Task Due Reminder|Renew the passport/Due 1/2/20 09:30am" 50 \
  || { grep '^notify' "$panel_log" >&2; fail "the reminder sent no desktop notification"; }
xdotool windowfocus --sync "$reminder" 2>/dev/null || true
xdotool key --clearmodifiers alt+c
for _ in $(seq 50); do xdotool search --onlyvisible --name '^Task Due Reminder$' >/dev/null 2>&1 || break; sleep 0.1; done

# Exit from the panel's menu ends the run normally, the list saved and the item gone.
"$py" "$panel" click "_Exit" || fail "the panel could not click Exit"
for _ in $(seq 100); do kill -0 "$APP_PID" 2>/dev/null || break; sleep 0.1; done
kill -0 "$APP_PID" 2>/dev/null && fail "Exit in the panel's menu did not end the program"
set +e; wait "$APP_PID"; rc=$?; set -e
[ "$rc" -eq 0 ] || fail "the program ended with status $rc"
grep -qa $'^1,1,Renew the passport\r$' "$E2E_LIST" || fail "the task was not saved"
grep -qa $'^8,1,' "$E2E_LIST" && fail "the cancelled alarm was saved"
file_holds "$panel_log" "unregistered " 50 || fail "the item stayed registered after the end"
echo "PASS"
