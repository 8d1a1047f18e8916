# Sourced by the scripts that run vorthalimex-capture (the gallery, the capture benchmark), from
# the repository root. capture_env BUILD_DIR sets tool (the capture program), run_dir (data/ and
# blow.job) and launch (what to run the tool under: nothing, since the tool draws off-screen and
# needs no display); exits when the build does not hold them.
capture_env() {
  local build=$1
  case "$build" in /*) ;; *) build=$PWD/$build ;; esac
  tool=$build/bin/vorthalimex-capture
  run_dir=$build/run
  [ -x "$tool" ] || { echo "$0: $tool is not built (cmake --build $1)" >&2; exit 1; }
  [ -f "$run_dir/data/Vorthalimex.mp3" ] || { echo "$0: no content pack in $run_dir" >&2; exit 1; }
  launch=()
}
