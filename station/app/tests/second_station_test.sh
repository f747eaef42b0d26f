#!/usr/bin/env bash
# One station per web directory: while the window runs in a directory, a second window there
# says so and ends, and tesseld on the same directory exits with status 3. Once the window has
# ended, the directory is free again.
# Usage: second_station_test.sh TESSEL TESSELD
set -euo pipefail
source "$(dirname "$0")/script_helpers.sh"
tessel=$1 tesseld=$2

work=$(mktemp -d)
first_pid= second_pid=
cleanup() {
  local status=$?
  stop "$second_pid"
  stop "$first_pid"
  rm -rf "$work"
  exit "$status"
}
trap cleanup EXIT

fail() {
  echo "second-station: $*" >&2
  for log in "$work"/*.log; do echo "--- $log" >&2; cat "$log" >&2; done
  exit 1
}

mkdir -p "$work/webcam/archive"
printf 'webdir = %s\ndevice = /nonexistent/tty\n' "$work/webcam" >"$work/tessel.conf"
export QT_QPA_PLATFORM=offscreen

(cd "$work/webcam" && exec "$tessel") >"$work/first.log" 2>&1 &
first_pid=$!
wait_until 20 test -e "$work/webcam/station.lock" || fail "the first window made no station.lock"
sleep 1
kill -0 "$first_pid" 2>/dev/null || fail "the first window ended early"

# The second window shows a message box (which stays open offscreen) and says the same on stderr.
(cd "$work/webcam" && exec "$tessel") >"$work/second.log" 2>&1 &
second_pid=$!
wait_until 20 grep -q "another station is already running on the web directory" "$work/second.log" ||
  fail "the second window did not refuse the web directory"
stop "$second_pid"; second_pid=

status=0
"$tesseld" --config "$work/tessel.conf" --once >"$work/tesseld.log" 2>&1 || status=$?
[ "$status" -eq 3 ] || fail "tesseld beside the window exited with $status, not 3"
grep -q "another station is already running" "$work/tesseld.log" || fail "tesseld did not say why it refused"
grep -q "Finished Processing" "$work/tesseld.log" && fail "tesseld ran a cycle beside the window"

# Closing the window frees the directory.
stop "$first_pid"; first_pid=
status=0
"$tesseld" --config "$work/tessel.conf" --once >"$work/tesseld.log" 2>&1 || status=$?
grep -q "Finished Processing" "$work/tesseld.log" || fail "tesseld could not take the freed web directory"
echo "second-station: refused while the window ran, free after it ended"
