#!/usr/bin/env python3
"""The catalogue generator refuses malformed rows, naming file and line.

Usage: gen_catalogue_test.py gen_catalogue.py devices.table
Each case spoils one thing in a copy of the real table and expects the
generator to exit non-zero with "<file>:<line>:" in its message; the real
table must pass.
"""

import os
import subprocess
import sys
import tempfile


def run(gen, table_text, workdir):
    table = os.path.join(workdir, "t.table")
    with open(table, "w", encoding="ascii", newline="") as f:
        f.write(table_text)
    out = os.path.join(workdir, "out.cpp")
    if os.path.exists(out):
        os.remove(out)
    p = subprocess.run([sys.executable, gen, table, out], capture_output=True, text=True)
    return p.returncode, p.stderr, os.path.exists(out), table


def main(argv):
    gen, real = argv[1], argv[2]
    with open(real, encoding="ascii") as f:
        lines = f.read().split("\n")
    first = next(i for i, l in enumerate(lines) if l.strip() and not l.lstrip().startswith("#"))

    def spoil(index, column, value):
        cells = lines[index].split("|")
        cells[column] = " %s " % value
        copy = list(lines)
        copy[index] = "|".join(cells)
        return "\n".join(copy), index + 1

    cases = {
        "missing column": ("\n".join(lines[:first] + ["|".join(lines[first].split("|")[:-1])] + lines[first + 1:]), first + 1),
        "number that does not parse": spoil(first, 4, "0x1G00"),
        "flag out of range": spoil(first, 6, "2"),
        "driver id zero": spoil(first, 14, "0"),
        "driver name with a blank": spoil(first, 12, "8751 H"),
        "three ID bytes": spoil(first, 19, "FF FF FF"),
        "type index out of order": spoil(first + 1, 2, "5"),
        "repeated type name": spoil(first + 1, 3, "8751H"),
        "manufacturer renamed mid-list": spoil(first + 1, 1, "AMX"),
        "empty name": spoil(first, 3, ""),
    }
    failures = 0
    with tempfile.TemporaryDirectory() as workdir:
        code, err, made, _ = run(gen, "\n".join(lines), workdir)
        if code != 0 or not made:
            print("FAIL: the real table was refused: %s" % err)
            failures += 1
        for name, (text, line) in cases.items():
            code, err, made, table = run(gen, text, workdir)
            where = "%s:%d:" % (table, line)
            if code == 0 or made or where not in err:
                print("FAIL: %s: exit %d, output %s, message %r" % (name, code, "made" if made else "not made", err))
                failures += 1
            else:
                print("ok: %s -> %s" % (name, err.strip()))
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
