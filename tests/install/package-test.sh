#!/usr/bin/env bash
# Builds the Debian package, checks its control data and contents, installs
# it into a scratch root (dpkg --root as root, else unpacked with dpkg-deb)
# and runs both programs from there as an ordinary user.
# Usage: package-test.sh BUILD_DIR
set -euo pipefail
build="$1"
here="$(cd "$(dirname "$0")" && pwd)"
source "$here/installed-program.sh"
work="$(mktemp -d)"
trap 'unlock_install "$work"; rm -rf "$work"' EXIT
as_user_setup "$work"

(cd "$build" && cpack -G DEB -B "$work/package" > "$work/cpack.log") ||
  fail "cpack failed: $(cat "$work/cpack.log")"
deb=$(compgen -G "$work/package/varnetto_*.deb") || fail "no package was made"

info=$(dpkg-deb -I "$deb")
depends=$(dpkg-deb -f "$deb" Depends)
names=$(sed 's/ ([^)]*)//g; s/, /\n/g' <<< "$depends")
# What the programs link, as the distribution names it.
for package in libc6 libstdc++6 libqt6core6 libqt6gui6 libqt6widgets6 libvips42 \
  libmagick++-6.q16-8 libcairo2 libimagequant0; do
  grep -qxF "$package" <<< "$names" || fail "Depends lacks $package: $depends"
done
[[ "$(dpkg-deb -f "$deb" Package)" == varnetto ]] || fail "$info"
[[ "$(dpkg-deb -f "$deb" Architecture)" == "$(dpkg --print-architecture)" ]] || fail "$info"

contents=$(dpkg-deb -c "$deb")
for entry in ./usr/lib/varnetto/varnetto ./usr/lib/varnetto/varnetto-cli \
  ./usr/lib/varnetto/Schemes/Schemes.bis ./usr/lib/varnetto/Preview.jpg \
  "./usr/bin/varnetto -> ../lib/varnetto/varnetto" \
  "./usr/bin/varnetto-cli -> ../lib/varnetto/varnetto-cli" \
  ./usr/share/applications/org.varnetto.Varnetto.desktop \
  ./usr/share/metainfo/org.varnetto.Varnetto.metainfo.xml \
  ./usr/share/icons/hicolor/256x256/apps/org.varnetto.Varnetto.png \
  ./usr/share/icons/hicolor/scalable/apps/org.varnetto.Varnetto.svg; do
  grep -qF " $entry" <<< "$contents" || fail "the package lacks $entry"
done
grep -E " \./usr/lib/varnetto/" <<< "$contents" | grep -vq "root/root" &&
  fail "files not owned by root: $contents"

root="$work/root"
if [[ $(id -u) -eq 0 ]]; then
  # The distribution's own installer, on an empty package database: the
  # libraries it depends on are the host's.
  mkdir -p "$root/var/lib/dpkg/info" "$root/var/lib/dpkg/updates"
  touch "$root/var/lib/dpkg/status"
  dpkg --root="$root" --log="$work/dpkg.log" --force-depends -i "$deb" > "$work/dpkg.out" 2>&1 ||
    fail "dpkg -i failed: $(cat "$work/dpkg.out")"
  [[ "$(dpkg --root="$root" -s varnetto | grep '^Status:')" == "Status: install ok installed" ]] ||
    fail "dpkg does not call it installed"
else
  echo "not root: unpacking with dpkg-deb instead of dpkg -i"
  dpkg-deb -x "$deb" "$root"
fi

check_installed_program "$root/usr"
echo "package: ok"
