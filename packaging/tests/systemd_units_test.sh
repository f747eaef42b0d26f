#!/usr/bin/env bash
# The systemd units pass `systemd-analyze verify`, with the programs they name replaced by stubs
# in a scratch directory (verify insists that ExecStart's program exists), and keep what the
# station needs: notification, the serial ports, a writable web directory and nothing more.
# usage: systemd_units_test.sh UNIT_DIR BINDIR_IN_UNITS
set -euo pipefail
units=$1
bindir=$2
if ! command -v systemd-analyze >/dev/null; then
  echo "systemd-analyze is not installed: the units cannot be verified"
  exit 77
fi
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
fail() { echo "FAIL: $*"; exit 1; }

mkdir "$scratch/bin" "$scratch/units"
for program in tesseld tessel-webdir; do
  printf '#!/bin/sh\nexit 0\n' >"$scratch/bin/$program"
  chmod +x "$scratch/bin/$program"
done
sed "s|$bindir/|$scratch/bin/|g" "$units/tessel.service" >"$scratch/units/tessel.service"
# A template is verified through an instance of it.
sed "s|$bindir/|$scratch/bin/|g" "$units/tessel@.service" >"$scratch/units/tessel@.service"
ln -s tessel@.service "$scratch/units/tessel@garden.service"

for unit in tessel.service tessel@garden.service; do
  if ! (cd "$scratch/units" && SYSTEMD_LOG_LEVEL=notice systemd-analyze verify --man=no "./$unit") \
      >"$scratch/verify.log" 2>&1; then
    cat "$scratch/verify.log"
    fail "$unit does not verify"
  fi
  # Verify passes some mistakes with a warning only; any complaint about our own units counts.
  if grep -F "$unit" "$scratch/verify.log"; then fail "$unit: systemd-analyze complains"; fi
done

expect() {  # unit, line that must be present
  grep -qxF -- "$2" "$scratch/units/$1" || fail "$1 lacks '$2'"
}
for unit in tessel.service tessel@.service; do
  for line in Type=notify User=tessel SupplementaryGroups=dialout Restart=on-failure WatchdogSec=5min \
              RestartPreventExitStatus=2\ 3\ 4 \
              ProtectSystem=strict PrivateTmp=yes NoNewPrivileges=yes ProtectHome=yes \
              RestrictAddressFamilies=AF_UNIX\ AF_INET\ AF_INET6 DeviceAllow=char-ttyUSB\ rw; do
    expect "$unit" "$line"
  done
  grep -q '^PrivateDevices=yes' "$scratch/units/$unit" && fail "$unit hides the serial ports"
done
expect tessel.service "ExecStart=$scratch/bin/tesseld --config /etc/tessel/tessel.conf"
expect tessel.service "ReadWritePaths=/var/lib/tessel/www"
expect tessel@.service "ExecStart=$scratch/bin/tesseld --config /etc/tessel/%i.conf"
expect tessel@.service "ReadWritePaths=/var/lib/tessel/%i"
echo "ok"
