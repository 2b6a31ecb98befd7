#!/usr/bin/env bash
# Endings that must never lose tasks: SIGTERM while the start-up error box is up ends the
# program at once with the list saved; a save that fails at the end (a full disk) leaves the
# tasks in an emergency file named on standard error, with no box holding the ending up.
source "$(dirname "$0")/lib.sh"
start_display

# Ends within 5 s of a SIGTERM; prints how many tenths of a second it took.
term_and_time() {
  kill -TERM "$APP_PID"
  for t in $(seq 50); do kill -0 "$APP_PID" 2>/dev/null || { wait "$APP_PID" 2>/dev/null || true; echo "$t"; return 0; }; sleep 0.1; done
  fail "the program did not end within 5 s of SIGTERM"
}

# 1. A damaged list: the error box comes up before the task window.
printf '12,3\r\n1,0,Task\r\n1,1,kept\r\nx,2,bad\r\n' >"$E2E_LIST"
start_app
box="$(wait_for_window "Veltry Professional")"
sleep 0.5
xdotool search --onlyvisible --name "Veltry Professional" >/dev/null || fail "no error box"
term_and_time >/dev/null
grep -q $'^1,1,kept\r$' "$E2E_LIST" || fail "the rows read before the damage were not saved"
ls "$E2E_PROG"/veltlist-unreadable-*.vlp >/dev/null 2>&1 || fail "the damaged list was not kept"
rm -f "$E2E_PROG"/veltlist-unreadable-*.vlp

# 2. A full disk at the end. Needs a small file system of its own, which only root can mount.
full="$E2E_TMP/full"
mkdir -p "$full"
if [ "$(id -u)" -ne 0 ] || ! mount -t tmpfs -o size=512k tmpfs "$full" 2>/dev/null; then
  echo "SKIP: full-disk ending (needs root to mount a small tmpfs)"
  echo "PASS"
  exit 0
fi
trap 'umount "$full" 2>/dev/null || true; e2e_cleanup' EXIT
# The data folder is the alternative folder of the settings, on the small file system.
mkdir -p "$(dirname "$E2E_SETTINGS")"
printf '[HKEY_LOCAL_MACHINE\\SOFTWARE\\Veltry Pro]\n"UseAltDirPath"=dword:00000001\n"AltDirPath"="%s/"\n' "$full" >"$E2E_SETTINGS"
E2E_LIST="$full/veltlist.vlp"
start_app
wait_for_file "$E2E_LIST"
id="$(wait_for_window "Veltry Professional")"
add_task_by_keys "$id" "Pay the rent" "$E2E_LIST"
# Fill the disk, then check the task (a change no save has written yet).
dd if=/dev/zero of="$full/filler" bs=4k 2>/dev/null || true
xdotool windowfocus --sync "$id" 2>/dev/null || true
xdotool key --window "$id" space
sleep 0.5
term_and_time >/dev/null
grep -q 'No space left on device' "$E2E_TMP/app.log" || fail "standard error lacks the reason: $(cat "$E2E_TMP/app.log")"
copy="$(ls "$XDG_DATA_HOME"/veltry/veltlist-unsaved-*.vlp 2>/dev/null | head -n1)"
[ -n "$copy" ] || fail "no emergency copy of the list"
grep -qF "$copy" "$E2E_TMP/app.log" || fail "the emergency copy is not named on standard error"
grep -q $'^1,1,Pay the rent\r$' "$copy" || fail "the emergency copy lacks the task"
grep -q $'^0,1, \r$' "$copy" || fail "the emergency copy lacks the check mark given after the last save"
echo "PASS"
