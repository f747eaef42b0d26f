#!/usr/bin/env bash
# Measures archindex on large archives against the shell pipeline a user
# would otherwise write:
#   find archive -maxdepth 1 -iname '*.jpg' | LC_ALL=C sort > /dev/null
#
# Usage: bench/archindex/run.sh [ENTRIES...]        (default: 100000 1000000)
# Environment:
#   ARCHINDEX  the program to measure (default: a Release build made in build/bench-release)
#   BENCH_DIR  where the scratch archives go (default: a new directory in $TMPDIR or /tmp)
#   RUNS       timed runs of each command per size (default: 3; the median is reported)
#
# Each archive holds ENTRIES empty time-stamped *.jpg files plus one
# non-matching file for every ten of them. Targets: archindex's wall time at
# most 1.0x the pipeline's; its peak memory at most 64 bytes per entry plus
# the names' bytes plus 8 MiB.
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
sizes=("$@")
[ ${#sizes[@]} -gt 0 ] || sizes=(100000 1000000)
runs=${RUNS:-3}

if [ -z "${ARCHINDEX:-}" ]; then
  cmake -S "$root" -B "$root/build/bench-release" -DCMAKE_BUILD_TYPE=Release >/dev/null
  cmake --build "$root/build/bench-release" --target archindex -j 2 >/dev/null
  ARCHINDEX=$root/build/bench-release/archindex/archindex
fi
[ -x "$ARCHINDEX" ] || { echo "no program at $ARCHINDEX" >&2; exit 1; }
[ -x /usr/bin/time ] || { echo "needs /usr/bin/time (Debian package time)" >&2; exit 1; }

scratch=$(mktemp -d "${BENCH_DIR:-${TMPDIR:-/tmp}}/archindex-bench-XXXXXX")
trap 'rm -rf "$scratch"' EXIT

# Prints stamp names, one a minute from the first of January 2026.
stamp_names() {
  awk -v n="$1" 'BEGIN {
    for (i = 0; i < n; i++) {
      m = i; mi = m % 60; m = int(m / 60); h = m % 24; m = int(m / 24)
      d = m % 28 + 1; m = int(m / 28); mo = m % 12 + 1; y = 2026 + int(m / 12)
      printf "%04d%02d%02d%02d%02d00.jpg\n", y, mo, d, h, mi
    }
  }'
}

make_archive() {
  local web=$1 entries=$2
  mkdir -p "$web/archive"
  (cd "$web/archive" &&
    stamp_names "$entries" | xargs -d '\n' touch &&
    stamp_names $((entries / 10)) | sed 's/\.jpg$/.dc2/' | xargs -d '\n' touch)
}

# Runs a command in a directory; prints "<wall seconds> <peak KiB>".
measure() {
  local dir=$1; shift
  local stats=$scratch/stats start end
  start=$(date +%s%N)
  (cd "$dir" && /usr/bin/time -f '%M' -o "$stats" "$@")
  end=$(date +%s%N)
  echo "$(( (end - start) / 1000000 ))" "$(tail -n 1 "$stats")"
}

median() { sort -n | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }

baseline=(sh -c "find archive -maxdepth 1 -iname '*.jpg' | LC_ALL=C sort > /dev/null")

mkdir -p "$scratch/empty/archive"
empty_kib=$(measure "$scratch/empty" "$ARCHINDEX" | cut -d' ' -f2)

printf '%-9s %12s %12s %7s %14s %14s %10s %10s\n' entries archindex_ms pipeline_ms ratio \
  archindex_KiB pipeline_KiB B/entry mem_target
for entries in "${sizes[@]}"; do
  web=$scratch/web-$entries
  make_archive "$web" "$entries"
  name_bytes=$(stamp_names "$entries" | awk '{ s += length($0) } END { print s }')
  measure "$web" "$ARCHINDEX" >/dev/null        # warm the directory cache
  measure "$web" "${baseline[@]}" >/dev/null
  : > "$scratch/a" && : > "$scratch/b"
  for _ in $(seq "$runs"); do
    measure "$web" "$ARCHINDEX" >> "$scratch/a"
    measure "$web" "${baseline[@]}" >> "$scratch/b"
  done
  a_ms=$(cut -d' ' -f1 "$scratch/a" | median)
  b_ms=$(cut -d' ' -f1 "$scratch/b" | median)
  a_kib=$(cut -d' ' -f2 "$scratch/a" | sort -n | tail -n 1)
  b_kib=$(cut -d' ' -f2 "$scratch/b" | sort -n | tail -n 1)
  # Memory beyond the names and beyond what the program needs with no entries.
  per_entry=$(( (a_kib * 1024 - empty_kib * 1024 - name_bytes) / entries ))
  target_kib=$(( (64 * entries + name_bytes) / 1024 + 8192 ))
  verdict=$([ "$a_kib" -le "$target_kib" ] && echo ok || echo OVER)
  printf '%-9s %12s %12s %7s %14s %14s %10s %10s\n' "$entries" "$a_ms" "$b_ms" \
    "$(awk -v a="$a_ms" -v b="$b_ms" 'BEGIN { printf "%.2f", a / b }')" \
    "$a_kib" "$b_kib" "$per_entry" "$target_kib $verdict"
  grep -c '<A HREF' "$web/archive/index.html" | awk -v n="$entries" \
    '$1 != n { print "page lists " $1 " entries, expected " n; exit 1 }'
  rm -rf "$web"
done
echo "archindex on an empty archive: ${empty_kib} KiB peak"
