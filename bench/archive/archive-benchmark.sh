#!/usr/bin/env bash
# Prints the archive comparison table on a generated mixed corpus (text, binaries, PCM sound;
# 9 files, 36 MiB at the default 4 MiB per file), measured side by side in one run:
#   - packing speed of `vxar create` at the default level (goal: at least 5 MB/s);
#   - archive size against gzip -9 of the same corpus as one tar stream (goal: smaller);
#   - extraction throughput of our reader (`vxar extract`, which goes through extractMember)
#     against unar on the same archive (goal: at least 3x unar and at least 100 MB/s), for the
#     whole corpus and for an archive of each kind of content (text, binaries, sound).
# Each timing is the best of RUNS runs (default 3). Both extractions are checked byte for byte.
# Usage: bench/archive/archive-benchmark.sh [BUILD_DIR] [MIB_PER_FILE]
#   BUILD_DIR defaults to build/release and must hold bin/vxar and bin/archive_bench_corpus
#   (cmake --build BUILD_DIR --target vxar archive_bench_corpus).
set -euo pipefail
cd "$(dirname "$0")/../.."
case "${1:-}" in
  -h|--help) sed -n '2,12p' "$0" | sed 's/^# \{0,1\}//'; exit 0 ;;
esac
build=${1:-build/release}
mib=${2:-4}
runs=${RUNS:-3}
vxar=$build/bin/vxar
generator=$build/bin/archive_bench_corpus
for tool in "$vxar" "$generator"; do
  [ -x "$tool" ] || { echo "archive-benchmark: $tool is missing (build the targets first)" >&2; exit 1; }
done
for tool in unar gzip tar; do
  command -v "$tool" >/dev/null || { echo "archive-benchmark: '$tool' is not installed" >&2; exit 1; }
done

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
echo "archive-benchmark: generating the corpus ..." >&2
corpus_bytes=$("$generator" "$work/corpus" "$mib")

# Best wall time and best CPU time (user + system, children included) of $runs runs of the
# command, as "wall cpu"; the output folder is emptied before each run. On a busy machine the
# CPU time shows what the work itself costs.
best_time() {
  local out=$1; shift
  local best_wall="" best_cpu="" line
  for _ in $(seq "$runs"); do
    rm -rf "$out"
    line=$( { TIMEFORMAT='%R %U %S'; time "$@" >/dev/null; } 2>&1 | tail -n 1)
    read -r best_wall best_cpu < <(awk -v l="$line" -v bw="$best_wall" -v bc="$best_cpu" 'BEGIN {
      split(l, t, " "); w = t[1]; c = t[2] + t[3]
      if (bw == "" || w < bw) bw = w; if (bc == "" || c < bc) bc = c; print bw, bc }')
  done
  echo "$best_wall $best_cpu"
}
same_tree() { diff -r "$work/corpus" "$1" >/dev/null || { echo "archive-benchmark: $2 output differs from the corpus" >&2; exit 1; }; }

echo "archive-benchmark: packing ..." >&2
pack_time=$(best_time "$work/unused" "$vxar" create -q "$work/corpus.rar" "$work/corpus")
solid_time=$(best_time "$work/unused" "$vxar" create -q --solid "$work/solid.rar" "$work/corpus")
gzip_time=$(best_time "$work/unused" sh -c "tar -C '$work/corpus' -cf - . | gzip -9 > '$work/corpus.tar.gz'")
archive_bytes=$(stat -c %s "$work/corpus.rar")
solid_bytes=$(stat -c %s "$work/solid.rar")
gzip_bytes=$(stat -c %s "$work/corpus.tar.gz")

echo "archive-benchmark: extracting ..." >&2
ours_time=$(best_time "$work/ours" "$vxar" extract -q -o "$work/ours" "$work/corpus.rar")
same_tree "$work/ours" "vxar extract"
unar_time=$(best_time "$work/unar" unar -q -o "$work/unar" -D "$work/corpus.rar")
same_tree "$work/unar" "unar"

