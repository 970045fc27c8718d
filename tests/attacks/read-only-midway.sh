#!/usr/bin/env bash
# The output folder turns read-only while a picture is written: the rename
# and the removal of the temporary file both fail, and the picture's reason
# names the file left behind. Run as root (the run itself goes as uid 1000,
# since root is never refused). VARNETTO_CLI=path picks the program.
source "$(dirname "$0")/common.sh"
if ! command -v setpriv >/dev/null || [[ $(id -u) != 0 ]]; then echo "needs root and setpriv: skipped"; exit 77; fi

mkdir -p "$work/in" "$work/out"
picture "$work/in/big.png" 5000
make_app "$work/out"
chmod -R a+rX "$work"
chown 1000:1000 "$work/out"

# Makes the folder read-only the moment a temporary file appears in it.
python3 - "$work/out" <<'PY' &
import os, sys, time
folder = sys.argv[1]
end = time.time() + 60
while time.time() < end:
    if any(name.startswith(".~vn") for name in os.listdir(folder)):
        os.chmod(folder, 0o555)
        break
PY
watcher=$!
set +e
setpriv --reuid=1000 --regid=1000 --clear-groups \
  "$cli" run --scheme out --app-folder "$work/app" "$work/in/big.png" >"$work/log" 2>&1
set -e
wait "$watcher" || true
sed 's/^/    /' "$work/log"
left=$(ls -A "$work/out" | grep '^\.~vn' | head -1 || true)
check "a temporary file was left in the read-only folder" test -n "$left"
check "the picture failed, naming it" grep -qF "$work/out/$left" "$work/log"
finish
