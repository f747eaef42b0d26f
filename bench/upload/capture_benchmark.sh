#!/usr/bin/env bash
# Capture is not slowed by remote publishing: whole-process time of pictrex converting and
# archiving one high-resolution picture with an unreachable upload target configured, against no
# target, runs interleaved (median of RUNS each). The converter only queues and starts the
# uploader detached, so both medians should agree within noise.
# usage: capture_benchmark.sh BUILD_DIR [RUNS]
set -euo pipefail
build=$(cd "$1" && pwd)
runs=${2:-20}
pictrex=$build/converter/pictrex
sample=$build/bench/converter/converter_make_sample
for tool in "$pictrex" "$sample" "$build/upload/tessel-upload"; do
  [ -x "$tool" ] || { echo "missing $tool (build first)" >&2; exit 1; }
done

web=$(mktemp -d)
cleanup() {
  # The uploader started by the runs with a target keeps retrying: end it (it holds the lock file).
  [ -e "$web/upload.lock" ] && fuser -k -KILL "$web/upload.lock" >/dev/null 2>&1 || true
  rm -rf "$web"
}
trap cleanup EXIT
mkdir -p "$web/archive"
"$sample" "$web/sample.dc2" "$web/decoded.ppm"
export PATH="$build/upload:$build/archindex:$PATH"
# A loopback port nobody listens on.
port=$(python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1",0)); print(s.getsockname()[1])')
without="quality = 85"
with="quality = 85
[upload unreachable]
url = sftp://cam@127.0.0.1:$port/www/"

stamp_of() { printf '20261210%06d' $((80000 + $1)); }
median() { sort -n | awk '{a[NR]=$1} END {print (NR % 2 ? a[(NR+1)/2] : (a[NR/2] + a[NR/2+1]) / 2) / 1000}'; }

cd "$web"
unset DISPLAY WAYLAND_DISPLAY
times_without=() times_with=()
for ((i = 0; i < 2 * runs; i++)); do
  if ((i % 2)); then printf '%s\n' "$with" > pictrex.ini; else printf '%s\n' "$without" > pictrex.ini; fi
  cp sample.dc2 "image$(stamp_of "$i").dc2"
  start=$(date +%s%N)
  "$pictrex" "$(stamp_of "$i")" ARCHIVE
  end=$(date +%s%N)
  if ((i % 2)); then times_with+=($(( (end - start) / 1000 ))); else times_without+=($(( (end - start) / 1000 ))); fi
done
[ -n "$(ls upload-spool/unreachable)" ] || { echo "nothing was queued for the target" >&2; exit 1; }

m_without=$(printf '%s\n' "${times_without[@]}" | median)
m_with=$(printf '%s\n' "${times_with[@]}" | median)
echo "runs: $runs each, interleaved; target sftp://127.0.0.1:$port (nothing listens)"
printf 'pictrex without targets:           median %.1f ms\n' "$m_without"
printf 'pictrex with an unreachable target: median %.1f ms\n' "$m_with"
awk -v a="$m_with" -v b="$m_without" 'BEGIN { printf "ratio with/without: %.2f (target: 1.0 within noise)\n", a / b }'
