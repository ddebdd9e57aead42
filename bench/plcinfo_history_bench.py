#!/usr/bin/env python3
"""Plcinfo --history over a series of builds' symbol maps, beside checking each map on its own:

  builds   BUILDS listings of N variables and more (the listing of plcinfo_bench.py, each build
           one variable more than the build before), written into maps by Symvex
  history  Plcinfo --history FOLDER: every map read, each compared with the build before
  one      Plcinfo MAP for each map in turn, as a build script checking every build would

Taking turns, the history and the one-by-one checks are timed; the table shows the medians,
their ratio, and the peak resident memory of the history run and of one check, and that of a
history of a tenth of the builds (the history's memory should not grow with the builds).

    bench/plcinfo_history_bench.py [--runs 5] [--builds 100] [--variables 10000]
                                   [--symvex PROGRAM --plcinfo PROGRAM]

Without the programs it builds and runs the optimised ones of the bench preset (build-bench).
Run by hand, when the machine is otherwise quiet."""
import argparse, os, statistics, sys, tempfile

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from symvex_bench import timed  # noqa: E402
from plcinfo_bench import find_programs, generate  # noqa: E402


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    parser.add_argument("--symvex")
    parser.add_argument("--plcinfo")
    parser.add_argument("--runs", type=int, default=5)
    parser.add_argument("--builds", type=int, default=100)
    parser.add_argument("--variables", type=int, default=10000)
    args = parser.parse_args()
    find_programs(args)

    with tempfile.TemporaryDirectory() as work:
        folder, few = os.path.join(work, "builds"), os.path.join(work, "few")
        os.makedirs(folder)
        os.makedirs(few)
        listing, empty = os.path.join(work, "plc.lst"), os.path.join(work, "empty.map")
        open(empty, "w").close()
        maps = []
        for build in range(1, args.builds + 1):
            generate(args.variables + build - 1, False, listing)
            maps.append(os.path.join(folder, "plc_%d.mp2" % build))
            timed([args.symvex, maps[-1], listing, empty])
            if build <= max(1, args.builds // 10):
                os.link(maps[-1], os.path.join(few, "plc_%d.mp2" % build))
        history, one_by_one, peak, one_peak = [], [], 0, 0
        for _ in range(args.runs):
            t, rss = timed([args.plcinfo, "--history", folder])
            history.append(t)
            peak = max(peak, rss)
            total = 0.0
            for path in maps:
                t, rss = timed([args.plcinfo, path])
                total += t
                one_peak = max(one_peak, rss)
            one_by_one.append(total)
        few_peak = max(timed([args.plcinfo, "--history", few])[1] for _ in range(args.runs))
        size = sum(os.path.getsize(m) for m in maps) / len(maps)
        h, o = statistics.median(history), statistics.median(one_by_one)
        print("%6s %9s %7s %9s %7s %8s %8s %9s %9s" % (
            "builds", "variables", "map MB", "history s", "one s", "x one", "peak MB",
            "one MB", "tenth MB"))
        print("%6d %9d %7.2f %9.3f %7.3f %8.2f %8.1f %9.1f %9.1f" % (
            args.builds, args.variables, size / 1e6, h, o, h / o, peak / 1e6, one_peak / 1e6,
            few_peak / 1e6))


if __name__ == "__main__":
    main()
