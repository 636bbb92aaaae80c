#!/usr/bin/env python3
"""Reads a popup menu off a screenshot: its lines of text, which of them carry
a check mark, and which are grayed.

  menu_marks.py SHOT.png X Y W H
      prints "lines=N marks=a,b,... grayed=a,b,..." with a 1 or 0 per line, top
      to bottom; X Y W H is the menu's rectangle on the screen.
"""
import subprocess
import sys


def gray_levels(path, x, y, w, h):
    raw = subprocess.run(
        ["convert", path, "-crop", f"{w}x{h}+{x}+{y}", "+repage", "-colorspace", "Gray", "-depth", "8", "gray:-"],
        check=True, capture_output=True).stdout
    return [raw[r * w:(r + 1) * w] for r in range(h)]


def mode(values):
    counts = {}
    for v in values:
        counts[v] = counts.get(v, 0) + 1
    return max(counts, key=counts.get)


def main(path, x, y, w, h):
    rows = gray_levels(path, x, y, w, h)
    text_from, text_to = 18, w - 24  # between the check-mark margin and the submenu arrows

    # A line of text: consecutive rows with ink that stands out from the row's
    # own background (light normally, dark where the selection is highlighted).
    def inked(row):
        bg = mode(row[text_from:text_to])
        return any(abs(v - bg) > 80 for v in row[text_from:text_to])

    lines, start = [], None
    for r in range(h + 1):
        if r < h and inked(rows[r]):
            if start is None:
                start = r
        elif start is not None:
            if r - start >= 5:  # separators are a row or two
                lines.append((start, r))
            start = None
    marks, grayed = [], []
    for a, b in lines:
        band = rows[a:b]
        bg = mode([v for row in band for v in row[text_from:text_to]])
        highlighted = bg < 200  # the selection colour; menus are near white
        margin = [v for row in rows[max(a - 2, 0):b + 2] for v in row[4:text_from - 2]]
        text = [v for row in band for v in row[text_from:text_to]]
        if highlighted:
            marks.append(int(any(v >= 200 for v in margin)))
            grayed.append(int(not any(v >= 230 for v in text)))
        else:
            marks.append(int(any(v <= 90 for v in margin)))
            grayed.append(int(not any(v <= 60 for v in text)))
    print(f"lines={len(lines)} marks={','.join(map(str, marks))} grayed={','.join(map(str, grayed))}")


if __name__ == "__main__":
    main(sys.argv[1], *map(int, sys.argv[2:6]))
