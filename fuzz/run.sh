#!/usr/bin/env bash
# Builds the fuzz targets with clang-14 and libFuzzer and runs each of them for SECONDS, one
# after the other, on its seeds, its regression inputs and the corpus of earlier runs; then
# prints, per target, the executions, the coverage reached and any finding.
#
# A single-stage target (group "stage" in fuzz/targets.txt) runs a quarter of SECONDS (one at
# least): it makes ten times the executions a second of a whole-program target, so a quarter
# still gives it more executions than those get, and the pass of CI (fuzz/run.sh 20) grows by
# about 40 seconds for the eight of them rather than by 160.
#
#   fuzz/run.sh SECONDS [RUNS]
#
# With RUNS a target stops after that many executions if its time has not run out before.
# With PLC_FUZZ_KEEP=1 each target's corpus is then merged into the kept corpus of the
# repository, fuzz/corpus/TARGET, minimised (-merge=1: the fewest inputs that reach every
# feature reached beyond what the seeds reach, 300,000 bytes at most), to be committed with the
# campaign's figures.
#
# The longest input of each target (-max_len) is given in fuzz/targets.txt.
#
# Each target also gets the words of its input formats (fuzz/dictionaries/TARGET.dict, or that
# of the target fuzz/targets.txt names for it) and the kept corpus of the repository
# (fuzz/corpus/TARGET, see PLC_FUZZ_KEEP above).
#
# Build folder: build-fuzz, the preset "fuzz" (or $PLC_FUZZ_BUILD). The corpus grows there from
# run to run (build-fuzz/fuzz/corpus/TARGET); a crash, a hang of more than 10 s or a run out of
# memory leaves its input in build-fuzz/fuzz/findings/TARGET and makes the script exit with 1.
# Move such an input into fuzz/regressions/TARGET/ once it is mended: the test suite replays
# every input there.
set -euo pipefail
seconds=${1:?usage: fuzz/run.sh SECONDS [RUNS]}
runs=${2:--1}
cd "$(dirname "$0")/.."
root=$(pwd)
build=${PLC_FUZZ_BUILD:-build-fuzz}

missing=()
command -v cmake >/dev/null 2>&1 || missing+=(cmake)
command -v make >/dev/null 2>&1 || missing+=(make)
command -v clang++-14 >/dev/null 2>&1 || missing+=(clang-14)
compgen -G "/usr/lib/llvm-14/lib/clang/*/lib/linux/libclang_rt.fuzzer-x86_64.a" >/dev/null ||
  missing+=(libclang-rt-14-dev)
if [ ${#missing[@]} -gt 0 ]; then
  echo "== Installing: ${missing[*]}"
  sudo=()
  [ "$(id -u)" -eq 0 ] || sudo=(sudo)
  export DEBIAN_FRONTEND=noninteractive
  "${sudo[@]}" apt-get update
  "${sudo[@]}" apt-get install -y --no-install-recommends "${missing[@]}"
fi

echo "== Building the fuzz targets in $build"
cmake --preset fuzz -B "$build" >/dev/null
cmake --build "$build" -j2 >/dev/null

work="$build/fuzz"
rm -rf "$work/seeds"
"$work/fuzz_seeds" "$work/seeds" "$root/../shared/realdata"

# Target, its longest input, its group and the name of its dictionary (fuzz/targets.txt).
# Only the targets named in PLC_FUZZ_TARGETS (blank-separated) when it is set.
targets=()
while read -r name length group words; do
  case "$name" in ''|'#'*) continue ;; esac
  targets+=("$name:$length:$group:${words:-$name}")
done <fuzz/targets.txt
if [ -n "${PLC_FUZZ_TARGETS:-}" ]; then
  chosen=()
  for entry in "${targets[@]}"; do
    case " $PLC_FUZZ_TARGETS " in *" ${entry%%:*} "*) chosen+=("$entry") ;; esac
  done
  targets=("${chosen[@]}")
fi
findings=0
printf '\n%-22s %12s %8s %8s %8s  %s\n' target executions exec/s cov ft result
for entry in "${targets[@]}"; do
  IFS=: read -r target length group words <<<"$entry"
  time=$seconds
  if [ "$group" = stage ]; then
    time=$((seconds / 4))
    [ "$time" -ge 1 ] || time=1
  fi
  corpus="$work/corpus/$target"
  found="$work/findings/$target"
  log="$work/logs/$target.log"
  mkdir -p "$corpus" "$found" "$work/logs"
  inputs=("$work/seeds/$target")
  [ -d "fuzz/corpus/$target" ] && inputs+=("fuzz/corpus/$target")
  [ -d "fuzz/regressions/$target" ] && inputs+=("fuzz/regressions/$target")
  dictionary=()
  [ -f "fuzz/dictionaries/$words.dict" ] && dictionary=(-dict="fuzz/dictionaries/$words.dict")
  status=0
  # Standard output is closed: the programs' messages would only slow the fuzzer down.
  "$work/fuzz_$target" -max_total_time="$time" -runs="$runs" -max_len="$length" -print_final_stats=1 \
    -close_fd_mask=1 -timeout=10 -rss_limit_mb=2048 -artifact_prefix="$found/" "${dictionary[@]}" \
    "$corpus" "${inputs[@]}" >"$log" 2>&1 || status=$?
  executions=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -1)
  speed=$(sed -n 's/^stat::average_exec_per_sec: *//p' "$log" | tail -1)
  cov=$(grep -o 'cov: [0-9]*' "$log" | tail -1 | cut -d' ' -f2)
  ft=$(grep -o 'ft: [0-9]*' "$log" | tail -1 | cut -d' ' -f2)
  result="no finding"
  if [ "$status" -ne 0 ] || [ -n "$(ls -A "$found")" ]; then
    result="FINDING (exit $status): $(ls "$found" | tr '\n' ' ')see $log"
    findings=$((findings + 1))
  fi
  if [ "${PLC_FUZZ_KEEP:-0}" = 1 ] && [ "$status" -eq 0 ]; then
    # The merge starts from the seeds, which the test suite replays anyway, and keeps only the
    # inputs that reach more than they do; the seeds themselves are then taken out again.
    merged=$(mktemp -d)
    cp "$work/seeds/$target/"* "$merged/"
    kept=()
    [ -d "fuzz/corpus/$target" ] && kept=("fuzz/corpus/$target")
    "$work/fuzz_$target" -merge=1 -max_len="$length" -close_fd_mask=1 "$merged" "${kept[@]}" \
      "$corpus" >>"$log" 2>&1
    for seed in "$work/seeds/$target/"*; do rm -f "$merged/${seed##*/}"; done
    # The kept corpus stays small: its smallest inputs, up to 300,000 bytes in all. The merge
    # takes the inputs smallest first, so these are the ones that reach the most for their size.
    total=0
    while read -r size file; do
      total=$((total + size))
      [ "$total" -le 300000 ] || rm -f "$file"
    done < <(find "$merged" -type f -printf '%s %p\n' | sort -n)
    rm -rf "fuzz/corpus/$target"
    mkdir -p fuzz/corpus
    mv "$merged" "fuzz/corpus/$target"
    chmod 755 "fuzz/corpus/$target"
  fi
  printf '%-22s %12s %8s %8s %8s  %s\n' "$target" "${executions:-?}" "${speed:-?}" \
    "${cov:-?}" "${ft:-?}" "$result"
done
[ "$findings" -eq 0 ]
