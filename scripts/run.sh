#!/usr/bin/env bash
# Builds Lintora and starts it under Wine in a virtual desktop, on $DISPLAY
# or, when there is none, on a private Xvfb display (a screenshot of it is
# saved after a few seconds). Runs until Lintora exits (menu "Exit").
# Runs the i686 release, build/win32/Lintora.exe, under 32-bit Wine; where
# this machine cannot run 32-bit programs, the x86_64 build of the same sources.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
source scripts/wine_env.sh

bash scripts/install_deps.sh
choose_program_under_test
toolchain=cmake/mingw-x86_64.cmake
[ "$LINTORA_TREE" = win32 ] && toolchain=cmake/mingw-i686.cmake
cmake -S . -B "build/$LINTORA_TREE" -DCMAKE_TOOLCHAIN_FILE=$toolchain >/dev/null
cmake --build "build/$LINTORA_TREE" -j"$(nproc)" --target Lintora

# Lintora keeps "config.ini" beside its executable: give it a folder of its own.
mkdir -p build/run
cp "build/$LINTORA_TREE/Lintora.exe" build/run/Lintora.exe
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
"$LINTORA_WINE" explorer /desktop=Lintora,1024x768 "$root/build/run/Lintora.exe"
