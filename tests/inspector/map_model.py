#!/usr/bin/env python3
"""An independent model of Plcinfo's symbol-map rules, as the developer's guide states them,
run against the built Plcinfo.

It writes symbol maps of its own (not through Symvex), pairs of builds changed at random
(variables inserted, removed, retyped, renamed in place, moved to another selector,
structures grown) and damaged copies (a title with a trailing blank, a stray CR or no "]", a
title missing, an extra empty line, a damaged row, a variable past its segment's 64 KiB, a
byte-order mark, UTF-16, LF line ends).
For each it works out the verdict from the rules alone and compares it with Plcinfo's JSON
report and exit status: change counts per class, runs of moves, room changes, possible
renames, the classes that trip --fail-on; findings' lines, rows per section.

    map_model.py PLCINFO [--cases N] [--seed S] [--verbose]

Prints "agreement: A of N cases" and exits with 1 when any case disagrees.
"""
import json
import os
import random
import subprocess
import sys
import tempfile

SELECTORS = [0x30, 0x68, 0xA0, 0x160]
# Type column, its width, and whether it is written as the writer writes it.
COLUMNS = {"BYTE": ("BYTE ", 1), "WORD": ("WORD ", 2), "DWORD": ("DWORD", 4),
           "QWORD": ("BYTE", 8)}
TITLES = ["SYMBOL_TABLE", "BIT_FIELDS", "STRUCTURE_OFFSETS", "BIT_WEIGHTS", "CONSTANTS"]
COMMENTS = [";Sel    Addr    Type    Symbol", ";Bit                           Location",
            ";Name                          Offset", ";Bit                           Weight",
            ";Name                          Value"]
CLASSES = ["variable-added", "variable-removed", "variable-moved", "variable-retyped",
           "variable-room", "bit-added", "bit-removed", "bit-moved", "member-added",
           "member-removed", "member-offset", "constant-added", "constant-removed",
           "constant-value"]


def key(name):
    """The writer's order: byte by byte, capitals taken as small letters."""
    return name.lower()


def fill(name):
    return name + " " * (31 - len(name) if len(name) < 31 else 1)


class Variable:
    def __init__(self, name, selector, column, size):
        self.name, self.selector, self.column, self.size = name, selector, column, size
        self.address = 0


def lay_out(segments):
    """Addresses one after the other in each selector's list."""
    for variables in segments.values():
        address = 0
        for v in variables:
            v.address = address
            address += v.size


def variables_of(segments):
    return [v for variables in segments.values() for v in variables]


def write_map(segments, bits, members, constants):
    """The map as lines, without their line ends."""
    variables = sorted(variables_of(segments), key=lambda v: key(v.name))
    lines = ["$MP2 02"]
    sections = [
        ["%04xH   %04xH   %s   %s" % (v.selector, v.address, COLUMNS[v.column][0], v.name)
         for v in variables],
        [fill(b) + loc for b, (loc, _) in sorted(bits.items(), key=lambda i: key(i[0]))],
        [fill(m) + "%04d" % o for m, o in sorted(members.items(), key=lambda i: key(i[0]))],
        [fill(b) + "%02d" % w for b, (_, w) in sorted(bits.items(), key=lambda i: key(i[0]))],
        [fill(c) + "%08x" % v for c, v in sorted(constants.items(), key=lambda i: key(i[0]))],
    ]
    for index, rows in enumerate(sections):
        lines += ["", "[%s %d]" % (TITLES[index], len(rows)), COMMENTS[index]] + rows
    return lines


def encode(lines):
    return "".join(line + "\r\n" for line in lines).encode("latin-1")


class Names:
    def __init__(self, rng):
        self.rng, self.used = rng, set()

    def new(self):
        while True:
            name = self.rng.choice(["V", "T", "AX", "Q_", "io"]) + str(self.rng.randrange(100000))
            if key(name) not in self.used:
                self.used.add(key(name))
                return name


def random_build(rng, names):
    segments = {}
    for selector in SELECTORS:
        segments[selector] = []
        for _ in range(rng.randrange(0, 12)):
            column = rng.choice(list(COLUMNS))
            size = COLUMNS[column][1]
            if column == "BYTE" and rng.random() < 0.3:  # a structure variable
                size = rng.choice([4, 6, 8, 12])
            segments[selector].append(Variable(names.new(), selector, column, size))
    lay_out(segments)
    holders = [v.name for v in variables_of(segments)]
    bits = {}
    for _ in range(rng.randrange(0, 5) if holders else 0):
        bits[names.new()] = (rng.choice(holders), rng.randrange(0, 16))
    members = {names.new(): rng.randrange(0, 20) for _ in range(rng.randrange(0, 4))}
    constants = {names.new(): rng.randrange(0, 1 << 32) for _ in range(rng.randrange(0, 4))}
    return segments, bits, members, constants


