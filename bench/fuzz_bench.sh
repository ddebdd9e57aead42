#!/usr/bin/env bash
# Executions a second of every fuzz target on its seeds, one target at a time, for this tree
# and, side by side, for an earlier revision: the speed that decides how much a fuzzing
# campaign finds in its time. The targets come in their two groups of fuzz/targets.txt, each
# against its floor: a whole-program target at least 1,000 executions a second, a
# single-stage target at least 10,000; the last column says whether this tree's target
# reaches it ("below" when not).
#
#   bench/fuzz_bench.sh [--floor] [SECONDS [REVISION]]
#
# SECONDS (default 20) each target runs alone, from the seeds of this tree's seed maker (the
# same inputs for both builds), with an empty corpus and without writing new inputs anywhere
# else. REVISION (a commit, say main~3) is checked out into a temporary worktree and built
# there with the same preset. Both builds are clang 14 with libFuzzer, AddressSanitizer and
# UndefinedBehaviorSanitizer (the preset "fuzz"). Run by hand, when the machine is quiet.
#
# With --floor each build's target also runs SECONDS on inputs of at most one byte, from an
# empty one: the fixed cost of a run (starting the program on its project, the example's files,
# the reports it always writes, the fuzzer's own work), the most a target can reach whatever
# its readers cost a byte.
set -euo pipefail
floor=0
if [ "${1:-}" = --floor ]; then
  floor=1
  shift
fi
seconds=${1:-20}
revision=${2:-}
cd "$(dirname "$0")/.."
root=$(pwd)
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"; [ -z "$revision" ] || git -C "$root" worktree remove --force "$scratch-tree" 2>/dev/null || true' EXIT

build() { # source tree, build folder
  (cd "$1" && cmake --preset fuzz -B "$2" >/dev/null && cmake --build "$2" -j2 >/dev/null)
}

echo "== Building this tree's fuzz targets" >&2
build "$root" "$root/build-fuzz"
builds=("$root/build-fuzz")
labels=(after)
if [ -n "$revision" ]; then
  echo "== Building the fuzz targets of $revision" >&2
  git worktree add --detach "$scratch-tree" "$revision" >/dev/null 2>&1
  build "$scratch-tree" "$scratch-tree/build-fuzz"
  builds=("$scratch-tree/build-fuzz" "$root/build-fuzz")
  labels=(before after)
fi
"$root/build-fuzz/fuzz/fuzz_seeds" "$scratch/seeds" "$root/../shared/realdata" >/dev/null
mkdir -p "$scratch/empty"
: >"$scratch/empty/input"

# Executions a second and peak resident MB of one target: program, longest input, inputs.
# Leaves the executions a second in `speed`.
measure() {
  local corpus log peak
  corpus=$(mktemp -d "$scratch/corpus.XXXXXX")
  log="$corpus.log"
  "$1" -max_total_time="$seconds" -max_len="$2" -close_fd_mask=1 -print_final_stats=1 \
    -timeout=10 -rss_limit_mb=2048 "$corpus" "$3" >"$log" 2>&1 || true
  speed=$(sed -n 's/^stat::average_exec_per_sec: *//p' "$log" | tail -1)
  peak=$(sed -n 's/^stat::peak_rss_mb: *//p' "$log" | tail -1)
  printf ' %12s %8s' "${speed:-?}" "${peak:-?}"
}

# The floor of a group of fuzz/targets.txt, in executions a second.
floorOf() {
  case "$1" in stage) echo 10000 ;; *) echo 1000 ;; esac
}

for group in program stage; do
  if [ "$group" = program ]; then
    printf '\nWhole-program targets, at least %s executions a second\n' "$(floorOf "$group")"
  else
    printf '\nSingle-stage targets, at least %s executions a second\n' "$(floorOf "$group")"
  fi
  printf '%-22s' target
  for label in "${labels[@]}"; do printf ' %12s %8s' "$label exec/s" "peak MB"; done
  if [ "$floor" -eq 1 ]; then
    for label in "${labels[@]}"; do printf ' %12s %8s' "$label floor" "peak MB"; done
  fi
  printf ' %s\n' 'at floor'
  while read -r target length kind _; do
    case "$target" in ''|'#'*) continue ;; esac
    [ "$kind" = "$group" ] || continue
    printf '%-22s' "$target"
    reached=
    for pass in seeds floor; do
      [ "$pass" = seeds ] || [ "$floor" -eq 1 ] || continue
      for i in "${!builds[@]}"; do
        program="${builds[$i]}/fuzz/fuzz_$target"
        if [ ! -x "$program" ]; then
          printf ' %12s %8s' - -
        elif [ "$pass" = seeds ]; then
          measure "$program" "$length" "$scratch/seeds/$target"
          reached=$speed
        else
          measure "$program" 1 "$scratch/empty"
        fi
      done
    done
    if [ -z "$reached" ] || [ "$reached" = "?" ]; then
      printf ' ?\n'
    elif [ "$reached" -ge "$(floorOf "$group")" ]; then
      printf ' reached\n'
    else
      printf ' below\n'
    fi
  done <fuzz/targets.txt
done
