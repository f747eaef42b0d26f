#!/usr/bin/env bash
# Runs inside the test guest, with systemd as PID 1, and checks the Debian package as a user meets
# it: install, the stations under systemd, remove, purge and reinstall. The camera emulator runs on
# the host behind the guest's first serial ports: the first answers quickly (115200 baud), the
# second sends at the real rate of 9600 baud, so a capture there takes over a minute.
# The package comes from the host, which builds it while the guest boots: the guest waits for
# cpack.status in the share (0 when SHARE/tessel.deb is ready).
# usage: service_checks.sh   (in the guest, with VMTEST_SHARE and VMTEST_UARTS set)
set -uo pipefail
share=$VMTEST_SHARE
read -r fast_port slow_port _ <<<"$VMTEST_UARTS"
failures=0

note() { echo "== $* ($SECONDS s)"; }
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
# wait_for SECONDS WHAT COMMAND...: runs COMMAND every half second until it succeeds; a failure
# naming WHAT when it did not within SECONDS. A signal or a reload waits for the capture in
# progress, so the limits leave room for one.
wait_for() {
  local limit=$1 what=$2 end=$((SECONDS + $1))
  shift 2
  until "$@"; do
    if ((SECONDS >= end)); then
      fail "$what (waited $limit s)"
      return 1
    fi
    sleep 0.5
  done
}
property() { systemctl show -P "$2" "$1"; }
is_property() { [ "$(property "$1" "$2")" = "$3" ]; }
expect_property() {  # unit property value
  local value
  value=$(property "$1" "$2")
  [ "$value" = "$3" ] || fail "$1: $2 is '$value', not '$3'"
}
# Lines of a unit's journal (tesseld's and systemd's about the unit), at priorities FROM..TO.
journal() { journalctl -q --no-pager -o cat -u "$1" -p "$2" "${@:3}"; }
journal_count() { journal "$1" "$2" -g "$3" | wc -l; }
has_journal_line() { [ "$(journal_count "$1" 0..7 "$2")" -gt 0 ]; }
owner() { stat -c %U "$1" 2>/dev/null; }
set_config() {  # name, then the lines of /etc/tessel/NAME.conf
  local file=/etc/tessel/$1.conf
  shift
  printf '%s\n' "$@" >"$file"
}
drop_in() {  # unit, then the lines of its [Service] section
  local directory=/etc/systemd/system/$1.d
  shift
  mkdir -p "$directory"
  printf '[Service]\n' >"$directory/test.conf"
  printf '%s\n' "$@" >>"$directory/test.conf"
}
# A unit that failed at its start and stayed failed, without a restart (called after several of
# the test's RestartSec of 2 s).
expect_failed_without_restart() {  # unit, exit status
  expect_property "$1" ActiveState failed
  expect_property "$1" ExecMainStatus "$2"
  expect_property "$1" NRestarts 0
}

note "waiting for the package, which the host builds"
wait_for 300 "the host built the package" test -e "$share/cpack.status" || exit 1
if [ "$(cat "$share/cpack.status")" != 0 ]; then
  cat "$share/cpack.log"
  echo "FAIL: cpack"
  exit 1
fi
package=$share/tessel.deb

note "install"
dpkg -i "$package" >dpkg-install.log 2>&1 || { cat dpkg-install.log; fail "dpkg -i"; exit 1; }
id -nG tessel | grep -qw dialout || fail "the user tessel is not in dialout: $(id tessel)"
[ "$(owner /var/lib/tessel/www)" = tessel ] || fail "/var/lib/tessel/www belongs to $(owner /var/lib/tessel/www)"
[ -f /var/lib/tessel/www/index.html ] || fail "the web directory was not prepared"
expect_property tessel.service UnitFileState disabled
expect_property tessel.service ActiveState inactive

note "settings: tessel on $fast_port, tessel@garden on $slow_port at 9600 baud with WatchdogSec=20s"
set_config tessel "device = $fast_port" "camera = DC20" "speed = 115200" "refresh = 60" \
  "message = first caption" "webdir = /var/lib/tessel/www"
