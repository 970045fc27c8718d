#!/usr/bin/env bash
# Zooming into a 100-megapixel JPEG in the full-screen viewer on a 1920 x 1080
# window: opening it, the first zoom past fit (which decodes the full
# picture), then 120 mouse moves of panning at 120 % and again at 80 %. The
# time from each move to the repaint and the peak resident memory, against
# decoding the same picture whole and at screen size with the vips command in
# the same run. Goal: repaints within 30 ms, memory under 1 GB.
set -euo pipefail
source "$(dirname "$0")/ui-common.sh"
ui_bench_build
cmake --build "$build" -j 2 --target varnetto-viewer-bench >/dev/null
viewer_bench="$build/tests-bin/varnetto-viewer-bench"

biggest=$(for f in $(find /usr/share/backgrounds/mate -type f -iname '*.jpg'); do
  echo "$(vipsheader -f width "$f") $f"; done | sort -n | tail -1 | cut -d' ' -f2-)
resized_copy "$biggest" "$work/big.jpg[Q=90]" 10000 10000
echo "picture: $(vipsheader "$work/big.jpg")"

full_ms=$(elapsed_ms vips avg "$work/big.jpg")
screen_ms=$(elapsed_ms vipsthumbnail -s 1920x1080 -o "$work/thumb.jpg" "$work/big.jpg")
echo "vips avg (whole decode): $full_ms ms; vipsthumbnail at 1920 x 1080: $screen_ms ms"

line=$(QT_QPA_PLATFORM=offscreen "$viewer_bench" zoom "$work/big.jpg" 2>/dev/null | grep 'pan_moves=')
echo "varnetto: $line"
awk -v open="$(field open_ms "$line")" -v zoom="$(field zoom_in_with_full_decode_ms "$line")" \
  -v median="$(field pan_repaint_median_ms "$line")" -v worst="$(field pan_repaint_worst_ms "$line")" \
  -v rss="$(field peak_rss_mb "$line")" -v full="$full_ms" -v screen="$screen_ms" 'BEGIN {
  printf "open: %s ms; ratio screen-size decode / open: %.2f\n", open, screen / open
  printf "first zoom past fit: %s ms; ratio whole decode / first zoom: %.2f\n", zoom, full / zoom
  printf "pan repaint: median %s ms, worst %s ms (goal < 30)\n", median, worst
  printf "peak resident memory: %s MB (goal < 1024)\n", rss
}'
