#!/usr/bin/env bash
# Builds the fuzz targets with clang-14 and libFuzzer and runs each of them for SECONDS, one
# after the other, on its seeds, its regression inputs and the corpus of earlier runs; then
# prints, per target, the executions, the coverage reached and any finding.
#
#   fuzz/run.sh SECONDS [RUNS]
#
# With RUNS a target stops after that many executions if its time has not run out before.
#
# The longest input of each target (-max_len) is short enough to keep the fuzzer fast and long
# enough to pass each reader's limits: the 10000 bytes read of a command file, the 8192-byte
# buffer of the splitter's text reader, the example's executable; the seeds of longer listings
# hold their cross-reference sections.
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

# Target and its longest input.
# Only the targets named in PLC_FUZZ_TARGETS (blank-separated) when it is set.
targets=(listing:4096 symvex_map:4096 symvex_command_file:12288 tessan_map:4096
         tessan_executable:16384 make_comment:16384 tessan_command_file:12288
         orlund_arguments:4096 plcinfo_folder:4096 plcinfo_joined:4096 plcinfo_map:4096
         plcinfo_map_comparison:8192)
if [ -n "${PLC_FUZZ_TARGETS:-}" ]; then
  chosen=()
  for entry in "${targets[@]}"; do
    case " $PLC_FUZZ_TARGETS " in *" ${entry%:*} "*) chosen+=("$entry") ;; esac
  done
  targets=("${chosen[@]}")
fi
findings=0
printf '\n%-22s %12s %8s %8s %8s  %s\n' target executions exec/s cov ft result
for entry in "${targets[@]}"; do
  target=${entry%:*}
  corpus="$work/corpus/$target"
  found="$work/findings/$target"
  log="$work/logs/$target.log"
  mkdir -p "$corpus" "$found" "$work/logs"
  inputs=("$work/seeds/$target")
  [ -d "fuzz/regressions/$target" ] && inputs+=("fuzz/regressions/$target")
  status=0
  # Standard output is closed: the programs' messages would only slow the fuzzer down.
  "$work/fuzz_$target" -max_total_time="$seconds" -runs="$runs" -max_len="${entry#*:}" -print_final_stats=1 \
    -close_fd_mask=1 -timeout=10 -rss_limit_mb=2048 -artifact_prefix="$found/" \
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
  printf '%-22s %12s %8s %8s %8s  %s\n' "$target" "${executions:-?}" "${speed:-?}" \
    "${cov:-?}" "${ft:-?}" "$result"
done
[ "$findings" -eq 0 ]