# The schedule in tenths (a picture every 6 s); a restart 2 s after a failure.
drop_in tessel.service "Environment=TESSELD_TEST_TIME_SCALE=0.1" "RestartSec=2s"
set_config garden "device = $slow_port" "camera = DC20" "speed = 9600" "refresh = 30" \
  "webdir = /var/lib/tessel/garden"
# A capture at 9600 baud takes about 75 s: far longer than the watchdog's 20 s. A stop waits for
# the capture in progress; here not for long.
drop_in tessel@garden.service "WatchdogSec=20s" "RestartSec=2s" "TimeoutStopSec=5s"
# Another station on the web directory tessel holds (allowed to write there, so that only the
# lock stops it).
set_config twin "device = $fast_port" "webdir = /var/lib/tessel/www"
drop_in tessel@twin.service "ReadWritePaths=/var/lib/tessel/www" "RestartSec=2s"
# A web directory outside the sandbox's writable paths.
mkdir -p /srv/tessel-outside
chown tessel:tessel /srv/tessel-outside
set_config outside "device = $fast_port" "webdir = /srv/tessel-outside"
drop_in tessel@outside.service "RestartSec=2s"
systemctl daemon-reload

note "start (systemctl returns once tesseld said READY=1)"
garden_started=$SECONDS
systemctl enable --now tessel@garden.service tessel.service || fail "systemctl enable --now"
for unit in tessel.service tessel@garden.service; do
  expect_property "$unit" ActiveState active
  expect_property "$unit" SubState running
  expect_property "$unit" UnitFileState enabled
  pid=$(property "$unit" MainPID)
  [ "$(ps -o user= -p "$pid")" = tessel ] || fail "$unit runs as '$(ps -o user= -p "$pid")'"
  [ -n "$(property "$unit" StatusText)" ] || fail "$unit shows no status"
done

