#!/bin/sh
# Registers the simulated platform in a Wine prefix: every runtime class that
# tavo_simplatform.dll provides gets its DllPath, from which Wine activates it
# (this also takes over the classes that Wine itself provides), and the wevtapi
# stand-in replaces the prefix's wevtapi.dll for Tavo.Deploy.exe (a copy in the
# 64-bit system folder and a native-first DLL override for that program only).
# Idempotent; run it again after `wineboot --update`, which restores Wine's own
# registrations and DLLs.
#
#   WINEPREFIX=... WINELOADER=/usr/lib/wine/wine64 install-into-prefix.sh <tavo_simplatform.dll> <wevtapi.dll>
set -eu

if [ $# -ne 2 ]; then
  echo "usage: $0 <unix path of tavo_simplatform.dll> <unix path of the wevtapi stand-in>" >&2
  exit 2
fi
: "${WINEPREFIX:?WINEPREFIX must name the Wine prefix}"
: "${WINELOADER:?WINELOADER must name the wine64 loader}"
for file in "$1" "$2"; do
  if [ ! -f "$file" ]; then
    echo "$0: no such file: $file" >&2
    exit 1
  fi
done

# Wine maps drive Z: to the Unix root.
dll_path="Z:$(realpath "$1" | sed 's|/|\\|g')"

# Must match the classes that module.cpp answers in DllGetActivationFactory.
classes="Windows.Foundation.Metadata.ApiInformation Windows.Foundation.Uri Windows.Management.Deployment.PackageManager"

# Wine's output goes to a file: a wineserver started here inherits it, and a
# pipe would keep the caller waiting until the server exits.
log=$(mktemp)
trap 'rm -f "$log"' EXIT
# Under load, right after the server started, Wine's reg.exe has been seen to
# fail once without a word: each value gets three tries.
reg_add() {
  local what=$1 status=0 attempt
  shift
  for attempt in 1 2 3; do
    status=0
    "$WINELOADER" reg add "$@" /f >"$log" 2>&1 </dev/null || status=$?
    [ "$status" -eq 0 ] && return 0
    sleep "$attempt"
  done
  echo "$0: registering $what failed with exit status $status:" >&2
  cat "$log" >&2
  exit 1
}
for class in $classes; do
  reg_add "$class" "HKLM\\Software\\Microsoft\\WindowsRuntime\\ActivatableClassId\\$class" \
    /v DllPath /t REG_SZ /d "$dll_path"
done

# The worker imports wevtapi.dll from the system folder; "native,builtin" makes
# Wine load the file there instead of its own stub, for the worker alone.
cp "$2" "$WINEPREFIX/drive_c/windows/system32/wevtapi.dll"
reg_add "the wevtapi override" 'HKCU\Software\Wine\AppDefaults\Tavo.Deploy.exe\DllOverrides' \
  /v wevtapi /t REG_SZ /d native,builtin
printf 'tavo_simplatform registered in %s: %s, wevtapi stand-in\n' "$WINEPREFIX" "$dll_path"
