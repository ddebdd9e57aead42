#!/usr/bin/env bash
# Runs every benchmark once on its smallest input, so that they keep building, running and
# printing their tables. The figures of such a run mean nothing; the benchmarks are measured
# by hand on a quiet machine.
set -euo pipefail
cd "$(dirname "$0")/.."
python3 bench/symvex_bench.py --sizes 10000 --runs 1
bash bench/splitter_bench.sh 1 FF800
bash bench/joiner_bench.sh 2
python3 bench/plcinfo_bench.py --sizes 10000 --runs 1
python3 bench/plcinfo_html_bench.py --sizes 10000 --runs 1