note "pictures on schedule, as user tessel"
good_picture='Creating Web Image Deleting Picture Finished Processing$'
finished() { journal_count tessel.service 6..6 "$good_picture"; }
enough_pictures() { [ "$(finished)" -ge 3 ]; }
if wait_for 90 "three pictures from tessel" enough_pictures; then
  # The end of each picture, in seconds; the next starts one refresh interval (6 s) after the last.
  mapfile -t ends < <(journalctl -q --no-pager -o short-unix -u tessel.service -p 6..6 -g "$good_picture" |
    awk '{print $1}')
  for ((i = 1; i < ${#ends[@]}; i++)); do
    gap=$(awk -v a="${ends[i - 1]}" -v b="${ends[i]}" 'BEGIN {printf "%.1f", b - a}')
    awk -v g="$gap" 'BEGIN {exit !(g >= 4.8 && g <= 30)}' || fail "pictures $gap s apart, not about 6 s"
  done
  web=/var/lib/tessel/www
  [ -f "$web/webcam.jpg" ] && [ -f "$web/archive/index.html" ] || fail "no picture published"
  strangers=$(find "$web" ! -user tessel)
  [ -z "$strangers" ] || fail "files in the web directory that tessel does not own: $strangers"
  grep -q '"consecutive_failures":0' "$web/station.json" || fail "station.json: $(cat "$web/station.json")"
fi

note "status and journal"
systemctl status --no-pager tessel.service >status.txt 2>&1
grep -qF 'Status: "Say "Cheese!" Acquiring Picture' status.txt || { cat status.txt; fail "systemctl status shows no status line"; }
[ "$(journal_count tessel.service 0..5 "$good_picture")" -eq 0 ] ||
  fail "a good picture logged above information priority"

note "reload"
set_config tessel "device = $fast_port" "camera = DC20" "speed = 115200" "refresh = 60" \
  "message = second caption" "webdir = /var/lib/tessel/www"
systemctl reload tessel.service || fail "systemctl reload"
wait_for 45 "tesseld reread its settings" has_journal_line tessel.service 'reread /etc/tessel/tessel.conf'
caption_is() { [ "$(cat /var/lib/tessel/www/message.txt 2>/dev/null)" = "$1" ]; }
wait_for 60 "the new caption at the next picture" caption_is "second caption"
# A bad file is an error at priority 3, and the station goes on with the settings it has.
set_config tessel "device = $fast_port" "refresh = 15" "webdir = /var/lib/tessel/www"
systemctl reload tessel.service
wait_for 45 "a bad file on reload is an error" has_journal_line tessel.service 'the settings in use stay'
[ "$(journal_count tessel.service 3..3 'refresh')" -gt 0 ] || fail "the bad file's line is not at priority 3"
expect_property tessel.service ActiveState active

note "SIGUSR1: a picture now, here from a camera that does not answer: a failed step, at priority 4"
set_config tessel "device = /dev/ttyS3" "camera = DC20" "refresh = 60" "webdir = /var/lib/tessel/www"
systemctl reload tessel.service
systemctl kill -s USR1 --kill-whom=main tessel.service
wait_for 45 "tesseld took the request" has_journal_line tessel.service 'picture requested'
failed_step() { [ "$(journal_count tessel.service 4..4 'OpenCamera Failed')" -gt 0 ]; }
wait_for 45 "a failed step at priority 4" failed_step
set_config tessel "device = $fast_port" "camera = DC20" "speed = 115200" "refresh = 60" \
  "message = second caption" "webdir = /var/lib/tessel/www"
systemctl reload tessel.service

note "two instances side by side; a third refused on the same web directory; one outside the sandbox"
systemctl start tessel@twin.service tessel@outside.service &&
  fail "tessel@twin or tessel@outside started: the first on a web directory tessel holds, the other in a read-only place"
sleep 7
expect_failed_without_restart tessel@twin.service 3
has_journal_line tessel@twin.service 'another station is already running on the web directory /var/lib/tessel/www' ||
  fail "tessel@twin: no clear journal line"
expect_failed_without_restart tessel@outside.service 4
has_journal_line tessel@outside.service 'Read-only file system' || fail "tessel@outside: no clear journal line"
[ ! -e /srv/tessel-outside/station.lock ] || fail "tesseld wrote outside its writable paths"
expect_property tessel.service ActiveState active
expect_property tessel@garden.service ActiveState active

note "stop"
systemctl stop tessel.service
expect_property tessel.service ActiveState inactive
expect_property tessel.service Result success
expect_property tessel.service ExecMainStatus 0
has_journal_line tessel.service 'WebCam stopped' || fail "no 'WebCam stopped' in the journal"
grep -q '"state":"stopped"' /var/lib/tessel/www/station.json || fail "station.json: $(cat /var/lib/tessel/www/station.json)"
[ ! -s /var/lib/tessel/www/message.txt ] || fail "message.txt not emptied by the stop"
grep -q '"camera":"off"' /var/lib/tessel/www/webcam.json || fail "no camera-off picture: $(cat /var/lib/tessel/www/webcam.json)"

note "bad settings: failed, and no restart"
set_config tessel "device = $fast_port" "colour = blue" "webdir = /var/lib/tessel/www"
systemctl start tessel.service && fail "tesseld started with a bad settings file"
sleep 7
expect_failed_without_restart tessel.service 2
has_journal_line tessel.service '/etc/tessel/tessel.conf:2: colour' || fail "the error does not name file, line and key"
set_config tessel "device = $fast_port" "camera = DC20" "speed = 115200" "refresh = 60" "webdir = /var/lib/tessel/www"
systemctl start tessel.service || fail "tessel does not start again with good settings"

note "the exposure score"
for unit in tessel.service tessel@garden.service; do
  score=$(systemd-analyze security --no-pager "$unit" | sed -n 's/.*Overall exposure level for .*: \([0-9.]*\).*/\1/p')
  echo "systemd-analyze security $unit: $score"
  awk -v s="$score" 'BEGIN {exit !(s != "" && s <= 2.5)}' || fail "$unit: exposure $score, above 2.5"
done

note "the 9600-baud capture completes under a 20 s watchdog"
garden_good() { [ "$(journal_count tessel@garden.service 6..6 "$good_picture")" -gt 0 ]; }
if wait_for $((240 - (SECONDS - garden_started))) "a picture at 9600 baud" garden_good; then
  expect_property tessel@garden.service NRestarts 0
  [ "$(owner /var/lib/tessel/garden/webcam.jpg)" = tessel ] || fail "tessel@garden published no picture"
fi
journal tessel@garden.service 0..7 | tail -n 5

note "SIGSTOP during a download: the watchdog restarts the station"
downloading() { property tessel@garden.service StatusText | grep -q 'Acquiring Picture$'; }
if wait_for 90 "tessel@garden downloading" downloading; then
  sleep 3
  frozen=$(property tessel@garden.service MainPID)
  systemctl kill -s STOP --kill-whom=main tessel@garden.service
  restarted() { is_property tessel@garden.service NRestarts 1 && is_property tessel@garden.service SubState running; }
  if wait_for 90 "a restart by the watchdog" restarted; then
    has_journal_line tessel@garden.service 'Watchdog timeout' || fail "the restart was not the watchdog's"
    [ "$(property tessel@garden.service MainPID)" != "$frozen" ] || fail "the frozen tesseld still runs"
    compgen -G '/var/lib/tessel/garden/core*' >/dev/null && fail "a core dump in the web directory"
  fi
fi

note "remove: the stations stop"
stops=$(journal_count tessel.service 0..7 'WebCam stopped')
dpkg -r tessel >dpkg-remove.log 2>&1 || { cat dpkg-remove.log; fail "dpkg -r"; }
expect_property tessel.service ActiveState inactive
[ "$(journal_count tessel.service 0..7 'WebCam stopped')" -gt "$stops" ] || fail "tessel was not stopped cleanly"
# Stopped during a capture, which its short TimeoutStopSec cuts.
[ "$(property tessel@garden.service ActiveState)" != active ] || fail "tessel@garden still runs"
expect_property tessel.service LoadState not-found
[ ! -e /usr/bin/tesseld ] || fail "tesseld left behind"
getent passwd tessel >/dev/null || fail "the user tessel was removed"
[ -f /var/lib/tessel/www/webcam.jpg ] || fail "the pictures were removed"
[ -f /etc/tessel/tessel.conf ] || fail "the settings were removed"
[ -L /etc/systemd/system/multi-user.target.wants/tessel.service ] || fail "remove forgot the enablement"

note "purge"
dpkg -P tessel >dpkg-purge.log 2>&1 || { cat dpkg-purge.log; fail "dpkg -P"; }
[ ! -e /etc/tessel/tessel.conf ] || fail "purge left /etc/tessel/tessel.conf"
compgen -G '/etc/systemd/system/multi-user.target.wants/tessel*' >/dev/null && fail "purge left the enablement"
getent passwd tessel >/dev/null || fail "purge removed the user tessel"
[ -f /var/lib/tessel/www/webcam.jpg ] || fail "purge removed the pictures"

note "reinstall"
dpkg -i "$package" >dpkg-reinstall.log 2>&1 || { cat dpkg-reinstall.log; fail "dpkg -i after the purge"; }
grep -qx 'webdir = /var/lib/tessel/www' /etc/tessel/tessel.conf || fail "the default settings are not back"
expect_property tessel.service UnitFileState disabled
expect_property tessel.service ActiveState inactive
sed -i "s|^#device = .*|device = $fast_port|" /etc/tessel/tessel.conf
systemctl start tessel.service || fail "tessel does not start after the reinstall"
expect_property tessel.service SubState running

note "done: $failures failures"
[ "$failures" -eq 0 ]
