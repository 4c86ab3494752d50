#!/bin/sh
# Registers (or removes) the fake application activation manager in a Wine
# prefix: CLSID_ApplicationActivationManager as a local server started from the
# given program. Idempotent. Without it, creating the class fails with
# REGDB_E_CLASSNOTREG, as on a Windows without the shell's activation manager.
#
#   WINEPREFIX=... WINELOADER=/usr/lib/wine/wine64 register-in-prefix.sh register <unix path of tavo_fake_activation_manager.exe>
#   WINEPREFIX=... WINELOADER=/usr/lib/wine/wine64 register-in-prefix.sh unregister
set -eu

usage() {
  echo "usage: $0 register EXE | unregister" >&2
  exit 2
}
[ $# -ge 1 ] || usage
: "${WINEPREFIX:?WINEPREFIX must name the Wine prefix}"
: "${WINELOADER:?WINELOADER must name the wine64 loader}"
key='HKLM\Software\Classes\CLSID\{45BA127D-10A8-46EA-8AB7-56EA9078943C}'

# Wine's output goes to a file: a wineserver started here inherits it, and a
# pipe would keep the caller waiting until the server exits.
log=$(mktemp)
trap 'rm -f "$log"' EXIT
# Under load, right after the server started, Wine's reg.exe has been seen to
# fail once without a word: a second try is cheap, a red test session is not.
run_reg() {
  for attempt in 1 2 3; do
    status=0
    "$WINELOADER" reg "$@" >"$log" 2>&1 </dev/null || status=$?
    [ "$status" -eq 0 ] && return 0
    sleep "$attempt"
  done
  if [ "$status" -ne 0 ]; then
    echo "$0: reg $1 failed with exit status $status:" >&2
    cat "$log" >&2
    exit 1
  fi
}

case $1 in
  register)
    [ $# -eq 2 ] || usage
    if [ ! -f "$2" ]; then
      echo "$0: no such file: $2" >&2
      exit 1
    fi
    # Wine maps drive Z: to the Unix root.
    exe="Z:$(realpath "$2" | sed 's|/|\\|g')"
    run_reg add "$key" /ve /t REG_SZ /d "Tavo test activation manager" /f
    run_reg add "$key\\LocalServer32" /ve /t REG_SZ /d "\"$exe\"" /f
    printf 'fake activation manager registered in %s: %s\n' "$WINEPREFIX" "$exe"
    ;;
  unregister)
    [ $# -eq 1 ] || usage
    # Deleting a key that is not there is the state we want.
    "$WINELOADER" reg delete "$key" /f >"$log" 2>&1 </dev/null || true
    printf 'fake activation manager removed from %s\n' "$WINEPREFIX"
    ;;
  *) usage ;;
esac
