#!/usr/bin/env bash
# Runs the Linux programs and the Windows programs (under Wine) on the same inputs of many
# shapes and checks that they write byte-identical files, print the same messages (once the
# Windows text stream's CR LF line ends are read back as line feeds) and end with the same
# status. No argument begins with "/", where the two systems' switch rules differ.
#
#   .ci/compare_builds.sh LINUX_BUILD WINDOWS_BUILD
#
# LINUX_BUILD holds symmap/Symvex, splitter/Tessan, joiner/Orlund, inspector/Plcinfo and
# plcgen; WINDOWS_BUILD the same as .exe files. WINEPREFIX names a prepared Wine prefix.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
linux=$(cd "$1" && pwd)
windows=$(cd "$2" && pwd)
wine=${WINE64:-/usr/lib/wine/wine64}
export WINEDEBUG=-all

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cases=0
failures=0

# Reads the Windows program's standard output back as the Linux one's: every line feed must
# have come as CR LF, and a usage text's syntax lines name the program as each system spells
# it ("\tSymvex.exe /w ..." on Windows, "\tSymvex /w ..." elsewhere).
from_text_stream() {
  perl -0777 -pe 'if (/(?<!\r)\n/) { print "<line feed without carriage return>\n"; } s/\r\n/\n/g;
    s/^\t(Symvex|Tessan)\.exe /\t$1 /mg'
}

# compare NAME INPUTS PROGRAM ARGS...: copies the folder INPUTS twice, runs PROGRAM of each
# build in one copy with ARGS, and compares status, messages and every file left behind.
compare() {
  local name=$1 inputs=$2 program=$3
  shift 3
  cases=$((cases + 1))
  local dir="$work/$cases"
  mkdir -p "$dir"
  cp -r "$inputs" "$dir/linux"
  cp -r "$inputs" "$dir/windows"
  local linuxStatus=0 windowsStatus=0
  (cd "$dir/linux" && "$linux/$program" "$@" >"$dir/linux.out" 2>&1) || linuxStatus=$?
  (cd "$dir/windows" && "$wine" "$windows/$program.exe" "$@" >"$dir/windows.raw" 2>&1) ||
    windowsStatus=$?
  from_text_stream <"$dir/windows.raw" >"$dir/windows.out"
  local problem=""
  [ "$linuxStatus" = "$windowsStatus" ] || problem="status $linuxStatus / $windowsStatus"
  cmp -s "$dir/linux.out" "$dir/windows.out" || problem="$problem messages differ"
  diff -r -q "$dir/linux" "$dir/windows" >"$dir/files.diff" || problem="$problem files differ"
  if [ -n "$problem" ]; then
    failures=$((failures + 1))
    echo "DIFFERENT: $name ($program $*): $problem"
    diff "$dir/linux.out" "$dir/windows.out" | head -20 || true
    head -20 "$dir/files.diff"
  fi
}

# A project folder from a description: KORVEX.EXE, KORVEX.map, Make.knf, PLC_ENDP.DAT, out/.
project() {
  local dir=$1 description=$2
  mkdir -p "$dir/out"
  "$linux/plcgen" "$description" "$dir/KORVEX.EXE" "$dir/KORVEX.map" "$dir/Make.knf"
  cp examples/PLC_ENDP.DAT "$dir/"
}

splitter_args=(out/ KORVEX.EXE KORVEX.map Make.knf)
shapes="$work/shapes"
mkdir -p "$shapes"
variant() { # NAME SED-SCRIPT: the example's description changed by a sed script
  sed -e "$2" examples/KORVEX.plcgen >"$shapes/$1.plcgen"
  project "$shapes/$1" "$shapes/$1.plcgen"
}
variant example ''
variant header2 's/^header 20/header 2/'
variant header65 's/^header 20/header 41/'
variant headeronly-units '/CODE_UNIT/s/00040 ramp/00024 ramp/'
variant no-comment '/Comment/d'
variant long-comment 's/"Line 7 press"/"A comment far longer than thirty-one characters"/'
variant far-end 's/0020:19F0/0000:FFFF/'
variant dusr-16 's/0200:0180/0200:0100/'
variant unit-out-of-range 's/^segment CODE_UNIT09 .*/segment CODE_UNIT09 CODE 02680 00200 zero/'
variant dusr-out-of-range 's/0200:0180/0200:0800/'
cp -r "$shapes/example" "$shapes/truncated"
head -c 3000 "$shapes/example/KORVEX.EXE" >"$shapes/truncated/KORVEX.EXE"
cp -r "$shapes/example" "$shapes/short-header"
head -c 20 "$shapes/example/KORVEX.EXE" >"$shapes/short-header/KORVEX.EXE"
cp -r "$shapes/example" "$shapes/crlf"
sed -i 's/$/\r/' "$shapes/crlf/KORVEX.map" "$shapes/crlf/Make.knf"
cp -r "$shapes/example" "$shapes/missing-segment"
sed -i '/CODE_UNIT11 /d' "$shapes/missing-segment/KORVEX.map"