def changed_build(rng, names, segments):
    """A copy of the variables with a few edits, laid out again."""
    new = {s: [Variable(v.name, v.selector, v.column, v.size) for v in vs]
           for s, vs in segments.items()}
    for _ in range(rng.randrange(0, 5)):
        selector = rng.choice(SELECTORS)
        variables = new[selector]
        edit = rng.choice(["insert", "remove", "retype", "rename", "grow", "carry"])
        if edit == "insert" or not variables:
            column = rng.choice(list(COLUMNS))
            variables.insert(rng.randrange(len(variables) + 1),
                             Variable(names.new(), selector, column, COLUMNS[column][1]))
            continue
        at = rng.randrange(len(variables))
        v = variables[at]
        if edit == "remove":
            del variables[at]
        elif edit == "retype":
            v.column = rng.choice([c for c in COLUMNS if c != v.column])
            v.size = COLUMNS[v.column][1]
        elif edit == "rename":
            v.name = names.new()
        elif edit == "grow":
            v.size += rng.choice([2, 4])
        else:  # to the end of another selector
            del variables[at]
            v.selector = rng.choice([s for s in SELECTORS if s != selector])
            new[v.selector].append(v)
    lay_out(new)
    return new


def expected_comparison(old, new, fail_on):
    """The verdict the guide's rules give for two sound maps."""
    a = {key(v.name): v for v in variables_of(old)}
    b = {key(v.name): v for v in variables_of(new)}
    counts = dict.fromkeys(CLASSES, 0)
    fate = {}  # old name: "removed", "retyped", "same", ("moved", selector, distance)
    for k, v in a.items():
        w = b.get(k)
        if w is None:
            counts["variable-removed"] += 1
            fate[k] = "removed"
        elif w.column != v.column:
            counts["variable-retyped"] += 1
            fate[k] = "retyped"
        elif (w.selector, w.address) != (v.selector, v.address):
            counts["variable-moved"] += 1
            fate[k] = ("moved", v.selector, w.address - v.address) \
                if w.selector == v.selector else "carried"
        else:
            fate[k] = "same"
    counts["variable-added"] = sum(1 for k in b if k not in a)

    def order(variables):
        return sorted(variables, key=lambda v: (v.selector, v.address, key(v.name)))

    old_order = order(a.values())
    runs, run = [], []
    for v in old_order + [None]:
        f = fate[key(v.name)] if v else None
        if run and isinstance(f, tuple) and f == fate[key(run[0].name)]:
            run.append(v)
            continue
        if len(run) >= 2:
            runs.append((run[0].name, run[-1].name, len(run), run[0].selector,
                         fate[key(run[0].name)][2]))
        run = [v] if isinstance(f, tuple) else []

    def next_above(ordered, v):
        later = [w for w in ordered if w.selector == v.selector and w.address > v.address]
        return later[0] if later else None

    new_order = order(b.values())
    rooms = []
    for v in old_order:
        if fate[key(v.name)] != "same":
            continue
        p, q = next_above(old_order, v), next_above(new_order, b[key(v.name)])
        if p and q and key(p.name) == key(q.name) and p.address != q.address:
            rooms.append((v.name, p.address - v.address, q.address - v.address))
    counts["variable-room"] = len(rooms)
    renames = sorted((v.name, w.name) for v in a.values() if key(v.name) not in b
                     for w in b.values() if key(w.name) not in a and
                     (v.selector, v.address, v.column) == (w.selector, w.address, w.column))
    tripped = [c for c in CLASSES if c in fail_on and counts[c] > 0]
    return {"counts": {c: counts[c] for c in CLASSES if c.startswith("variable")},
            "runs": sorted(runs), "rooms": sorted(rooms), "renames": renames,
            "tripped": tripped, "status": 2 if tripped else 0}


def observed_comparison(report, status):
    runs, rooms = [], []
    for change in report["changes"]:
        if "run" in change:
            r = change["run"]
            runs.append((r["first"], r["last"], r["count"], r["selector"], r["distance"]))
        elif change["class"] == "variable-room":
            rooms.append((change["name"], change["old"]["room"], change["new"]["room"]))
    return {"counts": {c: n for c, n in report["counts"].items() if c.startswith("variable")},
            "runs": sorted(runs), "rooms": sorted(rooms),
            "renames": sorted((r["old"], r["new"]) for r in report["renamed"]),
            "tripped": report["tripped"], "status": status}


