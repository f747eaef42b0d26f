#!/usr/bin/env bash
# Whole-process time and peak memory of pictrex converting one high-resolution picture with
# banner and archive (median of RUNS runs), against the ImageMagick command a user would script
# for the same post-processing of an already-decoded picture (resize to 500x373, caption and
# time, JPEG quality 85). usage: process_benchmark.sh BUILD_DIR [RUNS]
set -euo pipefail
build=$(cd "$1" && pwd)
runs=${2:-20}
pictrex=$build/converter/pictrex
sample=$build/bench/converter/converter_make_sample
font=/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf
for tool in "$pictrex" "$sample"; do [ -x "$tool" ] || { echo "missing $tool (build first)" >&2; exit 1; }; done
# ImageMagick by its own name: plain `convert` may be another program on some machines.
magick=convert-im6.q16
"$magick" -version 2>/dev/null | grep -q '^Version: ImageMagick' ||
  { echo "$magick is not ImageMagick (install the imagemagick package)" >&2; exit 1; }

web=$(mktemp -d)
trap 'rm -rf "$web"' EXIT
mkdir -p "$web/archive" "$web/bin"
"$sample" "$web/sample.dc2" "$web/decoded.ppm"
caption="Roof camera - view to the east"
printf '%s' "$caption" > "$web/message.txt"
# The archive index builder: the real one when it was built, else a stand-in that lists the archive.
if [ -x "$build/archindex/archindex" ]; then
  indexer="$build/archindex/archindex (real)"
  export PATH="$build/archindex:$PATH"
else
  indexer="stand-in script (archindex not built)"
  printf '#!/bin/sh\ncd archive && ls *.jpg > index.html\n' > "$web/bin/archindex"
  chmod +x "$web/bin/archindex"
  export PATH="$web/bin:$PATH"
fi

stamp_of() { printf '20261210%06d' $((80000 + $1)); }

# One timed run of pictrex or ImageMagick (peak memory into time.txt).
run_once() {
  local i=$2
  case $1 in
    pictrex)
      /usr/bin/time -f "%M" -o "$web/time.txt" "$pictrex" "$(stamp_of "$i")" ARCHIVE ;;
    magick)
      /usr/bin/time -f "%M" -o "$web/time.txt" "$magick" "$web/decoded.ppm" -resize '500x373!' \
        -fill '#0008' -draw 'rectangle 0,351 500,373' -font "$font" -pointsize 15 -fill white \
        -gravity SouthWest -annotate +6+4 "$caption" -gravity SouthEast -annotate +6+4 "2026-12-10 08:30:05" \
        -quality 85 "$web/magick$i.jpg" ;;
  esac
}

# RUNS timed runs; prints "median_ms max_peak_kB".
measure() {
  local times=() peaks=() i start end
  for ((i = 0; i < runs; i++)); do
    cp "$web/sample.dc2" "$web/image$(stamp_of "$i").dc2"
    start=$(date +%s%N)
    run_once "$1" "$i"
    end=$(date +%s%N)
    times+=($(( (end - start) / 1000 )))
    peaks+=("$(tail -1 "$web/time.txt")")
  done
  local median max
  median=$(printf '%s\n' "${times[@]}" | sort -n | awk '{a[NR]=$1} END {print (NR % 2 ? a[(NR+1)/2] : (a[NR/2] + a[NR/2+1]) / 2) / 1000}')
  max=$(printf '%s\n' "${peaks[@]}" | sort -n | tail -1)
  echo "$median $max"
}

cd "$web"
unset DISPLAY WAYLAND_DISPLAY
read -r p_ms p_kb < <(measure pictrex)
read -r m_ms m_kb < <(measure magick)
[ "$(ls "$web/archive" | grep -c '\.jpg$')" -eq "$runs" ] || { echo "pictrex did not archive every run" >&2; exit 1; }

echo "runs: $runs, archive index: $indexer"
printf 'pictrex (raw decode + banner + archive): median %.1f ms, peak memory %d kB\n' "$p_ms" "$p_kb"
printf 'ImageMagick %s (resize + annotate + JPEG 85): median %.1f ms, peak memory %d kB\n' "$magick" "$m_ms" "$m_kb"
awk -v p="$p_ms" -v m="$m_ms" 'BEGIN { printf "time ratio pictrex/ImageMagick: %.2f (target <= 1.0)\n", p / m }'
