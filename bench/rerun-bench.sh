#!/usr/bin/env bash
# Times what a re-run and a watched folder cost:
#   N  a re-run with --existing newer over 1,000 pictures that are all done
#      (goal: under 1 s, no picture read), beside the first run and a re-run
#      that replaces everything;
#   W  watch latency: from one photograph copied into a watched folder until
#      its output is in place, beside a run of that photograph alone
#      (goal: within 1 s plus its processing time); and 1,000 small pictures
#      copied in at once, beside the first run of N (goal: the same throughput).
#
# VARNETTO_CLI=path uses an existing build; otherwise a release build is made
# in build-bench/. BENCH_REPEAT=n keeps the fastest of n runs of each timed
# command. BENCH_WORK=dir keeps the work files.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"

source "$root/bench/cli-common.sh"
bench_cli

if [[ -n "${BENCH_WORK:-}" ]]; then
  work="$BENCH_WORK"
  rm -rf "$work"
  mkdir -p "$work"
else
  work="$(mktemp -d /tmp/varnetto-rerun-bench.XXXXXX)"
  cleanup_work=1
fi
watcher=""
finish() {
  [[ -n "$watcher" ]] && kill "$watcher" 2>/dev/null || true
  [[ -n "${cleanup_work:-}" ]] && rm -rf "$work"
}
trap finish EXIT
source "$root/bench/timing.sh"
echo "machine: $(nproc) cores, load average $(cut -d' ' -f1-3 /proc/loadavg) at the start"

app="$work/app"
cat >"$work/schemes.json" <<JSON
{
  "schemes": [
    {
      "name": "small", "outputFolder": "$work/out",
      "resizeEnabled": 1, "resizeMode": 2, "resizeValue": 32, "jpegQuality": 85
    },
    {
      "name": "many", "outputFolder": "$work/many-out",
      "resizeEnabled": 1, "resizeMode": 2, "resizeValue": 32, "jpegQuality": 85
    },
    {
      "name": "web", "outputFolder": "$work/watch-out",
      "resizeEnabled": 1, "resizeMode": 2, "resizeValue": 1600, "jpegQuality": 85
    }
  ]
}
JSON
bench_store "$work/schemes.json"

# --- N: 1,000 small pictures, links of one made here
bench_small_pictures "$work/in" 1000
rerun() { "$cli" run --scheme small --app-folder "$app" --existing "$1" "$work/in"; }
measure rerun replace
t_first=$WALL
c_first=$CPU
best rerun newer
t_newer=$WALL
c_newer=$CPU
grep -qx "0 processed (0 with warnings), 1000 skipped, 0 failed" "$work/last.log" ||
  { echo "$(basename "$0"): the re-run did not skip everything:" >&2; tail -3 "$work/last.log" >&2; exit 1; }
best "$cli" list --store "$app/Schemes/Schemes.bis"
t_start=$WALL
c_start=$CPU
best rerun replace
t_replace=$WALL
c_replace=$CPU
echo
echo "N: 1,000 done pictures (96 x 64 JPEG, resized to 32 wide)"
show "first run" "$t_first" "$c_first"
show "re-run --existing newer" "$t_newer" "$c_newer"
echo "  (goal < 1 s)"
show "a command that does nothing (list)" "$t_start" "$c_start"
show "re-run --existing replace" "$t_replace" "$c_replace"

# --- W: one photograph copied into a watched folder
photo=$(find /usr/share/backgrounds/mate -type f -iname '*.jpg' 2>/dev/null | sort | head -1)
if [[ -z "$photo" ]]; then
  vips gaussnoise "$work/noise.v" 4000 3000
  vips colourspace "$work/noise.v" "$work/photo.jpg" srgb
  photo="$work/photo.jpg"
fi
mkdir -p "$work/watch-in" "$work/alone"
cp "$photo" "$work/alone/"
measure "$cli" run --scheme web --app-folder "$app" "$work/alone/$(basename "$photo")"
t_alone=$WALL
c_alone=$CPU
rm -rf "$work/watch-out"
"$cli" watch --scheme web --app-folder "$app" "$work/watch-in" 2>"$work/watch.log" &
watcher=$!
until grep -q "watching $work/watch-in" "$work/watch.log"; do sleep 0.05; done
output="$work/watch-out/$(basename "$photo")"
start=$(date +%s.%N)
cp "$photo" "$work/watch-in/"
until [[ -e "$output" ]]; do sleep 0.01; done
end=$(date +%s.%N)
t_watch=$(awk -v a="$start" -v b="$end" 'BEGIN {printf "%.2f", b - a}')
kill -TERM "$watcher"
wait "$watcher"
watcher=""

mkdir -p "$work/many-in"
"$cli" watch --scheme many --app-folder "$app" "$work/many-in" 2>"$work/many.log" &
watcher=$!
until grep -q "watching $work/many-in" "$work/many.log"; do sleep 0.05; done
start=$(date +%s.%N)
cp "$work"/in/*.jpg "$work/many-in/"
# Looked at without starting a process: a find every 50 ms took a good part
# of the two cores from the watch it timed (bench/watch-bench.sh compares the
# watch with run in turns).
shopt -s nullglob
until outputs=("$work"/many-out/*.jpg) && ((${#outputs[@]} == 1000)); do sleep 0.1; done
shopt -u nullglob
end=$(date +%s.%N)
kill -TERM "$watcher"
wait "$watcher"
watcher=""
t_many=$(awk -v a="$start" -v b="$end" 'BEGIN {printf "%.2f", b - a}')
echo
echo "W: $(basename "$photo") ($(vipsheader -f width "$photo") x $(vipsheader -f height "$photo")) copied into a watched folder"
show "copy -> output in place" "$t_watch" "-"
show "run of that picture alone" "$t_alone" "$c_alone"
echo "  (goal: within 1 s plus the processing time)"
show "1,000 small pictures copied in at once" "$t_many" "-"
show "the first run of N, for comparison" "$t_first" "$c_first"
