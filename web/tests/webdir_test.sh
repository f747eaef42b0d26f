#!/usr/bin/env bash
# Checks scripts/webdir: it makes archive/, index.html, favicon.svg, site.json, img_icon.gif and
# archive/gallery.html, and leaves existing files alone. usage: webdir_test.sh path/to/webdir path/to/web
set -euo pipefail
webdir=$1
web=$2
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
fail() { echo "FAIL: $*"; exit 1; }

"$webdir" "$scratch/new" >/dev/null
[ -d "$scratch/new/archive" ] || fail "archive/ missing"
cmp -s "$scratch/new/index.html" "$web/index.html" || fail "index.html not copied"
cmp -s "$scratch/new/img_icon.gif" "$web/img_icon.gif" || fail "img_icon.gif not copied"
cmp -s "$scratch/new/favicon.svg" "$web/favicon.svg" || fail "favicon.svg not copied"
cmp -s "$scratch/new/site.json" "$web/site.json" || fail "site.json not copied"
cmp -s "$scratch/new/archive/gallery.html" "$web/gallery.html" || fail "gallery.html not copied into archive/"

mkdir -p "$scratch/old/archive"
echo "my own page" > "$scratch/old/index.html"
echo '{"title":"Mine"}' > "$scratch/old/site.json"
echo "picture" > "$scratch/old/archive/20261210083005.jpg"
"$webdir" "$scratch/old" >/dev/null
[ "$(cat "$scratch/old/index.html")" = "my own page" ] || fail "existing index.html replaced"
[ "$(cat "$scratch/old/site.json")" = '{"title":"Mine"}' ] || fail "existing site.json replaced"
[ -f "$scratch/old/archive/20261210083005.jpg" ] || fail "archive emptied"
cmp -s "$scratch/old/img_icon.gif" "$web/img_icon.gif" || fail "missing icon not added"

if "$webdir" 2>/dev/null; then fail "no argument accepted"; else [ $? -eq 2 ] || fail "usage exit status"; fi
echo "ok"
