#!/bin/busybox sh
# The guest's first stage (the initramfs's /init): loads the modules for the
# host's shares, builds a root from them and hands over to guest-session.sh.
#   /usr   the host's /usr, with the i386 layer over it, writable in memory
#   /etc   the host's /etc, writable in memory
#   the project folder at its host path, writable in memory, with the tree's
#   guest/share folder written through to the host
# Kernel parameters: tavo.project=PATH tavo.tree=PATH (absolute host paths).
/bin/busybox --install -s /bin
mount -t proc proc /proc
mount -t sysfs sys /sys
mount -t devtmpfs dev /dev

say() { echo "tier32: $*"; }
fail() {
  say "first stage failed: $*"
  echo o >/proc/sysrq-trigger
  sleep 60
}

project=
tree=
for word in $(cat /proc/cmdline); do
  case $word in
    tavo.project=*) project=${word#tavo.project=} ;;
    tavo.tree=*) tree=${word#tavo.tree=} ;;
  esac
done
[ -n "$project" ] && [ -n "$tree" ] || fail "no tavo.project or tavo.tree on the kernel command line"
echo 1 >/proc/sys/kernel/sysrq
say "kernel up"

for module in $(cat /modules/order); do
  insmod "/modules/$module.ko" || fail "insmod $module"
done
options=trans=virtio,version=9p2000.L,msize=262144
share() {  # share TAG FOLDER OPTIONS
  mkdir -p "$2"
  mount -t 9p -o "$3,$options" "$1" "$2" || fail "mount of the share $1"
}
# The host changes none of these while the guest runs: the guest may cache them.
share usr /lower/usr ro,cache=loose
share etc /lower/etc ro,cache=loose
share layer /lower/layer ro,cache=loose
share project /lower/project ro,cache=loose

new=/new
mkdir -p $new
mount -t tmpfs -o mode=0755 tmpfs $new || fail "tmpfs root"
overlay() {  # overlay TARGET LOWER...: LOWER is a colon-separated list, first on top
  name=$(echo "$1" | tr / _)
  mkdir -p "$new$1" "$new/.up/$name" "$new/.work/$name"
  mount -t overlay overlay -o "lowerdir=$2,upperdir=$new/.up/$name,workdir=$new/.work/$name" "$new$1" ||
    fail "overlay on $1"
}
overlay /usr /lower/layer/usr:/lower/usr
overlay /etc /lower/layer/etc:/lower/etc
overlay "$project" /lower/project
# Both sides write here (requests, results): no caching.
share guest "$new$tree/guest/share" rw,cache=none
for link in bin lib lib64 sbin; do ln -s "usr/$link" "$new/$link"; done
mkdir -p $new/proc $new/sys $new/dev $new/tmp $new/run $new/root $new/var/tmp
for fs in /proc /sys /dev; do mount --move $fs $new$fs; done
say "root ready"
exec switch_root $new /usr/bin/bash "$project/tests/tier32/guest-session.sh" "$project" "$tree"
