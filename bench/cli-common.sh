# Shared by the bench scripts that time varnetto-cli against peer tools.

# Sets cli: $VARNETTO_CLI, or a release build made in build-bench/.
bench_cli() {
  cli="${VARNETTO_CLI:-}"
  if [[ -z "$cli" ]]; then
    cmake -S "$root" -B "$root/build-bench" -G Ninja -DCMAKE_BUILD_TYPE=Release \
      -DVARNETTO_BUILD_APP=OFF -DVARNETTO_BUILD_TESTS=OFF >/dev/null
    cmake --build "$root/build-bench" -j 2 --target varnetto-cli >/dev/null
    cli="$root/build-bench/bin/varnetto-cli"
  fi
}

# Copies the package's photographs to $work/in, so every tool reads the same
# files, sets inputs and prints what they are.
bench_inputs() {
  mkdir -p "$work/in"
  find /usr/share/backgrounds/mate -type f -iname '*.jpg' -exec cp {} "$work/in/" \;
  mapfile -t inputs < <(find "$work/in" -type f -name '*.jpg' | sort)
  if ((${#inputs[@]} == 0)); then
    echo "$(basename "$0"): no photographs found under /usr/share/backgrounds/mate" >&2
    exit 1
  fi
  local megapixels
  megapixels=$(for f in "${inputs[@]}"; do vipsheader -f width "$f"; vipsheader -f height "$f"; done |
    paste - - | awk '{s += $1 * $2} END {printf "%.1f", s / 1e6}')
  echo "inputs: ${#inputs[@]} JPEG photographs, $megapixels megapixels in all"
}

# Imports the schemes of the JSON file $1 into a new store in $app.
bench_store() {
  mkdir -p "$app/Schemes"
  : >"$app/Schemes/Schemes.bis"
  "$cli" import "$1" --store "$app/Schemes/Schemes.bis"
}

# Fills folder $1 with $2 small JPEGs (96 x 64), links of one made in $work.
bench_small_pictures() {
  mkdir -p "$1"
  [[ -f "$work/seed.jpg" ]] || {
    vips black "$work/seed.v" 96 64 --bands 3
    vips copy "$work/seed.v" "$work/seed.jpg"
  }
  local i
  for i in $(seq -w 1 "$2"); do ln "$work/seed.jpg" "$1/p$i.jpg"; done
}
