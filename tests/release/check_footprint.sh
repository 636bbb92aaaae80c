#!/usr/bin/env bash
# The 32-bit release checked for what it is made of (the end-to-end tests run it):
# a GUI program for i386 of at most 80 KiB with its icons, importing only DLLs
# that Windows ships, carrying the manifest.
set -uo pipefail
exe=$1
manifest=$2
failures=0
check() {
    local what=$1
    shift
    if "$@"; then echo "ok: $what"; else echo "FAIL: $what"; failures=$((failures + 1)); fi
}

size=$(stat -c %s "$exe")
headers=$(i686-w64-mingw32-objdump -p "$exe")
dlls=$(echo "$headers" | sed -n 's/^\s*DLL Name: //p' | tr 'a-z' 'A-Z' | sort)
echo "size: $size bytes"
echo "imports: $(echo $dlls)"

check "at most 80 KiB" [ "$size" -le 81920 ]
check "an i386 program" grep -q 'file format pei-i386' <<<"$(i686-w64-mingw32-objdump -f "$exe")"
check "GUI subsystem" grep -Eq '^Subsystem\s+00000002' <<<"$headers"
allowed="ADVAPI32.DLL COMCTL32.DLL COMDLG32.DLL IPHLPAPI.DLL KERNEL32.DLL MSVCRT.DLL SHELL32.DLL USER32.DLL WINMM.DLL WS2_32.DLL"
for dll in $dlls; do
    check "$dll is a DLL Windows ships" grep -qw "$dll" <<<"$allowed"
done
check "no C++ runtime or thread library DLL" bash -c "! grep -Eqi 'libstdc|libgcc|winpthread' <<<'$dlls'"
check "manifest for X86" grep -q 'processorArchitecture="X86"' "$manifest"
# The manifest is stored as it stands in the resource section.
check "manifest embedded" grep -q 'Microsoft.Windows.Common-Controls' "$exe"
icons=$(($(stat -c %s "$(dirname "$0")/../../res/icons/broken.ico") + $(stat -c %s "$(dirname "$0")/../../res/icons/connected.ico")))
rsrc=$((0x$(i686-w64-mingw32-objdump -h "$exe" | awk '$2 == ".rsrc" {print $3}')))
check "resources hold both icon files ($rsrc >= $icons bytes)" [ "$rsrc" -ge "$icons" ]
exit $((failures > 0))
