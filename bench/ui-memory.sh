#!/usr/bin/env bash
# Resident memory of the window program after a folder of 5,000 photographs is
# loaded and every row read. Goal: under 600 MB.
# Usage: bench/ui-memory.sh [COUNT]   (default 5000)
set -euo pipefail
source "$(dirname "$0")/ui-common.sh"
count="${1:-5000}"
ui_bench_build
make_photos "$work/in" "$count"
line=$(QT_QPA_PLATFORM=offscreen "$bench_tool" thumbnails "$work/in" 2>/dev/null | grep '^rows=')
echo "$line"
echo "resident memory: $(sed -E 's/.*rss_mb=([0-9]+).*/\1/' <<<"$line") MB (goal < 600)"
