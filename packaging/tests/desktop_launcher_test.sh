#!/usr/bin/env bash
# tessel-desktop opens the window in the user's data directory, prepared on first use: it is
# run from an installed layout whose `tessel` is a stub that records where it was started.
# usage: desktop_launcher_test.sh TESSEL_DESKTOP TESSEL_WEBDIR WEB_SOURCE_DIR
set -euo pipefail
launcher=$1
webdir=$2
web=$3
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

mkdir -p "$scratch/prefix/bin" "$scratch/prefix/share/tessel/web"
cp "$launcher" "$webdir" "$scratch/prefix/bin/"
cp "$web"/{index.html,favicon.svg,site.json,gallery.html,img_icon.gif} "$scratch/prefix/share/tessel/web/"
printf '#!/bin/sh\npwd > "%s/started-in"\necho "$*" > "%s/arguments"\n' "$scratch" "$scratch" \
  >"$scratch/prefix/bin/tessel"
chmod +x "$scratch/prefix/bin/tessel"

# XDG_DATA_HOME as set ("-" for unset) | where the window must start
cases=(
  "-|$scratch/home/.local/share/tessel/webcam"
  "$scratch/data|$scratch/data/tessel/webcam"
  "relative/data|$scratch/home/.local/share/tessel/webcam"
)
for case in "${cases[@]}"; do
  data_home=${case%%|*}
  expected=${case#*|}
  rm -f "$scratch/started-in"
  if [ "$data_home" = - ]; then
    (cd "$scratch" && env -u XDG_DATA_HOME HOME="$scratch/home" "$scratch/prefix/bin/tessel-desktop")
  else
    (cd "$scratch" && env XDG_DATA_HOME="$data_home" HOME="$scratch/home" "$scratch/prefix/bin/tessel-desktop")
  fi
  [ "$(cat "$scratch/started-in" 2>/dev/null)" = "$expected" ] ||
    fail "XDG_DATA_HOME=$data_home: window started in '$(cat "$scratch/started-in" 2>/dev/null)', not $expected"
  [ -f "$expected/index.html" ] && [ -f "$expected/img_icon.gif" ] && [ -d "$expected/archive" ] ||
    fail "XDG_DATA_HOME=$data_home: $expected not prepared"
done

# A second start leaves what the first made, and the user's own page, alone.
echo "my page" >"$scratch/data/tessel/webcam/index.html"
XDG_DATA_HOME="$scratch/data" "$scratch/prefix/bin/tessel-desktop" -style fusion
[ "$(cat "$scratch/data/tessel/webcam/index.html")" = "my page" ] || fail "second start replaced index.html"
[ "$(cat "$scratch/arguments")" = "-style fusion" ] || fail "arguments not passed on: $(cat "$scratch/arguments")"

# A web directory that cannot be made: the window is not opened in some other place.
rm -f "$scratch/started-in"
touch "$scratch/blocked"
if XDG_DATA_HOME="$scratch/blocked" "$scratch/prefix/bin/tessel-desktop" 2>/dev/null; then
  fail "started although the web directory could not be made"
fi
[ ! -e "$scratch/started-in" ] || fail "window opened without its web directory"

[ "$failures" -eq 0 ] || exit 1
echo ok
