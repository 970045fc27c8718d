#!/usr/bin/env bash
# How close the editor's predicted file size comes to the file a run writes:
# twelve generated photographs from 640 x 480 to 6000 x 4000, each through
# three schemes (1600 wide with a caption sized to the picture; JPEG Q90
# unresized, whose large outputs are measured on bands of rows; WebP 2400
# wide under a 300 KB limit). Prints predicted against written per picture,
# the time each prediction took, and the mean and worst error.
#
# PREDICTION_BENCH_BUILD=dir reuses a build; otherwise a release build is
# made in build-bench/.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="${PREDICTION_BENCH_BUILD:-$root/build-bench}"
if [[ -z "${PREDICTION_BENCH_BUILD:-}" ]]; then
  cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
fi
cmake --build "$build" -j 2 --target varnetto-prediction-bench >/dev/null

work="$(mktemp -d /tmp/varnetto-prediction-bench.XXXXXX)"
trap 'rm -rf "$work"' EXIT
echo "machine: $(nproc) cores, load average $(cut -d' ' -f1-3 /proc/loadavg) at the start"
"$build/tests-bin/varnetto-prediction-bench" "$work" 2> >(grep -v -e '^$' -e 'VIPS-WARNING' >&2)
