#!/bin/busybox sh
# The first process of a test guest, run from the initramfs that run_guest.py builds. It loads the
# modules that reach the host's files, makes the host's root (shared read-only over 9p) writable
# for the guest with a tmpfs overlay, mounts the test's writable share at the host's own path, and
# then either runs the test's job in a chroot and powers off (quick mode) or starts the host's
# systemd as PID 1 on a target of the basic system plus the job (full mode).
/bin/busybox --install -s /bin
export PATH=/bin

# A line on the console with the guest's uptime, for the record of a slow or failed boot.
say() {
    read -r uptime _ </proc/uptime
    echo "vmtest init [$uptime]: $*"
}
halt_guest() {
    sync
    poweroff -f
}
fail() {
    say "$*" >&2
    halt_guest
}

mount -t proc proc /proc
mount -t sysfs sysfs /sys
mount -t devtmpfs devtmpfs /dev

while read -r module; do
    insmod "/lib/modules/$module" || fail "cannot load $module"
done </lib/modules/load-order

say "modules loaded"
mkdir -p /lower /upper/data /upper/work /newroot /share
# The host's root does not change under a test: the guest may cache it.
mount -t 9p -o "$nine_p,ro,cache=loose" hostroot /lower || fail "cannot mount the host's root"
mount -t 9p -o "$nine_p" vmtest /share || fail "cannot mount the test's share"
# VMTEST_MODE, VMTEST_SHARE and VMTEST_PRELOADED, written by the runner.
. /share/guest.env
# The overlay's writable layer is this initramfs's own memory, where the kernel has unpacked the
# trees the test preloaded: moved into the layer, the overlay finds them without the host.
for tree in $VMTEST_PRELOADED; do
    mkdir -p "/upper/data${tree%/*}"
    mv "$tree" "/upper/data$tree" || fail "cannot take over the preloaded $tree"
done
mount -t overlay -o lowerdir=/lower,upperdir=/upper/data,workdir=/upper/work overlay /newroot ||
    fail "cannot mount the overlay"
say "the host's root is mounted"

# What would make the guest act as the host's container or crawl over the host's files:
# systemd takes /.dockerenv for a container, and walks /tmp at boot (slow over 9p).
rm -f /newroot/.dockerenv
mount -t tmpfs -o mode=1777 tmpfs /newroot/tmp
# After /tmp, which may hold the share.
mkdir -p "/newroot$VMTEST_SHARE"
mount --move /share "/newroot$VMTEST_SHARE" || fail "cannot mount the share at $VMTEST_SHARE"
# Debian's man-db trigger would rebuild the manual index at every package installation.
rm -f /newroot/var/lib/man-db/auto-update

if [ "$VMTEST_MODE" = quick ]; then
    mount --move /proc /newroot/proc
    mount --move /sys /newroot/sys
    mount --move /dev /newroot/dev
    mkdir -p /newroot/dev/pts /newroot/dev/shm
    mount -t devpts devpts /newroot/dev/pts
    mount -t tmpfs -o mode=1777 tmpfs /newroot/dev/shm
    mount -t tmpfs -o mode=0755 tmpfs /newroot/run
    say "running the job"
    chroot /newroot /bin/sh "$VMTEST_SHARE/job"
    halt_guest
fi

# Full mode: the basic system and the job, nothing the host enables (its servers, its timers),
# and none of the basic system's services that a throw-away guest without disks, network or
# persistent state has no use for (each costs seconds under emulation).
units=/newroot/etc/systemd/system
rm -rf "$units/timers.target.wants"
for unit in systemd-timesyncd.service systemd-update-utmp.service systemd-random-seed.service \
            systemd-sysusers.service systemd-journal-flush.service systemd-binfmt.service \
            proc-sys-fs-binfmt_misc.automount dev-hugepages.mount sys-kernel-debug.mount \
            sys-kernel-tracing.mount sys-kernel-config.mount sys-fs-fuse-connections.mount \
            modprobe@dm_mod.service modprobe@loop.service modprobe@fuse.service \
            modprobe@efi_pstore.service modprobe@configfs.service; do
    ln -sf /dev/null "$units/$unit"
done
# The host's generators make units for its disks, consoles and init scripts: none of them here.
mkdir -p /newroot/etc/systemd/system-generators
for generator in /newroot/lib/systemd/system-generators/* /newroot/usr/lib/systemd/system-generators/*; do
    [ -e "$generator" ] && ln -sf /dev/null "/newroot/etc/systemd/system-generators/${generator##*/}"
done
cat >"$units/vmtest.target" <<UNIT
[Unit]
Description=Test guest: the basic system and the test's job
Requires=basic.target vmtest.service
After=basic.target
AllowIsolate=yes
UNIT
cat >"$units/vmtest.service" <<UNIT
[Unit]
Description=Test guest: the test's job
After=basic.target
SuccessAction=poweroff-immediate
FailureAction=poweroff-immediate

[Service]
Type=oneshot
TimeoutStartSec=infinity
ExecStart=/bin/sh $VMTEST_SHARE/job
UNIT
ln -sf vmtest.target "$units/default.target"
say "starting systemd"
umount /proc /sys
mount --move /dev /newroot/dev
# Not switch_root, which would empty this initramfs and with it the overlay's writable layer.
cd /newroot
mount --move . /
exec chroot . /lib/systemd/systemd