for shape in "$shapes"/*/; do
  compare "Tessan on $(basename "$shape")" "$shape" splitter/Tessan "${splitter_args[@]}"
done

# Tessan's arguments: none, too few, invalid and surplus ones, command files.
ex="$shapes/example"
printf '  out/\r\n\r\n-w\r\nKORVEX.EXE\n-x\nKORVEX.map\n   Make.knf\nfifth\n' >"$ex/args.txt"
printf 'out/\nKORVEX.EXE\n' >"$ex/few.txt"
compare "Tessan without arguments" "$ex" splitter/Tessan
compare "Tessan with too few" "$ex" splitter/Tessan out/ KORVEX.EXE
compare "Tessan with bad switches" "$ex" splitter/Tessan -W out/ -wx KORVEX.EXE KORVEX.map \
  Make.knf fifth -w
compare "Tessan from a command file" "$ex" splitter/Tessan @args.txt ignored
compare "Tessan from a short command file" "$ex" splitter/Tessan @few.txt
compare "Tessan with a missing command file" "$ex" splitter/Tessan @none.txt
compare "Tessan with a missing executable" "$ex" splitter/Tessan out/ none.exe KORVEX.map Make.knf
compare "Tessan without its output folder" "$ex" splitter/Tessan none/ KORVEX.EXE KORVEX.map \
  Make.knf
# Over the images of another build, with a folder in the place of the fifth: nothing written.
blocked="$work/blocked"
cp -r "$ex" "$blocked"
for image in main far0 e0{03,04,06,07,08,09,10,11,12,13,14,15,16,17}; do
  echo "previous $image" >"$blocked/out/Plc_$image.bin"
done
mkdir "$blocked/out/Plc_e005.bin"
compare "Tessan with a folder in an image's place" "$blocked" splitter/Tessan "${splitter_args[@]}"

# Orlund on the images of the example.
joined="$work/joined"
cp -r "$ex" "$joined"
(cd "$joined" && "$linux/splitter/Tessan" "${splitter_args[@]}" >/dev/null)
compare "Orlund on the example" "$joined" joiner/Orlund out/ KORVEX.PLC PLC_ENDP.DAT
compare "Orlund with NO" "$joined" joiner/Orlund out/ NO PLC_ENDP.DAT
compare "Orlund with too few" "$joined" joiner/Orlund out/ KORVEX.PLC
compare "Orlund to a new file named like an image" "$joined" joiner/Orlund out/ PLC_E003.BIN \
  PLC_ENDP.DAT
(cd "$joined" && "$linux/joiner/Orlund" out/ KORVEX.PLC PLC_ENDP.DAT >/dev/null)
compare "Plcinfo on the images" "$joined" inspector/Plcinfo out
compare "Plcinfo on the joined file" "$joined" inspector/Plcinfo --json out/KORVEX.PLC
cp -r "$joined" "$work/changed"
printf '\x55' | dd of="$work/changed/out/Plc_e009.bin" bs=1 seek=40 conv=notrunc 2>/dev/null
cp -r "$joined/out" "$work/changed/old"
compare "Plcinfo on a changed image" "$work/changed" inspector/Plcinfo old out
rm "$joined/out/Plc_e005.bin"
# The joined file of the run before stays as it was.
compare "Orlund with a missing image" "$joined" joiner/Orlund out/ KORVEX.PLC PLC_ENDP.DAT

# Symvex on the example, the hand-written data and the real listings and maps beside the
# checkout, each in warnings mode too.
listings="$work/listings"
mkdir -p "$listings"
add_listing() { # NAME LISTING MAP
  mkdir -p "$listings/$1"
  cp "$2" "$listings/$1/in.lst"
  if [ -n "$3" ]; then cp "$3" "$listings/$1/in.map"; else : >"$listings/$1/in.map"; fi
}
add_listing example examples/plc.lst examples/KORVEX.map
add_listing jlstub tests/data/symmap/JLSTUB.lst ""
real=../shared/realdata
if [ -d "$real" ]; then
  add_listing dac1 "$real/masm125/DAC1.LST" "$real/masm125/DAC1.MAP"
  add_listing re "$real/masm125/RE.LST" "$real/masm125/RE.MAP"
  add_listing m22 "$real/masm500/22.LST" "$real/masm500/22.MAP"
  add_listing mylib "$real/asmlib/MYLIB.LST" "$real/asmlib/TEST.MAP"
  add_listing snake "$real/snakeasm/snake.lst" ""
  add_listing cwem "$real/causeway/CWEM.lst" ""
  add_listing jemm "$real/jemm/JLSTUB.lst" ""
  add_listing spellit "$real/spellit/MAIN.LST" ""
fi
for listing in "$listings"/*/; do
  compare "Symvex on $(basename "$listing")" "$listing" symmap/Symvex out.mp2 in.lst in.map
  compare "Symvex -w on $(basename "$listing")" "$listing" symmap/Symvex -w out.mp2 in.lst in.map
done
sx="$listings/example"
printf '\r\n  out.mp2\r\n-W\r\nin.lst\nin.map\nsurplus' >"$sx/args.txt"
compare "Symvex without arguments" "$sx" symmap/Symvex
compare "Symvex with too few" "$sx" symmap/Symvex out.mp2 in.lst
compare "Symvex with bad switches" "$sx" symmap/Symvex -q out.mp2 -wx in.lst in.map extra
compare "Symvex from a command file" "$sx" symmap/Symvex @args.txt -w
compare "Symvex in the order of the usage text" "$sx" symmap/Symvex in.lst out.mp2 in.map
compare "Symvex without its output folder" "$sx" symmap/Symvex none/out.mp2 in.lst in.map
mkdir "$sx/folder.mp2"
compare "Symvex onto a folder" "$sx" symmap/Symvex folder.mp2 in.lst in.map

echo "compare_builds: $cases cases, $failures different"
[ "$failures" -eq 0 ]
