#!/usr/bin/env python3
"""Plcinfo's HTML page against its text report, on symbol maps of 10^6 variables, and the time
headless Chromium takes to open the page.

The maps are those of plcinfo_bench.py (a listing of N variables over the four data segments;
the new one with a word inserted near the start of each segment). Taking turns, Plcinfo prints
the text report and writes the page, for one map and for the two; the table shows the medians,
the ratio page / text (the aim: at most 2) and the page's size. Then Chromium opens each page
and takes a screenshot (the page's script run), beside an empty page, and once with a search
given in the address, which makes the script read and filter every row.

    bench/plcinfo_html_bench.py [--runs 5] [--sizes 1000000] [--symvex P --plcinfo P]
                                [--chromium P]

Without the programs it builds and runs the optimised ones of the bench preset (build-bench).
Run by hand, when the machine is otherwise quiet."""
import argparse, os, shutil, statistics, subprocess, sys, tempfile, time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from plcinfo_bench import find_programs, generate  # noqa: E402
from symvex_bench import timed  # noqa: E402


def browse(chromium, work, url):
    """Seconds headless Chromium takes to load the page, run its script and take a screenshot
    (the DOM printed instead would time the printing of the page's data block)."""
    profile = tempfile.mkdtemp(dir=work)
    start = time.perf_counter()
    subprocess.run([chromium, "--headless=new", "--no-sandbox", "--disable-gpu",
                    "--user-data-dir=" + profile, "--window-size=1200,900",
                    "--screenshot=" + os.path.join(profile, "shot.png"), url],
                   stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, timeout=300, check=True)
    seconds = time.perf_counter() - start
    shutil.rmtree(profile, ignore_errors=True)
    return seconds


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    parser.add_argument("--symvex")
    parser.add_argument("--plcinfo")
    parser.add_argument("--chromium", default=shutil.which("chromium"))
    parser.add_argument("--runs", type=int, default=5)
    parser.add_argument("--sizes", default="1000000")
    args = parser.parse_args()
    find_programs(args)

    print("%9s %5s %7s %7s %6s %8s %10s %10s %8s" % (
        "variables", "maps", "text s", "html s", "x text", "page MB", "Chromium s",
        "search s", "empty s"))
    with tempfile.TemporaryDirectory() as work:
        paths = {n: os.path.join(work, n) for n in
                 ("old.lst", "new.lst", "empty.map", "old.mp2", "new.mp2", "page.html", "empty.html")}
        open(paths["empty.map"], "w").close()
        with open(paths["empty.html"], "w") as f:
            f.write("<!DOCTYPE html><title>empty</title>\n")
        for count in [int(s) for s in args.sizes.split(",")]:
            generate(count, False, paths["old.lst"])
            generate(count, True, paths["new.lst"])
            timed([args.symvex, paths["old.mp2"], paths["old.lst"], paths["empty.map"]])
            timed([args.symvex, paths["new.mp2"], paths["new.lst"], paths["empty.map"]])
            for maps in ([paths["old.mp2"]], [paths["old.mp2"], paths["new.mp2"]]):
                text, html = [], []
                for _ in range(args.runs):
                    text.append(timed([args.plcinfo, *maps])[0])
                    html.append(timed([args.plcinfo, "--html", paths["page.html"], *maps])[0])
                t, h = statistics.median(text), statistics.median(html)
                size = os.path.getsize(paths["page.html"]) / 1e6
                opened = searched = empty = float("nan")
                if args.chromium:
                    url = "file://" + paths["page.html"]
                    opened = statistics.median(browse(args.chromium, work, url) for _ in range(3))
                    searched = browse(args.chromium, work, url + "#search=V000001")
                    empty = browse(args.chromium, work, "file://" + paths["empty.html"])
                print("%9d %5d %7.3f %7.3f %6.2f %8.1f %10.2f %10.2f %8.2f" % (
                    count, len(maps), t, h, h / t, size, opened, searched, empty), flush=True)


if __name__ == "__main__":
    main()
