#!/usr/bin/env bash
# Wall time of tessel-daily building one day (video + keogram) of COUNT archive pictures of
# WxH pixels, against the one-line ffmpeg command a user would script for the video alone, in the
# same run on the same pictures; the sizes of both videos; and the cost of starting the ffmpeg
# program and piping the pictures to it (what linking ffmpeg's libraries instead could save at most).
# usage: daily_benchmark.sh BUILD_DIR [COUNT] [WxH]      (defaults: 1440 pictures, 1920x1080)
set -euo pipefail
build=$(cd "$1" && pwd)
count=${2:-1440}
size=${3:-1920x1080}
daily=$build/daily/tessel-daily
make_day=$build/bench/daily/daily_make_day
for tool in "$daily" "$make_day"; do [ -x "$tool" ] || { echo "missing $tool (build first)" >&2; exit 1; }; done

web=$(mktemp -d)
trap 'rm -rf "$web"' EXIT
day=20261210
seconds() { date +%s.%N; }
calc() { awk "BEGIN { print $1 }"; }
elapsed() { calc "$2 - $1"; }

start=$(seconds)
"$make_day" "$web" "$day" "$count" "${size%x*}" "${size#*x}"
echo "made $count pictures of $size in $(elapsed "$start" "$(seconds)") s; $(du -sh "$web/archive" | cut -f1) on disk"
cat "$web"/archive/*.jpg > /dev/null  # both sides start with the pictures in the page cache

start=$(seconds)
(cd "$web" && "$daily" "$day")
ours=$(elapsed "$start" "$(seconds)")

start=$(seconds)
(cd "$web/archive" && ffmpeg -loglevel error -y -pattern_type glob -i "$day*.jpg" -c:v libx264 -pix_fmt yuv420p "$web/oneliner.mp4")
theirs=$(elapsed "$start" "$(seconds)")

start=$(seconds)
for _ in 1 2 3 4 5; do ffmpeg -loglevel error -f lavfi -i nullsrc=s=16x16 -frames:v 1 -f null - ; done
startup=$(calc "($(seconds) - $start) / 5")
start=$(seconds)
cat "$web"/archive/"$day"*.jpg | cat > /dev/null
piping=$(elapsed "$start" "$(seconds)")

video=$web/archive/days/$day.mp4
frames=$(ffprobe -v error -count_frames -select_streams v:0 -show_entries stream=nb_read_frames,width,height -of csv=p=0 "$video")
printf 'tessel-daily (video + keogram):   %6.1f s   video %s bytes (%s; width,height,frames)\n' "$ours" "$(stat -c %s "$video")" "$frames"
printf 'ffmpeg one-liner (video only):    %6.1f s   video %s bytes\n' "$theirs" "$(stat -c %s "$web/oneliner.mp4")"
printf 'ratio tessel-daily / one-liner:   %6.2f\n' "$(calc "$ours / $theirs")"
printf 'ffmpeg program start:             %6.3f s   piping all pictures: %.3f s\n' "$startup" "$piping"
tail -n 1 "$web/tessel-daily.log"
