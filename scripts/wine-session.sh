#!/bin/bash
# Starts or stops the Wine session of one build tree: an Xvfb display, a
# persistent wineserver for the tree's private prefix (<tree>/wineprefix, created
# once and reused) and the prefix state the tests start from.
#
# usage: wine-session.sh start|stop|prefix BUILD_TREE
#
# start: Xvfb first (Wine's windows need a display), then `wineserver -p`, the
# prefix if it is new (wineboot, Windows 10, build 19045), one warm-up run, and
# the baseline state: simulated platform registered, AppXSvc and DoSvc present
# (demand start), CurrentBuildNumber 19045. Programs to use come from
# <tree>/test-programs.env, written by CMake.
# stop: ends the wineserver (with this prefix only) and the Xvfb started here.
# prefix: makes the prefix only (if new) and leaves nothing running, for a copy
# to be kept.
#
# Daemons get their stdio from files: ctest, and any pipeline reading a wine
# command's output, would otherwise wait for them to end. They inherit no other
# descriptor either (see close_inherited).
set -euo pipefail

usage() { echo "usage: $0 start|stop|prefix BUILD_TREE" >&2; exit 2; }
[ $# -eq 2 ] || usage
action=$1
tree=$(cd "$2" && pwd)
state="$tree/wine-session"
log="$state/session.log"

export WINEPREFIX="$tree/wineprefix"
export WINELOADER=/usr/lib/wine/wine64
export WINEDEBUG=-all,err+module
unset http_proxy https_proxy HTTP_PROXY HTTPS_PROXY ftp_proxy FTP_PROXY all_proxy ALL_PROXY no_proxy NO_PROXY
wine=/usr/lib/wine/wine64
wineserver=/usr/lib/wine/wineserver64
[ -x "$wineserver" ] || wineserver=/usr/lib/wine/wineserver

# Kills a process we started, by its recorded pid, if it is still the program we expect.
stop_recorded() {
  local pidfile=$1 name=$2 pid
  [ -f "$pidfile" ] || return 0
  pid=$(cat "$pidfile")
  if [ -n "$pid" ] && [ "$(cat "/proc/$pid/comm" 2>/dev/null)" = "$name" ]; then
    kill "$pid" 2>/dev/null || true
    for _ in $(seq 50); do kill -0 "$pid" 2>/dev/null || break; sleep 0.1; done
  fi
  rm -f "$pidfile"
}

stop_session() {
  if [ -d "$WINEPREFIX" ]; then
    "$wineserver" -k >/dev/null 2>&1 || true  # fails when no server runs: nothing to stop
    "$wineserver" -w >/dev/null 2>&1 || true
  fi
  stop_recorded "$state/xvfb.pid" Xvfb
  rm -f "$state/display"
}

start_xvfb() {
  local displayfile="$state/xvfb.displayfd"
  rm -f "$displayfile"
  # -displayfd: Xvfb picks a free display number and writes it to fd 3.
  setsid Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp \
    3>"$displayfile" </dev/null >>"$log" 2>&1 &
  echo $! >"$state/xvfb.pid"
  for _ in $(seq 100); do
    if grep -q '^[0-9]' "$displayfile" 2>/dev/null; then
      tr -d '\n' <"$displayfile" >"$state/display"
      export DISPLAY=":$(cat "$state/display")"
      return 0
    fi
    sleep 0.1
  done
  echo "wine-session: Xvfb did not start (see $log)" >&2
  return 1
}

# Runs a Windows program with the session's environment, output to the log.
run_wine() { "$wine" "$@" </dev/null >>"$log" 2>&1; }

# For the idempotent baseline steps: under load, right after the server
# started, a Wine program has been seen to fail once without a word.
run_wine_patiently() {
  local attempt
  for attempt in 1 2; do
    run_wine "$@" && return 0
    echo "wine-session: $* failed (try $attempt)" >>"$log"
    sleep "$attempt"
  done
  run_wine "$@"
}

create_prefix() {
  rm -rf "$WINEPREFIX"
  mkdir -p "$WINEPREFIX"
  # No Mono or Gecko: their installers would ask on the display and wait.
  WINEDLLOVERRIDES="mscoree,mshtml=" run_wine wineboot --init
  # The 32-bit half of a WoW64 prefix is installed by programs that outlive
  # wineboot; ending the server below before they finish leaves syswow64
  # incomplete (under emulation, empty), and no 32-bit program can start.
  "$wineserver" -w
  run_wine winecfg -v win10
  # The session that created the prefix can be left with two services.exe, each
  # with its own service database, so service changes would come and go: end it,
  # and let the tests' server start the prefix the way it starts every later time.
  "$wineserver" -k >/dev/null 2>&1 || true
  "$wineserver" -w
  touch "$WINEPREFIX/.tavo-prefix-ready"
}

# `wineserver -p` detaches itself once it accepts clients, and stays until -k.
start_server() { "$wineserver" -p </dev/null >>"$log" 2>&1; }

# The desktop's shell window (Explorer's on Windows), whose owner setup
# installs for; it lives until the wineserver ends, and says when it is set.
start_desktop_shell() {
  local ready="$state/desktop-shell.ready" tries=0
  rm -f "$ready"
  "$wine" "$TAVO_FAKE_DESKTOP_SHELL" "Z:${ready//\//\\}" </dev/null >>"$log" 2>&1 &
  while [ ! -f "$ready" ]; do
    tries=$((tries + 1))
    if [ $tries -gt 600 ]; then
      echo "wine-session: the desktop shell did not start (see $log)" >&2
      exit 1
    fi
    sleep 0.1
  done
}

read_programs() {
  local env="$tree/test-programs.env"
  if [ ! -f "$env" ]; then
    echo "wine-session: $env is missing: configure and build the test tree first" >&2
    exit 1
  fi
  # shellcheck disable=SC1090
  . "$env"
}

set_baseline_state() {
  read_programs
  if [ -n "${TAVO_SIMPLATFORM:-}" ]; then
    if [ ! -f "$TAVO_SIMPLATFORM" ] || [ ! -f "$TAVO_SIM_WEVTAPI" ] || [ ! -f "$TAVO_SIMPLATFORM_INSTALLER" ]; then
      echo "wine-session: the simulated platform is not built ($TAVO_SIMPLATFORM, $TAVO_SIM_WEVTAPI)" >&2
      exit 1
    fi
    bash "$TAVO_SIMPLATFORM_INSTALLER" "$TAVO_SIMPLATFORM" "$TAVO_SIM_WEVTAPI" >>"$log" 2>&1
  fi
  if [ -n "${TAVO_FAKE_ACTIVATION_MANAGER:-}" ]; then
    bash "$TAVO_FAKE_ACTIVATION_INSTALLER" register "$TAVO_FAKE_ACTIVATION_MANAGER" >>"$log" 2>&1
  fi
  if [ -n "${TAVO_FAKE_DESKTOP_SHELL:-}" ]; then
    start_desktop_shell
  fi
  run_wine_patiently "$TAVO_SVC" create AppXSvc
  run_wine_patiently "$TAVO_SVC" create DoSvc
  # Both registry views: Wine answers a 32-bit process from its own.
  local view
  for view in /reg:64 /reg:32; do
    run_wine_patiently reg add 'HKLM\Software\Microsoft\Windows NT\CurrentVersion' /v CurrentBuildNumber /t REG_SZ \
      /d 19045 /f $view
  done
}

# The daemons started here outlive this script, and would keep every descriptor
# it inherited open until they end: a caller's `flock LOCKFILE COMMAND` would stay
# locked for as long as the wineserver runs. Bash keeps its own script
# descriptor (255) close-on-exec.
close_inherited() {
  local entry fd
  for entry in /proc/$$/fd/*; do
    fd=${entry##*/}
    case $fd in 0 | 1 | 2 | 255) continue ;; esac
    eval "exec $fd>&-" 2>/dev/null || true
  done
}

case $action in
  start)
    close_inherited
    mkdir -p "$state"
    : >"$log"
    stop_session
    started=no
    trap '[ $started = yes ] || { echo "wine-session: start failed, see $log" >&2; stop_session; }' EXIT
    start_xvfb
    if [ ! -f "$WINEPREFIX/.tavo-prefix-ready" ]; then
      echo "wine-session: creating the Wine prefix $WINEPREFIX" >&2
      create_prefix
    fi
    start_server
    # The first program starts Wine's background services, which inherit its stdio.
    "$wine" cmd.exe /c exit 0 </dev/null >/dev/null 2>&1
    set_baseline_state
    started=yes
    echo "wine-session: DISPLAY=$DISPLAY WINEPREFIX=$WINEPREFIX"
    ;;
  prefix)
    close_inherited
    mkdir -p "$state"
    : >"$log"
    trap 'stop_session' EXIT
    start_xvfb
    [ -f "$WINEPREFIX/.tavo-prefix-ready" ] || create_prefix
    ;;
  stop)
    [ -d "$state" ] || exit 0
    stop_session
    echo "wine-session: stopped"
    ;;
  *) usage ;;
esac
