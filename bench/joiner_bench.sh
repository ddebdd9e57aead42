#!/usr/bin/env bash
# Times Orlund joining the seventeen images of a generated PLC program (seventeen segments of
# 60 KiB, the largest the images take) and a PLC_ENDP file of 4 KiB, and, in the same loop,
# cat of the same eighteen files into one: the floor of what joining them can cost. Prints
# the mean wall time of each per run, their ratio and Orlund's peak resident memory.
#   bench/joiner_bench.sh [RUNS]
set -euo pipefail
cd "$(dirname "$0")/.."
runs=${1:-50}

cmake --preset bench >/dev/null
cmake --build --preset bench --target Tessan Orlund plcgen >/dev/null

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

{
  echo "header 20"
  echo "module FF800"
  names=(CODE4 CODE5)
  for i in $(seq 3 17); do names+=("$(printf 'CODE_UNIT%02d' "$i")"); done
  for i in "${!names[@]}"; do
    printf 'segment %s CODE %05X 0F000 ramp %02X 03\n' "${names[$i]}" $((i * 0xF000)) $((i + 1))
  done
  echo "segment DUSR_CODE CODE FF000 00800 ramp 80 05"
  echo "public ??SEC_PROC_DUSR_LOAD FF00:0000"
  echo "public ??SEC_PROC_DUSR_END FF00:0700"
  echo "public ??SEC_PROC_FAR_END 0F00:E000"
  echo 'make # Comment "benchmark"'
} >"$work/big.plcgen"
build-bench/plcgen "$work/big.plcgen" "$work/BIG.EXE" "$work/BIG.map" "$work/Make.knf"
mkdir -p "$work/out"
build-bench/splitter/Tessan "$work/out/" "$work/BIG.EXE" "$work/BIG.map" "$work/Make.knf" >/dev/null
head -c 4096 /dev/urandom >"$work/PLC_ENDP.DAT"
inputs=("$work/out/Plc_main.bin" "$work/out/Plc_far0.bin")
for i in $(seq 3 17); do inputs+=("$(printf '%s/out/Plc_e%03d.bin' "$work" "$i")"); done
inputs+=("$work/PLC_ENDP.DAT")

orlund=0 joined=0
for _ in $(seq "$runs"); do
  start=$(date +%s%N)
  build-bench/joiner/Orlund "$work/out/" JOINED.PLC "$work/PLC_ENDP.DAT" >/dev/null
  middle=$(date +%s%N)
  cat "${inputs[@]}" >"$work/cat.PLC"
  end=$(date +%s%N)
  orlund=$((orlund + middle - start)) joined=$((joined + end - middle))
done
cmp "$work/out/JOINED.PLC" "$work/cat.PLC"
rss=$(/usr/bin/time -f '%M' build-bench/joiner/Orlund "$work/out/" JOINED.PLC \
      "$work/PLC_ENDP.DAT" 2>&1 >/dev/null | tail -1)
printf '%-12s %-12s %-12s %-8s %-12s\n' "joined KiB" "ms per run" "cat ms" "x cat" "peak RSS KiB"
printf '%-12s %-12s %-12s %-8s %-12s\n' $(($(stat -c %s "$work/cat.PLC") / 1024)) \
  "$(awk -v t="$orlund" -v r="$runs" 'BEGIN { printf "%.2f", t / r / 1e6 }')" \
  "$(awk -v t="$joined" -v r="$runs" 'BEGIN { printf "%.2f", t / r / 1e6 }')" \
  "$(awk -v t="$orlund" -v c="$joined" 'BEGIN { printf "%.2f", t / c }')" "$rss"
