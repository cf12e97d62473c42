# Sourced by test.sh and run.sh: prepares a private Wine prefix and an X display for this run.
#   WINEPREFIX  the prefix to use (created when missing)
#   DISPLAY     kept when given; otherwise a private Xvfb display is started
# wine_env_stop ends what wine_env_start started; wine_env_start_xvfb starts a private display.

wine_env_start() {
  export LC_ALL=zh_CN.UTF-8
  export WINEDEBUG=${WINEDEBUG:--all}
  export WINEARCH=win32
  export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
  : "${WINEPREFIX:?}"
  export WINEPREFIX
  if [ -z "${DISPLAY:-}" ] && ! wine_env_start_xvfb 90 140; then
    echo "wine-env.sh: could not start a private Xvfb display (numbers 90 to 140)" >&2
    return 1
  fi
  if [ ! -f "$WINEPREFIX/system.reg" ]; then
    mkdir -p "$WINEPREFIX"
    # The registry files appear only when the server writes them out; drive_c comes at once.
    if ! wineboot -i >/dev/null 2>&1 || [ ! -d "$WINEPREFIX/drive_c" ]; then
      echo "wine-env.sh: wineboot could not create the Wine prefix $WINEPREFIX" >&2
      return 1
    fi
    # An unhandled exception must not open a modal crash dialog that hangs a test.
    wine reg add 'HKCU\Software\Wine\WineDbg' /v ShowCrashDialog /t REG_DWORD /d 0 /f >/dev/null 2>&1
    # Waits until that server has ended and written the registry out: a copy of the prefix
    # taken before (run-isolated.sh's private view) would lack most of it, the crypto
    # providers that check TLS certificates among them.
    wineserver -w
  fi
  # A persistent wineserver makes each test process start in a fraction of a second. Its
  # services start with the first program it runs and live as long as it does: they start here,
  # with no output of a test to hold open.
  wineserver -p >/dev/null 2>&1 || true
  wine reg query 'HKCU\Software\Wine\WineDbg' </dev/null >/dev/null 2>&1 || true
}

# Starts Xvfb on the first free display number from $1 to $2 and waits until it listens; sets
# DISPLAY and WINE_ENV_XVFB (the server's process id). A number whose lock or socket exists
# belongs to another server, possibly another user's; a server that ends at once (it lost the
# number to another one starting at the same time) gives way to the next number. Fails when
# no number is free.
wine_env_start_xvfb() {
  local n i pid
  for n in $(seq "$1" "$2"); do
    [ -e /tmp/.X11-unix/X$n ] || [ -e /tmp/.X$n-lock ] && continue
    Xvfb :$n -screen 0 1280x1024x24 -nolisten tcp >/dev/null 2>&1 &
    pid=$!
    for i in $(seq 1 100); do
      [ -S /tmp/.X11-unix/X$n ] && [ "$(cat /tmp/.X$n-lock 2>/dev/null | tr -d ' ')" = "$pid" ] && break
      kill -0 "$pid" 2>/dev/null || break
      sleep 0.1
    done
    if ! kill -0 "$pid" 2>/dev/null; then wait "$pid" 2>/dev/null || true; continue; fi
    WINE_ENV_XVFB=$pid
    export DISPLAY=:$n
    return 0
  done
  return 1
}

wine_env_stop() {
  wineserver -k >/dev/null 2>&1 || true
  if [ -n "${WINE_ENV_XVFB:-}" ]; then kill "$WINE_ENV_XVFB" 2>/dev/null || true; unset WINE_ENV_XVFB; fi
}
