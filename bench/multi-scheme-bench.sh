#!/usr/bin/env bash
# Times two schemes in one run against the same two schemes run one after the
# other, on the photographs of the mate-backgrounds package:
#   R      resize to 1600 wide (Lanczos), JPEG quality 85 (as run-bench.sh);
#   thumb  resize to 240 wide (Lanczos), JPEG quality 80, names t_1, t_2...
# The one run decodes each photograph once for both; goal: at most 0.7 times
# the two runs. Both outputs are compared byte for byte as well.
#
# VARNETTO_CLI=path uses an existing build; otherwise a release build is made
# in build-bench/. BENCH_REPEAT=n keeps the fastest of n runs of each command.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"

source "$root/bench/cli-common.sh"
bench_cli

work="$(mktemp -d /tmp/varnetto-multi-bench.XXXXXX)"
trap 'rm -rf "$work"' EXIT

bench_inputs
echo "machine: $(nproc) cores, load average $(cut -d' ' -f1-3 /proc/loadavg) at the start"

app="$work/app"
mkdir -p "$app/Schemes"
# Output folders per phase, so both phases write files of the same names.
schemes() {
  cat <<JSON
{
  "schemes": [
    {
      "name": "R", "outputFolder": "$work/$1-R",
      "resizeEnabled": 1, "resizeMode": 2, "resizeValue": 1600, "resizeIncludesBorder": 0,
      "resampleEnabled": 1, "resampleFilter": 5, "jpegQuality": 85
    },
    {
      "name": "thumb", "outputFolder": "$work/$1-thumb",
      "namingMode": 1, "renamePrefix": "t", "renameStartNumber": 1,
      "resizeEnabled": 1, "resizeMode": 2, "resizeValue": 240, "resizeIncludesBorder": 0,
      "resampleEnabled": 1, "resampleFilter": 5, "jpegQuality": 80
    }
  ]
}
JSON
}
use_schemes() {
  schemes "$1" >"$work/schemes.json"
  : >"$app/Schemes/Schemes.bis"
  "$cli" import "$work/schemes.json" --store "$app/Schemes/Schemes.bis"
  mkdir -p "$work/$1-R" "$work/$1-thumb"
}

source "$root/bench/timing.sh"

one_after_other() {
  "$cli" run --scheme R --app-folder "$app" "${inputs[@]}" &&
    "$cli" run --scheme thumb --app-folder "$app" "${inputs[@]}"
}
one_run() { "$cli" run --scheme R --scheme thumb --app-folder "$app" "${inputs[@]}"; }

echo
echo "R and thumb over the same photographs"
use_schemes apart
best one_after_other; t_apart=$WALL; c_apart=$CPU
use_schemes together
best one_run; t_together=$WALL; c_together=$CPU
show "two runs, one after the other" "$t_apart" "$c_apart"
show "one run with both schemes" "$t_together" "$c_together"
echo "  ratio one run / two runs:          $(ratio "$t_together" "$t_apart")  (goal <= 0.7)"

for scheme in R thumb; do
  if ! diff -r "$work/apart-$scheme" "$work/together-$scheme" >/dev/null; then
    echo "multi-scheme-bench: the outputs of $scheme differ between the two ways" >&2
    exit 1
  fi
done
echo "  outputs identical byte for byte: $(find "$work/together-R" "$work/together-thumb" -type f | wc -l) files"
