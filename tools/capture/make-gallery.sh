#!/usr/bin/env bash
# Makes the README's gallery: six moments of the show captured with vorthalimex-capture (five at
# 640 x 480, one at 1280 x 960), cut to the letterbox band (the window minus 104 rows at top and
# bottom) and written as small JPEG files into docs/gallery/. A still that comes out flat (the
# grey-level standard deviation of its band under 12) is refused: it shows nothing of the show.
# Usage: tools/capture/make-gallery.sh [BUILD_DIR]   (default build/release; it must hold
#   bin/vorthalimex-capture and run/ with the content pack).
set -euo pipefail
cd "$(dirname "$0")/../.."
case "${1:-}" in
  -h|--help) sed -n '2,7p' "$0" | sed 's/^# \{0,1\}//'; exit 0 ;;
esac
. tools/capture/capture-env.sh
capture_env "${1:-build/release}"
command -v ffmpeg >/dev/null || { echo "make-gallery: needs ffmpeg (sudo apt-get install ffmpeg)" >&2; exit 1; }

# name, music time and window size (ms = (t + 1) * 60000 / 145 for scene time t in beats)
shots=(
  "1-title 26897 640x480"          # t = 64: the logo at full strength over the narrow title picture
  "2-groove 83172 640x480"         # t = 200: the ball among the stars, the picture at full width
  "3-first-burst 107586 640x480"   # t = 259: the middle of the first burst
  "4-swell-peak 151034 640x480"    # t = 364: the two swells near their peaks, streaks through the glare
  "5-swell-ebb 165931 640x480"     # t = 400: the swell ebbing, one streak across the stars
  "6-credits-1280 212276 1280x960" # t = 512: logo and credits at full strength; at 1280 x 960 they
                                   # keep their 640 x 272 corner of the band, clear of the ball
)
min_stddev=12

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
for size in 640x480 1280x960; do
  args=()
  for shot in "${shots[@]}"; do
    set -- $shot
    [ "$3" = "$size" ] && args+=(--still "$2=$work/$1.png")
  done
  if [ ${#args[@]} -gt 0 ]; then
    "${launch[@]}" "$tool" --run-dir "$run_dir" --size "$size" "${args[@]}"
  fi
done

# The standard deviation of the grey levels (0 ... 255) of a still's band.
grey_deviation() {  # FILE CROP_FILTER
  ffmpeg -hide_banner -loglevel error -i "$1" -vf "$2,format=gray" -f rawvideo - | od -An -v -tu1 |
    awk '{ for (i = 1; i <= NF; i++) { s += $i; q += $i * $i; n++ } }
         END { m = s / n; v = q / n - m * m; printf "%.1f", (v > 0 ? sqrt(v) : 0) }'
}

# Every still is checked before any file of the gallery is replaced.
band() {  # SIZE: the crop filter of the letterbox band
  local width=${1%x*} height=${1#*x}
  echo "crop=$width:$((height - 208)):0:104"
}
declare -A deviation
for shot in "${shots[@]}"; do
  set -- $shot
  deviation[$1]=$(grey_deviation "$work/$1.png" "$(band "$3")")
  if awk -v s="${deviation[$1]}" -v m="$min_stddev" 'BEGIN { exit !(s < m) }'; then
    echo "make-gallery: $1 ($2 ms) is flat (grey-level deviation ${deviation[$1]}, under $min_stddev): choose another time" >&2
    exit 1
  fi
done

mkdir -p docs/gallery
for shot in "${shots[@]}"; do
  set -- $shot
  # 480 pixels wide, the large band at half its width so that the credits stay legible
  width=${3%x*}
  scaled=$((width / 2 > 480 ? width / 2 : 480))
  ffmpeg -hide_banner -loglevel error -y -i "$work/$1.png" -vf "$(band "$3"),scale=$scaled:-2" -q:v 3 "docs/gallery/$1.jpg"
  echo "docs/gallery/$1.jpg ($2 ms, $3, grey-level deviation ${deviation[$1]})"
done
