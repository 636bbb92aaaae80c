#!/usr/bin/python3
"""Shortens the palette of each 8-bit image of the .ico files named to the
colours its pixels use (icotool writes all 256): the same pixels, about
4.6 KiB less in the program. The colours are renumbered first, so that the
used ones come first. Run by make_icons.sh; safe to run again.

  trim_palettes.py FILE.ico ...
"""
import struct
import sys

HEADER = 40


def trimmed(image):
    """The 8-bit bitmap with a palette of only its pixels' colours; other images as they are."""
    if image[:4] == b"\x89PNG":
        return image
    _, width, height2, _, bits, _, _, _, _, used, _ = struct.unpack_from("<IiiHHIIiiII", image)
    if bits != 8:
        return image
    colours = used or 256
    palette = [image[HEADER + 4 * n:HEADER + 4 * n + 4] for n in range(colours)]
    stride = (width + 3) & ~3
    rows = height2 // 2
    start = HEADER + 4 * colours
    pixels = image[start:start + stride * rows]
    mask = image[start + stride * rows:]
    order = sorted({pixels[r * stride + c] for r in range(rows) for c in range(width)})
    index = {old: new for new, old in enumerate(order)}
    # Row padding stays zero; colour 0 is a used one.
    renumbered = bytes(index.get(b, 0) if (n % stride) < width else 0 for n, b in enumerate(pixels))
    header = bytearray(image[:HEADER])
    struct.pack_into("<II", header, 32, len(order), 0)  # biClrUsed, biClrImportant
    return bytes(header) + b"".join(palette[old] for old in order) + renumbered + mask


def trim_file(path):
    data = open(path, "rb").read()
    count = struct.unpack_from("<HHH", data)[2]
    entries = [list(struct.unpack_from("<BBBBHHII", data, 6 + 16 * n)) for n in range(count)]
    images = [trimmed(data[e[7]:e[7] + e[6]]) for e in entries]
    offset = 6 + 16 * count
    out = bytearray(data[:6])
    for entry, image in zip(entries, images):
        entry[6], entry[7] = len(image), offset
        offset += len(image)
        out += struct.pack("<BBBBHHII", *entry)
    for image in images:
        out += image
    open(path, "wb").write(bytes(out))


for name in sys.argv[1:]:
    trim_file(name)
