#!/usr/bin/env bash
# The Debian package installs and runs like any desktop program: built with cpack, installed
# with dpkg, /usr/bin/veltry started with a fresh home keeps a task typed into it in
# $XDG_DATA_HOME/veltry/veltlist.vlp (never in /usr/bin, even for root); then the package goes.
set -euo pipefail
build="$1"
if [ "$(id -u)" -ne 0 ]; then echo "SKIP: installing a package needs root"; echo "PASS"; exit 0; fi
if dpkg -s veltry >/dev/null 2>&1; then echo "SKIP: a veltry package is already installed here"; echo "PASS"; exit 0; fi
source "$(dirname "$0")/../e2e/lib.sh" /usr/bin/veltry 2>/dev/null || true
pkgdir="$E2E_TMP/pkg"
mkdir -p "$pkgdir"
trap 'dpkg -r veltry >/dev/null 2>&1 || true; e2e_cleanup' EXIT
(cd "$build" && cpack -G DEB -B "$pkgdir" >/dev/null) || fail "cpack failed"
deb="$(ls "$pkgdir"/veltry_1.0_*.deb)"
dpkg-deb -f "$deb" Depends | grep -q 'libqt6widgets6' || fail "the package does not depend on the Qt libraries: $(dpkg-deb -f "$deb" Depends)"
dpkg -i "$deb" >/dev/null || fail "dpkg -i failed"
[ -x /usr/bin/veltry ] || fail "no /usr/bin/veltry"
[ -f /usr/share/applications/org.veltry.Veltry.desktop ] || fail "no menu entry"

export HOME="$E2E_TMP/home"
mkdir -p "$HOME"
start_display
(cd "$HOME" && exec /usr/bin/veltry >"$E2E_TMP/app.log" 2>&1) &
APP_PID=$!
E2E_PIDS+=($APP_PID)
list="$XDG_DATA_HOME/veltry/veltlist.vlp"
wait_for_file "$list"
id="$(wait_for_window "Veltry Professional")"
add_task_by_keys "$id" "Renew the car insurance" "$list"
grep -q $'^1,1,Renew the car insurance\r$' "$list" || fail "the task did not reach $list"
[ -e /usr/bin/veltlist.vlp ] && fail "the list was written into /usr/bin"
stop_app
dpkg -r veltry >/dev/null || fail "dpkg -r failed"
[ -e /usr/bin/veltry ] && fail "the program is still installed"
echo "PASS"
