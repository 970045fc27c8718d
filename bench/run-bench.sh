#!/usr/bin/env bash
# Times varnetto-cli against ImageMagick, GraphicsMagick and the vips command on
# the photographs of the mate-backgrounds package, in one run on the same inputs:
#   R  resize to 1600 wide (Lanczos) and recompress at JPEG quality 85;
#   F  brightness, contrast, sharpen, resize, caption, stamp and an outer border
#      (ImageMagick does the same steps except the border);
#   M  peak memory of varnetto-cli with scheme F on a 10000 x 10000 JPEG.
# Prints every figure and every ratio (peer time / Varnetto time).
#
# VARNETTO_CLI=path uses an existing build; otherwise a release build is made
# in build-bench/. BENCH_REPEAT=n keeps the fastest of n runs of each command.
# BENCH_BASE_CLI=path also times R and F with another build (an older commit),
# the two builds taking turns, and prints base time / this build's time;
# BENCH_BASE_ONLY=1 then leaves out the peers and the memory run.
# BENCH_WORK=dir keeps the work files (default: a temporary folder that is
# removed at the end).
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"

"$root/scripts/install-deps" --bench

source "$root/bench/cli-common.sh"
bench_cli
# /usr/local/bin may hold wrappers; the peers are called by their real paths.
im=/usr/bin/convert
gm=/usr/bin/gm
vips=/usr/bin/vips

if [[ -n "${BENCH_WORK:-}" ]]; then
  work="$BENCH_WORK"
  rm -rf "$work"
  mkdir -p "$work"
else
  work="$(mktemp -d /tmp/varnetto-bench.XXXXXX)"
  trap 'rm -rf "$work"' EXIT
fi

# --- inputs: the package's photographs, copied so every tool reads the same files
bench_inputs
echo "machine: $(nproc) cores, load average $(cut -d' ' -f1-3 /proc/loadavg) at the start"

# --- application folder: stamp, border set and the two schemes, all generated here
app="$work/app"
mkdir -p "$app/Schemes" "$app/Stamps" "$app/Borders"
"$im" -size 160x60 xc:'#1f3f7f' -fill white -draw 'rectangle 8,8 151,51' \
  -fill '#1f3f7f' -draw 'rectangle 14,14 145,45' "$app/Stamps/bench.png"
piece() { "$im" -size "$1" "$2" "BMP3:$app/Borders/bench_$3.bmp"; }
piece 40x16 gradient:'#5a3a1a-#c08040' 1
piece 16x40 gradient:'#c08040-#5a3a1a' 2
piece 40x16 gradient:'#c08040-#5a3a1a' 3
piece 16x40 gradient:'#5a3a1a-#c08040' 4
for i in 5 6 7 8; do piece 16x16 xc:'#3a2410' "$i"; done

cat >"$work/schemes.json" <<JSON
{
  "schemes": [
    {
      "name": "R", "outputFolder": "$work/out-varnetto-R",
      "resizeEnabled": 1, "resizeMode": 2, "resizeValue": 1600, "resizeIncludesBorder": 0,
      "resampleEnabled": 1, "resampleFilter": 5, "jpegQuality": 85
    },
    {
      "name": "F", "outputFolder": "$work/out-varnetto-F",
      "resizeEnabled": 1, "resizeMode": 2, "resizeValue": 1600, "resizeIncludesBorder": 0,
      "resampleEnabled": 1, "resampleFilter": 5, "jpegQuality": 85,
      "enhanceEnabled": 1, "brightnessEnabled": 1, "brightnessValue": 60,
      "contrastEnabled": 1, "contrastValue": 60, "sharpenEnabled": 1, "sharpenValue": 2,
      "textEnabled": 1, "textContent": "Varnetto bench", "fontFace": "Liberation Sans",
      "fontSize": 200, "fontWeight": 700, "textColor": 16777215, "textPosX": 0.03, "textPosY": 0.03,
      "stampEnabled": 1, "stampKind": 0, "stampFile": "bench.png", "stampPosX": 0.8, "stampPosY": 0.8,
      "borderEnabled": 1, "borderKind": 0, "borderName": "bench", "borderInner": 0
    }
  ]
}
JSON
: >"$app/Schemes/Schemes.bis"
"$cli" import "$work/schemes.json" --store "$app/Schemes/Schemes.bis"

source "$root/bench/timing.sh"

varnetto_run() { "$cli" run --scheme "$1" --app-folder "$app" "${inputs[@]}"; }

if [[ -n "${BENCH_BASE_CLI:-}" ]]; then
  base_run() { "$BENCH_BASE_CLI" run --scheme "$1" --app-folder "$app" "${inputs[@]}"; }
  # lowest NAME VALUE: NAME becomes VALUE when it is empty or larger.
  lowest() {
    if [[ -z "${!1}" ]] || awk -v a="$2" -v b="${!1}" 'BEGIN {exit !(a < b)}'; then
      printf -v "$1" '%s' "$2"
    fi
  }
  echo
  echo "B: this build against $BENCH_BASE_CLI, taking turns (fastest of ${BENCH_REPEAT:-1})"
  for scheme in R F; do
    this_wall="" this_cpu="" base_wall="" base_cpu=""
    for ((round = 0; round < ${BENCH_REPEAT:-1}; round++)); do
      measure varnetto_run "$scheme"
      lowest this_wall "$WALL"
      lowest this_cpu "$CPU"
      measure base_run "$scheme"
      lowest base_wall "$WALL"
      lowest base_cpu "$CPU"
    done
    echo "  $scheme: base $base_wall s wall $base_cpu s cpu, this build $this_wall s wall $this_cpu s cpu"
    echo "     ratio base / this: wall $(ratio "$base_wall" "$this_wall"), cpu $(ratio "$base_cpu" "$this_cpu")"
  done
  [[ "${BENCH_BASE_ONLY:-}" == 1 ]] && exit 0
