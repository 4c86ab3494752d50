#!/bin/sh
# Registers the simulated platform in a Wine prefix: every runtime class that
# tavo_simplatform.dll provides gets its DllPath, from which Wine activates it
# (this also takes over the classes that Wine itself provides). Idempotent; run
# it again after `wineboot --update`, which restores Wine's own registrations.
#
#   WINEPREFIX=... WINELOADER=/usr/lib/wine/wine64 install-into-prefix.sh <unix path of tavo_simplatform.dll>
set -eu

if [ $# -ne 1 ]; then
  echo "usage: $0 <unix path of tavo_simplatform.dll>" >&2
  exit 2
fi
: "${WINEPREFIX:?WINEPREFIX must name the Wine prefix}"
: "${WINELOADER:?WINELOADER must name the wine64 loader}"
if [ ! -f "$1" ]; then
  echo "$0: no such file: $1" >&2
  exit 1
fi

# Wine maps drive Z: to the Unix root.
dll_path="Z:$(realpath "$1" | sed 's|/|\\|g')"

# Must match the classes that module.cpp answers in DllGetActivationFactory.
classes="Windows.Foundation.Metadata.ApiInformation Windows.Foundation.Uri Windows.Management.Deployment.PackageManager"

# Wine's output goes to a file: a wineserver started here inherits it, and a
# pipe would keep the caller waiting until the server exits.
log=$(mktemp)
trap 'rm -f "$log"' EXIT
# Under load, right after the server started, Wine's reg.exe has been seen to
# fail once without a word: each class gets three tries.
for class in $classes; do
  for attempt in 1 2 3; do
    status=0
    "$WINELOADER" reg add "HKLM\\Software\\Microsoft\\WindowsRuntime\\ActivatableClassId\\$class" \
      /v DllPath /t REG_SZ /d "$dll_path" /f >"$log" 2>&1 </dev/null || status=$?
    [ "$status" -eq 0 ] && break
    sleep "$attempt"
  done
  if [ "$status" -ne 0 ]; then
    echo "$0: registering $class failed with exit status $status:" >&2
    cat "$log" >&2
    exit 1
  fi
done
printf 'tavo_simplatform registered in %s: %s\n' "$WINEPREFIX" "$dll_path"
