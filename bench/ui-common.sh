# Shared by the bench/ui-*.sh scripts: a build with the window program and a
# folder of photographs made of hard links to the mate-backgrounds package.
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
"$root/scripts/install-deps" --bench

# UI_BENCH_BUILD=dir reuses a build; otherwise a release build in build-ui-bench/.
ui_bench_build() {
  build="${UI_BENCH_BUILD:-$root/build-ui-bench}"
  if [[ -z "${UI_BENCH_BUILD:-}" ]]; then
    cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
  fi
  cmake --build "$build" -j 2 --target varnetto-ui-bench appdata >/dev/null
  bench_tool="$build/tests-bin/varnetto-ui-bench"
}

# make_photos DIR COUNT [FROM]: COUNT photographs named p00001.jpg ... in DIR,
# made of the photographs under FROM (default: the package's).
make_photos() {
  local dir="$1" count="$2" from="${3:-/usr/share/backgrounds/mate}" i=0
  mkdir -p "$dir"
  mapfile -t sources < <(find "$from" -type f -iname '*.jpg' | sort)
  if ((${#sources[@]} == 0)); then
    echo "no photographs under $from" >&2
    exit 1
  fi
  while ((i < count)); do
    ln -f "${sources[i % ${#sources[@]}]}" "$dir/$(printf 'p%05d.jpg' "$i")" 2>/dev/null ||
      cp "${sources[i % ${#sources[@]}]}" "$dir/$(printf 'p%05d.jpg' "$i")"
    i=$((i + 1))
  done
}

# field NAME LINE: the number after NAME= in a line the bench programs print.
field() { sed -E "s/.*$1=(-?[0-9.]+).*/\\1/" <<<"$2"; }

# resized_copy SOURCE OUTPUT WIDTH HEIGHT: SOURCE stretched to WIDTH x HEIGHT.
resized_copy() {
  local w h
  w=$(vipsheader -f width "$1")
  h=$(vipsheader -f height "$1")
  vips resize "$1" "$2" "$(awk -v w="$w" -v to="$3" 'BEGIN {printf "%.6f", to / w}')" \
    --vscale "$(awk -v h="$h" -v to="$4" 'BEGIN {printf "%.6f", to / h}')"
}

# elapsed_ms COMMAND...: how long the command takes, its output dropped.
elapsed_ms() {
  local start
  start=$(date +%s%N)
  "$@" >/dev/null
  awk -v a="$start" -v b="$(date +%s%N)" 'BEGIN {printf "%.0f", (b - a) / 1e6}'
}

work="$(mktemp -d /tmp/varnetto-ui-bench.XXXXXX)"
trap 'rm -rf "$work"' EXIT
