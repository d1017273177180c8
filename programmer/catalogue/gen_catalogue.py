#!/usr/bin/env python3
"""Turns devices.table into constant C++ (catalogue_data.cpp).

Usage: gen_catalogue.py devices.table output.cpp

Every row is checked for form before anything is written: a wrong column count,
a number that does not parse or does not fit its field, a manufacturer or type
index out of order, an empty or repeated type name, a bad driver name or a
malformed ID-byte column stops the build with "file:line: message". Whether the
values make sense together (counts, families, block layouts) is the catalogue
test's business, so that one reading of the rules lives in one place.
"""

import re
import sys

COLUMNS = [
    "mfr", "manufacturer", "type", "name", "size", "family", "lockStatusReadable",
    "verifyVoltageProfile", "lockKind", "configKind", "securityTableSize", "eraseKind",
    "driverName", "adaptorText", "driverId", "idByteCount", "wordWide", "bufferKind",
    "idCheck", "idBytes", "converterMask",
]
NUMBER = re.compile(r"^(0x[0-9A-Fa-f]+|[0-9]+)$")
DRIVER_NAME = re.compile(r"^[A-Za-z0-9_]+$")
ID_BYTES = re.compile(r"^[0-9A-Fa-f]{2}( [0-9A-Fa-f]{2}){3}$")
# Field bounds: what the record's 32-bit fields may hold without changing meaning.
BOUNDS = {
    "size": (1, 0xFFFFFF), "family": (0, 0xFF), "lockStatusReadable": (0, 1),
    "verifyVoltageProfile": (0, 4), "lockKind": (0, 6), "configKind": (0, 0xFF),
    "securityTableSize": (0, 0x800), "eraseKind": (0, 12), "driverId": (1, 0xFF),
    "idByteCount": (0, 4), "wordWide": (0, 1), "bufferKind": (0, 1), "idCheck": (0, 1),
    "converterMask": (0, 0x1FFFFFFF),
}


class TableError(Exception):
    pass


def c_string(text):
    out = []
    for ch in text:
        if ch in "\\\"":
            out.append("\\" + ch)
        elif 0x20 <= ord(ch) < 0x7F:
            out.append(ch)
        else:
            raise TableError("only printable ASCII is allowed in texts: %r" % text)
    return '"' + "".join(out) + '"'


def parse_number(column, text):
    if not NUMBER.match(text):
        raise TableError("%s: %r is not a number" % (column, text))
    value = int(text, 16) if text.lower().startswith("0x") else int(text)
    low, high = BOUNDS[column]
    if not low <= value <= high:
        raise TableError("%s: %s is outside %#x..%#x" % (column, text, low, high))
    return value


def read_table(path):
    manufacturers = []  # [(name, [row, ...])]
    with open(path, encoding="ascii") as f:
        for number, line in enumerate(f, 1):
            where = "%s:%d" % (path, number)
            text = line.rstrip("\n")
            if not text.strip() or text.lstrip().startswith("#"):
                continue
            try:
                cells = [c.strip() for c in text.split("|")]
                if len(cells) != len(COLUMNS):
                    raise TableError("%d columns, %d expected" % (len(cells), len(COLUMNS)))
                row = dict(zip(COLUMNS, cells))
                mfr = int(row["mfr"]) if row["mfr"].isdigit() else -1
                typ = int(row["type"]) if row["type"].isdigit() else -1
                if not row["manufacturer"]:
                    raise TableError("empty manufacturer name")
                if manufacturers and mfr == len(manufacturers) - 1:
                    if row["manufacturer"] != manufacturers[-1][0]:
                        raise TableError("manufacturer %d is %r, not %r" % (mfr, manufacturers[-1][0], row["manufacturer"]))
                elif mfr == len(manufacturers):
                    if any(m[0] == row["manufacturer"] for m in manufacturers):
                        raise TableError("manufacturer %r appears twice" % row["manufacturer"])
                    manufacturers.append((row["manufacturer"], []))
                else:
                    raise TableError("manufacturer index %r out of order" % row["mfr"])
                rows = manufacturers[-1][1]
                if typ != len(rows):
                    raise TableError("type index %r out of order (%d expected)" % (row["type"], len(rows)))
                if not row["name"]:
                    raise TableError("empty type name")
                if any(r["name"] == row["name"] for r in rows):
                    raise TableError("type name %r repeated under %s" % (row["name"], row["manufacturer"]))
                if not DRIVER_NAME.match(row["driverName"]):
                    raise TableError("driverName %r must be letters, digits or '_'" % row["driverName"])
                if not row["adaptorText"]:
                    raise TableError("empty adaptorText (write None)")
                if not ID_BYTES.match(row["idBytes"]):
                    raise TableError("idBytes %r must be four hex bytes" % row["idBytes"])
                for column in BOUNDS:
                    row[column] = parse_number(column, row[column])
                row["idBytes"] = [int(b, 16) for b in row["idBytes"].split()]
                c_string(row["name"])
                c_string(row["adaptorText"])
                rows.append(row)
            except TableError as e:
                raise TableError("%s: %s" % (where, e))
    if not manufacturers:
        raise TableError("%s: no rows" % path)
    return manufacturers


