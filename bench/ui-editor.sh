#!/usr/bin/env bash
# The scheme editor on a 12-megapixel JPEG with live preview on: time to open,
# how long the preview takes to show a changed resize setting (median of 20
# changes, and after bursts of quick changes), and the longest wait of the
# window's event loop while renders run. Peers in the same run: the vips
# command decoding the same picture and fitting it into the preview box
# (vipsthumbnail), and decoding and resizing it whole (vips resize).
# Goals: preview within 400 ms, event loop never waits 50 ms, open under 1 s.
set -euo pipefail
source "$(dirname "$0")/ui-common.sh"
ui_bench_build
source_photo=$(find /usr/share/backgrounds/mate -type f -iname '*.jpg' | sort | head -1)
w=$(vipsheader -f width "$source_photo")
h=$(vipsheader -f height "$source_photo")
vips resize "$source_photo" "$work/photo.jpg[Q=90]" "$(awk -v w="$w" 'BEGIN {printf "%.6f", 4000 / w}')" \
  --vscale "$(awk -v h="$h" 'BEGIN {printf "%.6f", 3000 / h}')"
echo "picture: $(vipsheader "$work/photo.jpg")"

seconds() { awk -v a="$1" -v b="$2" 'BEGIN {printf "%.0f", (b - a) * 1000}'; }
start=$(date +%s.%N)
vipsthumbnail -s 220x165 -o "$work/thumb.jpg" "$work/photo.jpg"
thumb_ms=$(seconds "$start" "$(date +%s.%N)")
start=$(date +%s.%N)
vips resize "$work/photo.jpg" "$work/resized.jpg" 0.04
resize_ms=$(seconds "$start" "$(date +%s.%N)")

line=$(QT_QPA_PLATFORM=offscreen "$bench_tool" editor "$work/photo.jpg" 2>/dev/null | grep '^open_ms=')
echo "editor: $line"
field() { sed -E "s/.*$1=(-?[0-9]+).*/\\1/" <<<"$line"; }
echo "peers: vipsthumbnail to 220x165 ${thumb_ms} ms, vips resize 4% ${resize_ms} ms"
echo "open: $(field open_ms) ms (goal < 1000); ratio to vipsthumbnail: $(awk -v o="$(field open_ms)" -v p="$thumb_ms" 'BEGIN {printf "%.2f", o / p}')"
echo "preview after a resize change: median $(field change_median_ms) ms, worst $(field change_max_ms) ms (goal < 400);" \
  "ratio to vips resize: $(awk -v o="$(field change_median_ms)" -v p="$resize_ms" 'BEGIN {printf "%.2f", o / p}')"
echo "preview after bursts of quick changes: median $(field burst_median_ms) ms from the last change"
echo "renders for 20 JPEG quality changes: $(field quality_renders) (the quality does not change the preview)"
echo "longest event-loop wait: $(field longest_wait_ms) ms (goal < 50)"
