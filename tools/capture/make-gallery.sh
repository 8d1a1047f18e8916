#!/usr/bin/env bash
# Makes the README's gallery: six moments of the show captured with vorthalimex-capture at
# 640 x 480, cut to the letterbox band (the window minus 104 rows at top and bottom) and written
# as small JPEG files into docs/gallery/.
# Usage: tools/capture/make-gallery.sh [BUILD_DIR]   (default build/release; it must hold
#   bin/vorthalimex-capture and run/ with the content pack). Runs under xvfb-run without DISPLAY.
set -euo pipefail
cd "$(dirname "$0")/../.."
case "${1:-}" in
  -h|--help) sed -n '2,6p' "$0" | sed 's/^# \{0,1\}//'; exit 0 ;;
esac
. tools/capture/capture-env.sh
capture_env "${1:-build/release}"
command -v ffmpeg >/dev/null || { echo "make-gallery: needs ffmpeg (sudo apt-get install ffmpeg)" >&2; exit 1; }

# name and music time (ms = (t + 1) * 60000 / 145 for scene time t in beats)
shots=(
  "1-title 26897"         # t = 64: the logo at full strength over the narrow title picture
  "2-first-burst 107586"  # t = 259: the middle of the first burst
  "3-swell-peak 151034"   # t = 364: the two swells near their peaks, streaks through the glare
  "4-credits 212276"      # t = 512: logo and credits at full strength
  "5-white-out 232138"    # t = 560: fog and background beyond white
  "6-end-fade 245380"     # t = 592: the background halfway through its fade from white to black
)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
args=()
for shot in "${shots[@]}"; do
  set -- $shot
  args+=(--still "$2=$work/$1.png")
done
"${launch[@]}" "$tool" --run-dir "$run_dir" "${args[@]}"

mkdir -p docs/gallery
for shot in "${shots[@]}"; do
  set -- $shot
  ffmpeg -hide_banner -loglevel error -y -i "$work/$1.png" -vf "crop=640:272:0:104,scale=480:204" \
    -q:v 3 "docs/gallery/$1.jpg"
  echo "docs/gallery/$1.jpg ($2 ms)"
done
