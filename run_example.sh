#!/usr/bin/env bash
# Builds the tool chain and runs it on the bundled example project in examples/, writing
# every output into out/.
set -euo pipefail
cd "$(dirname "$0")"

cmake -S . -B build -DPLC_BUILD_TESTS=OFF >/dev/null
cmake --build build -j2 >/dev/null

rm -rf out
mkdir -p out

echo "== Symbol map: Symvex out/plc.mp2 examples/plc.lst examples/KORVEX.map"
build/symmap/Symvex out/plc.mp2 examples/plc.lst examples/KORVEX.map

echo "Outputs are in $(pwd)/out:"
ls -l out
