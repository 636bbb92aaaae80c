#!/usr/bin/env bash
# Renders the two state icons from their vector sources into .ico files with
# six images each: 48, 32 and 16 pixels at 8 bits per pixel (255 colours and a
# transparency mask), then 48 at 32 bits with alpha, 32 at 24 bits and 16 at
# 32 bits with alpha; then 20, 24 and 40 pixels at 32 bits stored as PNG, for
# the tray and the windows at 125 to 250 % (Vista and later read them; XP
# takes the six, which come first). The 8-bit images keep only the colours
# they use. Needs librsvg2-bin (rsvg-convert), icoutils (icotool)
# and imagemagick (convert). Run it after changing an .svg; commit the .ico.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

for name in broken connected; do
    for size in 48 40 32 24 20 16; do
        rsvg-convert -w "$size" -h "$size" "$here/$name.svg" -o "$work/$name-$size.png"
    done
    for size in 48 32 16; do
        # Fully transparent or opaque pixels for the 8-bit images, whose mask has one bit.
        convert "$work/$name-$size.png" -channel A -threshold 50% +channel \
            -colors 255 "PNG32:$work/$name-$size-8.png"
    done
    for size in 40 24 20; do
        convert "$work/$name-$size.png" "PNG32:$work/$name-$size-32.png"
    done
    icotool -c -o "$here/$name.ico" \
        -b 8 "$work/$name-48-8.png" -b 8 "$work/$name-32-8.png" -b 8 "$work/$name-16-8.png" \
        -b 32 "$work/$name-48.png" -b 24 "$work/$name-32.png" -b 32 "$work/$name-16.png" \
        -r "$work/$name-20-32.png" -r "$work/$name-24-32.png" -r "$work/$name-40-32.png"
done
"$here/trim_palettes.py" "$here/broken.ico" "$here/connected.ico"
