#!/usr/bin/env bash
# While a run reads its inputs, their names are swapped back and forth
# between pictures and FIFOs. Each picture is read from the file its name led
# to when opened, or refused at once as no regular file; the run never waits
# on a FIFO, ends by itself, and stops within a few seconds on SIGTERM.
# VARNETTO_CLI=path picks the program.
source "$(dirname "$0")/common.sh"

count=200
mkdir -p "$work/in" "$work/spare"
picture "$work/spare/picture.png" 2400
mkfifo "$work/spare/fifo"
for i in $(seq -w 1 $count); do cp "$work/spare/picture.png" "$work/in/p$i.png"; done
make_app "$work/out"
mapfile -t inputs < <(ls "$work/in"/*.png)

# Renames, as fast as it goes, a link to the FIFO or to the picture over each
# name in turn.
swapper() {
  python3 - "$work/spare/picture.png" "$work/spare/fifo" "${inputs[@]}" <<'PY'
import os, sys
picture, fifo, names = sys.argv[1], sys.argv[2], sys.argv[3:]
turn = 0
while True:
    for name in names:
        staged = name + ".new"
        if os.path.lexists(staged):
            os.unlink(staged)
        os.link(fifo if turn % 2 else picture, staged)
        os.rename(staged, name)
    turn += 1
PY
}

# run SECONDS_BEFORE_SIGTERM: runs the program over the swapping names; sets
# took (seconds after the signal, or in all) and status. A run still going 30
# seconds on is killed.
run() {
  swapper &
  local swapping=$! start=$SECONDS
  "$cli" run --scheme out --app-folder "$work/app" --jobs 2 "${inputs[@]}" >"$work/log" 2>&1 &
  local pid=$!
  if (($1 > 0)); then
    # Once pictures are under way.
    while ! grep -q '^\[' "$work/log" && ((SECONDS - start < 30)); do sleep 0.1; done
    sleep "$1"
    kill -TERM "$pid" 2>/dev/null || true
    start=$SECONDS
  fi
  while kill -0 "$pid" 2>/dev/null && ((SECONDS - start < 30)); do sleep 0.2; done
  if kill -0 "$pid" 2>/dev/null; then
    echo "    still running 30 s on"
    kill -9 "$pid"
  fi
  set +e
  wait "$pid"
  status=$?
  set -e
  took=$((SECONDS - start))
  kill "$swapping" 2>/dev/null || true
  wait "$swapping" 2>/dev/null || true
  tail -1 "$work/log" | sed "s/^/    /"; echo "    exit status $status"
}

echo "a run over $count names swapping between a picture and a FIFO:"
run 0
check "it ends by itself ($took s)" test "$took" -lt 30
check "every picture is written or refused, some of each" \
  grep -Eq "^[1-9][0-9]* processed .*, [1-9][0-9]* failed$" "$work/log"
check "a refusal says: no regular file" \
  bash -c "! grep '：' '$work/log' | grep -v '不是普通文件' | grep -q ."

echo "the same, stopped by SIGTERM 1 s after the first picture began:"
run 1
check "it stops within 5 s ($took s)" test "$took" -le 5
check "it exits with 1, after its summary" \
  bash -c "test $status = 1 && grep -q '^interrupted: ' '$work/log'"
finish
