#!/usr/bin/env bash
# Builds the tool chain and runs it on the bundled example project in examples/, in the order
# of a PLC build after the linker: symbol map, image files, joined file; then verifies the
# joined file. Every output goes into out/.
set -euo pipefail
cd "$(dirname "$0")"

cmake -S . -B build-example -DPLC_BUILD_TESTS=OFF -DPLC_BUILD_GENERATOR=ON >/dev/null
cmake --build build-example -j2 >/dev/null
bin=build-example

rm -rf out
mkdir -p out/images

# The linked executable is generated from its readable description (no binary is checked in).
"$bin/plcgen" examples/KORVEX.plcgen out/KORVEX.EXE

echo "== Symvex out/plc.mp2 examples/plc.lst examples/KORVEX.map"
"$bin/symmap/Symvex" out/plc.mp2 examples/plc.lst examples/KORVEX.map

echo "== Tessan out/images/ out/KORVEX.EXE examples/KORVEX.map examples/Make.knf"
"$bin/splitter/Tessan" out/images/ out/KORVEX.EXE examples/KORVEX.map examples/Make.knf

echo "== Orlund out/images/ KORVEX.PLC examples/PLC_ENDP.DAT"
"$bin/joiner/Orlund" out/images/ KORVEX.PLC examples/PLC_ENDP.DAT

echo "== Plcinfo out/images/KORVEX.PLC"
"$bin/inspector/Plcinfo" out/images/KORVEX.PLC

echo
echo "Outputs in $(pwd)/out:"
echo "  plc.mp2            the symbol map"
echo "  images/Plc_*.bin   the seventeen PLC images"
echo "  images/KORVEX.PLC  the joined file for the control"
