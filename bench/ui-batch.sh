#!/usr/bin/env bash
# The window's batch against varnetto-cli on the same photographs in the same
# run: both run the same scheme with one worker per core, so the window must
# reach the command's throughput. Goal: window time within 10 % of the CLI's.
#   R  resize to 1600 wide (Lanczos), JPEG quality 85
#   F  the same with brightness, contrast and sharpening
# Usage: bench/ui-batch.sh [COUNT]   (default: every photograph, 16)
# BENCH_REPEAT=n keeps the fastest of n runs of each.
set -euo pipefail
source "$(dirname "$0")/ui-common.sh"
ui_bench_build
cmake --build "$build" -j 2 --target varnetto-cli >/dev/null
cli="$build/bin/varnetto-cli"
mapfile -t all < <(find /usr/share/backgrounds/mate -type f -iname '*.jpg' | sort)
count="${1:-${#all[@]}}"
make_photos "$work/in" "$count"
mapfile -t inputs < <(find "$work/in" -name '*.jpg' | sort)

app="$work/app"
mkdir -p "$app/Schemes"
cat >"$work/schemes.json" <<JSON
{"schemes": [
  {"name": "R", "outputFolder": "$work/out-R", "resizeEnabled": 1, "resizeMode": 2,
   "resizeValue": 1600, "resampleEnabled": 1, "resampleFilter": 5, "jpegQuality": 85},
  {"name": "F", "outputFolder": "$work/out-F", "resizeEnabled": 1, "resizeMode": 2,
   "resizeValue": 1600, "resampleEnabled": 1, "resampleFilter": 5, "jpegQuality": 85,
   "enhanceEnabled": 1, "brightnessEnabled": 1, "brightnessValue": 60,
   "contrastEnabled": 1, "contrastValue": 60, "sharpenEnabled": 1, "sharpenValue": 2}
]}
JSON
: >"$app/Schemes/Schemes.bis"
"$cli" import "$work/schemes.json" --store "$app/Schemes/Schemes.bis"
mkdir -p "$work/out-R" "$work/out-F"

# Wall seconds of a command; for the window tool the seconds it reports from
# "开始" to the end of the run, leaving out the start of Qt itself.
seconds() {
  local start end line
  start=$(date +%s.%N)
  line=$("$@" 2>/dev/null | grep '^images=' || true)
  end=$(date +%s.%N)
  if [[ -n "$line" ]]; then
    sed -E 's/.*seconds=([0-9.]+).*/\1/' <<<"$line"
  else
    awk -v a="$start" -v b="$end" 'BEGIN {printf "%.2f", b - a}'
  fi
}
fastest() {
  local best="" t i
  for ((i = 0; i < ${BENCH_REPEAT:-3}; i++)); do
    t=$(seconds "$@")
    if [[ -z "$best" ]] || awk -v a="$t" -v b="$best" 'BEGIN {exit !(a < b)}'; then best=$t; fi
  done
  echo "$best"
}
window_batch() { QT_QPA_PLATFORM=offscreen "$bench_tool" batch "$app" "$1" "${inputs[@]}"; }
cli_batch() { "$cli" run --scheme "$1" --app-folder "$app" "${inputs[@]}"; }

echo "photographs: ${#inputs[@]}; machine: $(nproc) cores, load $(cut -d' ' -f1-3 /proc/loadavg)"
for scheme in R F; do
  t_cli=$(fastest cli_batch "$scheme")
  t_win=$(fastest window_batch "$scheme")
  printf '%s  varnetto-cli %6s s | window batch %6s s | window / cli %s (goal <= 1.10)\n' \
    "$scheme" "$t_cli" "$t_win" "$(awk -v w="$t_win" -v c="$t_cli" 'BEGIN {printf "%.2f", w / c}')"
done
