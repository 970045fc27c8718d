#!/usr/bin/env bash
# Pictures beyond ImageMagick's policy (wider than 16,384 pixels, above 128
# megapixels) written as BMP, PCX, PSD and WBMP: each is written or fails
# alone with a reason, the run prints its summary and exits 0 or 1; it is
# never ended by a library (exit 134).
#   tests/scripts/oversized-magick-outputs.sh [path/to/varnetto-cli]
set -u
root="$(cd "$(dirname "$0")/../.." && pwd)"
cli="${1:-$root/build/bin/varnetto-cli}"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# A wide strip and a square of 134.6 megapixels, black: tiny PNG files.
vips black "$work/wide.png" 20000 8
vips black "$work/large.png" 11600 11600

mkdir -p "$work/app/Schemes"
{
  echo '{"schemes": ['
  sep=''
  for f in "BMP 0" "PCX 3" "PSD 6" "WBMP 5"; do
    set -- $f
    printf '%s{"name": "%s", "outputFolder": "%s/out-%s", "convertEnabled": 1, "formatConvertEnabled": 1, "outputFormat": %s}\n' \
      "$sep" "$1" "$work" "$1" "$2"
    sep=','
  done
  echo ']}'
} >"$work/schemes.json"
: >"$work/app/Schemes/Schemes.bis"
"$cli" import "$work/schemes.json" --store "$work/app/Schemes/Schemes.bis" || exit 1

failures=0
for format in BMP PCX PSD WBMP; do
  "$cli" run --scheme "$format" --app-folder "$work/app" --jobs 1 \
    "$work/wide.png" "$work/large.png" 2>"$work/log"
  status=$?
  summary=$(grep -E '^[0-9]+ processed \([0-9]+ with warnings\), [0-9]+ failed$' "$work/log")
  echo "$format: exit $status, $summary"
  grep -E '^  .*(wide|large)\.png' "$work/log" | sed 's/^/    /'
  if [[ $status -ne 0 && $status -ne 1 ]] || [[ -z "$summary" ]]; then
    echo "$format: the run did not end with its summary" >&2
    sed 's/^/    /' "$work/log" >&2
    failures=$((failures + 1))
  fi
  # Every picture is either written or named with its reason.
  for name in wide large; do
    if ! ls "$work/out-$format" 2>/dev/null | grep -q "^$name\." &&
      ! grep -q "$name\.png：" "$work/log"; then
      echo "$format: $name.png neither written nor named as failed" >&2
      failures=$((failures + 1))
    fi
  done
  rm -rf "$work/out-$format"
done
exit $((failures > 0))
