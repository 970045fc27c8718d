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
resized_copy "$source_photo" "$work/photo.jpg[Q=90]" 4000 3000
echo "picture: $(vipsheader "$work/photo.jpg")"

thumb_ms=$(elapsed_ms vipsthumbnail -s 220x165 -o "$work/thumb.jpg" "$work/photo.jpg")
resize_ms=$(elapsed_ms vips resize "$work/photo.jpg" "$work/resized.jpg" 0.04)

line=$(QT_QPA_PLATFORM=offscreen "$bench_tool" editor "$work/photo.jpg" 2>/dev/null | grep '^open_ms=')
echo "editor: $line"
echo "peers: vipsthumbnail to 220x165 ${thumb_ms} ms, vips resize 4% ${resize_ms} ms"
echo "open: $(field open_ms "$line") ms (goal < 1000); ratio to vipsthumbnail: $(awk -v o="$(field open_ms "$line")" -v p="$thumb_ms" 'BEGIN {printf "%.2f", o / p}')"
echo "preview after a resize change: median $(field change_median_ms "$line") ms, worst $(field change_max_ms "$line") ms (goal < 400);" \
  "ratio to vips resize: $(awk -v o="$(field change_median_ms "$line")" -v p="$resize_ms" 'BEGIN {printf "%.2f", o / p}')"
echo "preview after bursts of quick changes: median $(field burst_median_ms "$line") ms from the last change"
echo "renders for 20 JPEG quality changes: $(field quality_renders "$line") (the quality does not change the preview)"
echo "longest event-loop wait: $(field longest_wait_ms "$line") ms (goal < 50)"
