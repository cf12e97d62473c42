#!/usr/bin/env bash
# Runs a command inside a private network and mount namespace in which the forum service's
# host names resolve to the local stand-in service, on 127.0.0.1:80 (plain HTTP) and
# 127.0.0.1:443 (HTTPS). Nothing leaves the machine: the namespace has only its loopback
# interface.
#   run-isolated.sh COMMAND [ARGS...]
# The command sees
#   STANDIN_RECORD_DIR  a fresh directory where every received request is recorded and where
#                       mode files steer the stand-in (see standin.py); Wine programs reach it
#                       as Z: plus the path
#   STANDIN_CA_FILE     the test CA's certificate (PEM), the one CA trusted in here
# Names in the namespace: www.baidu.com, tieba.baidu.com, hi.baidu.com and other.test (all
# in the trusted server certificate); untrusted.test (served with a certificate of a CA that
# is not trusted) and wrongname.test (served with the trusted certificate, which does not name
# it), for failure tests. The CA and the certificates are made afresh for each run, and only
# this namespace trusts the CA: its certificate is mounted over the system's CA bundle here,
# before the namespace's wineserver starts (Wine reads that bundle once per wineserver).
# Mode files written before the command starts, from the environment:
#   STANDIN_HTTPS_REDIRECT=301|302|307[ NAME=VALUE]   -> https_redirect
#   STANDIN_LIMIT_CONCURRENT=C[ 429|503]              -> limit_concurrent
#   STANDIN_LIMIT_RATE=R[ 429|503]                    -> limit_rate
# Root is not needed: an ordinary user enters the namespaces through a user namespace of its
# own, in which it keeps its user id (so its files, its Wine prefix and Wine's per-user server
# folder stay its own) and holds the capabilities for loopback, ports 80 and 443 and the
# mounts.
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
127.0.0.1 www.baidu.com tieba.baidu.com hi.baidu.com other.test
127.0.0.1 untrusted.test wrongname.test
::1 localhost
HOSTS
mount --bind "$work/hosts" /etc/hosts

# Makes the run's certificates in $1: ca.pem (the test CA), server.pem and server.key (signed
# by it for the service's names and other.test), untrusted-chain.pem and untrusted.key
# (untrusted.test's certificate and its own CA's, a CA that nothing trusts). They are made
# afresh in the run's private folder rather than kept (about 1 s): a kept CA key would have to
# live in a place that another user of the machine cannot read or replace, and nothing can
# expire between runs. The CAs sign with RSA keys: Wine 8's crypt32 rejects an ECDSA signature
# whose r or s is shorter than 32 bytes (one signature in about 128), so EC-signed certificates
# would fail now and then. The servers keep EC keys (P-256, quick to make): their handshake
# signatures are checked by Wine's TLS library, which has no such fault.
make_certificates() {
  local dir=$1
  mkdir -p "$dir"
  ca() {   # NAME COMMON-NAME
    openssl req -x509 -new -newkey rsa:2048 -nodes \
      -keyout "$dir/$1.key" -out "$dir/$1.pem" -days 2 -subj "/CN=$2" \
      -set_serial "0x$(openssl rand -hex 8)" \
      -addext "basicConstraints=critical,CA:TRUE" -addext "keyUsage=critical,keyCertSign,cRLSign"
  }
  leaf() {   # NAME CA COMMON-NAME SUBJECT-ALT-NAMES
    printf '%s\n' "basicConstraints=CA:FALSE" "keyUsage=critical,digitalSignature" \
      "extendedKeyUsage=serverAuth" "subjectAltName=$4" >"$dir/$1.ext"
    openssl req -new -newkey ec -pkeyopt ec_paramgen_curve:P-256 -nodes \
      -keyout "$dir/$1.key" -subj "/CN=$3" -out "$dir/$1.csr"
    openssl x509 -req -in "$dir/$1.csr" -CA "$dir/$2.pem" -CAkey "$dir/$2.key" -days 2 \
      -set_serial "0x$(openssl rand -hex 8)" -extfile "$dir/$1.ext" -out "$dir/$1.pem"
  }
  ca ca "Stand-in test CA"
  ca untrusted-ca "Stand-in untrusted CA"
  leaf server ca www.baidu.com \
    "DNS:www.baidu.com,DNS:tieba.baidu.com,DNS:hi.baidu.com,DNS:other.test"
  leaf untrusted untrusted-ca untrusted.test "DNS:untrusted.test"
  cat "$dir/untrusted.pem" "$dir/untrusted-ca.pem" >"$dir/untrusted-chain.pem"
}
tls="$work/tls"
if ! make_certificates "$tls" >"$work/openssl.log" 2>&1; then
  echo "run-isolated.sh: could not make the test certificates with openssl" >&2
  cat "$work/openssl.log" >&2
  exit 1
fi
export STANDIN_CA_FILE="$tls/ca.pem"
# The test CA alone is the bundle in here (a smaller bundle also makes a process's first
# HTTPS request faster under Wine). Without a bundle file on the machine, a private empty
# folder takes the place of /etc/ssl/certs to hold one.
bundle=/etc/ssl/certs/ca-certificates.crt
if [ -f "$bundle" ]; then
  mount --bind "$STANDIN_CA_FILE" "$bundle"
elif [ -d "${bundle%/*}" ]; then
  mount -t tmpfs -o mode=755 tmpfs "${bundle%/*}"
  cp "$STANDIN_CA_FILE" "$bundle"
else
  echo "run-isolated.sh: no ${bundle%/*} to hold the test CA (tools/setup.sh installs ca-certificates)" >&2
  exit 1
fi

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
write_mode() { [ -z "$2" ] || printf '%s\n' "$2" >"$STANDIN_RECORD_DIR/$1"; }
write_mode https_redirect "${STANDIN_HTTPS_REDIRECT:-}"
write_mode limit_concurrent "${STANDIN_LIMIT_CONCURRENT:-}"
write_mode limit_rate "${STANDIN_LIMIT_RATE:-}"
python3 "$here/standin.py" --port 80 --tls-port 443 --cert-dir "$tls" \
  --record-dir "$STANDIN_RECORD_DIR" --ready-file "$work/ready" >"$work/server.log" 2>&1 &
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
