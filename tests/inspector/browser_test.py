#!/usr/bin/env python3
"""Plcinfo's HTML pages as headless Chromium shows them.

Writes a build of its own (seventeen images, a joined file, two symbol maps, in a folder whose
name holds "<", "&" and quotes), has Plcinfo write one page of each kind, and checks what the
browser's DOM holds after the page's script ran: every variable's row, the bits, members and
constants, the images, the changes with their class and both places, the removed and retyped
variables apart, the guard's verdict; a search given in the address narrows the table (and one
that is not valid percent-encoding stops nothing); an address of five digits; a screenshot of
the asked size; the same bytes on a second run; the folder's name as text; the policy naming
the SHA-256 of the page's own style and script.
Also checks that --markdown for two maps gives the table of classes with their counts, and
that a history of 20 builds draws 20 points in each segment's fill trend.

    browser_test.py PLCINFO [--chromium PROGRAM] [--keep DIR]

Exits with 77 (skipped) when Chromium is not installed.
"""
import base64
import hashlib
import json
import os
import re
import shutil
import struct
import subprocess
import sys
import tempfile

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import map_model as model  # noqa: E402

IMAGES = ["Plc_main.bin", "Plc_far0.bin"] + ["Plc_e%03d.bin" % i for i in range(3, 18)]
ODD_NAME = "build <b>&\"'x"


def image(index, far_end, data):
    """An image whose header fields all hold: lengths, checks, dataOffset, farEnd."""
    size = 32 + len(data)
    header = bytearray(32)
    struct.pack_into("<H", header, 12, size & 0xFFFF)
    header[21:23] = struct.pack("<H", far_end)
    struct.pack_into("<HHH", header, 24, (size - 32) & 0xFFFF, sum(data) & 0xFFFF, 32)
    struct.pack_into("<H", header, 14, sum(header[8:14]) & 0xFFFF)
    return bytes(header) + data


def write_images(folder, grown):
    os.makedirs(folder)
    joined = b""
    for index, name in enumerate(IMAGES):
        data = bytes((index * 7 + k) & 0xFF for k in range(16 + 4 * index + (40 if grown and index == 3 else 0)))
        if index == 0:
            data = b"Line 7 press".ljust(31) + b"\0" + data
        content = image(index, 0x19F0, data)
        joined += content
        with open(os.path.join(folder, name), "wb") as f:
            f.write(content)
    return joined


def build_pair():
    """Two builds' variables: the new one inserts a word at the start of DATA_COM (the rest of
    it moves as one run), removes a variable of DATA1 and retypes one of DATA_USR."""
    def variables(prefix, selector, count, column):
        return [model.Variable("%s%03d" % (prefix, i), selector, column, model.COLUMNS[column][1])
                for i in range(count)]
    old = {0x30: variables("COM", 0x30, 12, "BYTE"), 0x68: variables("ONE", 0x68, 5, "WORD"),
           0xA0: variables("USR", 0xA0, 4, "DWORD"), 0x160: variables("ROZ", 0x160, 3, "BYTE")}
    new = {s: [model.Variable(v.name, v.selector, v.column, v.size) for v in vs]
           for s, vs in old.items()}
    new[0x30].insert(0, model.Variable("ADDED", 0x30, "WORD", 2))
    del new[0x68][2]
    new[0xA0][1].column, new[0xA0][1].size = "WORD", 2
    model.lay_out(old)
    model.lay_out(new)
    return old, new


class Browser:
    def __init__(self, program, scratch):
        self.program, self.scratch, self.runs = program, scratch, 0

    def run(self, url, *arguments):
        self.runs += 1
        profile = os.path.join(self.scratch, "profile%d" % self.runs)
        command = [self.program, "--headless=new", "--no-sandbox", "--disable-gpu",
                   "--user-data-dir=" + profile, *arguments, url]
        done = subprocess.run(command, capture_output=True, timeout=90)
        shutil.rmtree(profile, ignore_errors=True)
        return done.stdout.decode("utf-8")

    def dom(self, page, fragment=""):
        return self.run("file://" + page + fragment, "--dump-dom")

    def screenshot(self, page, shot, width, height):
        self.run("file://" + page, "--screenshot=" + shot, "--window-size=%d,%d" % (width, height))
        with open(shot, "rb") as f:
            head = f.read(24)
        return head[:8] == b"\x89PNG\r\n\x1a\n" and struct.unpack(">II", head[16:24]) == (width, height)


failures = []


def expect(condition, what):
    if not condition:
        failures.append(what)
        print("FAILED: " + what)


def plcinfo(program, *arguments):
    done = subprocess.run([program, *arguments], capture_output=True)
    return done.returncode, done.stdout.decode("utf-8", "replace")


def body_rows(dom, table_id):
    """The rows of a table's body as lists of cell texts (the DOM as serialised)."""
    body = re.search(r'<table id="%s-table">.*?<tbody>(.*?)</tbody>' % table_id, dom, re.S)
    return [re.findall(r"<td[^>]*>(.*?)</td>", row) for row in re.findall(r"<tr>(.*?)</tr>", body.group(1), re.S)] if body else []


