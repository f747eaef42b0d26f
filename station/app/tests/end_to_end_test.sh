#!/usr/bin/env bash
# End to end: the tessel program with the real camera driver library, the emulated DC20 camera
# on a pseudo-terminal as COM1, and the real converter. Start is pressed through the window
# (test hook), and a web image and an archived picture must appear in the web directory.
# Usage: end_to_end_test.sh TESSEL EMULATOR PICTREX ARCHINDEX WEBDIR_SCRIPT
set -euo pipefail
source "$(dirname "$0")/script_helpers.sh"
tessel=$1 emulator=$2 pictrex=$3 archindex=$4 webdir_script=$5

work=$(mktemp -d)
emulator_pid= tessel_pid=
cleanup() {
  local status=$?
  stop "$tessel_pid"
  stop "$emulator_pid"
  rm -rf "$work"
  exit "$status"
}
trap cleanup EXIT

fail() {
  echo "end-to-end: $*" >&2
  for log in "$work"/*.log; do echo "--- $log" >&2; cat "$log" >&2; done
  exit 1
}

"$webdir_script" "$work/webcam" >"$work/webdir.log" 2>&1 || fail "preparing the web directory failed"

"$emulator" --model dc20 >"$work/emulator.out" 2>"$work/emulator.log" &
emulator_pid=$!
wait_until 20 test -s "$work/emulator.out" || fail "the emulator printed no terminal path"
terminal=$(head -n 1 "$work/emulator.out")

(
  cd "$work/webcam"
  export DC25_COM1="$terminal" QT_QPA_PLATFORM=offscreen TESSEL_TEST_HOOK=press-start
  export PATH="$(dirname "$pictrex"):$(dirname "$archindex"):$PATH"
  exec "$tessel"
) >"$work/tessel.log" 2>&1 &
tessel_pid=$!

have_pictures() {
  kill -0 "$tessel_pid" 2>/dev/null || fail "tessel ended early"
  [ -s "$work/webcam/webcam.jpg" ] && compgen -G "$work/webcam/archive/*.jpg" >/dev/null
}
wait_until 90 have_pictures || fail "no webcam.jpg and archived picture within 90 s"
# The window keeps the health file of the series it runs.
wait_until 20 grep -q '"state":"running"' "$work/webcam/station.json" || fail "no running station in station.json"

echo "end-to-end: webcam.jpg and $(ls "$work/webcam/archive"/*.jpg | wc -l) archived picture(s)"
