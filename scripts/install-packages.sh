#!/bin/bash
# Installs what building and testing need on Debian 12 (run as root), and
# provides Wine's i386 DLLs as plain files for the launcher's import check.
# Quick when everything is there: dpkg is asked first, apt-get only for what is
# missing.
#
# usage: install-packages.sh        prints the folder holding Wine's i386 DLLs
set -euo pipefail

packages=(
  g++-mingw-w64-x86-64-posix g++-mingw-w64-i686-posix binutils-mingw-w64
  cmake make googletest nlohmann-json3-dev python3 python3-pil
  wine wine64 libgnutls30 ca-certificates openssl xvfb xauth
  x11-apps  # xwd: the window tests read the live window from the X display
  osslsigncode python3-asn1crypto  # signatures of the release programs, and the stamping tool
  qemu-system-x86 busybox-static zstd  # the 32-bit tier's emulated PC (tests/tier32)
  zopfli  # the tightest deflate: the carried worker and fonts, and the pictures' PNG streams
  libz-mingw-w64-dev  # zlib for MinGW, linked statically: the launcher expands the worker and the fonts
  fonts-noto-cjk  # stand-ins for the Japanese, Korean and Chinese fonts of Windows, for DirectWrite's fallback under Wine
)

as_root() {
  if [ "$(id -u)" -eq 0 ]; then
    "$@"
  elif command -v sudo >/dev/null; then
    sudo "$@"
  else
    echo "install-packages: '$*' needs root" >&2
    return 1
  fi
}

updated=no
apt_update() {
  if [ $updated = no ]; then
    # A mirror in the middle of a sync fails one index or another; what is
    # needed may still be there, and the install or download below says so if not.
    as_root apt-get update -qq || echo "install-packages: apt-get update failed; going on with the indexes it got" >&2
    updated=yes
  fi
}

installed() { [ "$(dpkg-query -W -f='${db:Status-Status}' "$1" 2>/dev/null)" = installed ]; }

missing=()
for p in "${packages[@]}"; do
  installed "$p" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  echo "install-packages: installing ${missing[*]}" >&2
  apt_update
  as_root env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${missing[@]}" >&2
fi

# Wine's i386 PE DLLs, for checking the 32-bit launcher's imports. This machine
# cannot run 32-bit code, so installing wine32:i386 (which would pull in a whole
# i386 userland and upgrade host libraries) buys nothing: the DLLs come as files
# from the libwine:i386 package of the same version as wine64, extracted into a
# cache outside the source tree. An installed libwine:i386 is used as it is.
system_dlls=/usr/lib/i386-linux-gnu/wine/i386-windows
if installed libwine:i386 && [ -f "$system_dlls/kernel32.dll" ]; then
  echo "$system_dlls"
  exit 0
fi
version=$(dpkg-query -W -f='${Version}' wine64)
cache="${TAVO_CACHE_DIR:-/var/cache/tavo-setup}/wine-i386-${version//[^A-Za-z0-9.+-]/_}"
dlls="$cache/usr/lib/i386-linux-gnu/wine/i386-windows"
if [ ! -f "$cache/.complete" ]; then
  if ! dpkg --print-foreign-architectures | grep -qx i386; then
    as_root dpkg --add-architecture i386
    updated=no
  fi
  if ! apt-cache show "libwine:i386=$version" >/dev/null 2>&1; then updated=no; fi
  apt_update
  as_root mkdir -p "$cache"
  work=$(mktemp -d)
  chmod a+rwx "$work"  # apt downloads as its own user when it can
  trap 'rm -rf "$work"' EXIT
  echo "install-packages: fetching libwine:i386 $version for its DLL files" >&2
  (cd "$work" && apt-get download -qq "libwine:i386=$version" >&2)
  deb=$(ls "$work"/libwine_*_i386.deb)
  dpkg-deb --fsys-tarfile "$deb" | as_root tar -x -C "$cache" --wildcards './usr/lib/i386-linux-gnu/wine/i386-windows/*'
  as_root touch "$cache/.complete"
fi
echo "$dlls"
