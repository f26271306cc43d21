#!/usr/bin/env python3
"""Writes a Windows .ico holding the given PNG pictures (one per size).

usage: make_ico.py OUT.ico SIZE:PICTURE.png...
"""
import struct
import sys


def main(argv):
    out, entries = argv[1], []
    for item in argv[2:]:
        size, name = item.split(":", 1)
        with open(name, "rb") as f:
            entries.append((int(size), f.read()))
    header = struct.pack("<HHH", 0, 1, len(entries))
    offset = 6 + 16 * len(entries)
    directory, data = b"", b""
    for size, png in entries:
        side = 0 if size >= 256 else size  # 0 stands for 256
        directory += struct.pack("<BBBBHHII", side, side, 0, 0, 1, 32, len(png), offset + len(data))
        data += png
    with open(out, "wb") as f:
        f.write(header + directory + data)


if __name__ == "__main__":
    main(sys.argv)
