#!/usr/bin/env bash
# The tray's icon and the status window at 100, 150 and 200 % (96, 144 and
# 192 DPI, set as LogPixels in a prefix of its own for each): the icon handed
# to the shell must have the system's small-icon size at that scale (the
# system sees the program as DPI-aware: its small icon grows with the scale),
# and the status window must grow with the scale, drawn at it rather than
# stretched. With LINTORA_SHOTS and a display, the window at 150 % and 200 %
# is kept as status-window-150.png and status-window-200.png there.
# Usage: dpi_test.sh TRAY_ICON_CHECK_EXE   (LINTORA_WINE: the loader;
# WINEPREFIX: the prefix copied for each scale)
set -uo pipefail
exe=$1
wine=${LINTORA_WINE:-/usr/lib/wine/wine}
work=$(mktemp -d /tmp/lintora-dpi.XXXXXX)
trap 'WINEPREFIX="$work/prefix" timeout 20 wineserver -k 2>/dev/null; rm -rf "$work"' EXIT
failures=0
source_prefix=$WINEPREFIX
for dpi in 96 144 192; do
    rm -rf "$work/prefix"
    cp -a "$source_prefix" "$work/prefix"
    export WINEPREFIX="$work/prefix"
    "$wine" reg add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD /d "$dpi" /f >/dev/null 2>&1
    "$wine" reg add 'HKCC\Software\Fonts' /v LogPixels /t REG_DWORD /d "$dpi" /f >/dev/null 2>&1
    # A Wine desktop of its own on the display, where a screenshot finds the window.
    "$wine" reg add 'HKCU\Software\Wine\Explorer' /v Desktop /d shell /f >/dev/null 2>&1
    "$wine" reg add 'HKCU\Software\Wine\Explorer\Desktops' /v shell /d 1024x768 /f >/dev/null 2>&1
    timeout 20 wineserver -w
    if [ -n "${LINTORA_SHOTS:-}" ] && [ -n "${DISPLAY:-}" ] && [ "$dpi" != 96 ]; then
        "$wine" "$exe" 20 >"$work/out" 2>/dev/null &  # no pipe: each line as it is printed
        for _ in $(seq 60); do grep -q '^status=' "$work/out" && break; sleep 0.5; done
        sleep 4  # the desktop and the window drawn
        read -r x y w h < <(tr -d '\r' <"$work/out" | sed -n 's/^status=//p')
        import -window root "$work/shot.png" &&
            convert "$work/shot.png" -crop $((w + 20))x$((h + 20))+$((x - 10))+$((y - 10)) +repage \
                "$LINTORA_SHOTS/status-window-$((dpi * 100 / 96)).png"
        wait
    else
        "$wine" "$exe" 2>/dev/null | tr -d '\r' >"$work/out"
    fi
    got=$(tr -d '\r' <"$work/out" | head -n 1)
    read -r _ _ width height < <(tr -d '\r' <"$work/out" | sed -n 's/^status=//p')
    [ "$dpi" = 96 ] && { width96=$width; height96=$height; }
    small=$((16 * dpi / 96))
    if [ "$got" = "dpi=$dpi small=$small icon=$small" ]; then
        echo "ok: at $dpi DPI the tray gets a $small px icon"
    else
        echo "FAIL: at $dpi DPI: expected dpi=$dpi small=$small icon=$small, saw $got"
        failures=$((failures + 1))
    fi
    # Its font comes in the sizes the face has, so the scale is met within 12 %.
    within() { (($1 * 96 * 100 >= $2 * $3 * 88 && $1 * 96 * 100 <= $2 * $3 * 112)); }  # within SIZE SIZE_AT_96 DPI
    if [ "$dpi" != 96 ] && [ -n "$width" ] && within "$width" "$width96" "$dpi" && within "$height" "$height96" "$dpi"; then
        echo "ok: at $dpi DPI the status window is ${width}x$height (${width96}x$height96 at 96)"
    elif [ "$dpi" != 96 ]; then
        echo "FAIL: at $dpi DPI the status window is ${width:-?}x${height:-?}, at 96 ${width96}x$height96"
        failures=$((failures + 1))
    fi
    timeout 20 wineserver -k 2>/dev/null
done
echo "$((5 - failures)) passed, $failures failed"
exit $((failures > 0))
