#!/usr/bin/env bash
# The Debian package under a real systemd: builds the package from a complete build tree with
# cpack (as the package test does) into the guest's share while the guest boots, and runs the
# guest command given after the share, which waits for it.
# usage: package_in_guest_test.sh BUILD_DIR SHARE_DIR GUEST_COMMAND...
set -uo pipefail
build=$1
share=$2
shift 2

mkdir -p "$share"
rm -rf "$share/cpack" "$share/cpack.status" "$share/cpack.log" "$share/tessel.deb"
# Its own process group (job control), so that it ends with this script whatever happens.
set -m
(
  cd "$build" && cpack -G DEB -B "$share/cpack" >"$share/cpack.log" 2>&1 &&
    mv "$share"/cpack/tessel_*.deb "$share/tessel.deb"
  echo $? >"$share/cpack.status"
) &
packager=$!
set +m
trap 'kill -- "-$packager" 2>/dev/null; wait' EXIT

"$@"
status=$?
exit "$status"
