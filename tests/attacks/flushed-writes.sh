#!/usr/bin/env bash
# A power cut after a picture is renamed into place must leave the whole new
# picture: its file is flushed before the rename, and its folder after it
# (the rename itself). Checked on the system calls of a run, by strace.
# VARNETTO_CLI=path picks the program.
command -v strace >/dev/null || { echo "no strace: skipped"; exit 77; }
source "$(dirname "$0")/common.sh"

mkdir -p "$work/in" "$work/out"
for name in a b; do picture "$work/in/$name.png"; done
make_app "$work/out"
strace -f -y -qq -o "$work/calls" -e trace=fsync,fdatasync,rename,renameat,renameat2 \
  "$cli" run --scheme out --app-folder "$work/app" --jobs 1 "$work/in"/*.png >/dev/null 2>&1
for name in a b; do
  target="$work/out/$name.jpg"
  # The temporary file renamed to the target, and the order of the calls.
  temp=$(grep -oE "rename[a-z0-9]*\(.*\"[^\"]*/\.~vn[^\"]*\", [^)]*\"$target\"" "$work/calls" |
    grep -oE "\.~vn[0-9a-f]+\.jpg" | head -1)
  check "$name.jpg is renamed into place from a temporary file" test -n "$temp"
  [[ -n "$temp" ]] || continue
  order=""
  while IFS= read -r call; do
    case "$call" in
      *"fsync("*"<$work/out/$temp>)"*) order+="file " ;;
      *"fsync("*"<$work/out>)"*) order+="folder " ;;
      *rename*"\"$target\""*) order+="rename " ;;
    esac
  done <"$work/calls"
  check "$name.jpg: flushed, renamed, its folder flushed (${order% })" \
    bash -c "[[ '$order' == *'file rename folder'* ]]"
done
finish
