#!/usr/bin/env bash
# A folder load in the window against vipsthumbnail making 160 x 120
# thumbnails of the same photographs in the same run: one vipsthumbnail
# process, and two side by side, each making half of them.
# Goals: throughput >= 1.7 x one process and >= 0.85 x two; the rows in view of
# a 1366 x 768 window read within 1 s of choosing the folder, and those at the
# end of the list within 1 s of jumping there; the window's event loop never
# waits longer than 50 ms; 5,000 rows read in under 400 MB resident.
# Usage: bench/ui-thumbnails.sh [COUNT]   (default 1000 photographs)
#   BENCH_REPEAT=n   runs of each command (default 3); the fastest counts, as
#                    on a shared machine the slower runs measure the neighbours
#   MEMORY_COUNT=n   photographs of the memory run (default 5000; 0 skips it)
#   STRIP_EXIF=1     the photographs lose their EXIF blocks (the picture data
#                    stays as it is), so no row can use an EXIF thumbnail
set -euo pipefail
source "$(dirname "$0")/ui-common.sh"
count="${1:-1000}"
repeat="${BENCH_REPEAT:-3}"
memory_count="${MEMORY_COUNT:-5000}"
# /usr/local/bin may hold wrappers; the peer is called by its real path.
vipsthumbnail=/usr/bin/vipsthumbnail
ui_bench_build
from=/usr/share/backgrounds/mate
if [[ "${STRIP_EXIF:-}" == 1 ]]; then
  # Copies without their APP1 segments; the originals are never written.
  mkdir -p "$work/stripped"
  for f in "$from"/*/*.jpg; do
    perl -e '
      local $/; open my $in, "<:raw", $ARGV[0] or die; my $d = <$in>;
      my $out = substr($d, 0, 2); my $at = 2;
      while ($at + 4 <= length $d) {
        my ($ff, $marker, $len) = unpack "CCn", substr($d, $at, 4);
        last if $ff != 0xFF || $marker == 0xDA;
        $out .= substr($d, $at, 2 + $len) unless $marker == 0xE1;
        $at += 2 + $len;
      }
      open my $o, ">:raw", $ARGV[1] or die; print $o $out, substr($d, $at);
    ' "$f" "$work/stripped/$(basename "$f")"
  done
  from="$work/stripped"
fi
make_photos "$work/in" "$count" "$from"
mapfile -t photos < <(find "$work/in" -name '*.jpg' | sort)
half=$((${#photos[@]} / 2))
mkdir -p "$work/out"

# Runs a command; prints its wall seconds and its CPU seconds (user + system,
# children included). On a busy machine the CPU time says what the work
# costs when the wall time only says how much of the cores was left over.
timed() {
  local TIMEFORMAT='%R %U %S'
  { time "$@" >"$work/out.log" 2>/dev/null; } 2>"$work/time"
  awk '{printf "%.2f %.2f", $1, $2 + $3}' "$work/time"
}
one_process() { "$vipsthumbnail" -s 160x120 -o "$work/out/%s.jpg" "${photos[@]}"; }
two_processes() {
  "$vipsthumbnail" -s 160x120 -o "$work/out/%s.jpg" "${photos[@]:0:half}" &
  "$vipsthumbnail" -s 160x120 -o "$work/out/%s.jpg" "${photos[@]:half}" &
  wait
}
ours() { QT_QPA_PLATFORM=offscreen "$bench_tool" thumbnails "$1"; }
smallest() { printf '%s\n' "$@" | sort -g | head -1; }
largest() { printf '%s\n' "$@" | sort -g | tail -1; }

echo "photographs: $count, $repeat runs of each command${STRIP_EXIF:+, EXIF blocks stripped}"
echo "machine: $(nproc) cores, load average $(cut -d' ' -f1-3 /proc/loadavg) at the start"
one=() two=() total=() first=() jump=() gap=() busy=() cpu_one=() cpu_two=() cpu_ours=()
for ((i = 0; i < repeat; i++)); do
  read -r wall cpu <<<"$(timed one_process)"
  one+=("$wall") cpu_one+=("$cpu")
  read -r wall cpu <<<"$(timed two_processes)"
  two+=("$wall") cpu_two+=("$cpu")
  read -r wall cpu <<<"$(timed ours "$work/in")"
  line=$(grep '^rows=' "$work/out.log")
  cpu_ours+=("$cpu")
  echo "  run $((i + 1)): vipsthumbnail ${one[i]} s (cpu ${cpu_one[i]} s)," \
    "two of them ${two[i]} s (cpu ${cpu_two[i]} s), varnetto cpu $cpu s: $line"
  total+=("$(field seconds "$line")")
  first+=("$(field first_screen_ms "$line")")
  jump+=("$(field jump_ms "$line")")
  gap+=("$(field longest_gap_ms "$line")")
  busy+=("$(field longest_busy_ms "$line")")
done
t_one=$(smallest "${one[@]}")
t_two=$(smallest "${two[@]}")
t_ours=$(smallest "${total[@]}")
printf 'fastest: vipsthumbnail %s s, two vipsthumbnail processes %s s, varnetto %s s\n' \
  "$t_one" "$t_two" "$t_ours"
printf 'least cpu: vipsthumbnail %s s, two processes %s s, varnetto %s s (its start-up included)\n' \
  "$(smallest "${cpu_one[@]}")" "$(smallest "${cpu_two[@]}")" "$(smallest "${cpu_ours[@]}")"
awk -v p="$t_one" -v o="$t_ours" \
  'BEGIN {printf "throughput ratio against one process:  %.2f (goal >= 1.7)\n", p / o}'
awk -v p="$t_two" -v o="$t_ours" \
  'BEGIN {printf "throughput ratio against two processes: %.2f (goal >= 0.85)\n", p / o}'
echo "first screen of a 1366 x 768 window: $(smallest "${first[@]}") ms best, $(largest "${first[@]}") ms worst (goal <= 1000)"
echo "rows at the end after a jump there:  $(smallest "${jump[@]}") ms best, $(largest "${jump[@]}") ms worst (goal <= 1000)"
echo "longest event-loop wait: $(smallest "${gap[@]}") ms best, $(largest "${gap[@]}") ms worst (goal < 50)"
echo "  of which the UI thread's own work: at most $(largest "${busy[@]}") ms (the rest is waiting for a core)"

if ((memory_count > 0)); then
  make_photos "$work/many" "$memory_count" "$from"
  line=$(ours "$work/many" 2>/dev/null | grep '^rows=')
  echo "memory run: $line"
  echo "resident memory with $memory_count rows read: $(field rss_mb "$line") MB (goal < 400)"
  echo "longest event-loop wait meanwhile: $(field longest_gap_ms "$line") ms," \
    "the UI thread's own work at most $(field longest_busy_ms "$line") ms"
fi
echo "load average $(cut -d' ' -f1-3 /proc/loadavg) at the end"
