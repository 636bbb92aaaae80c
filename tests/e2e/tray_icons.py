#!/usr/bin/env python3
"""What the notification area of a 1024x768 Wine desktop shows.

  tray_icons.py SHOT.png --where   prints "X Y", the middle of the icons
  tray_icons.py SHOT.png   prints "broken=N connected=N icons=N": the pixels
                           of the Broken icon's dark red and of the Connected
                           icon's green in the right end of the task bar, and
                           the number of separate icons there.
"""
import subprocess
import sys

X0, Y0, W, H = 880, 748, 144, 20  # the right end of the task bar


def pixels(path):
    raw = subprocess.run(
        ["convert", path, "-crop", f"{W}x{H}+{X0}+{Y0}", "+repage", "-depth", "8", "rgb:-"],
        check=True, capture_output=True).stdout
    return [raw[i:i + 3] for i in range(0, len(raw), 3)]


def is_red(p):
    return p[0] > 110 and p[1] < 70 and p[2] < 70


def is_green(p):
    return p[1] > 110 and p[0] < 100 and p[2] < 110


def main(path):
    px = pixels(path)
    red = sum(1 for p in px if is_red(p))
    green = sum(1 for p in px if is_green(p))
    # Icons are runs of coloured columns; gaps narrower than 5 columns are inside one icon.
    columns = [any(is_red(px[y * W + x]) or is_green(px[y * W + x]) for y in range(H)) for x in range(W)]
    icons, gap, first, last = 0, 99, None, None
    for x, coloured in enumerate(columns):
        if coloured:
            if gap >= 5:
                icons += 1
            gap = 0
            first = x if first is None else first
            last = x
        else:
            gap += 1
    if len(sys.argv) > 2 and sys.argv[2] == "--where":
        # The middle of the icons, in desktop coordinates, for clicking.
        print(f"{X0 + (first + last) // 2 if first is not None else -1} {Y0 + H // 2}")
        return
    print(f"broken={red} connected={green} icons={icons}")


if __name__ == "__main__":
    main(sys.argv[1])
