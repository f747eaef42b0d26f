#!/bin/sh
# The harness's own check, run in a quick guest: the kernel's drivers load from the host's
# modules (vivid, the virtual video device), and a station on the guest's first serial port
# takes a picture from the camera emulator running on the host.
# usage: quick_guest_check.sh TESSELD
set -eu
modprobe vivid
test -c /dev/video0
mkdir -p web
printf 'device = %s\ncamera = DC20\nwebdir = %s\n' "${VMTEST_UARTS%% *}" "$PWD/web" >station.conf
"$1" --config station.conf --once
