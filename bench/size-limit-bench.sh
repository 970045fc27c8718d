#!/usr/bin/env bash
# The file-size limit against the same scheme without it, in one run, on the
# photographs of the mate-backgrounds package:
#   R   resize to 1600 wide (Lanczos) and JPEG quality 85;
#   RL  the same with a limit of 200 KB.
# Prints both times and their ratio (goal: RL at most 2.5 times R), whether
# every RL file is within the limit, and the mean quality the limit chose, as
# ImageMagick's identify estimates it from each file's quantisation tables.
#
# VARNETTO_CLI=path uses an existing build; otherwise a release build is made
# in build-bench/. BENCH_REPEAT=n keeps the fastest of n runs of each command.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"

source "$root/bench/cli-common.sh"
bench_cli
identify=/usr/bin/identify

work="$(mktemp -d /tmp/varnetto-size-bench.XXXXXX)"
trap 'rm -rf "$work"' EXIT

bench_inputs
echo "machine: $(nproc) cores, load average $(cut -d' ' -f1-3 /proc/loadavg) at the start," \
  "nice $(nice)"

limit_kb=200
app="$work/app"
mkdir -p "$app/Schemes"
scheme() {
  printf '{"name": "%s", "outputFolder": "%s", "resizeEnabled": 1, "resizeMode": 2,
    "resizeValue": 1600, "resizeIncludesBorder": 0, "resampleEnabled": 1, "resampleFilter": 5,
    "jpegQuality": 85, "fileSizeLimitKb": %d}' "$1" "$2" "$3"
}
cat >"$work/schemes.json" <<JSON
{"schemes": [$(scheme R "$work/out-R" 0), $(scheme RL "$work/out-RL" "$limit_kb")]}
JSON
: >"$app/Schemes/Schemes.bis"
"$cli" import "$work/schemes.json" --store "$app/Schemes/Schemes.bis"

source "$root/bench/timing.sh"
run() { rm -rf "$work/out-$1"; "$cli" run --scheme "$1" --app-folder "$app" "$work/in"; }

best run R; t_r=$WALL; c_r=$CPU
best run RL; t_rl=$WALL; c_rl=$CPU
show "R  (no limit)" "$t_r" "$c_r"
show "RL (limit $limit_kb KB)" "$t_rl" "$c_rl"
echo "  ratio RL / R:                     $(ratio "$t_rl" "$t_r")  (goal <= 2.5)"

over=0
qualities=()
for f in "$work"/out-RL/*.jpg; do
  size=$(stat -c %s "$f")
  ((size > limit_kb * 1024)) && { echo "  over the limit: $(basename "$f") $size bytes"; over=$((over + 1)); }
  qualities+=("$("$identify" -format %Q "$f")")
done
sizes_r=$(stat -c %s "$work"/out-R/*.jpg | awk '{s += $1; if ($1 > m) m = $1} END {printf "mean %.0f KB, largest %.0f KB", s / NR / 1024, m / 1024}')
sizes_rl=$(stat -c %s "$work"/out-RL/*.jpg | awk '{s += $1; if ($1 > m) m = $1} END {printf "mean %.0f KB, largest %.0f KB", s / NR / 1024, m / 1024}')
echo "  R  files: $sizes_r"
echo "  RL files: $sizes_rl; $over over the limit"
printf '  RL qualities: %s\n' "${qualities[*]}"
echo "  mean quality chosen: $(printf '%s\n' "${qualities[@]}" | awk '{s += $1} END {printf "%.1f", s / NR}')"
