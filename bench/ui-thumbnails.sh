#!/usr/bin/env bash
# Thumbnail throughput of a folder load against vipsthumbnail making 160 x 120
# thumbnails of the same photographs in the same run, and the longest time the
# window's event loop waited meanwhile. Goal: ratio >= 0.8, longest wait < 100 ms.
# Usage: bench/ui-thumbnails.sh [COUNT]   (default 1000 photographs)
set -euo pipefail
source "$(dirname "$0")/ui-common.sh"
count="${1:-1000}"
ui_bench_build
make_photos "$work/in" "$count"
mkdir -p "$work/out"

start=$(date +%s.%N)
vipsthumbnail -s 160x120 -o "$work/out/%s.jpg" "$work/in"/*.jpg
peer=$(awk -v a="$start" -v b="$(date +%s.%N)" 'BEGIN {print b - a}')
line=$(QT_QPA_PLATFORM=offscreen "$bench_tool" thumbnails "$work/in" 2>/dev/null | grep '^rows=')
ours=$(sed -E 's/.*seconds=([0-9.]+).*/\1/' <<<"$line")
gap=$(sed -E 's/.*longest_gap_ms=([0-9]+).*/\1/' <<<"$line")
echo "photographs: $count"
printf 'vipsthumbnail: %.2f s\n' "$peer"
echo "varnetto:      $line"
awk -v p="$peer" -v o="$ours" \
  'BEGIN {printf "throughput ratio (vipsthumbnail time / varnetto time): %.2f (goal >= 0.8)\n", p / o}'
echo "longest event-loop wait: ${gap} ms (goal < 100)"
