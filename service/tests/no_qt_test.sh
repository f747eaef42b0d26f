#!/usr/bin/env bash
# tesseld must run on a machine without Qt: neither the program nor any library it loads may
# need a Qt library. Usage: no_qt_test.sh TESSELD
set -euo pipefail
program=$1

needed=$(readelf -d "$program" | grep NEEDED) || { echo "readelf found no NEEDED entries in $program" >&2; exit 1; }
loaded=$(ldd "$program")
# The listing must be a real one: the driver library and libsystemd are among the libraries.
grep -q 'libdc25v20' <<<"$loaded" || { echo "ldd does not list libdc25v20:" >&2; echo "$loaded" >&2; exit 1; }
grep -q 'libsystemd' <<<"$loaded" || { echo "ldd does not list libsystemd:" >&2; echo "$loaded" >&2; exit 1; }
if grep -qi 'libQt' <<<"$needed$loaded"; then
  echo "tesseld needs Qt:" >&2
  grep -i 'libQt' <<<"$needed$loaded" >&2
  exit 1
fi
echo "tesseld needs no Qt library ($(wc -l <<<"$loaded") libraries loaded)"