fi
im_resize() {
  mkdir -p "$work/out-im-R"
  for f in "${inputs[@]}"; do
    "$im" "$f" -filter Lanczos -resize 1600x -quality 85 "$work/out-im-R/$(basename "$f")"
  done
}
gm_resize() {
  mkdir -p "$work/out-gm-R"
  for f in "${inputs[@]}"; do
    "$gm" convert "$f" -filter Lanczos -resize 1600x -quality 85 "$work/out-gm-R/$(basename "$f")"
  done
}
# vips resize takes a scale factor: worked out before the clock starts.
vips_list="$work/vips-list"
for f in "${inputs[@]}"; do
  printf '%s %s\n' "$f" "$(awk -v w="$(vipsheader -f width "$f")" 'BEGIN {printf "%.6f", 1600 / w}')"
done >"$vips_list"
cat >"$work/vips-one" <<SH
#!/bin/sh
exec "$vips" resize "\$1" "$work/out-vips-R/\$(basename "\$1")[Q=85]" "\$2" --kernel lanczos3
SH
chmod +x "$work/vips-one"
vips_resize() {
  mkdir -p "$work/out-vips-R"
  xargs -P2 -L1 "$work/vips-one" <"$vips_list"
}
im_full() {
  mkdir -p "$work/out-im-F"
  for f in "${inputs[@]}"; do
    "$im" "$f" -brightness-contrast 10x10 -sharpen 0x1 -filter Lanczos -resize 1600x \
      -font Liberation-Sans-Bold -pointsize 24 -fill white -gravity NorthWest \
      -annotate +48+30 'Varnetto bench' \
      "$app/Stamps/bench.png" -gravity NorthWest -geometry +1280+800 -composite \
      -quality 85 "$work/out-im-F/$(basename "$f")"
  done
}

echo
echo "R: resize to 1600 wide, Lanczos, JPEG quality 85"
best varnetto_run R; t_var_r=$WALL; c_var_r=$CPU
best im_resize; t_im_r=$WALL; c_im_r=$CPU
best gm_resize; t_gm_r=$WALL; c_gm_r=$CPU
best vips_resize; t_vips_r=$WALL; c_vips_r=$CPU
show "varnetto-cli run" "$t_var_r" "$c_var_r"
show "ImageMagick convert" "$t_im_r" "$c_im_r"
show "GraphicsMagick gm convert" "$t_gm_r" "$c_gm_r"
show "vips resize, two at a time" "$t_vips_r" "$c_vips_r"
echo "  ratio ImageMagick / Varnetto:     $(ratio "$t_im_r" "$t_var_r")  (goal >= 4)"
echo "  ratio GraphicsMagick / Varnetto:  $(ratio "$t_gm_r" "$t_var_r")"
echo "  ratio vips loop / Varnetto:       $(ratio "$t_vips_r" "$t_var_r")  (goal >= 1.3)"

echo
echo "F: brightness, contrast, sharpen, resize, caption, stamp, outer border"
best varnetto_run F; t_var_f=$WALL; c_var_f=$CPU
best im_full; t_im_f=$WALL; c_im_f=$CPU
show "varnetto-cli run" "$t_var_f" "$c_var_f"
show "ImageMagick convert (no border)" "$t_im_f" "$c_im_f"
echo "  ratio ImageMagick / Varnetto:     $(ratio "$t_im_f" "$t_var_f")  (goal >= 3)"

echo
echo "M: peak memory of scheme F on a 10000 x 10000 JPEG"
biggest=$(for f in "${inputs[@]}"; do echo "$(vipsheader -f width "$f") $f"; done | sort -n | tail -1 | cut -d' ' -f2-)
w=$(vipsheader -f width "$biggest")
h=$(vipsheader -f height "$biggest")
"$vips" resize "$biggest" "$work/big.jpg[Q=90]" "$(awk -v w="$w" 'BEGIN {printf "%.6f", 10000 / w}')" \
  --vscale "$(awk -v h="$h" 'BEGIN {printf "%.6f", 10000 / h}')"
echo "  input: $(vipsheader "$work/big.jpg")"
/usr/bin/time -f '%M %e' -o "$work/big.time" "$cli" run --scheme F --app-folder "$app" "$work/big.jpg" \
  >"$work/last.log" 2>&1 || { echo "run-bench: the big picture failed" >&2; tail "$work/last.log" >&2; exit 1; }
read -r rss_kb elapsed <"$work/big.time"
echo "  peak RSS: $((rss_kb / 1024)) MB in $elapsed s  (goal < 1024 MB)"
