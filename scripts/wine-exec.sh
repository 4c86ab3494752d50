#!/bin/sh
# Runs a Windows program of a build tree under that tree's Wine session: the
# ctest emulator of the test flavour, and the way the integration harness and
# the demo start programs.
#
# usage: wine-exec.sh BUILD_TREE PROGRAM [ARG...]
# The session (wine-session.sh start) must have created the prefix; its display
# is used when it is running.
tree=$(cd "$1" && pwd) || exit 125
shift
export WINEPREFIX="$tree/wineprefix"
export WINELOADER=/usr/lib/wine/wine64
export WINEDEBUG=-all,err+module
# Wine's default proxy honours these even for 127.0.0.1.
unset http_proxy https_proxy HTTP_PROXY HTTPS_PROXY ftp_proxy FTP_PROXY all_proxy ALL_PROXY no_proxy NO_PROXY
if [ ! -f "$WINEPREFIX/.tavo-prefix-ready" ]; then
  echo "wine-exec: no Wine prefix in $tree: start the session first (scripts/wine-session.sh start $tree)" >&2
  exit 125
fi
if [ -f "$tree/wine-session/display" ]; then
  DISPLAY=":$(cat "$tree/wine-session/display")"
  export DISPLAY
fi
exec /usr/lib/wine/wine64 "$@"
