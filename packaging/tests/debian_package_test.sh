#!/usr/bin/env bash
# Builds the Debian package with cpack from a complete build tree and inspects it with dpkg-deb:
# its section and dependencies, that every program comes with its manual page, that the
# development files stay out, the service files and the maintainer scripts.
# usage: debian_package_test.sh BUILD_DIR VERSION WITH_CONFFILE(0|1) PROGRAM...
set -euo pipefail
build=$1
version=$2
with_conffile=$3
shift 3
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

(cd "$build" && cpack -G DEB -B "$scratch/out") >"$scratch/cpack.log" 2>&1 ||
  { cat "$scratch/cpack.log"; echo "FAIL: cpack"; exit 1; }
package=$(ls "$scratch"/out/tessel_*.deb)

field() { dpkg-deb -f "$package" "$1"; }
[ "$(field Section)" = graphics ] || fail "section is '$(field Section)'"
[ "$(field Version)" = "$version" ] || fail "version is '$(field Version)', not $version"
depends=$(field Depends)
for needed in fonts-dejavu-core adduser libjpeg62-turbo libfreetype6 libqt6widgets6; do
  grep -Eq "(^|, )$needed( |,|$)" <<<"$depends" || fail "Depends lacks $needed: $depends"
done
# The package's own library is not a dependency on some other package.
grep -q dc25v20 <<<"$depends" && fail "Depends names the package's own library: $depends"

dpkg-deb -c "$package" | awk '{print $6}' | sed 's|^\./|/|' >"$scratch/files"
has() { grep -qxF "$1" "$scratch/files" || fail "missing $1"; }
lacks() { grep -qxF "$1" "$scratch/files" && fail "ships $1"; true; }
for program in "$@"; do
  [ -n "$program" ] || continue  # a program this build does not make
  has "/usr/bin/$program"
done
# Every installed program has its manual page.
grep '^/usr/bin/.' "$scratch/files" | while read -r program; do
  grep -qxF "/usr/share/man/man1/$(basename "$program").1.gz" "$scratch/files" ||
    echo "FAIL: no manual page for $program"
done | tee "$scratch/man-missing"
[ ! -s "$scratch/man-missing" ] || failures=$((failures + 1))
has /usr/lib/libdc25v20.so.1
lacks /usr/lib/libdc25v20.so
grep -q '^/usr/include/.' "$scratch/files" && fail "ships headers"
has /usr/lib/systemd/system/tessel.service
has /usr/lib/systemd/system/tessel@.service
has /usr/share/applications/tessel.desktop
has /usr/share/tessel/web/index.html
has /usr/share/doc/tessel/copyright
dpkg-deb --fsys-tarfile "$package" | tar -xOf - ./usr/share/doc/tessel/changelog.gz | gzip -dc | head -n 1 |
  grep -qF "tessel ($version)" || fail "changelog does not start with version $version"

dpkg-deb -e "$package" "$scratch/control"
for script in postinst prerm postrm; do
  [ -x "$scratch/control/$script" ] || fail "$script missing or not executable"
  sh -n "$scratch/control/$script" || fail "$script is not valid sh"
done
if [ "$with_conffile" = 1 ]; then
  has /etc/tessel/tessel.conf
  grep -qxF /etc/tessel/tessel.conf "$scratch/control/conffiles" || fail "/etc/tessel/tessel.conf is no conffile"
fi

# lintian, when installed, finds nothing it calls an error.
if command -v lintian >/dev/null; then
  lintian --no-tag-display-limit "$package" >"$scratch/lintian.log" 2>&1 || true
  if grep '^E:' "$scratch/lintian.log"; then fail "lintian reports errors"; fi
fi

[ "$failures" -eq 0 ] || exit 1
echo "ok: $(basename "$package")"
