# A calendar server for tests, to be sourced:
#   radicale_start <dir> [noauth]   starts Radicale on 127.0.0.1 on a free port, everything it
#                                   writes (storage, configuration, log) inside <dir>, with one
#                                   calendar that takes to-dos; exports RADICALE_URL (that
#                                   calendar's URL), RADICALE_PID, RADICALE_USER, RADICALE_PASSWORD
#                                   (empty without authentication), RADICALE_LOG and
#                                   RADICALE_RESTART (a command that starts it again on the same
#                                   port and storage)
#   radicale_stop                   stops the server started last
# The machine's own configuration (/etc/radicale, ~/.config/radicale) is never read.

radicale_start() {
  local dir="$1" mode="${2:-auth}"
  if [ -z "$dir" ]; then
    echo "radicale_start: no folder given" >&2
    return 1
  fi
  # Debian's Python, whatever other Python comes first on the path: the package is installed for it.
  local python=/usr/bin/python3
  [ -x "$python" ] || python=python3
  if ! "$python" -c 'import radicale' 2>/dev/null; then
    echo "radicale_start: Radicale is not installed (Debian package radicale; scripts/install-deps.sh)" >&2
    return 1
  fi
  mkdir -p "$dir/collections"
  dir="$(cd "$dir" && pwd)"
  local auth_type=htpasswd
  RADICALE_USER=alice
  RADICALE_PASSWORD=secret
  if [ "$mode" = noauth ]; then
    auth_type=none
    RADICALE_USER=""
    RADICALE_PASSWORD=""
  fi
  printf 'alice:secret\n' >"$dir/users"
  # Port 0: the system picks a free port, which the server names in its log.
  cat >"$dir/config" <<EOF
[server]
hosts = 127.0.0.1:0
[auth]
type = $auth_type
htpasswd_filename = $dir/users
htpasswd_encryption = plain
delay = 0
[rights]
type = authenticated
[storage]
filesystem_folder = $dir/collections
[web]
type = none
[logging]
level = info
mask_passwords = True
EOF
  : >"$dir/radicale.log"
  RADICALE_LOG="$dir/radicale.log"
  env -u RADICALE_CONFIG "$python" -m radicale --config "$dir/config" >>"$RADICALE_LOG" 2>&1 &
  RADICALE_PID=$!

  local port="" i
  for i in $(seq 1 200); do
    port="$(sed -n "s/.*Listening on '\[\{0,1\}127\.0\.0\.1\]\{0,1\}:\([0-9][0-9]*\)'.*/\1/p" "$RADICALE_LOG" | head -n 1)"
    [ -n "$port" ] && break
    if ! kill -0 "$RADICALE_PID" 2>/dev/null; then
      echo "radicale_start: the server ended at once:" >&2
      cat "$RADICALE_LOG" >&2
      return 1
    fi
    sleep 0.05
  done
  if [ -z "$port" ]; then
    echo "radicale_start: the server does not listen:" >&2
    cat "$RADICALE_LOG" >&2
    radicale_stop
    return 1
  fi

  RADICALE_URL="http://127.0.0.1:$port/alice/tasks/"
  sed "s/^hosts = 127\.0\.0\.1:0\$/hosts = 127.0.0.1:$port/" "$dir/config" >"$dir/config-again"
  RADICALE_RESTART="exec env -u RADICALE_CONFIG $python -m radicale --config '$dir/config-again' >>'$RADICALE_LOG' 2>&1"
  # The owner's folder first, then a calendar in it that takes to-dos.
  if ! "$python" - "$RADICALE_URL" "$RADICALE_USER" "$RADICALE_PASSWORD" <<'EOF'
import base64, sys, urllib.error, urllib.request
url, user, password = sys.argv[1:4]
def call(method, target, body, depth=None):
    request = urllib.request.Request(target, data=body.encode(), method=method)
    request.add_header("Content-Type", "application/xml; charset=utf-8")
    if depth is not None:
        request.add_header("Depth", depth)
    if user:
        token = base64.b64encode(("%s:%s" % (user, password)).encode()).decode()
        request.add_header("Authorization", "Basic " + token)
    with urllib.request.urlopen(request, timeout=10) as answer:
        return answer.status
owner = url.rsplit("/", 2)[0] + "/"
try:
    # A user's folder appears when its user first asks for it; without users it is made.
    call("PROPFIND", owner, '<propfind xmlns="DAV:"><prop><resourcetype/></prop></propfind>', "0")
except urllib.error.HTTPError as e:
    if e.code != 404:
        raise
    call("MKCOL", owner, "")
call("MKCALENDAR", url,
     '<C:mkcalendar xmlns:D="DAV:" xmlns:C="urn:ietf:params:xml:ns:caldav"><D:set><D:prop>'
     '<D:displayname>Tasks</D:displayname>'
     '<C:supported-calendar-component-set><C:comp name="VTODO"/></C:supported-calendar-component-set>'
     '</D:prop></D:set></C:mkcalendar>')
EOF
  then
    echo "radicale_start: the calendar could not be made:" >&2
    cat "$RADICALE_LOG" >&2
    radicale_stop
    return 1
  fi
  export RADICALE_URL RADICALE_PID RADICALE_USER RADICALE_PASSWORD RADICALE_LOG RADICALE_RESTART
}

radicale_stop() {
  if [ -n "${RADICALE_PID:-}" ]; then
    kill "$RADICALE_PID" 2>/dev/null
    wait "$RADICALE_PID" 2>/dev/null
  fi
  unset RADICALE_PID RADICALE_URL
  return 0
}
