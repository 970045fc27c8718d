#!/usr/bin/env bash
# WebP output and sharded runs, timed against peers in one run on the
# photographs of the mate-backgrounds package:
#   W  resize to 1600 wide (Lanczos) and write WebP at quality 85: varnetto-cli
#      against the vips command (resize + webpsave, two processes at a time),
#      cwebp and ImageMagick (one picture after another, as in a shell loop);
#   S  the same scheme as one process with --jobs 2 against two processes
#      with --shard K/2 --jobs 1 side by side, and four shards under GNU
#      parallel, whose files must equal those of the single run byte for byte.
# Prints every figure and every ratio (peer time / Varnetto time).
#
# VARNETTO_CLI=path uses an existing build; otherwise a release build is made
# in build-bench/. BENCH_REPEAT=n keeps the fastest of n runs of each command.
# Run it with nice on a shared machine: nice -n 10 bench/formats-bench.sh
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"

"$root/scripts/install-deps" --bench

source "$root/bench/cli-common.sh"
bench_cli
# /usr/local/bin may hold wrappers; the peers are called by their real paths.
im=/usr/bin/convert
vips=/usr/bin/vips
cwebp=/usr/bin/cwebp

work="$(mktemp -d /tmp/varnetto-formats-bench.XXXXXX)"
trap 'rm -rf "$work"' EXIT

bench_inputs
echo "machine: $(nproc) cores, load average $(cut -d' ' -f1-3 /proc/loadavg) at the start," \
  "nice $(nice)"

app="$work/app"
mkdir -p "$app/Schemes"
scheme() {
  printf '{"name": "%s", "outputFolder": "%s", "resizeEnabled": 1, "resizeMode": 2,
    "resizeValue": 1600, "resizeIncludesBorder": 0, "resampleEnabled": 1, "resampleFilter": 5,
    "jpegQuality": 85, "convertEnabled": 1, "formatConvertEnabled": 1, "outputFormat": 9}' "$1" "$2"
}
cat >"$work/schemes.json" <<JSON
{"schemes": [$(scheme W "$work/out-W"), $(scheme S1 "$work/out-S1"),
             $(scheme S2 "$work/out-S2"), $(scheme S4 "$work/out-S4")]}
JSON
: >"$app/Schemes/Schemes.bis"
"$cli" import "$work/schemes.json" --store "$app/Schemes/Schemes.bis"

source "$root/bench/timing.sh"

varnetto_webp() { "$cli" run --scheme W --app-folder "$app" "$work/in"; }
vips_list="$work/vips-list"
for f in "${inputs[@]}"; do
  printf '%s %s\n' "$f" "$(awk -v w="$(vipsheader -f width "$f")" 'BEGIN {printf "%.6f", 1600 / w}')"
done >"$vips_list"
cat >"$work/vips-one" <<SH
#!/bin/sh
name=\$(basename "\$1" .jpg)
exec "$vips" resize "\$1" "$work/out-vips/\$name.webp[Q=85]" "\$2" --kernel lanczos3
SH
chmod +x "$work/vips-one"
vips_webp() {
  mkdir -p "$work/out-vips"
  xargs -P2 -L1 "$work/vips-one" <"$vips_list"
}
cwebp_loop() {
  mkdir -p "$work/out-cwebp"
  for f in "${inputs[@]}"; do
    "$cwebp" -quiet -q 85 -resize 1600 0 "$f" -o "$work/out-cwebp/$(basename "$f" .jpg).webp"
  done
}
im_loop() {
  mkdir -p "$work/out-im"
  for f in "${inputs[@]}"; do
    "$im" "$f" -filter Lanczos -resize 1600x -quality 85 "$work/out-im/$(basename "$f" .jpg).webp"
  done
}

echo
echo "W: resize to 1600 wide, Lanczos, WebP quality 85"
best varnetto_webp; t_var=$WALL; c_var=$CPU
best vips_webp; t_vips=$WALL; c_vips=$CPU
best cwebp_loop; t_cwebp=$WALL; c_cwebp=$CPU
best im_loop; t_im=$WALL; c_im=$CPU
show "varnetto-cli run" "$t_var" "$c_var"
show "vips resize + webpsave, two at a time" "$t_vips" "$c_vips"
show "cwebp -resize, one at a time" "$t_cwebp" "$c_cwebp"
show "ImageMagick convert, one at a time" "$t_im" "$c_im"
echo "  ratio vips / Varnetto:         $(ratio "$t_vips" "$t_var")  (goal >= 1.3)"
echo "  ratio cwebp / Varnetto:        $(ratio "$t_cwebp" "$t_var")  (goal >= 4)"
echo "  ratio ImageMagick / Varnetto:  $(ratio "$t_im" "$t_var")  (goal >= 4)"
printf '  output bytes: Varnetto %s, vips %s, cwebp %s, ImageMagick %s\n' \
  "$(du -sb "$work/out-W" | cut -f1)" "$(du -sb "$work/out-vips" | cut -f1)" \
  "$(du -sb "$work/out-cwebp" | cut -f1)" "$(du -sb "$work/out-im" | cut -f1)"

echo
echo "S: one process with --jobs 2 against shards"
one_run() { "$cli" run --scheme S1 --app-folder "$app" --jobs 2 "$work/in"; }
two_shards() {
  "$cli" run --scheme S2 --app-folder "$app" --jobs 1 --shard 1/2 "$work/in" &
  "$cli" run --scheme S2 --app-folder "$app" --jobs 1 --shard 2/2 "$work/in" &
  local status=0
  wait %1 || status=1
  wait %2 || status=1
  return $status
}
# As the README shows it: the shard number from parallel's environment.
four_shards() {
  parallel -N0 --halt now,fail=1 "$cli" run --scheme S4 --app-folder "$app" --jobs 1 \
    --shard '$PARALLEL_SEQ/4' "$work/in" ::: 1 2 3 4
}
best one_run; t_one=$WALL; c_one=$CPU
best two_shards; t_two=$WALL; c_two=$CPU
measure four_shards; t_four=$WALL; c_four=$CPU
show "1 x --jobs 2" "$t_one" "$c_one"
show "2 x --shard K/2 --jobs 1" "$t_two" "$c_two"
show "4 x --shard K/4 --jobs 1 (GNU parallel)" "$t_four" "$c_four"
echo "  ratio 2 shards / one run:      $(ratio "$t_two" "$t_one")"
for folder in out-S2 out-S4; do
  if diff -r "$work/out-S1" "$work/$folder" >/dev/null; then
    echo "  $folder: the same $(find "$work/$folder" -type f | wc -l) files as the single run, byte for byte"
  else
    echo "  $folder: DIFFERS from the single run" >&2
    exit 1
  fi
done
echo "machine: load average $(cut -d' ' -f1-3 /proc/loadavg) at the end"
