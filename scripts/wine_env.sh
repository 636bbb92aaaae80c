# Sourced by the scripts and the end-to-end harness: the Wine settings every
# run here uses, and helpers for an X display and a prefix.
export WINEDEBUG=${WINEDEBUG:--all}
# No sound device on build machines; keep the drivers quiet. No menu entries.
export WINEDLLOVERRIDES="winealsa.drv,winepulse.drv,wineoss.drv=d;winemenubuilder.exe=d"
# Wine's print spooler, loaded with the common dialogs, asks CUPS for printers
# in every process: point it at nothing so that it gives up at once.
export CUPS_SERVER=${CUPS_SERVER:-/nonexistent/cups.sock}
WINE64=/usr/lib/wine/wine64

# start_xvfb: a private X display in the background; sets DISPLAY and XVFB_PID.
start_xvfb() {
    local n
    for n in $(seq 60 140); do
        [ -e "/tmp/.X$n-lock" ] || [ -e "/tmp/.X11-unix/X$n" ] || break
    done
    Xvfb ":$n" -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
    XVFB_PID=$!
    export DISPLAY=":$n"
    for _ in $(seq 50); do [ -e "/tmp/.X11-unix/X$n" ] && return 0; sleep 0.1; done
    echo "Xvfb did not start on :$n" >&2
    return 1
}

# boot_prefix DIR: a Wine prefix, made once.
boot_prefix() {
    if [ ! -f "$1/system.reg" ]; then
        mkdir -p "$(dirname "$1")"
        WINEPREFIX="$1" wineboot -i >/dev/null 2>&1 || true
        WINEPREFIX="$1" wineserver -w
    fi
}
