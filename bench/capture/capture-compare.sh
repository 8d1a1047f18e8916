#!/usr/bin/env bash
# Compares two builds of the capture tool side by side in one run: each captures the same
# frames (the whole show at --sample FPS, default 4, frames spread over the timeline) in turns,
# A B A B ..., so that both see the same load on a shared machine. Reports per tool the median
# frame-loop time and CPU time, the ratio B over A as a speed-up, the 60 fps whole-show time each
# projects, the page faults and the waits (voluntary context switches) a frame (counts that hardly
# depend on the load; ffmpeg's included, start-up and loading spread over the frames), and whether
# the two videos are the same file bit for bit, or else hold the same decoded frames (framemd5).
# Usage: bench/capture/capture-compare.sh TOOL_A TOOL_B [--run-dir DIR] [--sample FPS] [--rounds N]
#   TOOL_A, TOOL_B: vorthalimex-capture programs (for example an older build and this one).
#   --run-dir: the content (default build/release/run); --rounds: runs per tool (default 2).
set -euo pipefail
cd "$(dirname "$0")/../.."
case "${1:-}" in
  -h|--help|"") sed -n '2,11p' "$0" | sed 's/^# \{0,1\}//'; exit 0 ;;
esac
a=$1 b=${2:?capture-compare: two capture tools needed}
shift 2
run_dir=build/release/run sample=4 rounds=2
while [ $# -gt 0 ]; do
  case "$1" in
    --run-dir) run_dir=${2:?}; shift 2 ;;
    --sample) sample=${2:?}; shift 2 ;;
    --rounds) rounds=${2:?}; shift 2 ;;
    *) echo "capture-compare: unknown option $1" >&2; exit 2 ;;
  esac
done
for t in "$a" "$b"; do [ -x "$t" ] || { echo "capture-compare: $t is not a program" >&2; exit 1; }; done
[ -f "$run_dir/data/Vorthalimex.mp3" ] || { echo "capture-compare: no content pack in $run_dir" >&2; exit 1; }

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# run NAME TOOL ROUND: one capture; appends "frames loop cpu faults waits" to $work/NAME.times.
run() {
  local name=$1 tool=$2 round=$3 log=$work/$1-$3.log
  echo "capture-compare: $name round $round ($(date -u +%T), load $(cut -d' ' -f1 /proc/loadavg))" >&2
  /usr/bin/time -f "%U %S %R %w" -o "$work/cpu" "$tool" --run-dir "$run_dir" --fps "$sample" --size 640x480 \
    -o "$work/$name.mp4" -y >"$log" 2>&1 || { cat "$log" >&2; exit 1; }
  local loop frames
  frames=$(sed -n 's/.*captured \([0-9]*\) frames in \([0-9.]*\) s.*/\1/p' "$log")
  loop=$(sed -n 's/.*captured \([0-9]*\) frames in \([0-9.]*\) s.*/\2/p' "$log")
  [ -n "$loop" ] || { echo "capture-compare: $name did not finish" >&2; cat "$log" >&2; exit 1; }
  echo "$frames $loop $(awk '{ print $1 + $2, $3, $4 }' "$work/cpu")" >>"$work/$name.times"
}
for ((r = 1; r <= rounds; r++)); do
  run A "$a" "$r"
  run B "$b" "$r"
done

same=no samefile=no
cmp -s "$work/A.mp4" "$work/B.mp4" && samefile=yes
ffmpeg -hide_banner -loglevel error -i "$work/A.mp4" -map 0:v -f framemd5 "$work/A.md5"
ffmpeg -hide_banner -loglevel error -i "$work/B.mp4" -map 0:v -f framemd5 "$work/B.md5"
cmp -s "$work/A.md5" "$work/B.md5" && same=yes

median() { sort -n | awk '{ v[NR] = $1 } END { print (NR % 2 ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2) }'; }
for n in A B; do
  eval "${n}_loop=\$(cut -d' ' -f2 \"\$work/$n.times\" | median)"
  eval "${n}_cpu=\$(cut -d' ' -f3 \"\$work/$n.times\" | median)"
  eval "${n}_faults=\$(cut -d' ' -f4 \"\$work/$n.times\" | median)"
  eval "${n}_waits=\$(cut -d' ' -f5 \"\$work/$n.times\" | median)"
done
frames=$(head -n1 "$work/A.times" | cut -d' ' -f1)
awk -v f="$frames" -v s="$sample" -v al="$A_loop" -v bl="$B_loop" -v ac="$A_cpu" -v bc="$B_cpu" \
    -v af="$A_faults" -v bf="$B_faults" -v aw="$A_waits" -v bw="$B_waits" -v samefile="$samefile" -v a="$a" -v b="$b" -v r="$rounds" -v same="$same" -v cores="$(nproc)" \
    -v load="$(cut -d' ' -f1 /proc/loadavg)" 'BEGIN {
  printf "capture compare: %d frames at %d fps (whole show sampled), 640x480, %d round(s) each, %d cores, load %s at the end\n", f, s, r, cores, load
  printf "  A %s\n  B %s\n", a, b
  printf "  %-2s frame loop %8.2f s (%6.1f ms/frame)  CPU %8.2f s  60 fps whole show %5.1f min\n", "A", al, 1000 * al / f, ac, 15072 * al / f / 60
  printf "  %-2s frame loop %8.2f s (%6.1f ms/frame)  CPU %8.2f s  60 fps whole show %5.1f min\n", "B", bl, 1000 * bl / f, bc, 15072 * bl / f / 60
  printf "  %-2s page faults %6.1f a frame, waits %6.1f a frame\n", "A", af / f, aw / f
  printf "  %-2s page faults %6.1f a frame, waits %6.1f a frame\n", "B", bf / f, bw / f
  printf "  B is %.2fx as fast as A (frame loop), %.2fx in CPU time\n", al / bl, ac / bc
  printf "  the same video file bit for bit: %s; the same decoded video frames: %s\n", samefile, same
}'
