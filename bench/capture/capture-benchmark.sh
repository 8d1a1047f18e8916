#!/usr/bin/env bash
# Times a capture of the whole show at 60 fps and 640 x 480 into an MP4 and reports the frames,
# the time and the rate. Goal: faster than real time (above 60 frames per second, the show's
# 251.2 s of video in less than 251.2 s). The video goes to a temporary file and is removed.
# Usage: bench/capture/capture-benchmark.sh [BUILD_DIR] [more capture options, e.g. --to 60000]
#   BUILD_DIR defaults to build/release; it must hold bin/vorthalimex-capture and run/ with the
#   content pack (cmake --build BUILD_DIR). With no DISPLAY the capture runs under xvfb-run.
set -euo pipefail
cd "$(dirname "$0")/../.."
case "${1:-}" in
  -h|--help) sed -n '2,7p' "$0" | sed 's/^# \{0,1\}//'; exit 0 ;;
esac
. tools/capture/capture-env.sh
capture_env "${1:-build/release}"
[ $# -gt 0 ] && shift

out=$(mktemp --suffix=.mp4)
log=$(mktemp)
trap 'rm -f "$out" "$log"' EXIT

start=$(date +%s.%N)
"${launch[@]}" "$tool" --run-dir "$run_dir" --fps 60 --size 640x480 -o "$out" -y "$@" 2>&1 | tee "$log"
end=$(date +%s.%N)

frames=$(sed -n 's/^captured \([0-9]*\) frames in \([0-9.]*\) s.*/\1/p' "$log")
render=$(sed -n 's/^captured \([0-9]*\) frames in \([0-9.]*\) s.*/\2/p' "$log")
[ -n "$frames" ] || { echo "capture-benchmark: the capture did not finish" >&2; exit 1; }
awk -v f="$frames" -v r="$render" -v s="$start" -v e="$end" -v bytes="$(stat -c %s "$out")" 'BEGIN {
  wall = e - s; video = f / 60
  printf "capture benchmark: %d frames (%.1f s of video) at 640x480\n", f, video
  printf "  frame loop  %8.2f s  %6.1f fps  %5.2fx real time\n", r, f / r, video / r
  printf "  whole run   %8.2f s  %6.1f fps  %5.2fx real time (start-up, loading and the last encoding included)\n", wall, f / wall, video / wall
  printf "  video file  %8.1f MB\n", bytes / 1e6
  printf "  goal (faster than real time): %s\n", (video / wall > 1 ? "met" : "NOT met")
}'
