# Shared by the attack scripts: a work folder, inputs, and an application
# folder whose scheme "out" writes JPEG files into $out.
set -euo pipefail
root="$(cd "$(dirname "$0")/../.." && pwd)"
cli="${VARNETTO_CLI:-$root/build/bin/varnetto-cli}"
work="$(mktemp -d /tmp/varnetto-attack.XXXXXX)"
chmod 755 "$work"
trap 'chmod -R u+w "$work" 2>/dev/null; rm -rf "$work"' EXIT
failures=0

# check DESCRIPTION COMMAND...: runs COMMAND, prints the outcome.
check() {
  local what="$1"
  shift
  if "$@"; then echo "  ok    $what"; else echo "  FAIL  $what"; failures=$((failures + 1)); fi
}

# make_app OUTPUT_FOLDER [NAME]: the application folder $work/app with one scheme.
make_app() {
  mkdir -p "$work/app/Schemes"
  cat >"$work/schemes.json" <<JSON
{"schemes": [{"name": "${2:-out}", "outputFolder": "$1",
  "convertEnabled": 1, "formatConvertEnabled": 1, "outputFormat": 2, "jpegQuality": 85}]}
JSON
  : >"$work/app/Schemes/Schemes.bis"
  "$cli" import "$work/schemes.json" --store "$work/app/Schemes/Schemes.bis"
}

# picture PATH [SIZE]: a small PNG.
picture() { vips gaussnoise "$1" "${2:-64}" "${2:-48}"; }

finish() {
  if ((failures)); then echo "$failures failed"; exit 1; fi
  echo "all as it should be"
}
