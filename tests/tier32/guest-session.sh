#!/bin/bash
# The guest's second stage, run as its first process on the root guest-init.sh
# built: brings up loopback, the tree's Wine session (prefix from the kept
# archive, or made once and archived) and the loopback package host, then
# serves the host's test requests (guest_agent.py) until asked to stop, and
# powers the guest off. Progress lines on the console ("tier32: ...") are what
# the host waits on.
#
# usage: guest-session.sh PROJECT TREE
project=$1
tree=$2
share="$tree/guest/share"
export PATH=/usr/local/sbin:/usr/local/bin:/usr/sbin:/usr/bin
export HOME=/root USER=root LANG=C.UTF-8
# OpenGL for 32-bit programs is Mesa's softpipe. llvmpipe's first frame takes
# more than 20 minutes here: Debian's i386 LLVM computes with the x87 unit,
# which the emulator runs in software. Under softpipe, Direct2D cannot create
# its device, and the setup window draws through its GDI fallback.
export GALLIUM_DRIVER=softpipe
# The window driver's messages to a launcher under emulation.
export TAVO_DRIVER_MESSAGE_MS=60000
say() { echo "tier32: $*"; }
power_off() {
  sync
  echo o >/proc/sysrq-trigger
  sleep 60
}
fail() {
  say "guest failed: $*"
  power_off
}

# /tmp, /run and /var/tmp are folders of the root, which is in memory already:
# a file system mounted on /tmp would hide a project folder below it.
chmod 1777 /tmp /var/tmp
mkdir -p /dev/shm /dev/pts
mount -t tmpfs tmpfs /dev/shm
mount -t devpts devpts /dev/pts
ip link set lo up || fail "loopback"
ldconfig || fail "ldconfig"
cd "$project" || fail "no project folder $project"

# A prefix of the tree's Wine session, made once in the guest (the WoW64 part
# of a prefix takes minutes here) and kept on the host as an archive.
wine_version=$(/usr/lib/wine/wine64 --version)
archive="$share/prefix-${wine_version//[^A-Za-z0-9.+-]/_}.tar.zst"
if [ -f "$archive" ]; then
  mkdir -p "$tree/wineprefix"
  tar -I zstd -xf "$archive" -C "$tree/wineprefix" || fail "unpacking $archive"
  say "prefix unpacked"
else
  say "making the prefix (once per build tree)"
  bash scripts/wine-session.sh prefix "$tree" >"$share/run/prefix.log" 2>&1 || fail "making the prefix (see $share/run/prefix.log)"
  tar -I 'zstd -1 -T0' -cf "$archive.new" -C "$tree/wineprefix" . || fail "archiving the prefix"
  mv "$archive.new" "$archive"
  say "prefix made"
fi

bash scripts/wine-session.sh start "$tree" >"$share/run/session.log" 2>&1 ||
  fail "starting the Wine session (see $share/run/session.log and $tree/wine-session/session.log)"
. "$tree/test-programs.env"
/usr/bin/python3 -B tests/hosts/package_host.py start "$tree" --import-ca "$TAVO_IMPORT_CA" \
  >"$share/run/package-host.log" 2>&1 || fail "starting the package host (see $share/run/package-host.log)"
say "ready"

/usr/bin/python3 -B tests/tier32/guest_agent.py "$tree" "$share/run" || say "agent ended with status $?"
/usr/bin/python3 -B tests/hosts/package_host.py stop "$tree" >/dev/null 2>&1
bash scripts/wine-session.sh stop "$tree" >/dev/null 2>&1
say "powering off"
power_off
