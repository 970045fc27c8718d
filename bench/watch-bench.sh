#!/usr/bin/env bash
# Throughput of a watched folder against a run over the same pictures: 1,000
# small JPEGs are copied into a folder at once, and the time until the last
# output is in place is taken, for
#   run    the pictures copied in, then "run" over the folder;
#   watch  "watch" already waiting on the folder when they are copied in.
# Both include the copy. Goal: the same throughput (ratio run / watch near 1).
#
# VARNETTO_CLI=path uses an existing build; otherwise a release build is made
# in build-bench/. BENCH_ROUNDS=n repeats both n times (default 3), in turns,
# as the machine's load changes. BENCH_PICTURES=n copies n pictures (1000).
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"

source "$root/bench/cli-common.sh"
bench_cli

work="$(mktemp -d /tmp/varnetto-watch-bench.XXXXXX)"
watcher=""
finish() {
  [[ -n "$watcher" ]] && kill "$watcher" 2>/dev/null || true
  rm -rf "$work"
}
trap finish EXIT
count="${BENCH_PICTURES:-1000}"
echo "machine: $(nproc) cores, load average $(cut -d' ' -f1-3 /proc/loadavg) at the start"

app="$work/app"
cat >"$work/schemes.json" <<JSON
{
  "schemes": [
    {
      "name": "small", "outputFolder": "$work/out",
      "resizeEnabled": 1, "resizeMode": 2, "resizeValue": 32, "jpegQuality": 85
    }
  ]
}
JSON
bench_store "$work/schemes.json"

bench_small_pictures "$work/pictures" "$count"

now() { date +%s.%N; }
seconds() { awk -v a="$1" -v b="$2" 'BEGIN {printf "%.2f", b - a}'; }
# Waits until every output is there, looking ten times a second without
# starting a process, so that the looking takes no time from the watch.
wait_for_outputs() {
  shopt -s nullglob
  local outputs
  while :; do
    outputs=("$work"/out/*.jpg)
    ((${#outputs[@]} >= count)) && break
    sleep 0.1
  done
  shopt -u nullglob
}
fresh() { rm -rf "$work/in" "$work/out"; mkdir -p "$work/in" "$work/out"; }

# Clock ticks of CPU (user + system) of a process still running, read
# without starting a process; cpu_text turns them into seconds.
tick=$(getconf CLK_TCK)
cpu_of() {
  local fields
  read -r -a fields <"/proc/$1/stat" || return 1
  echo "$((fields[13] + fields[14])) ${fields[2]}"
}
cpu_text() { awk -v t="$1" -v tick="$tick" 'BEGIN {printf "%.2f", t / tick}'; }

time_run() {
  fresh
  local start
  start=$(now)
  cp "$work"/pictures/*.jpg "$work/in/"
  "$cli" run --scheme small --app-folder "$app" "$work/in" 2>"$work/run.log" &
  local runner=$! ticks=0 seen
  # Looked at ten times a second, as the watch's outputs are.
  while seen=$(cpu_of "$runner" 2>/dev/null); do
    ticks=${seen% *}
    [[ "$seen" == *" Z" ]] && break # ended: its times are final
    sleep 0.1
  done
  wait "$runner"
  T_RUN=$(seconds "$start" "$(now)")
  C_RUN=$(cpu_text "$ticks")
}

time_watch() {
  fresh
  "$cli" watch --scheme small --app-folder "$app" "$work/in" 2>"$work/watch.log" &
  watcher=$!
  until grep -q "watching $work/in" "$work/watch.log"; do sleep 0.05; done
  local start
  start=$(now)
  cp "$work"/pictures/*.jpg "$work/in/"
  wait_for_outputs
  T_WATCH=$(seconds "$start" "$(now)")
  local seen
  seen=$(cpu_of "$watcher")
  C_WATCH=$(cpu_text "${seen% *}")
  kill -TERM "$watcher"
  wait "$watcher"
  watcher=""
}

echo
echo "$count pictures (96 x 64 JPEG, resized to 32 wide) copied in at once"
for ((round = 1; round <= ${BENCH_ROUNDS:-3}; round++)); do
  time_run
  time_watch
  printf '  round %d: run %6s s (cpu %5s s)   watch %6s s (cpu %5s s)   ratio run / watch %s\n' \
    "$round" "$T_RUN" "$C_RUN" "$T_WATCH" "$C_WATCH" \
    "$(awk -v r="$T_RUN" -v w="$T_WATCH" 'BEGIN {printf "%.2f", r / w}')"
done
echo "  (goal: ratio near 1, the same throughput; cpu is the program's own)"
