#!/usr/bin/env bash
# Leftovers in the folders a run writes into: the program's own temporary
# files of a killed run, of a run on another host, and users' hidden files
# that look like the oldest naming. A run removes only its own host's
# leftovers of writers that are gone (in every folder it writes into), and
# another host's only when over a day old. VARNETTO_CLI=path picks the
# program.
source "$(dirname "$0")/common.sh"

mkdir -p "$work/in/sub" "$work/out/sub"
picture "$work/in/one.png" 3000
picture "$work/in/sub/two.png"
make_app "$work/out"

# The program's own name for a temporary file: caught while a run writes, by
# a hard link made before the rename.
"$cli" run --scheme out --app-folder "$work/app" --recursive "$work/in" >/dev/null 2>&1 &
writer=$!
own=""
while kill -0 "$writer" 2>/dev/null && [[ -z "$own" ]]; do
  for f in "$work/out"/.~vn*; do
    if [[ -e "$f" ]] && ln "$f" "$f.kept" 2>/dev/null; then own="$f"; break; fi
  done
done
wait "$writer" || true
if [[ -n "$own" ]]; then
  mv "$own.kept" "$own"
  echo "a temporary name the program made: $(basename "$own")"
fi
tag="$(basename "${own:-.~vn00000000}" | cut -c5-12)"
other=$([[ $tag == 00000000 ]] && echo 00000001 || echo 00000000)
gone=$(printf %08x "$(sh -c 'echo $$')")  # a process that has ended

old() { touch -d '2 days ago' "$1"; }
: >"$work/out/sub/.~vn${tag}${gone}deadbeef.jpg"
: >"$work/out/.~vn${other}${gone}0badcafe.jpg"
: >"$work/out/.~vn${other}${gone}0badf00d.jpg" && old "$work/out/.~vn${other}${gone}0badf00d.jpg"
: >"$work/out/.~minutes.2023-1.pdf" && old "$work/out/.~minutes.2023-1.pdf"
: >"$work/out/sub/.~scan.2019-12.tif" && old "$work/out/sub/.~scan.2019-12.tif"
echo "before the next run:"
(cd "$work/out" && find . -name '.~*' | sort | sed 's/^/    /')

"$cli" run --scheme out --app-folder "$work/app" --recursive "$work/in" >/dev/null 2>&1
echo "after it:"
(cd "$work/out" && find . -name '.~*' | sort | sed 's/^/    /')
check "this host's leftover of a gone writer, in a subfolder, is removed" \
  test ! -e "$work/out/sub/.~vn${tag}${gone}deadbeef.jpg"
if [[ -n "$own" ]]; then
  check "the caught temporary of the finished run is removed" test ! -e "$own"
fi
check "another host's recent leftover stays (it may still be written)" \
  test -e "$work/out/.~vn${other}${gone}0badcafe.jpg"
check "another host's leftover of two days ago is removed" \
  test ! -e "$work/out/.~vn${other}${gone}0badf00d.jpg"
check "the user's .~minutes.2023-1.pdf stays" test -e "$work/out/.~minutes.2023-1.pdf"
check "the user's .~scan.2019-12.tif stays" test -e "$work/out/sub/.~scan.2019-12.tif"
check "the pictures are written" test -s "$work/out/one.jpg" -a -s "$work/out/sub/two.jpg"
finish
