#!/usr/bin/env bash
# Two running copies of the program, each with its own folders, keep one list through a calendar
# server: a task added in one with Insert reaches the other's list file within a minute, and the
# server holds it as a to-do with the UID the first list gave it. Checked and logged there (Space,
# Alt+L), it is completed on the server rather than removed.
source "$(dirname "$0")/lib.sh"
# shellcheck source=../sync/radicale.sh
source "$(dirname "$0")/../sync/radicale.sh"
radicale_start "$E2E_TMP/radicale" || fail "Radicale did not start"
E2E_PIDS+=("$RADICALE_PID")

# No keyring service here: the password is read from the settings file.
unset DBUS_SESSION_BUS_ADDRESS
sync_settings() {
  mkdir -p "$(dirname "$1")"
  printf '[HKEY_LOCAL_MACHINE\\SOFTWARE\\Veltry Pro]\n"NoConfirmations"=dword:00000001\n"SyncUrl"="%s"\n"SyncUser"="%s"\n"SyncEnabled"=dword:00000001\n"SyncPassword"="%s"\n' \
    "$RADICALE_URL" "$RADICALE_USER" "$RADICALE_PASSWORD" >"$1"
  chmod 600 "$1"
}
sync_settings "$E2E_SETTINGS"
other="$E2E_TMP/other"
mkdir -p "$other/prog" "$other/config" "$other/data" "$other/run"
chmod 700 "$other/run"
cp "$E2E_PROG/veltry" "$other/prog/veltry"
sync_settings "$other/config/veltry/registry.reg"
other_list="$other/prog/veltlist.vlp"

start_display
start_app
wait_for_file "$E2E_LIST"
id="$(wait_for_window "Veltry Professional")"
(cd "$other/prog" && XDG_CONFIG_HOME="$other/config" XDG_DATA_HOME="$other/data" XDG_RUNTIME_DIR="$other/run" \
  exec ./veltry >"$E2E_TMP/other.log" 2>&1) &
other_pid=$!
E2E_PIDS+=("$other_pid")
wait_for_file "$other_list"
for _ in $(seq 100); do
  xdotool search --onlyvisible --pid "$other_pid" --name "^Veltry Professional\$" >/dev/null 2>&1 && break
  sleep 0.1
done
kill -0 "$other_pid" 2>/dev/null || fail "the second copy did not keep running (single-copy guard?)"

add_task_by_keys "$id" "Shared through the server" "$E2E_LIST"
file_holds "$other_list" "Shared through the server" 600 || fail "the task did not reach the other copy's list within a minute"

# The first list gave the task its UID (column 11), the second list and the server hold the same.
uid="$(grep -a '^11,1,' "$E2E_LIST" | tr -d '\r' | cut -d, -f3)"
[ -n "$uid" ] || fail "the task has no UID in $E2E_LIST"
grep -aq "^11,[0-9]*,$uid"$'\r'"\$" "$other_list" || fail "the other list holds the task under another UID"
peer_list() { RADICALE_URL="$RADICALE_URL" /usr/bin/python3 "$(dirname "$0")/../sync/caldav_peer.py" list; }
peer_list | grep -qF "$uid|Shared through the server|NEEDS-ACTION|" || fail "the server does not hold the task as a to-do"

xdotool windowfocus --sync "$id" 2>/dev/null || true
sleep 0.3
xdotool key --window "$id" space
sleep 0.3
xdotool key --window "$id" alt+l
file_holds "$E2E_LOG" "Shared through the server" 50 || fail "the task was not logged"
completed=""
for _ in $(seq 30); do
  peer_list | grep -qF "$uid|Shared through the server|COMPLETED|" && { completed=1; break; }
  sleep 0.5
done
[ -n "$completed" ] || fail "the logged task is not completed on the server"

stop_app
kill -TERM "$other_pid"
wait "$other_pid" 2>/dev/null || true
grep -qF "Shared through the server" "$other_list" || fail "the other copy lost the task at exit"
echo "PASS"
