#!/usr/bin/env bash
# Runs a command inside a private network and mount namespace in which the forum service's
# host names resolve to the local stand-in service on 127.0.0.1:80. Nothing leaves the machine:
# the namespace has only its loopback interface.
#   run-isolated.sh COMMAND [ARGS...]
# The command sees STANDIN_RECORD_DIR (a fresh directory where every received request is
# recorded; Wine programs reach it as Z: plus the path).
# Root is not needed: an ordinary user enters the namespaces through a user namespace of its
# own, in which it keeps its user id (so its files, its Wine prefix and Wine's per-user server
# folder stay its own) and holds the capabilities for loopback, port 80 and the mounts.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)

if [ "${STANDIN_INSIDE:-}" != 1 ]; then
  export STANDIN_INSIDE=1
  namespaces=(--net --mount)
  [ "$(id -u)" -eq 0 ] || namespaces=(--user --map-current-user --keep-caps --net --mount)
  if ! unshare "${namespaces[@]}" true 2>/dev/null; then
    echo "run-isolated.sh: cannot create a private network namespace (unshare ${namespaces[*]});" \
         "as an ordinary user this needs unprivileged user namespaces (sysctl user.max_user_namespaces)" >&2
    exit 1
  fi
  exec unshare "${namespaces[@]}" "$0" "$@"
fi

# Inside the namespaces: keep mounts private, bring up loopback, map the names.
mount --make-rprivate /
ip link set lo up
work=$(mktemp -d "${TMPDIR:-/tmp}/standin.XXXXXX")

# Wine opens sockets in its wineserver, so Windows programs must use a wineserver that lives
# in this namespace: they get a private copy-on-write view of the prefix, whose server is
# started in here. (A server shared with programs outside would connect from the machine's
# own network instead.)
private_prefix=
if [ -n "${WINEPREFIX:-}" ] && [ -d "$WINEPREFIX" ]; then
  private_prefix="$work/prefix"
  mkdir -p "$work/upper" "$work/overlay-work" "$private_prefix"
  if ! mount -t overlay overlay \
        -o "lowerdir=$WINEPREFIX,upperdir=$work/upper,workdir=$work/overlay-work" "$private_prefix" \
        2>/dev/null; then
    rmdir "$private_prefix"
    cp -a "$WINEPREFIX" "$private_prefix"
  fi
  export WINEPREFIX="$private_prefix"
fi
cat > "$work/hosts" <<HOSTS
127.0.0.1 localhost
127.0.0.1 www.baidu.com tieba.baidu.com hi.baidu.com
::1 localhost
HOSTS
mount --bind "$work/hosts" /etc/hosts

# A display of its own as well, so the private wineserver's desktop does not share one with
# programs of the machine's other wineservers. STANDIN_KEEP_DISPLAY=1 keeps the caller's
# display, for a window the user is to see.
xvfb=
if [ -n "$private_prefix" ] && [ "${STANDIN_KEEP_DISPLAY:-}" != 1 ] && command -v Xvfb >/dev/null; then
  . "$here/../wine-env.sh"
  if wine_env_start_xvfb 150 199; then
    xvfb=$WINE_ENV_XVFB
    # That display has no window manager. Wine's X11 driver is told so: otherwise it waits two
    # seconds for one to withdraw each window a program hides or destroys.
    WINEDEBUG=-all wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >/dev/null 2>&1 || true
  fi
fi

export STANDIN_RECORD_DIR="$work/records"
mkdir -p "$STANDIN_RECORD_DIR"
python3 "$here/standin.py" --port 80 --record-dir "$STANDIN_RECORD_DIR" \
  --ready-file "$work/ready" >"$work/server.log" 2>&1 &
server=$!
for _ in $(seq 1 100); do [ -e "$work/ready" ] && break; sleep 0.05; done
if [ ! -e "$work/ready" ]; then
  echo "run-isolated.sh: stand-in service did not start" >&2
  cat "$work/server.log" >&2
  kill "$server" 2>/dev/null || true
  exit 1
fi

# Ends everything started in here, also when the run is stopped from outside (a timeout).
child=
cleanup() {
  if [ -n "$child" ]; then kill "$child" 2>/dev/null || true; fi
  if [ -n "$private_prefix" ]; then
    wineserver -k >/dev/null 2>&1 || true
    wineserver -w >/dev/null 2>&1 || true
    umount "$private_prefix" 2>/dev/null || true
  fi
  kill "$server" 2>/dev/null || true
  wait "$server" 2>/dev/null || true
  if [ -n "$xvfb" ]; then kill "$xvfb" 2>/dev/null || true; wait "$xvfb" 2>/dev/null || true; fi
  rm -rf "$work"
}
trap 'cleanup; exit 143' TERM INT HUP

# The command runs in the background so that a signal reaches the trap at once.
status=0
"$@" &
child=$!
wait "$child" || status=$?
child=
[ "$status" -eq 0 ] || cat "$work/server.log" >&2
trap - TERM INT HUP
cleanup
exit "$status"
