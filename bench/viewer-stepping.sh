#!/usr/bin/env bash
# Stepping through 12-megapixel JPEGs in the full-screen viewer on a 1920 x 1080
# window: the time from Page Down to the next picture on screen with every
# tile sharp, against decoding the same pictures at screen size with
# vipsthumbnail in the same run. Two paces: a look of 500 ms at each picture
# (the next one is prefetched meanwhile), and Page Down as soon as a picture
# is on screen. Goal: median under 100 ms, worst under 300 ms.
# Usage: bench/viewer-stepping.sh [COUNT]   (default 20 pictures)
set -euo pipefail
source "$(dirname "$0")/ui-common.sh"
count="${1:-20}"
ui_bench_build
cmake --build "$build" -j 2 --target varnetto-viewer-bench >/dev/null
viewer_bench="$build/tests-bin/varnetto-viewer-bench"

# 4000 x 3000 JPEGs made from the package's photographs.
mkdir -p "$work/in"
mapfile -t sources < <(find /usr/share/backgrounds/mate -type f -iname '*.jpg' | sort)
for ((i = 0; i < count; i++)); do
  resized_copy "${sources[i % ${#sources[@]}]}" "$work/in/$(printf 'p%03d.jpg' "$i")[Q=90]" 4000 3000
done
echo "pictures: $count JPEGs, $(vipsheader "$work/in/p000.jpg" | cut -d: -f2)"

# Peer: decoding each picture at screen size (shrink-on-load), one at a time.
mkdir -p "$work/thumbs"
start=$(date +%s%N)
for f in "$work/in"/*.jpg; do
  vipsthumbnail -s 1920x1080 -o "$work/thumbs/%s.jpg" "$f"
done
peer_ms=$(awk -v a="$start" -v b="$(date +%s%N)" -v n="$count" 'BEGIN {printf "%.0f", (b - a) / 1e6 / n}')
echo "vipsthumbnail at 1920 x 1080: $peer_ms ms a picture (process start included)"

for pause in 500 0; do
  line=$(QT_QPA_PLATFORM=offscreen "$viewer_bench" steps "$work/in" "$pause" 2>/dev/null | grep '^pictures=')
  median=$(field sharp_median_ms "$line")
  worst=$(field sharp_worst_ms "$line")
  echo "varnetto, pause $pause ms: $line"
  awk -v p="$peer_ms" -v m="$median" -v w="$worst" 'BEGIN {
    printf "  median %s ms (goal < 100), worst %s ms (goal < 300); ratio screen-size decode / median step: %.1f\n",
      m, w, p / (m > 0 ? m : 1)}'
done
