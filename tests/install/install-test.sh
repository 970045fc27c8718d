#!/usr/bin/env bash
# Installs the build into a temporary prefix, checks the layout and the
# desktop files, and runs both installed programs as an ordinary user.
# Usage: install-test.sh BUILD_DIR
set -euo pipefail
build="$1"
here="$(cd "$(dirname "$0")" && pwd)"
source "$here/installed-program.sh"
work="$(mktemp -d)"
trap 'unlock_install "$work"; rm -rf "$work"' EXIT
as_user_setup "$work"
prefix="$work/prefix"
cmake --install "$build" --prefix "$prefix" > "$work/install.log"

id=org.varnetto.Varnetto
for file in lib/varnetto/varnetto lib/varnetto/varnetto-cli lib/varnetto/Schemes/Schemes.bis \
  lib/varnetto/Preview.jpg share/applications/$id.desktop share/metainfo/$id.metainfo.xml \
  share/icons/hicolor/scalable/apps/$id.svg; do
  [[ -f "$prefix/$file" ]] || fail "$file is not installed"
done
# The folder a user sees holds the two programs and their data, no test programs.
for folder in "$build/bin" "$prefix/lib/varnetto"; do
  programs="$(find "$folder" -type f -perm -u+x -printf '%f\n' | sort | tr '\n' ' ')"
  [[ "$programs" == "varnetto varnetto-cli " ]] || fail "$folder holds the programs: $programs"
done
compgen -G "$prefix/lib/varnetto/Borders/*_8.bmp" > /dev/null || fail "no border sets"
compgen -G "$prefix/lib/varnetto/Stamps/*" > /dev/null || fail "no stamps"
for program in varnetto varnetto-cli; do
  [[ "$(readlink "$prefix/bin/$program")" == "../lib/varnetto/$program" ]] ||
    fail "bin/$program is not a relative link to lib/varnetto"
  grep -qxF "$prefix/bin/$program" "$build/install_manifest.txt" ||
    fail "bin/$program is not in install_manifest.txt, so it would outlive an uninstall"
done
for size in 16 22 24 32 48 64 128 256; do
  file -b "$prefix/share/icons/hicolor/${size}x$size/apps/$id.png" |
    grep -q "PNG image data, $size x $size" || fail "no $size x $size icon"
done
desktop-file-validate "$prefix/share/applications/$id.desktop"
appstreamcli validate --no-net "$prefix/share/metainfo/$id.metainfo.xml" > "$work/appstream.log" ||
  fail "$(cat "$work/appstream.log")"

check_installed_program "$prefix"
echo "installed program: ok"
