#!/usr/bin/env bash
# Peak memory and time of varnetto-cli on four 289-megapixel bombs (two
# progressive JPEGs of about 1.7 MB, two PNGs of under 1 MB, all 17000 x
# 17000), resized to 1600 wide: --jobs 4 within a 2 GB budget against
# --jobs 1, measured with /usr/bin/time -v.
#
#   bench/memory-budget.sh [path/to/varnetto-cli ...]
# Every varnetto-cli given is measured (an older build side by side, say);
# default: build/bin/varnetto-cli. BENCH_JOBS="4 1" picks the job counts,
# BENCH_MEMORY=2G the budget (empty: the default budget).
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
"$root/scripts/install-deps" --bench
clis=("$@")
((${#clis[@]})) || clis=("$root/build/bin/varnetto-cli")
work="$(mktemp -d /tmp/varnetto-bombs.XXXXXX)"
trap 'rm -rf "$work"' EXIT

mkdir -p "$work/in" "$work/app/Schemes"
vips black "$work/black.v" 17000 17000 --bands 3
vips jpegsave "$work/black.v" "$work/in/bomb1.jpg" --interlace
cp "$work/in/bomb1.jpg" "$work/in/bomb2.jpg"
vips pngsave "$work/black.v" "$work/in/bomb3.png"
cp "$work/in/bomb3.png" "$work/in/bomb4.png"
rm "$work/black.v"
ls -l "$work/in" | awk 'NR > 1 {print "input:", $9, $5, "bytes"}'

cat >"$work/schemes.json" <<JSON
{"schemes": [{"name": "R", "outputFolder": "$work/out", "resizeEnabled": 1, "resizeMode": 2,
  "resizeValue": 1600, "resizeIncludesBorder": 0, "resampleEnabled": 1, "resampleFilter": 5,
  "jpegQuality": 85}]}
JSON
: >"$work/app/Schemes/Schemes.bis"
"${clis[0]}" import "$work/schemes.json" --store "$work/app/Schemes/Schemes.bis"

memory="${BENCH_MEMORY-2G}"
for cli in "${clis[@]}"; do
  for jobs in ${BENCH_JOBS:-4 1}; do
    rm -rf "$work/out"
    args=(run --scheme R --app-folder "$work/app" --jobs "$jobs")
    [[ -n "$memory" ]] && args+=(--memory "$memory")
    /usr/bin/time -v "$cli" "${args[@]}" "$work"/in/* 2>"$work/log" || true
    peak=$(awk -F': ' '/Maximum resident set size/ {printf "%.0f", $2 / 1024}' "$work/log")
    wall=$(awk -F': ' '/Elapsed \(wall clock\)/ {print $2}' "$work/log")
    summary=$(grep -E ' processed \(' "$work/log" || echo "no summary")
    echo "$cli --jobs $jobs ${memory:+--memory $memory}: peak ${peak} MB, ${wall} wall; $summary"
  done
done
