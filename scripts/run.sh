#!/usr/bin/env bash
# Builds Lintora and starts it under Wine in a virtual desktop, on $DISPLAY
# or, when there is none, on a private Xvfb display (a screenshot of it is
# saved after a few seconds). Runs until Lintora exits (menu "Exit").
# Builds the 64-bit program, which runs here; the 32-bit release is
# build/win32/Lintora.exe (scripts/test.sh builds and checks it).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
source scripts/wine_env.sh

bash scripts/install_deps.sh
cmake -S . -B build/win64 -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-x86_64.cmake >/dev/null
cmake --build build/win64 -j"$(nproc)" --target Lintora

# Lintora keeps "config.ini" beside its executable: give it a folder of its own.
mkdir -p build/run
cp build/win64/Lintora.exe build/run/Lintora.exe
export WINEPREFIX=${WINEPREFIX:-$root/build/wine/run}
boot_prefix "$WINEPREFIX"

XVFB_PID=""
trap '[ -n "$XVFB_PID" ] && kill "$XVFB_PID" 2>/dev/null; true' EXIT
if [ -z "${DISPLAY:-}" ]; then
    start_xvfb
    echo "No DISPLAY: Lintora runs on the Xvfb display $DISPLAY;" \
         "a screenshot goes to build/run/screen.png in 10 s."
    (sleep 10 && import -window root build/run/screen.png 2>/dev/null) &
fi
echo "Starting Lintora (right-click its icon in the desktop's task bar for the menu)."
"$WINE64" explorer /desktop=Lintora,1024x768 "$root/build/run/Lintora.exe"
