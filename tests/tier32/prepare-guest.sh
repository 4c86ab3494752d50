#!/bin/bash
# Prepares what the 32-bit tier's guest boots from, once per machine and build
# tree: Debian's amd64 kernel (IA-32 emulation on, unlike this machine's), a
# tiny initramfs, and the i386 side of Wine as plain files. Everything comes
# from Debian packages unpacked with dpkg-deb; nothing on the host changes.
#
# usage: prepare-guest.sh BUILD_TREE
#   BUILD_TREE/guest/vmlinuz, initramfs.gz   the guest's kernel and first stage
#   BUILD_TREE/guest/i386                    link to the i386 layer laid over the guest's /usr
# Downloads go to a cache outside the source tree (TAVO_CACHE_DIR, default
# /var/cache/tavo-setup), reused while the Wine and kernel versions stay.
set -euo pipefail
[ $# -eq 1 ] || { echo "usage: $0 BUILD_TREE" >&2; exit 2; }
here=$(cd "$(dirname "$0")" && pwd)
tree=$(mkdir -p "$1" && cd "$1" && pwd)
wine_version=$(dpkg-query -W -f='${Version}' wine64)
kernel_package=$(apt-cache depends linux-image-amd64 2>/dev/null | sed -n 's/^ *Depends: \(linux-image-[0-9].*-amd64\)$/\1/p' | head -n 1)
[ -n "$kernel_package" ] || { echo "prepare-guest: no linux-image-amd64 in the package indexes" >&2; exit 1; }
layout=3  # raise when the cache's content changes
cache="${TAVO_CACHE_DIR:-/var/cache/tavo-setup}/guest32-v$layout-${wine_version//[^A-Za-z0-9.+-]/_}-$kernel_package"

# The modules the first stage loads, in dependency order.
modules=(drivers/virtio/virtio_ring drivers/virtio/virtio drivers/virtio/virtio_pci_legacy_dev
  drivers/virtio/virtio_pci_modern_dev drivers/virtio/virtio_pci fs/netfs/netfs fs/fscache/fscache
  net/9p/9pnet net/9p/9pnet_virtio fs/9p/9p fs/overlayfs/overlay)

# What 32-bit Wine needs beyond wine64's own files: its loader and unix side,
# the libraries its drivers open (X11, OpenGL with Mesa's software renderer,
# FreeType with fontconfig, GnuTLS), and what those depend on.
i386_roots=("wine32:i386=$wine_version" "libwine:i386=$wine_version" libfontconfig1:i386 libfreetype6:i386
  libx11-6:i386 libxext6:i386 libxrender1:i386 libxrandr2:i386 libxi6:i386 libxcursor1:i386 libxcomposite1:i386
  libxinerama1:i386 libxfixes3:i386 libxxf86vm1:i386 libgl1:i386 libglx-mesa0:i386 libgl1-mesa-dri:i386
  libgnutls30:i386)

download() {
  local folder=$1
  shift
  mkdir -p "$folder"
  chmod a+rwx "$folder"  # apt downloads as its own user when it can
  (cd "$folder" && apt-get download -qq "$@" 2>&1 | grep -v 'unsandboxed' >&2 || true)
}

prepare_cache() {
  local work
  work=$(mktemp -d)
  trap 'rm -rf "$work"' RETURN
  if ! dpkg --print-foreign-architectures | grep -qx i386; then dpkg --add-architecture i386; fi
  if ! apt-cache show "libwine:i386=$wine_version" >/dev/null 2>&1; then apt-get update -qq; fi
  echo "prepare-guest: fetching $kernel_package and the i386 side of Wine $wine_version" >&2
  download "$work/kernel" "$kernel_package"
  dpkg-deb -x "$work"/kernel/*.deb "$work/kernel/root"
  # Every i386 package the roots depend on, alternatives included (a few more
  # than needed; only i386 libraries are taken from them below).
  apt-cache depends --recurse --no-recommends --no-suggests --no-conflicts --no-breaks --no-replaces \
    --no-enhances "${i386_roots[@]}" 2>/dev/null | grep -E '^[a-z0-9][a-z0-9.+-]*:i386$' | sort -u >"$work/i386.list"
  download "$work/i386" $(cat "$work/i386.list")
  mkdir -p "$work/i386/root"
  for deb in "$work"/i386/*.deb; do dpkg-deb -x "$deb" "$work/i386/root"; done

  rm -rf "$cache.new" && mkdir -p "$cache.new/modules" "$cache.new/i386/usr/lib/wine" "$cache.new/i386/etc"
  cp "$work"/kernel/root/boot/vmlinuz-* "$cache.new/vmlinuz"
  local module
  for module in "${modules[@]}"; do
    cp "$work"/kernel/root/lib/modules/*/kernel/"$module.ko" "$cache.new/modules/"
  done
  # The layer holds only what is i386: laid over the guest's /usr, it must not
  # shadow the host's amd64 programs of the same names.
  local root="$work/i386/root" layer="$cache.new/i386"
  cp -a "$root/usr/lib/i386-linux-gnu" "$layer/usr/lib/"
  cp -a "$root/lib/i386-linux-gnu/." "$layer/usr/lib/i386-linux-gnu/"
  ln -s i386-linux-gnu/ld-linux.so.2 "$layer/usr/lib/ld-linux.so.2"
  cp -a "$root/usr/lib/wine/wine" "$layer/usr/lib/wine/"
  # Debian's libwine:i386 lacks the i386 zlib1.dll that user32 imports; it
  # ships with libwine:amd64, in the folder named below.
  local zlib=/usr/lib/x86_64-linux-gnu/wine/i386-windows/zlib1.dll
  [ -f "$layer/usr/lib/i386-linux-gnu/wine/i386-windows/zlib1.dll" ] ||
    cp "$zlib" "$layer/usr/lib/i386-linux-gnu/wine/i386-windows/"
  # wine64 looks for the i386 PE DLLs beside its own (x86_64-linux-gnu/wine),
  # where Debian ships only one of them: without them a prefix has no syswow64.
  mkdir -p "$layer/usr/lib/x86_64-linux-gnu/wine"
  cp -al "$layer/usr/lib/i386-linux-gnu/wine/i386-windows" "$layer/usr/lib/x86_64-linux-gnu/wine/"
  cp -a "$root/etc/ld.so.conf.d" "$layer/etc/"
  rm -rf "$cache" && mv "$cache.new" "$cache"
  touch "$cache/.complete"
}

[ -f "$cache/.complete" ] || prepare_cache

# The first stage: busybox, the modules and the init script.
guest="$tree/guest"
mkdir -p "$guest"
initramfs=$(mktemp -d)
trap 'rm -rf "$initramfs"' EXIT
mkdir -p "$initramfs/bin" "$initramfs/modules" "$initramfs/proc" "$initramfs/sys" "$initramfs/dev"
cp /usr/bin/busybox "$initramfs/bin/"
for module in "${modules[@]}"; do cp "$cache/modules/${module##*/}.ko" "$initramfs/modules/"; done
printf '%s\n' "${modules[@]##*/}" >"$initramfs/modules/order"
install -m 0755 "$here/guest-init.sh" "$initramfs/init"
(cd "$initramfs" && find . | busybox cpio -o -H newc 2>/dev/null | gzip -1) >"$guest/initramfs.gz.new"
mv "$guest/initramfs.gz.new" "$guest/initramfs.gz"
ln -sfn "$cache/vmlinuz" "$guest/vmlinuz"
ln -sfn "$cache/i386" "$guest/i386"
