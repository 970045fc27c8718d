# Sourced by the install tests: runs an installed Varnetto as an ordinary
# user who owns none of its files and checks what such a user relies on.
#   as_user_setup WORK          prepares WORK and the user's home in it
#   check_installed_program P   P is the prefix holding bin/ and lib/varnetto/

as_user_setup() {
  work="$1"
  chmod 755 "$work"
  USER_HOME="$work/home"
  mkdir -p "$USER_HOME"
  if [[ $(id -u) -eq 0 ]]; then
    # Root writes anywhere: the programs run as nobody instead.
    command -v setpriv >/dev/null || { echo "SKIP: setpriv is missing"; exit 77; }
    USER_ID=65534
    chown "$USER_ID:$USER_ID" "$USER_HOME"
  else
    USER_ID=$(id -u)
  fi
}

as_user() {
  local vars=(HOME="$USER_HOME" PATH=/usr/bin:/bin LANG=C.UTF-8 QT_QPA_PLATFORM=offscreen)
  while [[ $# -gt 0 && "$1" == *=* ]]; do vars+=("$1"); shift; done
  # AS_USER_EXEC=1 replaces the calling (background) shell, so that $! is the
  # program itself and killing it leaves nothing running.
  if [[ $(id -u) -eq 0 ]]; then
    ${AS_USER_EXEC:+exec} setpriv --reuid="$USER_ID" --regid="$USER_ID" --clear-groups \
      env -i "${vars[@]}" "$@"
  else
    ${AS_USER_EXEC:+exec} env -i "${vars[@]}" "$@"
  fi
}

# Files a user may write to are given to that user; the install is not.
give_to_user() {
  if [[ $(id -u) -eq 0 ]]; then chown -R "$USER_ID:$USER_ID" "$@"; fi
}

lock_install() {
  # A root-owned install is closed to nobody already; an ordinary user's
  # own install is made read-only, as a system one would be.
  if [[ $(id -u) -ne 0 ]]; then chmod -R a-w "$1"; fi
}

unlock_install() {
  chmod -R u+w "$1" 2>/dev/null || true
}

fail() {
  echo "FAIL: $*" >&2
  exit 1
}

check_installed_program() {
  local prefix="$1"
  local app="$prefix/lib/varnetto"
  local cli="$prefix/bin/varnetto-cli"
  local store="$USER_HOME/.local/share/varnetto/Schemes/Schemes.bis"
  lock_install "$app"
  as_user test -w "$app/Schemes" && fail "the user may write the installed store's folder"

  # First start: the bundled schemes, from a copy in the user's own folder.
  local bundled
  bundled=$("$cli" list --store "$app/Schemes/Schemes.bis")
  [[ -n "$bundled" ]] || fail "no bundled schemes"
  [[ "$(as_user "$cli" list)" == "$bundled" ]] || fail "the user does not see the bundled schemes"
  cmp -s "$store" "$app/Schemes/Schemes.bis" || fail "the user's store is not a copy of the bundled one"

  # Both programs say which store they use.
  local help
  help=$(as_user "$cli" --help 2>&1 || true)
  grep -qxF "store: $store" <<< "$help" || fail "varnetto-cli does not name $store: $help"
  help=$(as_user "$prefix/bin/varnetto" --help 2>&1 || true)
  grep -qF "$store" <<< "$help" || fail "varnetto --help does not name $store: $help"

  # Saving schemes changes the user's store, which later starts keep.
  as_user "$cli" export > "$work/schemes.json"
  python3 - "$work/schemes.json" "$work/out" <<'PY'
import json, sys
path, out = sys.argv[1], sys.argv[2]
with open(path, encoding="utf-8") as f:
    store = json.load(f)
frame = dict(next(s for s in store["schemes"] if s["name"] == "相框打印"))
frame["name"] = "我的相框"
frame["outputFolder"] = out
store["schemes"].insert(0, frame)
with open(path, "w", encoding="utf-8") as f:
    json.dump(store, f, ensure_ascii=False)
PY
  as_user "$cli" import "$work/schemes.json" || fail "the user cannot save schemes"
  as_user "$cli" list > "$work/list.txt"
  [[ "$(head -1 "$work/list.txt")" == "我的相框" ]] || fail "the user's saved store was not kept"
  as_user "$cli" show 我的相框 > /dev/null || fail "show does not find the user's scheme"
  [[ "$("$cli" list --store "$app/Schemes/Schemes.bis")" == "$bundled" ]] ||
    fail "the bundled store changed"

  # A batch whose stamp and border come from the installed folder.
  mkdir -p "$work/pictures" "$work/out"
  cp "$app/Preview.jpg" "$work/pictures/a.jpg"
  cp "$app/Preview.jpg" "$work/pictures/b.jpg"
  give_to_user "$work/out"
  as_user "$cli" run --scheme 我的相框 "$work/pictures" 2> "$work/run.log" ||
    fail "the batch failed: $(cat "$work/run.log")"
  # Progress and the count, nothing else: no stamp or border was missing.
  [[ "$(grep -c . "$work/run.log")" == 3 ]] && grep -qx "2 processed (0 with warnings), 0 failed" "$work/run.log" ||
    fail "the batch said: $(cat "$work/run.log")"
  [[ "$(find "$work/out" -type f -user "$USER_ID" | wc -l)" == 2 ]] ||
    fail "the batch wrote $(ls "$work/out")"

  # The window program starts for that user with a picture to load and
  # makes its store under XDG_DATA_HOME.
  mkdir -p "$work/data"
  give_to_user "$work/data"
  local made="$work/data/varnetto/Schemes/Schemes.bis"
  AS_USER_EXEC=1 as_user XDG_DATA_HOME="$work/data" "$prefix/bin/varnetto" "$work/pictures/a.jpg" \
    > "$work/window.log" 2>&1 &
  local window=$!
  for _ in $(seq 600); do
    [[ -f "$made" ]] || ! kill -0 "$window" 2> /dev/null && break
    sleep 0.1
  done
  [[ -f "$made" ]] || fail "varnetto made no store of the user's: $(cat "$work/window.log")"
  # Still running once the window is up and the picture loads.
  sleep 2
  kill -0 "$window" 2> /dev/null || fail "varnetto ended: $(cat "$work/window.log")"
  kill "$window"
  wait "$window" || true
  ! pgrep -f "$prefix/bin/varnetto $work/pictures" > /dev/null || fail "varnetto still runs after it was ended"
  unlock_install "$app"
}
