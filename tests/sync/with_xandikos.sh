#!/usr/bin/env bash
# Runs a test program beside a Xandikos server of its own, started for it and stopped after:
#   with_xandikos.sh <program> [arguments...]
# The calendar is named to the program as with_radicale.sh names its own: CALDAV_URL (no user
# or password: Xandikos has none), CALDAV_PID and CALDAV_RESTART; CALDAV_STORE stays unset, so
# to-dos reach it through the protocol only. A server that cannot be started fails the test:
# the test machines are to have Xandikos installed.
set -u
here="$(cd "$(dirname "$0")" && pwd)"
# shellcheck source=xandikos.sh
source "$here/xandikos.sh"
dir="$(mktemp -d "${TMPDIR:-/tmp}/veltry-xandikos-XXXXXX")"
cleanup() {
  xandikos_stop
  [ -n "${VELTRY_KEEP_TEST_DIRS:-}" ] || rm -rf "$dir"
}
trap cleanup EXIT

xandikos_start "$dir" || { echo "with_xandikos: Xandikos did not start" >&2; exit 1; }
export CALDAV_SERVER=xandikos CALDAV_URL="$XANDIKOS_URL" CALDAV_USER="" CALDAV_PASSWORD="" \
  CALDAV_PID="$XANDIKOS_PID" CALDAV_RESTART="$XANDIKOS_RESTART"
unset CALDAV_STORE

"$@"
