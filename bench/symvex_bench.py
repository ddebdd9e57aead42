#!/usr/bin/env python3
"""Symvex on generated listings of 10^4, 10^5 and 10^6 symbols (and 10^7 with --huge),
measured side by side with the two commands that bound what it can cost:

  sort   LC_ALL=C sort -u --parallel=1 of the same names in random order (the one sort
         that a symbol map cannot do without)
  wc     wc -l of the listing (reading the input once)

Each size is run several times, the three commands taking turns, so that the ratios come
from the same moments of the same machine; the table shows medians. Peak memory is the
largest resident set of the Symvex runs, in bytes per symbol.

    bench/symvex_bench.py [--symvex PROGRAM] [--baseline PROGRAM] [--runs 5] [--huge]
                          [--sizes 1000,10000,100000]

Without --symvex it builds and runs the optimised Symvex of the bench preset (build-bench).
With --baseline a second Symvex (say, a build of an earlier commit) takes its turn beside the
first on the same inputs, and the table has a row for each, "before" and "after".
Run by hand, when the machine is otherwise quiet."""
import argparse, os, random, statistics, subprocess, sys, tempfile, time

SEGMENTS = ["DATA_COM", "DATA1", "DATA_USR", "DATAROZ", "CODE4"]


def lead(name):
    """The name with the listing's dot leaders, 32 columns wide."""
    s = name + " "
    if len(s) % 2:
        s += " "
    while len(s) < 32:
        s += ". "
    return s[:32]


def generate(count, lst, mapf, names):
    """A listing of `count` symbols: a hundredth structure types with one member each and
    record types with one bit each, the rest variables of every kind and constants, a third
    of the variables public and located by the map. Writes the names in random order too."""
    records = count // 100
    all_names = []
    with open(lst, "w", newline="") as out:
        out.write("Structures and Unions:\r\n")
        for s in range(records):
            out.write(lead("S%06d_T" % s) + "\t 0004\r\n")
            out.write(lead("  S%06d_M" % s) + "\t 0002\t     Word\r\n")
            all_names += ["S%06d_T" % s, "S%06d_M" % s]
        out.write("Records:\r\n")
        for r in range(records):
            out.write(lead("R%06d_T" % r) + "\t 0008\t 0001\r\n")
            out.write(lead("  ?R%06d_B" % r) + "\t 0000\t 0001\t 0001\t 0000\r\n")
            all_names += ["R%06d_T" % r, "R%06d_B" % r]
        out.write("Symbols:\r\n")
        for i in range(count - 4 * records):
            kind = ("Byte", "Word", "DWord", "QWord", "R%06d_T" % (i % records),
                    "S%06d_T" % (i % records), "Number")[i % 7]
            if kind == "Number":
                out.write(lead("V%07d" % i) + "\tNumber\t %04Xh\r\n" % (i & 0xFFFF))
            else:
                scope = "\tPublic" if i % 3 == 0 else ""
                out.write(lead("V%07d" % i) + "\t%s\t %04X\t  %s%s\r\n"
                          % (kind, i & 0xFFFF, SEGMENTS[i % 5], scope))
            all_names.append("V%07d" % i)
    with open(mapf, "w", newline="") as out:
        out.write("  Address         Publics by Name\r\n\r\n")
        for i in range(0, count - 4 * records, 3):
            out.write(" 0230:%04X       V%07d\r\n" % ((i * 2) & 0xFFFF, i))
    random.Random(count).shuffle(all_names)
    with open(names, "w") as out:
        out.write("\n".join(all_names) + "\n")


def timed(argv, **kwargs):
    """Wall time in seconds and peak resident set in bytes of one run. The peak comes from
    GNU time when it is there: a child forked from this script would count the script's own
    pages, held before the program replaced it, in its peak."""
    timer = "/usr/bin/time"
    with tempfile.NamedTemporaryFile("r") as report:
        prefix = [timer, "-f", "%M", "-o", report.name] if os.path.exists(timer) else []
        start = time.monotonic()
        code = subprocess.call(prefix + argv, stdout=subprocess.DEVNULL, **kwargs)
        elapsed = time.monotonic() - start
        if code != 0:
            sys.exit("%s failed with %d" % (argv[0], code))
        lines = report.read().split()
    return elapsed, int(lines[-1]) * 1024 if prefix and lines else 0


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    parser.add_argument("--symvex", help="the Symvex to measure (default: bench preset's)")
    parser.add_argument("--baseline", help="an earlier Symvex, measured in the same turns")
    parser.add_argument("--runs", type=int, default=5)
    parser.add_argument("--sizes", default="10000,100000,1000000")
    parser.add_argument("--huge", action="store_true", help="add 10^7 symbols")
    args = parser.parse_args()
    sizes = [int(s) for s in args.sizes.split(",")] + ([10_000_000] if args.huge else [])
    env = dict(os.environ, LC_ALL="C")
    if args.symvex is None:
        root = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
        for step in (["cmake", "--preset", "bench"],
                     ["cmake", "--build", "--preset", "bench", "--target", "Symvex"]):
            subprocess.run(step, cwd=root, check=True, stdout=subprocess.DEVNULL)
        args.symvex = os.path.join(root, "build-bench", "symmap", "Symvex")

    programs = [("after" if args.baseline else "", args.symvex)]
    if args.baseline:
        programs.insert(0, ("before", args.baseline))
    print("%6s %9s %9s %9s %8s %8s %9s %8s %9s" % ("", "symbols", "input MB", "Symvex s",
                                                   "x sort", "x wc", "sort s", "B/symbol",
                                                   "output MB"))
    with tempfile.TemporaryDirectory() as work:
        lst, mapf, names, mp2 = (os.path.join(work, n)
                                 for n in ("b.lst", "b.map", "names.txt", "b.mp2"))
        for count in sizes:
            generate(count, lst, mapf, names)
            times = {label: [] for label, _ in programs}
            peaks = {label: 0 for label, _ in programs}
            sort, wc = [], []
            for _ in range(args.runs):
                for label, program in programs:
                    t, rss = timed([program, mp2, lst, mapf])
                    times[label].append(t)
                    peaks[label] = max(peaks[label], rss)
                sort.append(timed(["sort", "-u", "--parallel=1", names], env=env)[0])
                wc.append(timed(["wc", "-l", lst])[0])
            so, w = statistics.median(sort), statistics.median(wc)
            for label, _ in programs:
                s = statistics.median(times[label])
                print("%6s %9d %9.1f %9.3f %8.2f %8.1f %9.3f %8.0f %9.1f" % (
                    label, count, (os.path.getsize(lst) + os.path.getsize(mapf)) / 1e6, s,
                    s / so, s / w, so, peaks[label] / count, os.path.getsize(mp2) / 1e6),
                    flush=True)


if __name__ == "__main__":
    main()
