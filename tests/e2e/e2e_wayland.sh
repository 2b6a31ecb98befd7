#!/usr/bin/env bash
# A Wayland session (weston, headless): the program starts on its own, its task window comes up
# titled "Veltry Professional", a second start ends at once and leaves the first copy running
# and its files alone, and SIGTERM ends the run with the list saved.
source "$(dirname "$0")/lib.sh"
command -v weston >/dev/null || fail "weston is not installed"
[ -n "$(find /usr/lib -path '*/qt6/plugins/platforms/libqwayland*' -print -quit 2>/dev/null)" ] \
  || fail "Qt's Wayland platform (qt6-wayland) is not installed"

socket="wayland-veltry-$$"
weston --backend=headless-backend.so --socket="$socket" --idle-time=0 --width=1280 --height=800 \
  >"$E2E_TMP/weston.log" 2>&1 &
weston_pid=$!
E2E_PIDS+=($weston_pid)
for _ in $(seq 100); do
  [ -S "$XDG_RUNTIME_DIR/$socket" ] && break
  kill -0 "$weston_pid" 2>/dev/null || break
  sleep 0.1
done
if [ ! -S "$XDG_RUNTIME_DIR/$socket" ]; then
  echo "SKIP: weston cannot start here" >&2
  tail -n 20 "$E2E_TMP/weston.log" >&2
  exit 77
fi
unset DISPLAY
export WAYLAND_DISPLAY="$socket" QT_QPA_PLATFORM=wayland

printf '12,2\r\n1,0,Task\r\n2,0,Due On\r\n3,0,Due At\r\n4,0,Category\r\n5,0,Pr\r\n6,0,Notes\r\n7,0,Create Date\r\n8,0,Alarm\r\n9,0,Lead Time\r\n10,0,Type\r\n1,1,Water the plants\r\n7,1,1/1/20\r\n10,1,0\r\n' \
  >"$E2E_LIST"

# The protocol log names each top-level window's title as the program sets it.
(cd "$E2E_PROG" && WAYLAND_DEBUG=client exec ./veltry >"$E2E_TMP/app.log" 2>&1) &
APP_PID=$!
E2E_PIDS+=($APP_PID)
titled() { grep -q "xdg_toplevel@[0-9]*\.set_title(\"$1\")" "$2"; }
# ...and shown: the compositor configured it and it drew into it.
shown() {
  titled "Veltry Professional" "$1" && grep -q "xdg_surface@[0-9]*\.ack_configure(" "$1" \
    && grep -q "wl_surface@[0-9]*\.attach(wl_buffer@" "$1"
}
for _ in $(seq 150); do shown "$E2E_TMP/app.log" && break; kill -0 "$APP_PID" || break; sleep 0.1; done
titled "Veltry Professional" "$E2E_TMP/app.log" || { tail -n 30 "$E2E_TMP/app.log" >&2; fail "no top-level window titled 'Veltry Professional'"; }
shown "$E2E_TMP/app.log" || fail "the task window was never configured and drawn"

# A second start ends at once, with status 0, printing nothing, touching no file.
sleep 1.2
cp "$E2E_LIST" "$E2E_TMP/list.before"
list_time_before="$(stat -c %Y.%y "$E2E_LIST")"
start=$(date +%s%N)
set +e
(cd "$E2E_PROG" && XDG_ACTIVATION_TOKEN=veltry-test-token timeout 10 ./veltry >"$E2E_TMP/second.log" 2>&1)
rc=$?
set -e
elapsed_ms=$(( ($(date +%s%N) - start) / 1000000 ))
[ "$rc" -eq 0 ] || fail "the second start ended with status $rc"
[ "$elapsed_ms" -lt 5000 ] || fail "the second start took ${elapsed_ms} ms"
[ ! -s "$E2E_TMP/second.log" ] || { cat "$E2E_TMP/second.log" >&2; fail "the second start printed something"; }
sleep 0.5
kill -0 "$APP_PID" || fail "the first copy ended when the second started"
cmp -s "$E2E_TMP/list.before" "$E2E_LIST" || fail "the second start changed the task list"
[ "$list_time_before" = "$(stat -c %Y.%y "$E2E_LIST")" ] || fail "the second start rewrote the task list"

# SIGTERM ends the run normally and writes the list.
sleep 1.1
stop_app
[ "$list_time_before" != "$(stat -c %Y.%y "$E2E_LIST")" ] || fail "the list was not saved at SIGTERM"
grep -qa $'^1,1,Water the plants\r$' "$E2E_LIST" || fail "the saved list lost its task"
kill -0 "$weston_pid" 2>/dev/null || fail "weston ended during the test"
echo "PASS"
