# Shared by the Wine scripts (sourced, not run): the layout of a build directory's Wine
# session and the helpers that start and stop its helper processes.
#
#   <build>/wineprefix     the prefix (tests/wine/wine-prefix)
#   <build>/ports/         pty links the prefix maps to COM ports
#   <build>/wine-run/      state of the running session: pid files, FIFOs, logs
#   <build>/wine-tests/    one directory of logs per Windows test
#   <build>/screenshots/   screenshots of the GUI tests

# Every Wine process is started through its loader, named: the wrappers in /usr/bin (wine,
# wineboot, regedit, regsvr32...) pick the 32-bit loader whenever it is installed, and a kernel
# that refuses i386 code then refuses them all.
WINE32_LOADER=/usr/lib/wine/wine
WINE64_LOADER=/usr/lib/wine/wine64
WINESERVER=/usr/lib/wine/wineserver64
# COM4 is the dummy port that gives wineserver its controlling terminal; tests use COM5..COM8.
WINE_TEST_PORTS=(5 6 7 8)

# Sets the paths and the environment of every Wine process for the build directory $1.
wine_session_env() {
  mkdir -p "$1"
  WINE_BUILD=$(cd "$1" && pwd)
  WINE_PORTS=$WINE_BUILD/ports
  WINE_RUN=$WINE_BUILD/wine-run
  export WINEPREFIX=$WINE_BUILD/wineprefix
  export WINEDEBUG=-all
  # Keeps the prefix set-up from asking to install Mono and Gecko.
  export WINEDLLOVERRIDES='mscoree,mshtml='
  # A wineserver or desktop that sees the developer's display would put windows there.
  unset DISPLAY
  mkdir -p "$WINE_PORTS" "$WINE_RUN"
}

die() {
  echo "$(basename "$0"): $*" >&2
  exit 1
}

# Why this machine cannot run 32-bit programs, or nothing when it can. The configure step of
# the build finds it out once (scripts/i386-probe) and keeps it in <build>/i386.status; a VM
# that runs the build's tests keeps its own answer in $TRELMO_I386_STATUS.
i386_reason() {
  local status=${TRELMO_I386_STATUS:-$WINE_BUILD/i386.status}
  if [ ! -f "$status" ]; then
    "$(dirname "${BASH_SOURCE[0]}")/../../scripts/i386-probe" "$WINE_BUILD/i386" >"$status.new" || true
    mv "$status.new" "$status"
  fi
  cat "$status"
}

# A 32-bit program run without wine32 exits 0 and prints nothing: a false pass.
require_wine32() {
  local reason
  reason=$(i386_reason)
  [ -z "$reason" ] || die "32-bit Windows programs cannot run here: $reason"
  [ -x "$WINE32_LOADER" ] && [ -d /usr/lib/i386-linux-gnu/wine/i386-windows ] ||
    die "wine32:i386 is missing, 32-bit Windows programs cannot run (install it with: scripts/install-deps all)"
}

# Waits up to $2 seconds until file $1 has a line matching the regular expression $3; fails
# early when process $4 (if given) is gone.
wait_for_line() {
  local file=$1 seconds=$2 pattern=$3 pid=${4:-} i
  for ((i = 0; i < seconds * 20; i++)); do
    grep -qE "$pattern" "$file" 2>/dev/null && return 0
    if [ -n "$pid" ] && ! alive "$pid"; then
      grep -qE "$pattern" "$file" 2>/dev/null
      return
    fi
    sleep 0.05
  done
  return 1
}

# Without an init to reap them, processes of an ended session linger as zombies: not alive.
alive() {
  local state
  state=$(sed -n 's/^State:[[:space:]]*\([A-Z]\).*/\1/p' "/proc/$1/status" 2>/dev/null) || return 1
  [ -n "$state" ] && [ "$state" != Z ]
}

# Stops the process whose pid is in file $1, if it still is the program named $2: a stale pid
# file from an aborted run must not kill an unrelated process that got the number since.
stop_pidfile() {
  local file=$1 name=$2 pid i
  [ -f "$file" ] || return 0
  pid=$(cat "$file")
  rm -f "$file"
  [ -n "$pid" ] && [ -r "/proc/$pid/cmdline" ] || return 0
  { tr '\0' ' ' <"/proc/$pid/cmdline"; } 2>/dev/null | grep -q -- "$name" || return 0
  kill -TERM "$pid" 2>/dev/null || return 0
  for ((i = 0; i < 100; i++)); do
    alive "$pid" || return 0
    sleep 0.05
  done
  kill -KILL "$pid" 2>/dev/null || true
}

# The wineserver of this prefix, found by its environment.
wineserver_pid() {
  local pid
  for pid in $(pgrep '^wineserver' || true); do
    alive "$pid" || continue
    if { tr '\0' '\n' <"/proc/$pid/environ"; } 2>/dev/null | grep -qxF "WINEPREFIX=$WINEPREFIX"; then
      echo "$pid"
      return 0
    fi
  done
  return 1
}

# Ends every Wine process of the prefix. Not "wineserver -w": it waits forever for a persistent
# server that another run started meanwhile.
stop_wineserver() {
  local i
  for ((i = 0; i < 100; i++)); do
    wineserver_pid >/dev/null || return 0
    "$WINESERVER" -k </dev/null >>"$WINE_RUN/wineserver.log" 2>&1 || true
    sleep 0.1
  done
  die "the wineserver of $WINEPREFIX does not end"
}

# Starts a persistent wineserver for the session and, before any test can open a port, opens
# the dummy port once: wineserver makes the first pty it opens its controlling terminal, and
# that one lives as long as the session. All output goes to the session log, never to the
# caller's pipes, so CTest does not wait for Wine's service processes.
start_wineserver() {
  local log=$WINE_RUN/wineserver.log pid tty
  stop_wineserver
  "$WINESERVER" -p </dev/null >>"$log" 2>&1
  timeout 60 "$WINE64_LOADER" cmd /c "echo warm-up>COM4" </dev/null >>"$log" 2>&1 ||
    die "the warm-up run of Wine failed, see $log"
  pid=$(wineserver_pid) || die "no wineserver running for $WINEPREFIX"
  tty=$(ps -o tty= -p "$pid" | tr -d ' ')
  [ "/dev/$tty" = "$(readlink "$WINE_PORTS/dummy")" ] ||
    die "wineserver took /dev/$tty, not the dummy port $(readlink "$WINE_PORTS/dummy"), as its terminal"
}