def escaped(text):
    return text.replace("&", "&amp;").replace("<", "&lt;").replace(">", "&gt;")


def place(v):
    return "%04X:%04X" % (v.selector, v.address)


def main():
    arguments = sys.argv[1:]
    program = arguments[0]
    chromium = arguments[arguments.index("--chromium") + 1] if "--chromium" in arguments else None
    chromium = chromium or shutil.which("chromium") or shutil.which("chromium-browser")
    if chromium is None:
        print("skipped: headless Chromium is not installed (Debian package chromium)")
        return 77
    scratch = arguments[arguments.index("--keep") + 1] if "--keep" in arguments else tempfile.mkdtemp()
    browser = Browser(chromium, scratch)
    build = os.path.join(scratch, ODD_NAME)
    os.makedirs(build, exist_ok=True)
    old, new = build_pair()
    maps = []
    for side, segments in (("old", old), ("new", new)):
        path = os.path.join(build, side + ".mp2")
        with open(path, "wb") as f:
            f.write(model.encode(model.write_map(segments, {"READY": ("COM001", 3)}, {"POS": 4},
                                                 {"LIMIT": 7 if side == "old" else 9})))
        maps.append(path)
    joined = write_images(os.path.join(build, "images"), False)
    write_images(os.path.join(build, "images2"), True)
    with open(os.path.join(build, "KORVEX.PLC"), "wb") as f:
        f.write(joined + b"PLC_ENDP" + bytes(24))
    page = lambda name: os.path.join(scratch, name)

    # One map with its build's images.
    status, _ = plcinfo(program, "--html", page("map.html"), "--images", os.path.join(build, "images"), maps[0])
    expect(status == 0, "one map with images: exit status %d" % status)
    with open(page("map.html"), "rb") as f:
        first = f.read()
    plcinfo(program, "--html", page("map.html"), "--images", os.path.join(build, "images"), maps[0])
    with open(page("map.html"), "rb") as f:
        expect(f.read() == first, "a second run writes the same bytes")
    expect(b"default-src 'none'" in first and not re.search(rb"(src|href)=\"(https?:)?//", first),
           "the page forbids and makes no request elsewhere")
    for block, source in ((rb"<style>(.*?)</style>", b"style-src"), (rb"<script>(.*?)</script>", b"script-src")):
        digest = base64.b64encode(hashlib.sha256(re.search(block, first, re.S).group(1)).digest())
        expect(source + b" 'sha256-" + digest + b"'" in first, "the policy names the page's own %s" % source.decode())
    dom = browser.dom(page("map.html"))
    variables = sorted(model.variables_of(old), key=lambda v: model.key(v.name))
    expected = [[v.name, place(v), v.column, str(v.size)] for v in variables]
    expect(body_rows(dom, "variables") == expected, "the variables table holds every variable")
    images = [row[0] for row in body_rows(dom, "") or []]
    shown = re.findall(r"<tr><td><code>(Plc_\w+\.bin)</code></td>", dom)
    expect(shown == IMAGES, "the page shows the seventeen images: %s" % shown)
    expect(escaped(ODD_NAME) in dom and "<b>&amp;" not in dom, "a path with < & and quotes shows as text")
    expect("symbol map sound; images: all seventeen valid" in dom, "the verdict of map and images")
    narrowed = body_rows(browser.dom(page("map.html"), "#search=com01"), "variables")
    expect([row[0] for row in narrowed] == ["COM010", "COM011"], "a search narrows the table: %s" % narrowed)
    expect(browser.screenshot(page("map.html"), page("map.png"), 1200, 900), "a 1200 x 900 screenshot")
    tables = {name: body_rows(dom, name) for name in ("bits", "members", "constants")}
    expect(tables == {"bits": [["READY", "COM001", "03"]], "members": [["POS", "0004"]],
                      "constants": [["LIMIT", "00000007"]]}, "bits, members and constants: %s" % tables)
    # A search that is not valid percent-encoding is searched for as written, in every table.
    statuses = re.findall(r'<span class="status">(.*?)</span>', browser.dom(page("map.html"), "#search=%"))
    expect(statuses == ["no row matches"] * 4, "#search=%% leaves the script running: %s" % statuses)
    # An address of five digits, shown by the script as the page writes it.
    wide = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "data", "inspector", "wide.mp2")
    plcinfo(program, "--html", page("wide.html"), wide)
    narrowed = body_rows(browser.dom(page("wide.html"), "#search=far"), "variables")
    expect(narrowed == [["FAR_TABLE", "0030:12345", "BYTE", "1"]], "a five-digit address: %s" % narrowed)

    # Two maps, the guard set.
    status, text = plcinfo(program, "--json", "--fail-on", "moved,removed", *maps)
    report = json.loads(text)
    status, _ = plcinfo(program, "--html", page("maps.html"), "--fail-on", "moved,removed", *maps)
    expect(status == 2, "two maps: the guard's exit status, %d" % status)
    dom = browser.dom(page("maps.html"))
    expect("Stopped by --fail-on: variable-removed, variable-moved" in dom, "the guard's verdict")
    rows = body_rows(dom, "changes")
    labels = {"variable-removed": "variable removed", "variable-retyped": "variable retyped",
              "constant-value": "constant value"}
    for change in report["changes"]:
        if "run" in change:
            run = change["run"]
            line = ["variables moved", "%s ... %s (%d variables)" % (run["first"], run["last"], run["count"])]
            expect(any(row[:2] == line and row[4] == "%s%04X" % ("-" if run["distance"] < 0 else "+", abs(run["distance"])) for row in rows),
                   "the run %s" % line)
            continue
        def side(values):
            if values is None:
                return ""
            if "selector" in values:
                return "%04X:%04X %s" % (values["selector"], values["address"], values["type"])
            return "%08X" % values["value"]
        line = [labels.get(change["class"], change["class"].replace("-", " ")), change["name"],
                side(change["old"]), side(change["new"])]
        expect(any(row[:4] == line for row in rows), "the change %s among %s" % (line, rows))
    expect(len(rows) == len(report["changes"]), "one row per change")
    lost = body_rows(dom, "lost")
    expect(lost == [["variable removed", "ONE002", "0068:0004 WORD", ""],
                    ["variable retyped", "USR001", "00A0:0004 DWORD", "00A0:0004 WORD"]],
           "removed and retyped variables apart: %s" % lost)
    expect(rows and rows[0][0] == "variables moved", "the largest move first")
    expect(browser.screenshot(page("maps.html"), page("maps.png"), 1200, 900), "a screenshot of two maps")

    # Markdown of two maps: the classes with their counts.
    status, text = plcinfo(program, "--markdown", *maps)
    expect("build &lt;b&gt;&amp;\"'x/old.mp2: symbol map sound" in text, "markdown escapes the path")
    for key, count in report["counts"].items():
        expect(count == 0 or "| `%s` | %d |" % (key, count) in text, "markdown counts %s %d" % (key, count))

    # Images: a folder, and two builds (a folder against a joined file).
    plcinfo(program, "--html", page("images.html"), os.path.join(build, "images"))
    dom = browser.dom(page("images.html"))
    expect(re.findall(r"<tr><td><code>(Plc_\w+\.bin)</code></td>", dom) == IMAGES, "one build's images")
    plcinfo(program, "--html", page("two.html"), os.path.join(build, "KORVEX.PLC"), os.path.join(build, "images2"))
    dom = browser.dom(page("two.html"))
    expect('<td class="n grown">+40</td>' in dom and "1 of seventeen images differs" in dom,
           "two builds: the grown image and its delta")
    expect(browser.screenshot(page("two.html"), page("two.png"), 1000, 700), "a screenshot of two builds")

    # A history of 20 builds, each adding a variable to DATA1: each segment's trend has one point
    # per build, its budget's line, and the table links every build to its changes.
    history = os.path.join(scratch, "history")
    os.makedirs(history)
    segments = {s: [model.Variable("S%03X_%d" % (s, i), s, "WORD", 2) for i in range(4)]
                for s in model.SELECTORS}
    for number in range(1, 21):
        segments[0x68].append(model.Variable("GROW%02d" % number, 0x68, "DWORD", 3000))
        model.lay_out(segments)
        with open(os.path.join(history, "b%d.mp2" % number), "wb") as f:
            f.write(model.encode(model.write_map(segments, {}, {}, {})))
    status, text = plcinfo(program, "--json", "--max-fill", "50", "--history", history)
    builds = json.loads(text)["builds"]
    expect(status == 2 and [b["variables"] for b in builds] == list(range(17, 37)),
           "--history: 20 builds in the order of their numbers, the newest over budget (%d)" % status)
    plcinfo(program, "--max-fill", "50", "--html", page("history.html"), "--history", history)
    dom = browser.dom(page("history.html"))
    trends = re.findall(r'<svg class="trend" data-selector="(\w+)".*?</svg>', dom, re.S)
    points = {s: len(re.findall(r"<circle", body)) for s, body in
              re.findall(r'<svg class="trend" data-selector="(\w+)"(.*?)</svg>', dom, re.S)}
    expect(points == {"0030": 20, "0068": 20, "00A0": 20, "0160": 20}, "20 points a segment: %s" % points)
    expect(dom.count('<line class="limit"') == len(trends) == 4, "each trend draws its budget")
    expect(re.search(r"<title>build 20, [^<]*b20\.mp2: [0-9.]+% of 50\.0% over</title>", dom) is not None,
           "the newest build's point says it is over its budget")
    links = re.findall(r'<a href="#build-(\d+)">\d+</a>', dom)
    expect(links == [str(n) for n in range(1, 21)] and 'id="build-20"' in dom,
           "the table links each build to its changes")
    expect(browser.screenshot(page("history.html"), page("history.png"), 1200, 900), "a screenshot of a history")

    print("%d failures; pages and screenshots in %s" % (len(failures), scratch))
    if "--keep" not in arguments and not failures:
        shutil.rmtree(scratch, ignore_errors=True)
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
