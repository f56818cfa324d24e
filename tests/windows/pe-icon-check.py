#!/usr/bin/env python3
"""Exits 0 when every given PNG image lies in the resource section (.rsrc) of
the given Windows executable: its icon resource stores them as they are.
Images elsewhere (Qt's own resources, in .rdata) do not count.
    pe-icon-check.py PROGRAM.exe IMAGE.png...
"""
import struct
import sys


def resource_section(data):
    pe = struct.unpack_from("<I", data, 0x3C)[0]
    if data[pe:pe + 4] != b"PE\0\0":
        raise SystemExit("pe-icon-check: not a PE executable")
    sections, = struct.unpack_from("<H", data, pe + 6)
    optional_size, = struct.unpack_from("<H", data, pe + 20)
    table = pe + 24 + optional_size
    for i in range(sections):
        name, _, _, raw_size, raw_offset = struct.unpack_from("<8sIIII", data, table + 40 * i)
        if name.rstrip(b"\0") == b".rsrc":
            return data[raw_offset:raw_offset + raw_size]
    return b""


def main(argv):
    with open(argv[1], "rb") as f:
        resources = resource_section(f.read())
    missing = [name for name in argv[2:] if open(name, "rb").read() not in resources]
    for name in missing:
        print(f"pe-icon-check: {name} is not among {argv[1]}'s resources", file=sys.stderr)
    return 1 if missing else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
