#!/usr/bin/env python3
"""Draws a histogram of detection latencies as a PNG with ImageMagick.

  histogram.py OUT.png LATENCIES.tsv   (lines "up|down SECONDS")
"""
import subprocess
import sys


def main(out, path):
    rows = [line.split() for line in open(path) if line.strip()]
    data = {"up": [float(v) for k, v in rows if k == "up"], "down": [float(v) for k, v in rows if k == "down"]}
    top = max([v for vs in data.values() for v in vs] + [1.0])
    width_s = 1.0
    bins = int(top // width_s) + 1
    counts = {k: [0] * bins for k in data}
    for k, vs in data.items():
        for v in vs:
            counts[k][int(v // width_s)] += 1
    peak = max(max(c) for c in counts.values()) or 1
    W, H, left, bottom, top_m = 900, 420, 60, 50, 40
    plot_w, plot_h = W - left - 20, H - bottom - top_m
    bar = plot_w / bins
    draw = []
    colours = {"up": "#2e8b57", "down": "#b22222"}
    for k, offset in (("up", 0.0), ("down", 0.5)):
        for i, c in enumerate(counts[k]):
            if c:
                x0 = left + i * bar + offset * bar
                x1 = x0 + bar * 0.5 - 1
                y1 = H - bottom
                y0 = y1 - c / peak * plot_h
                draw += ["-fill", colours[k], "-draw", f"rectangle {x0:.1f},{y0:.1f} {x1:.1f},{y1:.1f}"]
    axes = ["-fill", "none", "-stroke", "black", "-draw", f"line {left},{H - bottom} {W - 20},{H - bottom}",
            "-draw", f"line {left},{top_m} {left},{H - bottom}", "-stroke", "none", "-fill", "black"]
    labels = []
    for i in range(0, bins + 1, max(1, bins // 15)):
        labels += ["-draw", f"text {left + i * bar - 4:.0f},{H - bottom + 16} '{i * width_s:g}'"]
    labels += ["-draw", f"text {left - 40},{top_m + 10} '{peak}'",
               "-draw", f"text {W // 2 - 120},{H - 12} 'seconds from the change to the status window'",
               "-fill", colours["up"], "-draw", f"text {left + 20},{top_m - 15} 'restored (n={len(data['up'])})'",
               "-fill", colours["down"], "-draw", f"text {left + 200},{top_m - 15} 'lost (n={len(data['down'])})'"]
    subprocess.run(["convert", "-size", f"{W}x{H}", "xc:white", "-font", "DejaVu-Sans", "-pointsize", "13"] + draw + axes + labels + [out], check=True)


if __name__ == "__main__":
    main(sys.argv[1], sys.argv[2])
