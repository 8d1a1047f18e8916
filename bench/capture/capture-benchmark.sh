#!/usr/bin/env bash
# Times a capture of the whole show at 60 fps and 640 x 480 into an MP4 and reports the frames,
# the time and the rate. Goal: faster than real time (more than 60 frames per second: the show's
# 251.2 s of video in less than 251.2 s). The video goes to a temporary file and is removed.
# Usage: bench/capture/capture-benchmark.sh [BUILD_DIR] [--path faithful|fast] [--sample FPS]
#                                          [more capture options]
#   BUILD_DIR defaults to build/release; it must hold bin/vorthalimex-capture and run/ with the
#   content pack (cmake --build BUILD_DIR). With no DISPLAY the capture runs under xvfb-run.
#   --path draws on that render path (VX_RENDER_PATH for the capture; default: the capture's own
#   choice, the fast path unless VX_RENDER_PATH says otherwise).
#   --sample FPS captures the whole show at FPS instead (frames spread over the whole timeline)
#   and projects the 60 fps figures from the time per frame: a quicker estimate.
set -euo pipefail
cd "$(dirname "$0")/../.."
case "${1:-}" in
  -h|--help) sed -n '2,12p' "$0" | sed 's/^# \{0,1\}//'; exit 0 ;;
esac
. tools/capture/capture-env.sh
capture_env "${1:-build/release}"
[ $# -gt 0 ] && shift
fps=60
if [ "${1:-}" = --path ]; then
  case "${2:-}" in
    faithful|fast) export VX_RENDER_PATH=$2 ;;
    *) echo "capture-benchmark: --path needs faithful or fast" >&2; exit 2 ;;
  esac
  shift 2
fi
path=${VX_RENDER_PATH:-fast}
if [ "${1:-}" = --sample ]; then
  fps=${2:?--sample needs a frame rate}
  shift 2
fi

out=$(mktemp --suffix=.mp4)
log=$(mktemp)
cpu=$(mktemp)
trap 'rm -f "$out" "$log" "$cpu"' EXIT

# CPU time of everything the capture runs (renderer threads, X server, ffmpeg): on a shared
# machine the wall-clock time depends on the load, the CPU time much less.
start=$(date +%s.%N)
/usr/bin/time -f "%U %S" -o "$cpu" \
  "${launch[@]}" "$tool" --run-dir "$run_dir" --fps "$fps" --size 640x480 -o "$out" -y "$@" 2>&1 | tee "$log"
end=$(date +%s.%N)

frames=$(sed -n 's/^captured \([0-9]*\) frames in \([0-9.]*\) s.*/\1/p' "$log")
loop=$(sed -n 's/^captured \([0-9]*\) frames in \([0-9.]*\) s.*/\2/p' "$log")
[ -n "$frames" ] || { echo "capture-benchmark: the capture did not finish" >&2; exit 1; }
awk -v f="$frames" -v fps="$fps" -v loop="$loop" -v path="$path" -v s="$start" -v e="$end" -v cores="$(nproc)" \
    -v cpu="$(awk '{ print $1 + $2 }' "$cpu")" \
    -v bytes="$(stat -c %s "$out")" -v load="$(cut -d' ' -f1 /proc/loadavg)" 'BEGIN {
  wall = e - s; video = f / fps
  printf "capture benchmark: %d frames at %d fps (%.1f s of video), 640x480, %s render path, %d cores, load %s at the end\n", f, fps, video, path, cores, load
  printf "  frame loop  %8.2f s  %7.1f frames/s  %5.2fx real time  %6.1f ms/frame\n", loop, f / loop, video / loop, 1000 * loop / f
  printf "  whole run   %8.2f s  %7.1f frames/s  %5.2fx real time  (start-up, loading, last encoding)\n", wall, f / wall, video / wall
  printf "  CPU time    %8.2f s  %6.1f ms/frame (all processes; at least %.2f s on %d idle cores)\n", cpu, 1000 * cpu / f, cpu / cores, cores
  printf "  video file  %8.1f MB\n", bytes / 1e6
  if (fps != 60) {
    whole = 15072 * loop / f + (wall - loop)
    printf "  projected whole show at 60 fps: 15072 frames in %.0f s, %.1f frames/s, %.2fx real time\n", whole, 15072 / whole, 251.2 / whole
    printf "  projected on %d idle cores (CPU-bound): at least %.0f s, %.2fx real time at best\n", cores, 15072 * cpu / f / cores, 251.2 / (15072 * cpu / f / cores)
    ratio = 251.2 / whole
  } else {
    ratio = video / wall
  }
  printf "  goal (faster than real time): %s\n", (ratio > 1 ? "met" : "NOT met")
}'
