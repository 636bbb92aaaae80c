#!/usr/bin/env bash
# The tray's icon at 100, 150 and 200 % (96, 144 and 192 DPI, set as
# LogPixels in a prefix of its own for each): the icon handed to the shell
# must have the system's small-icon size at that scale, and the system must
# see the program as DPI-aware (its small icon grows with the scale).
# Usage: dpi_test.sh TRAY_ICON_CHECK_EXE   (LINTORA_WINE: the loader;
# WINEPREFIX: the prefix copied for each scale)
set -uo pipefail
exe=$1
wine=${LINTORA_WINE:-/usr/lib/wine/wine}
work=$(mktemp -d /tmp/lintora-dpi.XXXXXX)
trap 'WINEPREFIX="$work/prefix" timeout 20 wineserver -k 2>/dev/null; rm -rf "$work"' EXIT
failures=0
for dpi in 96 144 192; do
    rm -rf "$work/prefix"
    cp -a "$WINEPREFIX" "$work/prefix"
    export WINEPREFIX="$work/prefix"
    "$wine" reg add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD /d "$dpi" /f >/dev/null 2>&1
    "$wine" reg add 'HKCC\Software\Fonts' /v LogPixels /t REG_DWORD /d "$dpi" /f >/dev/null 2>&1
    timeout 20 wineserver -w
    got=$("$wine" "$exe" 2>/dev/null | tr -d '\r')
    small=$((16 * dpi / 96))
    if [ "$got" = "dpi=$dpi small=$small icon=$small" ]; then
        echo "ok: at $dpi DPI the tray gets a $small px icon"
    else
        echo "FAIL: at $dpi DPI: expected dpi=$dpi small=$small icon=$small, saw $got"
        failures=$((failures + 1))
    fi
    timeout 20 wineserver -k 2>/dev/null
    WINEPREFIX=${WINEPREFIX%/*}/prefix
done
echo "$((3 - failures)) passed, $failures failed"
exit $((failures > 0))