# The same per kind of content (an archive of each corpus folder), ours and unar side by side:
# "kind bytes ours_wall ours_cpu unar_wall unar_cpu" per line, the whole corpus last.
kinds=""
for kind in text bin sound; do
  "$vxar" create -q "$work/$kind.rar" "$work/corpus/$kind"
  bytes=$(find "$work/corpus/$kind" -type f -printf '%s\n' | awk '{ s += $1 } END { print s }')
  ours_kind=$(best_time "$work/ours" "$vxar" extract -q -o "$work/ours" "$work/$kind.rar")
  diff -r "$work/corpus/$kind" "$work/ours" >/dev/null || { echo "archive-benchmark: vxar extract output differs ($kind)" >&2; exit 1; }
  unar_kind=$(best_time "$work/unar" unar -q -o "$work/unar" -D "$work/$kind.rar")
  diff -r "$work/corpus/$kind" "$work/unar" >/dev/null || { echo "archive-benchmark: unar output differs ($kind)" >&2; exit 1; }
  kinds+="$kind $bytes $ours_kind $unar_kind"$'\n'
done
kinds+="all $corpus_bytes $ours_time $unar_time"

awk -v n="$corpus_bytes" -v pack="$pack_time" -v solidt="$solid_time" -v gzipt="$gzip_time" \
    -v size="$archive_bytes" -v solid="$solid_bytes" -v gz="$gzip_bytes" \
    -v ours="$ours_time" -v unar="$unar_time" -v kinds="$kinds" -v load="$(cut -d' ' -f1 /proc/loadavg)" 'BEGIN {
  mb = n / 1e6
  split(pack, p, " "); split(solidt, s, " "); split(gzipt, g, " "); split(ours, o, " "); split(unar, u, " ")
  printf "archive benchmark: %.1f MB corpus (text, binaries, PCM sound), best of runs, load average %s\n\n", mb, load
  printf "  %-36s %9s %7s %11s %10s\n", "", "size (MB)", "ratio", "MB/s wall", "MB/s CPU"
  row("vxar create, default level", size, p)
  row("vxar create --solid, default level", solid, s)
  row("tar | gzip -9", gz, g)
  row("extract: our reader (vxar extract)", 0, o)
  row("extract: unar", 0, u)
  printf "\n  extraction, ours (vxar extract) against unar on the same archive, per kind of content:\n"
  printf "  %-24s %8s %11s %11s %8s %10s %10s %8s\n", "", "MB", "ours wall", "unar wall", "ratio", "ours CPU", "unar CPU", "ratio"
  nk = split(kinds, lines, "\n")
  names["text"] = "text"; names["bin"] = "binaries"; names["sound"] = "PCM sound (audio mode)"; names["all"] = "whole corpus"
  for (i = 1; i <= nk; ++i) {
    split(lines[i], f, " ")
    kmb = f[2] / 1e6
    printf "  %-24s %8.1f %11.1f %11.1f %7.2fx %10.1f %10.1f %7.2fx\n", names[f[1]], kmb, kmb / f[3], kmb / f[5], f[5] / f[3],
      kmb / f[4], kmb / f[6], f[6] / f[4]
  }
  printf "  (MB/s; ratio = ours / unar throughput)\n"
  printf "\n  goals (wall / CPU):\n"
  goal("packing at least 5 MB/s", mb / p[1], mb / p[2], 5, "MB/s")
  printf "    %-32s %7.1f%%  %s\n", "smaller than gzip -9", 100 * size / gz, (size < gz ? "met" : "NOT met")
  goal("extraction at least 3x unar", u[1] / o[1], u[2] / o[2], 3, "x")
  goal("extraction at least 100 MB/s", mb / o[1], mb / o[2], 100, "MB/s")
}
function row(name, bytes, t) {
  if (bytes > 0) printf "  %-36s %9.2f %6.1f%% %11.1f %10.1f\n", name, bytes / 1e6, 100 * bytes / n, mb / t[1], mb / t[2]
  else printf "  %-36s %9s %7s %11.1f %10.1f\n", name, "", "", mb / t[1], mb / t[2]
}
function goal(name, wall, cpu, target, unit) {
  printf "    %-32s %7.2f / %7.2f %-4s %s\n", name, wall, cpu, unit, (wall >= target ? "met" : cpu >= target ? "met by CPU time" : "NOT met")
}'
