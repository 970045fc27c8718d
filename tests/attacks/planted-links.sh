#!/usr/bin/env bash
# Another local user plants symbolic links in a shared output folder before a
# run by root: at the output names (to a root-only file, and dangling into a
# protected folder). The run replaces the links with its pictures; nothing
# behind a link changes. Run as root; VARNETTO_CLI=path picks the program.
source "$(dirname "$0")/common.sh"

mkdir -p "$work/in" "$work/etc" "$work/shared"
chmod 1777 "$work/shared"
echo "root's secret" >"$work/secret"
chmod 600 "$work/secret"
for name in a b c; do picture "$work/in/$name.png"; done
make_app "$work/shared"

ln -s "$work/secret" "$work/shared/a.jpg"
ln -s "$work/etc/made-through-a-link" "$work/shared/b.jpg"
echo "run by $(id -un) into a folder holding a link to a root-only file and a dangling one:"
"$cli" run --scheme out --app-folder "$work/app" "$work/in"/*.png 2>&1 | sed 's/^/    /'
check "the root-only file is unchanged" grep -qx "root's secret" "$work/secret"
check "its mode stays 600" test "$(stat -c %a "$work/secret")" = 600
check "nothing was created through the dangling link" test ! -e "$work/etc/made-through-a-link"
for name in a b c; do
  check "$name.jpg is a new JPEG, no link" \
    bash -c "test ! -L '$work/shared/$name.jpg' && vipsheader '$work/shared/$name.jpg' >/dev/null"
done
check "no temporary file is left" bash -c "! ls -A '$work/shared' | grep -q '^\.~'"

# In a sticky folder a user may not replace another user's link: the
# picture fails, naming the reason, and the link stays as it was.
if command -v setpriv >/dev/null && [[ $(id -u) == 0 ]]; then
  as() { local uid=$1; shift; setpriv --reuid="$uid" --regid="$uid" --clear-groups "$@"; }
  chmod 755 "$work/app" "$work/app/Schemes" "$work/in"
  chmod 644 "$work/app/Schemes/Schemes.bis" "$work/in"/*.png
  rm -f "$work/shared"/*
  as 65534 ln -s "$work/secret" "$work/shared/a.jpg"
  echo "run by uid 1000 into a sticky folder holding uid 65534's link:"
  set +e
  as 1000 "$cli" run --scheme out --app-folder "$work/app" "$work/in/a.png" >"$work/log" 2>&1
  status=$?
  set -e
  sed 's/^/    /' "$work/log"
  check "the run reports the failure (exit status 1)" test "$status" = 1
  check "the failure names the picture" grep -q "$work/shared/a.jpg" "$work/log"
  check "the link stays, leading where it did" test "$(readlink "$work/shared/a.jpg")" = "$work/secret"
  check "the root-only file is unchanged" grep -qx "root's secret" "$work/secret"
  check "no temporary file is left" bash -c "! ls -A '$work/shared' | grep -q '^\.~'"
fi
finish
