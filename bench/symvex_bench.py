#!/usr/bin/env python3
"""Generates a listing of N symbols (default a million) with a linker map that locates the
public ones, then runs Symvex on them and prints its time and peak memory.

    bench/symvex_bench.py [build/symmap/Symvex] [symbols]

Run by hand. Figures on the 2-core build machine (RelWithDebInfo), Dec 2026:
    100000 symbols,  6.6 MB of input: 0.28 s,  22 MB peak resident
   1000000 symbols, 65.7 MB of input: 3.08 s, 190 MB peak resident
Time and memory grow linearly with the number of symbols (about 180 bytes per symbol)."""
import os, subprocess, sys, tempfile, time

symvex = sys.argv[1] if len(sys.argv) > 1 else "build/symmap/Symvex"
count = int(sys.argv[2]) if len(sys.argv) > 2 else 1_000_000
segments = ["DATA_COM", "DATA1", "DATA_USR", "DATAROZ", "CODE4"]

def lead(name):
    s = name + " "
    if len(s) % 2:
        s += " "
    while len(s) < 32:
        s += ". "
    return s[:32]

with tempfile.TemporaryDirectory() as work:
    lst, mapf, mp2 = (os.path.join(work, n) for n in ("b.lst", "b.map", "b.mp2"))
    records = count // 100
    with open(lst, "w", newline="") as out:
        out.write("Structures and Unions:\r\n")
        for s in range(records):
            out.write(lead("S%06d_T" % s) + "\t 0004\r\n")
            out.write(lead("  S%06d_M" % s) + "\t 0002\t     Word\r\n")
        out.write("Records:\r\n")
        for r in range(records):
            out.write(lead("R%06d_T" % r) + "\t 0008\t 0001\r\n")
            out.write(lead("  ?R%06d_B" % r) + "\t 0000\t 0001\t 0001\t 0000\r\n")
        out.write("Symbols:\r\n")
        for i in range(count - 4 * records):
            kind = ("Byte", "Word", "DWord", "QWord", "R%06d_T" % (i % records),
                    "S%06d_T" % (i % records), "Number")[i % 7]
            if kind == "Number":
                out.write(lead("V%07d" % i) + "\tNumber\t %04Xh\r\n" % (i & 0xFFFF))
            else:
                scope = "\tPublic" if i % 3 == 0 else ""
                out.write(lead("V%07d" % i) + "\t%s\t %04X\t  %s%s\r\n"
                          % (kind, i & 0xFFFF, segments[i % 5], scope))
    with open(mapf, "w", newline="") as out:
        out.write("  Address         Publics by Name\r\n\r\n")
        for i in range(0, count - 4 * records, 3):
            out.write(" 0230:%04X       V%07d\r\n" % ((i * 2) & 0xFFFF, i))
    size = os.path.getsize(lst) + os.path.getsize(mapf)
    timer = ["/usr/bin/time", "-v"] if os.path.exists("/usr/bin/time") else []
    start = time.monotonic()
    run = subprocess.run(timer + [symvex, mp2, lst, mapf], capture_output=True, text=True)
    elapsed = time.monotonic() - start
    peak = [l for l in run.stderr.splitlines() if "Maximum resident" in l]
    print("symbols %d, input %.1f MB, exit %d, %.2f s, %s, output %.1f MB" % (
        count, size / 1e6, run.returncode, elapsed, peak[0].strip() if peak else "peak unknown",
        os.path.getsize(mp2) / 1e6 if os.path.exists(mp2) else 0))
