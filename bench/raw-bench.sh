#!/usr/bin/env bash
# Camera RAW files against LibRaw's own dcraw_emu, in one run on the same
# generated 24-megapixel DNGs (a 12-bit mosaic and a 1600-pixel embedded JPEG
# preview each, made by tests/rawsamples/make-dng):
#   T  thumbnails of RAW_COUNT files (default 200): the window's folder load
#      (160 x 120 rows, from the embedded previews) against decoding them
#      with dcraw_emu -h, two processes at a time. Goal: >= 10 x.
#   R  resize to 1600 wide (Lanczos) and JPEG quality 85 over R_COUNT files
#      (default 20): varnetto-cli --jobs 2 against dcraw_emu (camera white
#      balance, TIFF) + vips resize, two files at a time. Goal: >= 1.2 x.
# Prints every figure and every ratio (peer time / Varnetto time).
#
# UI_BENCH_BUILD=dir uses an existing build (with the window program and the
# tests); otherwise a release build is made in build-ui-bench/.
# BENCH_REPEAT=n keeps the fastest of n runs of each command. RAW_INPUTS=dir
# takes r0000.dng ... from dir where it holds them (made by an earlier run's
# make-dng with the same arguments) instead of writing them again.
set -euo pipefail
source "$(dirname "$0")/ui-common.sh"
raw_count="${RAW_COUNT:-200}"
r_count="${R_COUNT:-20}"
# /usr/local/bin may hold wrappers; the peers are called by their real paths.
dcraw=/usr/bin/dcraw_emu
vips=/usr/bin/vips
ui_bench_build
cmake --build "$build" -j 2 --target varnetto-cli make-dng >/dev/null
cli="$build/bin/varnetto-cli"
make_dng="$build/tests-bin/make-dng"
source "$root/bench/timing.sh"

echo "machine: $(nproc) cores, load average $(cut -d' ' -f1-3 /proc/loadavg) at the start"
mkdir -p "$work/raw"
for ((i = 0; i < raw_count; i++)); do
  name="$(printf 'r%04d.dng' "$i")"
  if [[ -n "${RAW_INPUTS:-}" && -f "$RAW_INPUTS/$name" ]]; then
    ln -f "$RAW_INPUTS/$name" "$work/raw/$name" 2>/dev/null || cp "$RAW_INPUTS/$name" "$work/raw/$name"
  else
    # Turned files among them, as a camera held upright writes them.
    "$make_dng" "$work/raw/$name" 6000 4000 $((i % 4 == 3 ? 6 : 1)) 1600 "$i"
  fi
done
mapfile -t raws < <(find "$work/raw" -name '*.dng' | sort)
echo "inputs: ${#raws[@]} DNGs of 6000 x 4000, $(du -sh "$work/raw" | cut -f1) in all"

echo
echo "T: thumbnails of ${#raws[@]} RAW files"
ours_thumbs() { QT_QPA_PLATFORM=offscreen "$bench_tool" thumbnails "$work/raw"; }
dcraw_half() { printf '%s\n' "${raws[@]}" | xargs -P2 -I{} sh -c "$dcraw -w -h -Z - '{}' >/dev/null"; }
best ours_thumbs
line=$(grep '^rows=' "$work/last.log")
t_ours=$(field seconds "$line")
c_ours=$CPU
best dcraw_half; t_dcraw=$WALL; c_dcraw=$CPU
show "varnetto folder load (all rows read)" "$t_ours" "$c_ours"
show "dcraw_emu -h, two at a time" "$t_dcraw" "$c_dcraw"
echo "  $line"
echo "  ratio dcraw_emu -h / Varnetto:  $(ratio "$t_dcraw" "$t_ours")  (goal >= 10)"

echo
echo "R: resize to 1600 wide, Lanczos, JPEG quality 85, over $r_count RAW files"
app="$work/app"
mkdir -p "$app/Schemes"
cat >"$work/schemes.json" <<JSON
{"schemes": [{"name": "R", "outputFolder": "$work/out-R", "resizeEnabled": 1, "resizeMode": 2,
  "resizeValue": 1600, "resizeIncludesBorder": 0, "resampleEnabled": 1, "resampleFilter": 5,
  "jpegQuality": 85, "convertEnabled": 1, "formatConvertEnabled": 1, "outputFormat": 2}]}
JSON
: >"$app/Schemes/Schemes.bis"
"$cli" import "$work/schemes.json" --store "$app/Schemes/Schemes.bis" >/dev/null
few=("${raws[@]:0:r_count}")
cat >"$work/peer-one" <<SH
#!/bin/sh
name=\$(basename "\$1" .dng)
"$dcraw" -w -T -Z "$work/peer-tmp/\$name.tiff" "\$1" || exit 1
"$vips" resize "$work/peer-tmp/\$name.tiff" "$work/out-peer/\$name.jpg[Q=85]" \
  \$(awk -v w="\$(vipsheader -f width "$work/peer-tmp/\$name.tiff")" 'BEGIN {printf "%.6f", 1600 / w}') \
  --kernel lanczos3
status=\$?
rm -f "$work/peer-tmp/\$name.tiff"
exit \$status
SH
chmod +x "$work/peer-one"
ours_r() { "$cli" run --scheme R --app-folder "$app" --jobs 2 "${few[@]}"; }
peer_r() {
  mkdir -p "$work/peer-tmp" "$work/out-peer"
  printf '%s\n' "${few[@]}" | xargs -P2 -L1 "$work/peer-one"
}
best ours_r; t_ours=$WALL; c_ours=$CPU
best peer_r; t_peer=$WALL; c_peer=$CPU
show "varnetto-cli run --jobs 2" "$t_ours" "$c_ours"
show "dcraw_emu + vips resize, two at a time" "$t_peer" "$c_peer"
echo "  ratio peer / Varnetto:  $(ratio "$t_peer" "$t_ours")  (goal >= 1.2)"
echo "  outputs: Varnetto $(find "$work/out-R" -name '*.jpg' | wc -l), peer $(find "$work/out-peer" -name '*.jpg' | wc -l)," \
  "first sizes $(vipsheader "$(find "$work/out-R" -name '*.jpg' | sort | head -1)" | cut -d: -f2)" \
  "/$(vipsheader "$(find "$work/out-peer" -name '*.jpg' | sort | head -1)" | cut -d: -f2)"
echo "load average $(cut -d' ' -f1-3 /proc/loadavg) at the end"