def damaged(rng, lines):
    """A damaged copy of a sound map: its bytes, the lines of the findings it must give and
    the rows per section it must still read."""
    rows = [0] * 5
    title_lines = []
    for number, line in enumerate(lines, 1):
        if line.startswith("["):
            title_lines.append(number)
            rows[len(title_lines) - 1] = int(line.split()[1][:-1])
    kind = rng.choice(["blank", "cr", "bracket", "missing", "empty", "row", "beyond", "mark",
                       "utf16", "utf16be", "lf"])
    edited = list(lines)
    t = rng.randrange(5)
    title = title_lines[t]
    findings = [title]
    if kind == "blank":
        edited[title - 1] += " "
    elif kind == "cr":
        edited[title - 1] += "\r"
    elif kind == "bracket":
        edited[title - 1] = edited[title - 1][:-1]
    elif kind == "missing":
        del edited[title - 1]
    elif kind == "empty":  # two empty lines before the title: the first is one too many
        edited.insert(title - 2, "")
        findings = [title - 1]
    elif kind == "row":  # a row of the structure offsets or constants, nothing refers to it
        candidates = [n for n in range(title_lines[2] + 2, len(lines) + 1)
                      if lines[n - 1] and lines[n - 1][0].isalnum() and
                      not title_lines[3] <= n < title_lines[4] + 2]
        if not candidates:
            return damaged(rng, lines)
        n = rng.choice(candidates)
        edited[n - 1] = "#" + edited[n - 1][1:]
        findings = [n]
        rows[2 if n < title_lines[3] else 4] -= 1
    elif kind == "beyond":  # a variable moved to 0x10000: it ends past its segment's 64 KiB
        if rows[0] == 0:
            return damaged(rng, lines)
        n = rng.randrange(title_lines[0] + 2, title_lines[0] + 2 + rows[0])
        edited[n - 1] = edited[n - 1][:8] + "10000" + edited[n - 1][12:]
        findings = [n]
    else:
        findings = [1]
    data = encode(edited)
    if kind == "mark":
        data = b"\xef\xbb\xbf" + data
    elif kind == "utf16":
        data = b"\xff\xfe" + data.decode("latin-1").encode("utf-16-le")
    elif kind == "utf16be":
        data = data.decode("latin-1").encode("utf-16-be")
    elif kind == "lf":
        data = data.replace(b"\r\n", b"\n")
    return kind, data, {"findings": findings, "sections": rows, "status": 1}


def run(plcinfo, arguments):
    done = subprocess.run([plcinfo, "--json"] + arguments, capture_output=True)
    return json.loads(done.stdout.decode("utf-8")), done.returncode


def main():
    arguments = sys.argv[1:]
    if not arguments:
        print(__doc__)
        return 255
    plcinfo = arguments[0]
    cases = int(arguments[arguments.index("--cases") + 1]) if "--cases" in arguments else 200
    seed = int(arguments[arguments.index("--seed") + 1]) if "--seed" in arguments else 1
    verbose = "--verbose" in arguments
    rng = random.Random(seed)
    agreed = 0
    with tempfile.TemporaryDirectory() as folder:
        old_path, new_path = os.path.join(folder, "old.mp2"), os.path.join(folder, "new.mp2")
        for case in range(cases):
            names = Names(rng)
            segments, bits, members, constants = random_build(rng, names)
            old_lines = write_map(segments, bits, members, constants)
            with open(old_path, "wb") as out:
                out.write(encode(old_lines))
            if case % 2 == 0:
                what = "pair"
                new = changed_build(rng, names, segments)
                # Bits stay in the variables that are still there.
                held = {v.name for v in variables_of(new)}
                kept_bits = {b: v for b, v in bits.items() if v[0] in held}
                with open(new_path, "wb") as out:
                    out.write(encode(write_map(new, kept_bits, members, constants)))
                fail_on = rng.sample(CLASSES[:5], rng.randrange(0, 3))
                expected = expected_comparison(segments, new, fail_on)
                options = ["--fail-on", ",".join(fail_on)] if fail_on else []
                report, status = run(plcinfo, options + [old_path, new_path])
                observed = observed_comparison(report, status)
            else:
                what, data, expected = damaged(rng, old_lines)
                with open(new_path, "wb") as out:
                    out.write(data)
                report, status = run(plcinfo, [new_path])
                observed = {"findings": [f["line"] for f in report["findings"]],
                            "sections": [report["sections"][t] for t in TITLES],
                            "status": status}
            if observed == expected:
                agreed += 1
            elif verbose:
                print("case %d (%s): expected %s\n  Plcinfo %s" % (case, what, expected, observed))
    print("agreement: %d of %d cases" % (agreed, cases))
    return 0 if agreed == cases else 1


if __name__ == "__main__":
    sys.exit(main())
