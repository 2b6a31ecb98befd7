#!/usr/bin/env bash
# Runs a test program beside two calendar servers of its own, started for it and stopped after:
#   with_radicale.sh <program> [arguments...]
# RADICALE_URL (with RADICALE_USER, RADICALE_PASSWORD, RADICALE_LOG) names a calendar on a server
# that wants a password, RADICALE_NOAUTH_URL one on a server without authentication. The CALDAV_
# variables name the first as any server is named to the tests (see with_xandikos.sh), with
# CALDAV_STORE the folder its to-dos are kept in. A server that cannot be started fails the
# test: the test machines are to have Radicale installed.
set -u
here="$(cd "$(dirname "$0")" && pwd)"
# shellcheck source=radicale.sh
source "$here/radicale.sh"
dir="$(mktemp -d "${TMPDIR:-/tmp}/veltry-radicale-XXXXXX")"
noauth_pid=""
cleanup() {
  radicale_stop
  if [ -n "$noauth_pid" ]; then
    kill "$noauth_pid" 2>/dev/null
    wait "$noauth_pid" 2>/dev/null
  fi
  [ -n "${VELTRY_KEEP_TEST_DIRS:-}" ] || rm -rf "$dir"
}
trap cleanup EXIT

radicale_start "$dir/noauth" noauth || { echo "with_radicale: Radicale did not start" >&2; exit 1; }
noauth_pid="$RADICALE_PID"
export RADICALE_NOAUTH_URL="$RADICALE_URL"
radicale_start "$dir/auth" || { echo "with_radicale: Radicale did not start" >&2; exit 1; }
export CALDAV_SERVER=radicale CALDAV_URL="$RADICALE_URL" CALDAV_USER="$RADICALE_USER" \
  CALDAV_PASSWORD="$RADICALE_PASSWORD" CALDAV_PID="$RADICALE_PID" CALDAV_RESTART="$RADICALE_RESTART" \
  CALDAV_STORE="$dir/auth/collections/collection-root/alice/tasks/"

"$@"
