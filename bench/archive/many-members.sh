#!/usr/bin/env bash
# Times vxar on archives of many tiny members (goals at 10,000 members: test and extract under
# 2 s, solid or not; create --solid under 5 s). For each count it makes that many small text
# files, packs them with and without --solid, then times `vxar test` and `vxar extract` on both.
# Each figure is "wall/cpu" seconds (cpu: user + system). Extraction is mostly the file system's
# work: the column "cp -r" copies the same files, as the floor any extractor stands on.
# Usage: bench/archive/many-members.sh [BUILD_DIR] [COUNT...]
#   BUILD_DIR defaults to build/release and must hold bin/vxar; counts default to 1000 4000 10000.
#   Set VXAR_TIMEOUT (seconds, default 600) to give up on one slow step.
set -euo pipefail
case "${1:-}" in
  -h|--help) sed -n '2,9p' "$0" | sed 's/^# \{0,1\}//'; exit 0 ;;
esac
build=${1:-build/release}
shift || true
counts=("$@")
[ ${#counts[@]} -gt 0 ] || counts=(1000 4000 10000)
vxar=$(cd "$(dirname "$0")/../.." && realpath -m "$build/bin/vxar")
[ -x "$vxar" ] || { echo "many-members: $vxar is missing (build the vxar target first)" >&2; exit 1; }
[ -x /usr/bin/time ] || { echo "many-members: /usr/bin/time is missing (apt-get install time)" >&2; exit 1; }
limit=${VXAR_TIMEOUT:-600}

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# "wall/cpu" seconds of one run, or ">limit" when it timed out; the command must succeed. Files
# written before are flushed first, so that their write-back does not fall into the timing.
seconds() {
  local status=0
  sync
  /usr/bin/time -f '%e %U %S' -o "$work/time" timeout "$limit" "$@" >/dev/null 2>"$work/err" || status=$?
  if [ "$status" -eq 124 ]; then echo ">$limit"; return; fi
  if [ "$status" -ne 0 ]; then echo "many-members: failed: $*" >&2; cat "$work/err" >&2; exit 1; fi
  awk '{ printf "%.2f/%.2f", $1, $2 + $3 }' "$work/time"
}

printf '%-8s %-6s %12s %12s %12s %12s\n' members solid create test extract "cp -r"
for n in "${counts[@]}"; do
  # Every folder is fresh (the inputs per count, the outputs and copies per run) and all are
  # removed at the end: removing thousands of files slows the file system for a while after.
  in="$work/in-$n"
  mkdir -p "$in"
  echo "many-members: making $n files ..." >&2
  (cd "$in" && for ((i = 0; i < n; ++i)); do
     printf 'member %d of the many-members benchmark: %d\n' "$i" "$((i * 7919 % 10007))" > "m$i.txt"
   done)
  for solid in no yes; do
    flag=""; [ "$solid" = yes ] && flag=--solid
    archive="$work/many-$n-$solid.rar"
    rm -f "$archive"
    c=$(seconds "$vxar" create -q $flag "$archive" "$in")
    t=$(seconds "$vxar" test -q "$archive")
    out="$work/out-$n-$solid"
    x=$(seconds "$vxar" extract -q -o "$out" "$archive")
    if [ -d "$out" ] && [[ $x != \>* ]]; then
      diff -r "$in" "$out" >/dev/null || { echo "many-members: extracted files differ" >&2; exit 1; }
    fi
    cp=$(seconds cp -r "$in" "$work/copy-$n-$solid")
    printf '%-8s %-6s %12s %12s %12s %12s\n' "$n" "$solid" "$c" "$t" "$x" "$cp"
  done
done
