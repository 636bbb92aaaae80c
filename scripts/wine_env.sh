# Sourced by the scripts and the end-to-end harness: the Wine settings every
# run here uses, the choice of the program under test, and helpers for an X
# display and a prefix.
export WINEDEBUG=${WINEDEBUG:--all}
# No sound device on build machines; keep the drivers quiet. No menu entries.
# (The end-to-end harness turns ALSA back on where a test listens.)
export WINEDLLOVERRIDES="winealsa.drv,winepulse.drv,wineoss.drv=d;winemenubuilder.exe=d"
# Wine's print spooler, loaded with the common dialogs, asks CUPS for printers
# in every process: point it at nothing so that it gives up at once.
export CUPS_SERVER=${CUPS_SERVER:-/nonexistent/cups.sock}
# Wine spells Unix file names in the locale's character set: UTF-8, so that
# folder names in any script reach the program intact.
if [ "$(locale charmap 2>/dev/null)" != UTF-8 ]; then export LC_ALL=C.UTF-8; fi
WINE64=/usr/lib/wine/wine64
WINE32=/usr/lib/wine/wine

# runs_32bit_programs: true where the kernel runs 32-bit x86 programs. Tried
# with the smallest such program (exit(0) through int 0x80), since some
# kernels have that support switched off ("Exec format error").
runs_32bit_programs() {
    local probe
    probe=$(mktemp /tmp/lintora-elf32.XXXXXX)
    printf '\x7fELF\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00\x02\x00\x03\x00\x01\x00\x00\x00\x54\x80\x04\x08\x34\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x34\x00\x20\x00\x01\x00\x28\x00\x00\x00\x00\x00''\x01\x00\x00\x00\x00\x00\x00\x00\x00\x80\x04\x08\x00\x80\x04\x08\x5d\x00\x00\x00\x5d\x00\x00\x00\x05\x00\x00\x00\x00\x10\x00\x00''\xb8\x01\x00\x00\x00\x31\xdb\xcd\x80' >"$probe"
    chmod +x "$probe"
    "$probe" 2>/dev/null
    local status=$?
    rm -f "$probe"
    return "$status"
}

# choose_program_under_test: the i686 release under 32-bit Wine where that
# runs, else the x86_64 build under 64-bit Wine: where the kernel runs no
# 32-bit programs, or where the 32-bit loader (wine32:i386) could not be
# installed. Sets LINTORA_TREE (the build folder) and LINTORA_WINE (the
# loader), and says so in one line, with the reason, when it falls back.
choose_program_under_test() {
    if [ -x "$WINE32" ] && "$WINE32" --version >/dev/null 2>&1; then
        LINTORA_TREE=win32
        LINTORA_WINE=$WINE32
    else
        LINTORA_TREE=win64
        LINTORA_WINE=$WINE64
        if runs_32bit_programs; then
            echo "wine32:i386 is not installed (it could not be): testing and running the x86_64 build instead of the i686 release"
        else
            echo "32-bit programs cannot run here: testing and running the x86_64 build instead of the i686 release"
        fi
    fi
    export LINTORA_TREE LINTORA_WINE
}

# start_xvfb [WIDTHxHEIGHT]: a private X display in the background (1024x768
# unless told); sets DISPLAY and XVFB_PID. The server picks a free display
# number itself, so that displays started side by side never share one.
start_xvfb() {
    local number_file n
    number_file=$(mktemp)
    Xvfb -displayfd 3 -screen 0 "${1:-1024x768}x24" -nolisten tcp 3>"$number_file" >/dev/null 2>&1 &
    XVFB_PID=$!
    for _ in $(seq 50); do [ -s "$number_file" ] && break; sleep 0.1; done
    n=$(cat "$number_file")
    rm -f "$number_file"
    [ -n "$n" ] || { echo "Xvfb did not start" >&2; return 1; }
    export DISPLAY=":$n"
}

# boot_prefix DIR: a Wine prefix, made once (by the 64-bit loader, which makes
# the 32-bit half too where 32-bit Wine is installed).
boot_prefix() {
    if [ ! -f "$1/system.reg" ]; then
        mkdir -p "$(dirname "$1")"
        WINEPREFIX="$1" "$WINE64" wineboot -i >/dev/null 2>&1 || true
        WINEPREFIX="$1" wineserver -w
    fi
}
