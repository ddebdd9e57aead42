#!/usr/bin/env bash
# Times Tessan on large generated executables: seventeen code segments of 60 KiB each (the
# 5-digit Start column of the map leaves room for no more below 1 MiB), the DUSR block, and
# a load module padded to several sizes. Prints the wall time per run and the peak resident
# memory, which should stay flat as the executable grows: the images are written straight
# from the read-only view, and only the pages that are copied are ever touched. Beside it, in
# the same loop, cp copies the seventeen images that Tessan wrote into another folder: the
# same bytes read and written, the floor of what cutting them out can cost.
#   bench/splitter_bench.sh [RUNS [LOAD-MODULE-SIZE...]]   (sizes in hexadecimal)
set -euo pipefail
cd "$(dirname "$0")/.."
runs=${1:-20}
sizes=("${@:2}")
[ ${#sizes[@]} -gt 0 ] || sizes=(FF800 1000000 10000000 40000000)

cmake --preset bench >/dev/null
cmake --build --preset bench --target Tessan plcgen >/dev/null

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

describe() { # $1: load-module size, hexadecimal
  echo "header 20"
  echo "module $1"
  local names=(CODE4 CODE5) i
  for i in $(seq 3 17); do names+=("$(printf 'CODE_UNIT%02d' "$i")"); done
  for i in "${!names[@]}"; do
    printf 'segment %s CODE %05X 0F000 ramp %02X 03\n' "${names[$i]}" $((i * 0xF000)) $((i + 1))
  done
  echo "segment DUSR_CODE CODE FF000 00800 ramp 80 05"
  echo "public ??SEC_PROC_DUSR_LOAD FF00:0000"
  echo "public ??SEC_PROC_DUSR_END FF00:0700"
  echo "public ??SEC_PROC_FAR_END 0F00:E000"
  echo 'make # Comment "benchmark"'
}

printf '%-12s %-12s %-12s %-12s %-8s %-12s\n' "exe KiB" "images KiB" "ms per run" "cp ms" "x cp" \
  "peak RSS KiB"
for size in "${sizes[@]}"; do
  describe "$size" >"$work/big.plcgen"
  build-bench/plcgen "$work/big.plcgen" "$work/BIG.EXE" "$work/BIG.map" "$work/Make.knf"
  mkdir -p "$work/out" "$work/copy"
  tessan=0 copy=0
  for _ in $(seq "$runs"); do
    start=$(date +%s%N)
    build-bench/splitter/Tessan "$work/out/" "$work/BIG.EXE" "$work/BIG.map" "$work/Make.knf" >/dev/null
    middle=$(date +%s%N)
    cp "$work"/out/Plc_*.bin "$work/copy/"
    end=$(date +%s%N)
    tessan=$((tessan + middle - start)) copy=$((copy + end - middle))
  done
  rss=$(/usr/bin/time -f '%M' build-bench/splitter/Tessan "$work/out/" "$work/BIG.EXE" \
        "$work/BIG.map" "$work/Make.knf" 2>&1 >/dev/null | tail -1)
  printf '%-12s %-12s %-12s %-12s %-8s %-12s\n' $(($(stat -c %s "$work/BIG.EXE") / 1024)) \
    $(($(du -sk "$work/out" | cut -f1))) \
    "$(awk -v t="$tessan" -v r="$runs" 'BEGIN { printf "%.2f", t / r / 1e6 }')" \
    "$(awk -v t="$copy" -v r="$runs" 'BEGIN { printf "%.2f", t / r / 1e6 }')" \
    "$(awk -v t="$tessan" -v c="$copy" 'BEGIN { printf "%.2f", t / c }')" "$rss"
  rm -f "$work/BIG.EXE"
done
