#!/usr/bin/env bash
# File > Print to a queue that refuses jobs tells the user (with the print service's own reason);
# to a paused queue, it tells that the job waits there, and the job does.
source "$(dirname "$0")/lib.sh"
source "$(dirname "$0")/cups.sh"
if ! cups_setup; then
  echo "SKIP: no print service on this machine: $CUPS_WHY"
  exit 77
fi
start_display

# Queues of this run alone, so that other tests printing meanwhile are not disturbed.
rejecting="VeltryRejecting$$"
paused="VeltryPaused$$"
model="$(lpinfo -m 2>/dev/null | awk '/CUPS-PDF/ {print $1; exit}')"
remove_queues() {
  cancel -a "$paused" 2>/dev/null || true
  lpadmin -x "$rejecting" 2>/dev/null || true
  lpadmin -x "$paused" 2>/dev/null || true
}
trap 'remove_queues; e2e_cleanup' EXIT
lpadmin -p "$rejecting" -v cups-pdf:/ -m "$model" -E || fail "could not add $rejecting"
lpadmin -p "$paused" -v cups-pdf:/ -m "$model" -E || fail "could not add $paused"
cupsreject -r "Taken out of service by the test" "$rejecting"
cupsdisable -r "Paused by the test" "$paused"

printf '12,2\r\n1,0,Task\r\n1,1,Pay the rent\r\n10,1,0\r\n' >"$E2E_LIST"

# Prints through the queue $1; fails unless a message box follows. The toolkit copies a box's
# text only on Windows, so the box is looked at on the screen: a screenshot of it goes to
# $E2E_TMP/$1.png for a person to read.
print_and_expect_box() {
  export PRINTER="$1"
  start_app
  local id box=""
  id="$(wait_for_window "Veltry Professional")"
  xdotool windowfocus --sync "$id" 2>/dev/null || true
  sleep 0.5
  xdotool key --delay 150 alt f r
  for _ in $(seq 100); do
    box="$(xdotool search --onlyvisible --name '^Veltry Professional$' 2>/dev/null | grep -vx "$id" | head -n1 || true)"
    [ -n "$box" ] && break
    sleep 0.1
  done
  [ -n "$box" ] || fail "printing to $1 showed no message"
  import -window root "$E2E_TMP/$1.png" 2>/dev/null || true
  xdotool windowfocus --sync "$box" 2>/dev/null || true
  xdotool key Return
  stop_app
}

print_and_expect_box "$rejecting"
lpstat -o "$rejecting" 2>/dev/null | grep -q "^$rejecting-" && fail "$rejecting took a job"

print_and_expect_box "$paused"
lpstat -o "$paused" 2>/dev/null | grep -q "^$paused-" || fail "no job waits in $paused"
echo "PASS"
