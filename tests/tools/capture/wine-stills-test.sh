#!/usr/bin/env bash
# Stills of the Windows capture tool, run by Wine, against the Linux build's stills of the same music
# times, on both render paths, judged by the picture gate (picturegate --compare). Run by ctest in a
# Windows build, on a display (the Windows tool draws in a hidden window):
#   wine-stills-test.sh WINDOWS_CAPTURE LINUX_BIN RUN_DIR WORK MS...
# LINUX_BIN holds the Linux build's vorthalimex-capture and picturegate.
set -euo pipefail
fail() { echo "wine-stills-test: $*" >&2; exit 1; }
[ $# -ge 5 ] || fail "usage: wine-stills-test.sh WINDOWS_CAPTURE LINUX_BIN RUN_DIR WORK MS..."
windows_capture=$1 linux_bin=$2 run_dir=$3 work=$4
shift 4
rm -rf "$work"
mkdir -p "$work"
status=0
for path in fast faithful; do
  flag=()
  [ "$path" = faithful ] && flag=(--faithful)
  windows_stills=() linux_stills=()
  for ms in "$@"; do
    windows_stills+=(--still "$ms=$work/windows-$path-$ms.png")
    linux_stills+=(--still "$ms=$work/linux-$path-$ms.png")
  done
  "$linux_bin/vorthalimex-capture" --run-dir "$run_dir" "${flag[@]}" "${linux_stills[@]}" \
    >"$work/linux-$path.log" 2>&1 || { cat "$work/linux-$path.log" >&2; fail "the Linux capture ($path) failed"; }
  wine "$windows_capture" --run-dir "$run_dir" "${flag[@]}" "${windows_stills[@]}" \
    >"$work/windows-$path.log" 2>&1 || { cat "$work/windows-$path.log" >&2; fail "the Windows capture ($path) failed"; }
  for ms in "$@"; do
    echo -n "$path, $ms ms: "
    "$linux_bin/picturegate" --compare "$work/linux-$path-$ms.png" "$work/windows-$path-$ms.png" | sed 's/^[^:]*: //' ||
      status=1
  done
done
[ "$status" -eq 0 ] || fail "a Windows still is beyond the picture gate (the stills are in $work)"
echo "wine-stills-test: every Windows still is within the gate of the Linux one"
