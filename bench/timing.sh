# Timing helpers shared by the bench scripts; they need $work (a scratch folder).

# Sets WALL and CPU (user + system of the command and its children) to the
# seconds a command takes; its output is kept out of the figures.
measure() {
  local TIMEFORMAT='%R %U %S' user system
  if ! { time "$@" >"$work/last.log" 2>&1; } 2>"$work/time"; then
    echo "$(basename "$0"): failed: $*" >&2
    tail -20 "$work/last.log" >&2
    exit 1
  fi
  read -r WALL user system <"$work/time"
  CPU=$(awk -v u="$user" -v s="$system" 'BEGIN {printf "%.2f", u + s}')
}

# The fastest of BENCH_REPEAT runs (default 1): on a shared machine the
# slower ones measure the neighbours.
best() {
  local best_wall="" best_cpu="" i
  for ((i = 0; i < ${BENCH_REPEAT:-1}; i++)); do
    measure "$@"
    if [[ -z "$best_wall" ]] || awk -v a="$WALL" -v b="$best_wall" 'BEGIN {exit !(a < b)}'; then
      best_wall=$WALL
      best_cpu=$CPU
    fi
  done
  WALL=$best_wall
  CPU=$best_cpu
}

show() { printf '  %-40s %7s s wall %7s s cpu\n' "$1" "$2" "$3"; }
ratio() { awk -v peer="$1" -v ours="$2" 'BEGIN {printf "%.2f", peer / ours}'; }