def write_cpp(manufacturers, out_path):
    lines = [
        "// Generated by gen_catalogue.py from devices.table. Do not edit.",
        '#include "programmer/catalogue/catalogue.h"',
        "",
        "namespace zolvek {",
        "namespace {",
        "",
    ]
    for i, (name, rows) in enumerate(manufacturers):
        lines.append("// %d %s" % (i, name))
        lines.append("constexpr DeviceTypeRecord kTypes%d[] = {" % i)
        for r in rows:
            lines.append(
                "    {%s, 0x%X, 0x%02X, %d, %d, %d, %d, 0x%X, %d, %s, %s, 0x%02X, %d, %d, %d, %d, {0x%02X, 0x%02X, 0x%02X, 0x%02X}, 0x%X},"
                % (c_string(r["name"]), r["size"], r["family"], r["lockStatusReadable"], r["verifyVoltageProfile"],
                   r["lockKind"], r["configKind"], r["securityTableSize"], r["eraseKind"], c_string(r["driverName"]),
                   c_string(r["adaptorText"]), r["driverId"], r["idByteCount"], r["wordWide"], r["bufferKind"],
                   r["idCheck"], *r["idBytes"], r["converterMask"]))
        lines.append("};")
        lines.append("")
    count = len(manufacturers)
    lines.append("constexpr const char* kNames[] = {%s};" % ", ".join(c_string(m[0]) for m in manufacturers))
    lines.append("constexpr std::uint32_t kTypeCounts[] = {%s};" % ", ".join(str(len(m[1])) for m in manufacturers))
    lines.append("constexpr const DeviceTypeRecord* kTypes[] = {%s};" % ", ".join("kTypes%d" % i for i in range(count)))
    lines.append("static_assert(%d == ManufacturerCount, \"devices.table and catalogue.h disagree on the manufacturer count\");" % count)
    lines.append("")
    lines.append("}  // namespace")
    lines.append("")
    lines.append("const MfrTypeTableData MfrTypeTable = {ManufacturerCount, kNames, kTypeCounts, kTypes};")
    lines.append("")
    lines.append("}  // namespace zolvek")
    text = "\n".join(lines) + "\n"
    try:
        with open(out_path, encoding="ascii") as f:
            if f.read() == text:
                return
    except OSError:
        pass
    with open(out_path, "w", encoding="ascii") as f:
        f.write(text)


def main(argv):
    if len(argv) != 3:
        print("usage: gen_catalogue.py devices.table output.cpp", file=sys.stderr)
        return 2
    try:
        manufacturers = read_table(argv[1])
    except (TableError, UnicodeDecodeError, OSError) as e:
        print("error: %s" % e, file=sys.stderr)
        return 1
    write_cpp(manufacturers, argv[2])
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
