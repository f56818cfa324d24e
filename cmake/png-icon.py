#!/usr/bin/env python3
"""Writes a Windows icon file (.ico) holding the given square PNG images as
they are: Windows Vista and later, and NSIS, read PNG entries of an icon.
    png-icon.py OUTPUT.ico IMAGE.png...
"""
import struct
import sys

PNG_SIGNATURE = b"\x89PNG\r\n\x1a\n"


def png_size(data, name):
    # The IHDR chunk comes first: width and height, 4 bytes each, big-endian.
    if not data.startswith(PNG_SIGNATURE) or data[12:16] != b"IHDR":
        raise SystemExit(f"png-icon: {name} is not a PNG image")
    width, height = struct.unpack(">II", data[16:24])
    if width != height or not 1 <= width <= 256:
        raise SystemExit(f"png-icon: {name} is {width}x{height}; an icon's images are square, at most 256 pixels")
    return width


def main(argv):
    if len(argv) < 3:
        raise SystemExit("usage: png-icon.py OUTPUT.ico IMAGE.png...")
    output, names = argv[1], argv[2:]
    images = []
    for name in names:
        with open(name, "rb") as f:
            data = f.read()
        images.append((png_size(data, name), data))

    header = struct.pack("<HHH", 0, 1, len(images))
    offset = len(header) + 16 * len(images)
    entries = b""
    for size, data in images:
        # A size of 256 is written as 0; 32 bits per pixel, one plane.
        entries += struct.pack("<BBBBHHII", size % 256, size % 256, 0, 0, 1, 32, len(data), offset)
        offset += len(data)
    with open(output, "wb") as f:
        f.write(header + entries + b"".join(data for _, data in images))


if __name__ == "__main__":
    main(sys.argv)
