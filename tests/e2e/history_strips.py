#!/usr/bin/env python3
"""Reads the day strips of the History window off a screenshot.

  history_strips.py SHOT.png X Y W H
      prints one line per strip, top to bottom: its colours left to right as
      "NAME@FROM-TO" runs, FROM and TO in thousandths of the strip's width.
      Names: up (the green), down (the red), far (the darker red), near (the
      lighter red), grey (not watched), poor (the amber of a poor hour). X Y W
      H: the window's rectangle.
  history_strips.py SHOT.png X Y W H --where NAME
      prints "X Y", on the screen, of the middle of the first run of that
      colour, in the first strip that has one (where the pointer shows its
      tip).
"""
import subprocess
import sys

COLOURS = {
    (0x1f, 0x9a, 0x34): "up",
    (0xa0, 0x10, 0x10): "down",
    (0x6e, 0x0a, 0x0a): "far",
    (0xe0, 0x6c, 0x6c): "near",
    (0xc8, 0xc8, 0xc8): "grey",
    (0xf0, 0xa8, 0x00): "poor",
}
FRAME = (0x70, 0x70, 0x70)


def rows_of(path, x, y, w, h):
    raw = subprocess.run(
        ["convert", path, "-crop", f"{w}x{h}+{x}+{y}", "+repage", "-depth", "8", "rgb:-"],
        check=True, capture_output=True).stdout
    return [[tuple(raw[(r * w + c) * 3:(r * w + c) * 3 + 3]) for c in range(w)] for r in range(h)]


def longest_run(row, colour):
    """(start, end) of the longest run of that colour in a line of pixels."""
    best, start = (0, 0), None
    for c, p in enumerate(row + [None]):
        if p == colour and start is None:
            start = c
        elif p != colour and start is not None:
            if c - start > best[1] - best[0]:
                best = (start, c)
            start = None
    return best


def strips(rows, frame):
    """(middle line, left, right) of each strip: the inside of each frame, a
    rectangle in the frame's colour wider than any button."""
    edges = []
    for r, row in enumerate(rows):
        left, right = longest_run(row, frame)
        if right - left >= 150:
            edges.append((r, left, right))
    return [(top + (bottom - top) // 2, left + 1, right - 1)
            for (top, left, right), (bottom, _, _) in zip(edges[0::2], edges[1::2])]


def runs(row, left, right):
    out, name, start = [], None, left
    width = right - left
    for c in range(left, right + 1):
        here = COLOURS.get(row[c]) if c < right else None
        if here != name:
            if name is not None:
                out.append(f"{name}@{(start - left) * 1000 // width}-{(c - left) * 1000 // width}")
            name, start = here, c
    return out


def main(path, x, y, w, h, where=None):
    rows = rows_of(path, x, y, w, h)
    found = strips(rows, FRAME)
    if where is None:
        for line, left, right in found:
            print(" ".join(runs(rows[line], left, right)))
        return
    for line, left, right in found:
        columns = [c for c in range(left, right) if COLOURS.get(rows[line][c]) == where]
        if columns:
            break
    else:
        sys.exit(1)
    run_end = columns[0]
    while run_end + 1 in columns:
        run_end += 1
    print(x + (columns[0] + run_end) // 2, y + line)


if __name__ == "__main__":
    main(sys.argv[1], *map(int, sys.argv[2:6]), *(sys.argv[7:8] if sys.argv[6:7] == ["--where"] else []))
