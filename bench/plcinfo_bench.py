#!/usr/bin/env python3
"""Plcinfo comparing two builds' symbol maps of 10^6 variables, measured beside Symvex writing
one of them in the same run:

  old   a listing of N variables of every width, spread over the four data segments and laid
        out one after the other in each, with record and structure types and constants
  new   the same with one word variable inserted near the start of each segment, so that
        nearly every variable moves (four runs of moved variables)

Symvex writes both maps from their listings; then, taking turns, Symvex writes the old map
again and Plcinfo compares the old map with the new one. The table shows the medians, their
ratio, and Plcinfo's peak resident memory against the size of the two maps together.

    bench/plcinfo_bench.py [--runs 5] [--sizes 1000000] [--symvex PROGRAM --plcinfo PROGRAM]

Without the programs it builds and runs the optimised ones of the bench preset (build-bench).
Run by hand, when the machine is otherwise quiet."""
import argparse, os, statistics, subprocess, sys, tempfile

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from symvex_bench import lead, timed  # noqa: E402

SEGMENTS = ["DATA_COM", "DATA1", "DATA_USR", "DATAROZ"]
TYPES = [("Byte", 1), ("Word", 2), ("DWord", 4), ("QWord", 8), ("IO_T", 1), ("AX_T", 6)]


def number(value):
    """Hexadecimal as the listing writes it, with a 0 in front of a leading letter."""
    text = "%04X" % value
    return "0" + text if text[0] in "ABCDEF" else text


def generate(count, inserted, path):
    """The listing of `count` variables; with `inserted`, a word variable NEW_<segment> goes in
    after the fifth variable of each segment."""
    with open(path, "w", newline="") as out:
        out.write("Structures and Unions:\r\n")
        out.write(lead("AX_T") + "\t 0006\r\n")
        out.write(lead("  POS") + "\t 0000\t     DWord\r\n")
        out.write(lead("  SPEED") + "\t 0004\t     Word\r\n")
        out.write("Records:\r\n")
        out.write(lead("IO_T") + "\t 0003\t 0003\r\n")
        for shift, bit in enumerate(("READY", "FAULT", "BUSY")):
            out.write(lead("  ?" + bit) + "\t %04X\t 0001\t 0001\t 0000\r\n" % shift)
        out.write("Symbols:\r\n")
        next_address = [0, 0, 0, 0]
        seen = [0, 0, 0, 0]
        for i in range(count):
            s = i % 4
            if inserted and seen[s] == 5:
                out.write(lead("NEW_" + SEGMENTS[s]) + "\tWord\t %s\t  %s\r\n"
                          % (number(next_address[s]), SEGMENTS[s]))
                next_address[s] += 2
            seen[s] += 1
            kind, width = TYPES[(i // 4) % len(TYPES)]
            out.write(lead("V%07d" % i) + "\t%s\t %s\t  %s\r\n"
                      % (kind, number(next_address[s]), SEGMENTS[s]))
            next_address[s] += width
        for c in range(100):
            out.write(lead("C%04d" % c) + "\tNumber\t %04Xh\r\n" % c)


def find_programs(args):
    """Without --symvex and --plcinfo, the optimised programs of the bench preset, built."""
    if args.symvex is None or args.plcinfo is None:
        root = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
        for step in (["cmake", "--preset", "bench"],
                     ["cmake", "--build", "--preset", "bench", "--target", "Symvex", "Plcinfo"]):
            subprocess.run(step, cwd=root, check=True, stdout=subprocess.DEVNULL)
        args.symvex = os.path.join(root, "build-bench", "symmap", "Symvex")
        args.plcinfo = os.path.join(root, "build-bench", "inspector", "Plcinfo")


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    parser.add_argument("--symvex")
    parser.add_argument("--plcinfo")
    parser.add_argument("--runs", type=int, default=5)
    parser.add_argument("--sizes", default="1000000")
    args = parser.parse_args()
    find_programs(args)

    print("%9s %8s %9s %10s %9s %9s %10s" % ("variables", "maps MB", "Symvex s", "Plcinfo s",
                                             "x Symvex", "peak MB", "x 2 maps"))
    with tempfile.TemporaryDirectory() as work:
        old_lst, new_lst, empty, old_mp2, new_mp2, again = (
            os.path.join(work, n)
            for n in ("old.lst", "new.lst", "empty.map", "old.mp2", "new.mp2", "again.mp2"))
        open(empty, "w").close()
        for count in [int(s) for s in args.sizes.split(",")]:
            generate(count, False, old_lst)
            generate(count, True, new_lst)
            timed([args.symvex, old_mp2, old_lst, empty])
            timed([args.symvex, new_mp2, new_lst, empty])
            # The comparison must find changes but no finding: status 0.
            report = subprocess.run([args.plcinfo, old_mp2, new_mp2], capture_output=True,
                                    text=True, check=True).stdout
            if "variables moved" not in report:
                sys.exit("the comparison found no run of moved variables:\n" + report)
            symvex, plcinfo, peak = [], [], 0
            for _ in range(args.runs):
                symvex.append(timed([args.symvex, again, old_lst, empty])[0])
                t, rss = timed([args.plcinfo, old_mp2, new_mp2])
                plcinfo.append(t)
                peak = max(peak, rss)
            both = os.path.getsize(old_mp2) + os.path.getsize(new_mp2)
            s, p = statistics.median(symvex), statistics.median(plcinfo)
            print("%9d %8.1f %9.3f %10.3f %9.2f %9.1f %10.2f" % (
                count, both / 1e6, s, p, p / s, peak / 1e6, peak / both), flush=True)


if __name__ == "__main__":
    main()
