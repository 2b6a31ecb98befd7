# A second, independent calendar server for tests, to be sourced:
#   xandikos_start <dir>   starts Xandikos on 127.0.0.1 on a free port, its storage and log inside
#                          <dir>, with one calendar that takes to-dos; exports XANDIKOS_URL (that
#                          calendar's URL), XANDIKOS_PID, XANDIKOS_LOG and XANDIKOS_RESTART (a
#                          command that starts it again on the same port and storage)
#   xandikos_stop          stops the server started last
# Xandikos has no passwords of its own; it listens on 127.0.0.1 only.

xandikos_start() {
  local dir="$1"
  if [ -z "$dir" ]; then
    echo "xandikos_start: no folder given" >&2
    return 1
  fi
  local python=/usr/bin/python3
  [ -x "$python" ] || python=python3
  if ! "$python" -c 'import xandikos' 2>/dev/null; then
    echo "xandikos_start: Xandikos is not installed (Debian package xandikos; scripts/install-deps.sh)" >&2
    return 1
  fi
  mkdir -p "$dir"
  dir="$(cd "$dir" && pwd)"
  XANDIKOS_LOG="$dir/xandikos.log"
  : >"$XANDIKOS_LOG"
  # Xandikos does not say which port the system gave it, so a free one is picked first; another
  # program taking it meanwhile only costs a retry.
  local attempt port="" i up=""
  for attempt in 1 2 3 4 5; do
    port="$("$python" -c 'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])')"
    "$python" -m xandikos.web -d "$dir/root" --defaults -l 127.0.0.1 -p "$port" >>"$XANDIKOS_LOG" 2>&1 &
    XANDIKOS_PID=$!
    for i in $(seq 1 200); do
      kill -0 "$XANDIKOS_PID" 2>/dev/null || break
      if "$python" -c 'import socket, sys; socket.create_connection(("127.0.0.1", int(sys.argv[1])), 1).close()' "$port" 2>/dev/null; then
        up=1
        break
      fi
      sleep 0.05
    done
    [ -n "$up" ] && break
    xandikos_stop
  done
  if [ -z "$up" ]; then
    echo "xandikos_start: the server does not listen:" >&2
    cat "$XANDIKOS_LOG" >&2
    return 1
  fi

  XANDIKOS_URL="http://127.0.0.1:$port/user/calendars/tasks/"
  if ! "$python" - "$XANDIKOS_URL" <<'PYEOF'
import sys, urllib.request
url = sys.argv[1]
request = urllib.request.Request(url, method="MKCALENDAR", data=(
    '<C:mkcalendar xmlns:D="DAV:" xmlns:C="urn:ietf:params:xml:ns:caldav"><D:set><D:prop>'
    '<D:displayname>Tasks</D:displayname>'
    '<C:supported-calendar-component-set><C:comp name="VTODO"/></C:supported-calendar-component-set>'
    '</D:prop></D:set></C:mkcalendar>').encode())
request.add_header("Content-Type", "application/xml; charset=utf-8")
urllib.request.urlopen(request, timeout=10).close()
PYEOF
  then
    echo "xandikos_start: the calendar could not be made:" >&2
    cat "$XANDIKOS_LOG" >&2
    xandikos_stop
    return 1
  fi
  XANDIKOS_RESTART="exec $python -m xandikos.web -d '$dir/root' -l 127.0.0.1 -p $port >>'$XANDIKOS_LOG' 2>&1"
  export XANDIKOS_URL XANDIKOS_PID XANDIKOS_LOG XANDIKOS_RESTART
}

xandikos_stop() {
  if [ -n "${XANDIKOS_PID:-}" ]; then
    kill "$XANDIKOS_PID" 2>/dev/null
    wait "$XANDIKOS_PID" 2>/dev/null
  fi
  unset XANDIKOS_PID XANDIKOS_URL
  return 0
}
