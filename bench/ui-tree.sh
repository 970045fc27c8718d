#!/usr/bin/env bash
# Expanding a folder of COUNT photographs in the folder tree, against the same
# expansion in a QTreeView on Qt's QFileSystemModel (filtered to the same
# pictures) in the same run: time until the first and all children are shown,
# and the longest wait of the UI thread's event loop meanwhile.
# Goals: all children shown within 500 ms, no wait longer than 50 ms.
# Usage: bench/ui-tree.sh [COUNT]   (default 10000 photographs)
# BENCH_REPEAT=n (default 3) runs each n times, alternating; the fastest run
# gives the times, the longest wait of all runs is kept.
set -euo pipefail
source "$(dirname "$0")/ui-common.sh"
count="${1:-10000}"
ui_bench_build
make_photos "$work/in" "$count"

declare -A all first gap
for tool in tree tree-peer; do
  all[$tool]=""
  first[$tool]=""
  gap[$tool]=0
done
for ((i = 0; i < ${BENCH_REPEAT:-3}; i++)); do
  for tool in tree tree-peer; do
    line=$(QT_QPA_PLATFORM=offscreen "$bench_tool" "$tool" "$work/in" 2>/dev/null | grep '^children=')
    if [[ "$(field children "$line")" != "$count" ]]; then
      echo "ui-tree: $tool showed $(field children "$line") of $count children" >&2
      exit 1
    fi
    if [[ -z "${all[$tool]}" ]] || (($(field all_ms "$line") < ${all[$tool]})); then
      all[$tool]=$(field all_ms "$line")
      first[$tool]=$(field first_ms "$line")
    fi
    ((gap[$tool] = $(field longest_gap_ms "$line") > gap[$tool] ? $(field longest_gap_ms "$line") : gap[$tool]))
  done
done

echo "folder of $count photographs, fastest of ${BENCH_REPEAT:-3} runs each"
printf '  %-32s first %5s ms  all %5s ms  longest wait %4s ms\n' \
  "Varnetto folder tree" "${first[tree]}" "${all[tree]}" "${gap[tree]}"
printf '  %-32s first %5s ms  all %5s ms  longest wait %4s ms\n' \
  "QTreeView + QFileSystemModel" "${first[tree-peer]}" "${all[tree-peer]}" "${gap[tree-peer]}"
awk -v p="${all[tree-peer]}" -v o="${all[tree]}" \
  'BEGIN {printf "  ratio QFileSystemModel / Varnetto (all shown): %.1f\n", p / (o > 0 ? o : 1)}'
echo "  goals: all children within 500 ms (${all[tree]} ms), no wait over 50 ms (${gap[tree]} ms)"
