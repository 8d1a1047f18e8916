#!/usr/bin/env bash
# The Windows release zip, as a user gets it. Run by ctest in a Windows build (Wine, on a display):
#   windows-zip-test.sh unpack ZIP WORK RUN_DIR SOURCE_DIR
#       unpacks ZIP into WORK/unpacked afresh and checks every file: the three programs and their
#       DLLs, the content pack byte for byte against RUN_DIR, README.txt, LICENSE.txt and a licence
#       text for each bundled library; nothing else at the top.
#   windows-zip-test.sh dlls WORK OBJDUMP
#       every DLL that an unpacked .exe or .dll imports is Windows' own or is in the folder.
#   windows-zip-test.sh plays WORK SECONDS
#       the unpacked program, started by Wine from another folder, plays SECONDS, then Escape ends
#       it with status 0, and nothing is written to stderr.
set -euo pipefail

fail() { echo "windows-zip-test: $*" >&2; exit 1; }

part=${1:-}
case "$part" in
  unpack)
    zip=$2 work=$3 run_dir=$4 source_dir=$5
    [ -f "$zip" ] || fail "no zip at $zip"
    rm -rf "$work/unpacked"
    mkdir -p "$work/unpacked"
    unzip -q "$zip" -d "$work/unpacked"
    top=$(basename "$zip" .zip)
    [ "$(ls "$work/unpacked")" = "$top" ] || fail "the zip should hold one folder $top, not: $(ls "$work/unpacked")"
    dir=$work/unpacked/$top
    for program in vorthalimex.exe vorthalimex-capture.exe vxar.exe; do
      [ -f "$dir/$program" ] || fail "$program is not in the zip"
    done
    ls "$dir"/*mpg123*.dll >/dev/null 2>&1 || fail "the libmpg123 DLL is not in the zip"
    # The content pack: the run directory's files, byte for byte, and no others.
    (cd "$run_dir" && find data -type f | sort; echo blow.job) >"$work/pack.expected"
    (cd "$dir" && find data -type f | sort; [ -f blow.job ] && echo blow.job) >"$work/pack.packed"
    diff -u "$work/pack.expected" "$work/pack.packed" >&2 || fail "the content pack in the zip differs from $run_dir"
    [ "$(wc -l <"$work/pack.expected")" -ge 15 ] || fail "$run_dir holds too few content files"
    while read -r file; do
      cmp -s "$run_dir/$file" "$dir/$file" || fail "$file in the zip differs from $run_dir/$file"
    done <"$work/pack.expected"
    cmp -s "$source_dir/LICENSE" "$dir/LICENSE.txt" || fail "LICENSE.txt is missing or differs from LICENSE"
    cmp -s "$source_dir/packaging/windows/README.txt" "$dir/README.txt" || fail "README.txt is missing or differs"
    for lib in sdl2 jpeg png freetype mpg123 zlib mingw-w64; do
      [ -s "$dir/licenses/$lib/copyright" ] || fail "no licence text for $lib (licenses/$lib/copyright)"
    done
    grep -q "GNU LESSER GENERAL PUBLIC LICENSE" "$dir/licenses/mpg123/COPYING" ||
      fail "the full text of the LGPL is not with libmpg123 (licenses/mpg123/COPYING)"
    for lib in googletest lame; do
      [ ! -e "$dir/licenses/$lib" ] || fail "$lib only goes into the tests, yet its licence is in the zip"
    done
    extra=$(cd "$dir" && ls | grep -vxE 'vorthalimex\.exe|vorthalimex-capture\.exe|vxar\.exe|[^/]*mpg123[^/]*\.dll|data|blow\.job|README\.txt|LICENSE\.txt|licenses' || true)
    [ -z "$extra" ] || fail "unexpected files at the top of the zip: $extra"
    echo "windows-zip-test: $(find "$dir" -type f | wc -l) files unpacked into $dir, all as expected"
    ;;

  dlls)
    work=$2 objdump=$3
    dir=$(find "$work/unpacked" -mindepth 1 -maxdepth 1 -type d)
    [ -n "$dir" ] || fail "nothing unpacked in $work/unpacked (the unpack test runs first)"
    # Windows' own DLLs the programs may import: the Win32 API, OpenGL and the C runtime.
    system='kernel32|user32|gdi32|advapi32|shell32|ole32|oleaut32|imm32|winmm|version|setupapi|cfgmgr32|opengl32|glu32|msvcrt|ws2_32|dinput8|dxguid|hid|comdlg32|shlwapi|uuid'
    status=0
    while IFS= read -r -d '' binary; do
      imports=$("$objdump" -p "$binary" | sed -n 's/^[[:space:]]*DLL Name: //p')
      [ -n "$imports" ] || { echo "$(basename "$binary"): no imports found" >&2; status=1; continue; }
      for dll in $imports; do
        lower=$(echo "$dll" | tr 'A-Z' 'a-z')
        if echo "${lower%.dll}" | grep -qxE "$system"; then
          where="Windows"
        elif [ -n "$(find "$dir" -maxdepth 1 -iname "$dll")" ]; then
          where="in the zip"
        else
          where="MISSING"
          status=1
        fi
        echo "$(basename "$binary") imports $dll: $where"
      done
    done < <(find "$dir" -maxdepth 1 -type f \( -iname '*.exe' -o -iname '*.dll' \) -print0 | sort -z)
    [ "$status" -eq 0 ] || fail "a DLL imported by a packed program is neither Windows' own nor in the zip"
    # The show is a windowed program (no console window from a double-click); the tools are
    # console programs.
    for program in vorthalimex vorthalimex-capture vxar; do
      expected="Windows CUI"
      [ "$program" = vorthalimex ] && expected="Windows GUI"
      subsystem=$("$objdump" -p "$dir/$program.exe" | sed -n 's/^Subsystem[[:space:]]*[0-9a-f]*[[:space:]]*(\(.*\))$/\1/p')
      echo "$program.exe: subsystem $subsystem"
      [ "$subsystem" = "$expected" ] || fail "$program.exe is a $subsystem program, not $expected"
    done
    ;;

  plays)
    work=$2 seconds=$3
    dir=$(find "$work/unpacked" -mindepth 1 -maxdepth 1 -type d)
    [ -n "$dir" ] || fail "nothing unpacked in $work/unpacked (the unpack test runs first)"
    [ -n "${DISPLAY:-}" ] || fail "no display (run under xvfb-run)"
    elsewhere=$work/elsewhere
    rm -rf "$elsewhere"
    mkdir -p "$elsewhere"
    (cd "$elsewhere" && exec wine "$dir/vorthalimex.exe" >"$work/plays.out" 2>"$work/plays.err") &
    pid=$!
    # The window comes up within the first seconds; then it plays.
    window=""
    for _ in $(seq 1 $((seconds * 10))); do
      kill -0 "$pid" 2>/dev/null || break
      [ -n "$window" ] || window=$(xdotool search --name "vorthalimex" 2>/dev/null | head -n 1 || true)
      sleep 0.1
    done
    if ! kill -0 "$pid" 2>/dev/null; then
      wait "$pid" && status=0 || status=$?
      fail "the program ended after less than ${seconds} s (status $status): $(cat "$work/plays.err")"
    fi
    [ -n "$window" ] || { kill "$pid"; fail "the program ran ${seconds} s without a window"; }
    xdotool windowfocus --sync "$window" key Escape 2>/dev/null || xdotool key --window "$window" Escape
    for _ in $(seq 1 200); do kill -0 "$pid" 2>/dev/null || break; sleep 0.1; done
    if kill -0 "$pid" 2>/dev/null; then
      kill "$pid"
      fail "Escape did not end the program within 20 s"
    fi
    wait "$pid" && status=0 || status=$?
    [ "$status" -eq 0 ] || fail "after Escape the program exited with status $status: $(cat "$work/plays.err")"
    [ ! -s "$work/plays.err" ] || fail "the program wrote to stderr: $(cat "$work/plays.err")"
    echo "windows-zip-test: played ${seconds} s from $elsewhere, ended by Escape, nothing on stderr"
    ;;

  *)
    fail "usage: windows-zip-test.sh unpack|dlls|plays ... (see the head of this file)"
    ;;
esac
