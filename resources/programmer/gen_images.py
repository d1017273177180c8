#!/usr/bin/env python3
"""Makes the PLACEHOLDER driver images and monitor files of the programmer.

The programmer's real firmware (its monitor and the device drivers it receives
from the PC) is not part of this project. These stand-ins have the layout the
program relies on and nothing more:

- a driver image per driverName of devices.table: 1140 to 5740 bytes, bytes 9
  to 13 the five-character version text (read back by the about box), the rest
  a marker text and deterministic filler;
- the monitor files MON08E.BIN (COM link) and MON08P.BIN (LPT and USB), plain
  binaries sent as they are.

Every file begins with "PLACEHLDR", carries the version text "0.00P" and says
in plain words that it is not programmer firmware.

Usage:
  gen_images.py drivers devices.table OUTDIR   -> OUTDIR/BINTYPE/BIN<name>, OUTDIR/driver_images.qrc
  gen_images.py monitors OUTDIR                -> OUTDIR/MON08E.BIN, OUTDIR/MON08P.BIN
"""

import os
import sys
import zlib

MARK = b"PLACEHLDR"        # bytes 0-8
VERSION = b"0.00P"          # bytes 9-13
MIN_DRIVER, MAX_DRIVER = 1140, 5740


def filler(seed, count):
    # A small LCG: every byte value occurs, so an echo check sees real data.
    out = bytearray()
    state = seed & 0xFFFFFFFF
    for _ in range(count):
        state = (state * 1103515245 + 12345) & 0xFFFFFFFF
        out.append((state >> 16) & 0xFF)
    return bytes(out)


def image(text, size, seed):
    head = MARK + VERSION + b"\x00" + text.encode("ascii") + b"\x00"
    assert len(head) <= size
    return head + filler(seed, size - len(head))


def write_if_changed(path, data):
    try:
        with open(path, "rb") as f:
            if f.read() == data:
                return
    except OSError:
        pass
    with open(path, "wb") as f:
        f.write(data)


def driver_names(table):
    names = []
    with open(table, encoding="ascii") as f:
        for line in f:
            if not line.strip() or line.lstrip().startswith("#"):
                continue
            cells = [c.strip() for c in line.split("|")]
            if len(cells) > 12 and cells[12] not in names:
                names.append(cells[12])
    return names


def drivers(table, outdir):
    os.makedirs(os.path.join(outdir, "BINTYPE"), exist_ok=True)
    entries = []
    for name in driver_names(table):
        seed = zlib.crc32(name.upper().encode("ascii"))
        size = MIN_DRIVER + seed % (MAX_DRIVER - MIN_DRIVER + 1)
        text = "Zolvek PLACEHOLDER driver image BIN%s: not programmer firmware" % name
        write_if_changed(os.path.join(outdir, "BINTYPE", "BIN" + name), image(text, size, seed))
        entries.append('    <file alias="BIN%s">BINTYPE/BIN%s</file>' % (name, name))
    qrc = "<RCC>\n  <qresource prefix=\"/BINTYPE\">\n%s\n  </qresource>\n</RCC>\n" % "\n".join(entries)
    write_if_changed(os.path.join(outdir, "driver_images.qrc"), qrc.encode("ascii"))


def monitors(outdir):
    os.makedirs(outdir, exist_ok=True)
    for name, link, size in (("MON08E.BIN", "COM", 2048), ("MON08P.BIN", "LPT and USB", 2304)):
        text = "Zolvek PLACEHOLDER monitor %s for the %s link: not programmer firmware" % (name, link)
        write_if_changed(os.path.join(outdir, name), image(text, size, zlib.crc32(name.encode("ascii"))))


def main(argv):
    if len(argv) == 4 and argv[1] == "drivers":
        drivers(argv[2], argv[3])
    elif len(argv) == 3 and argv[1] == "monitors":
        monitors(argv[2])
    else:
        print(__doc__, file=sys.stderr)
        return 2
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
