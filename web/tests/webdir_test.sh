#!/usr/bin/env bash
# Checks scripts/webdir: it makes archive/, index.html, favicon.svg, site.json, img_icon.gif,
# archive/gallery.html and the first webcam.json, station.json and archive/days.json; it leaves
# existing files alone, and a link to nothing (favicon.svg, an archive on a disk not mounted yet)
# too, with a warning and exit status 0. usage: webdir_test.sh path/to/webdir path/to/web
set -euo pipefail
webdir=$1
web=$2
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
fail() { echo "FAIL: $*"; exit 1; }
# json FILE PYTHON-EXPRESSION: the expression about the parsed file (as `j`) holds.
json() { python3 -c 'import json, sys; j = json.load(open(sys.argv[1])); sys.exit(0 if eval("(" + sys.argv[2] + ")") else 1)' "$1" "$2"; }

"$webdir" "$scratch/new" >/dev/null
[ -d "$scratch/new/archive" ] || fail "archive/ missing"
cmp -s "$scratch/new/index.html" "$web/index.html" || fail "index.html not copied"
cmp -s "$scratch/new/img_icon.gif" "$web/img_icon.gif" || fail "img_icon.gif not copied"
cmp -s "$scratch/new/favicon.svg" "$web/favicon.svg" || fail "favicon.svg not copied"
cmp -s "$scratch/new/site.json" "$web/site.json" || fail "site.json not copied"
cmp -s "$scratch/new/archive/gallery.html" "$web/gallery.html" || fail "gallery.html not copied into archive/"
# The first status files: nothing published, a station that has not run, no days.
json "$scratch/new/webcam.json" 'j["stamp"] is None and j["camera"] is None and j["caption"] == ""' ||
  fail "webcam.json: $(cat "$scratch/new/webcam.json")"
json "$scratch/new/station.json" 'j["state"] == "stopped" and j["last_cycle_epoch"] is None and
  j["last_success_epoch"] is None and j["consecutive_failures"] == 0 and isinstance(j["updated_epoch"], int)' ||
  fail "station.json: $(cat "$scratch/new/station.json")"
json "$scratch/new/archive/days.json" 'j == {"days": []}' || fail "days.json: $(cat "$scratch/new/archive/days.json")"
[ "$(stat -c %a "$scratch/new/webcam.json")" = "$(stat -c %a "$scratch/new/index.html")" ] ||
  fail "webcam.json is not as readable as the page"

mkdir -p "$scratch/old/archive"
echo "my own page" > "$scratch/old/index.html"
echo '{"title":"Mine"}' > "$scratch/old/site.json"
echo '{"stamp":"20261210083005","camera":"on"}' > "$scratch/old/webcam.json"
echo '{"state":"running"}' > "$scratch/old/station.json"
echo '{"days":[{"day":"20261210","count":1}]}' > "$scratch/old/archive/days.json"
echo "picture" > "$scratch/old/archive/20261210083005.jpg"
before=$(cd "$scratch/old" && cat index.html site.json webcam.json station.json archive/days.json)
"$webdir" "$scratch/old" >/dev/null
[ "$(cd "$scratch/old" && cat index.html site.json webcam.json station.json archive/days.json)" = "$before" ] ||
  fail "an existing file was replaced"
[ -f "$scratch/old/archive/20261210083005.jpg" ] || fail "archive emptied"
cmp -s "$scratch/old/img_icon.gif" "$web/img_icon.gif" || fail "missing icon not added"

# Links to nothing: a warning each, left as they are, nothing written through them, exit 0.
mkdir -p "$scratch/links" "$scratch/elsewhere"
ln -s "$scratch/unmounted/archive" "$scratch/links/archive"
ln -s "$scratch/elsewhere/favicon.svg" "$scratch/links/favicon.svg"
status=0
"$webdir" "$scratch/links" >"$scratch/out" 2>"$scratch/err" || status=$?
[ "$status" -eq 0 ] || fail "exit status $status with links to nothing: $(cat "$scratch/err")"
grep -q "warning: $scratch/links/archive is a link to $scratch/unmounted/archive, which does not exist" "$scratch/err" ||
  fail "no warning about the archive link: $(cat "$scratch/err")"
grep -q "warning: $scratch/links/favicon.svg is a link to" "$scratch/err" || fail "no warning about favicon.svg"
[ "$(readlink "$scratch/links/archive")" = "$scratch/unmounted/archive" ] || fail "archive link changed"
[ "$(readlink "$scratch/links/favicon.svg")" = "$scratch/elsewhere/favicon.svg" ] || fail "favicon.svg link changed"
[ ! -e "$scratch/unmounted" ] && [ ! -e "$scratch/elsewhere/favicon.svg" ] || fail "written through a link"
for file in index.html site.json img_icon.gif webcam.json station.json; do
  [ -f "$scratch/links/$file" ] || fail "$file not written beside the links"
done

# The directory itself a link to nothing: nothing to prepare.
ln -s "$scratch/unmounted/www" "$scratch/gone"
if "$webdir" "$scratch/gone" >/dev/null 2>&1; then fail "a web directory that is a link to nothing accepted"; fi
[ ! -e "$scratch/unmounted" ] || fail "written through the directory link"

if "$webdir" 2>/dev/null; then fail "no argument accepted"; else [ $? -eq 2 ] || fail "usage exit status"; fi
echo "ok"
