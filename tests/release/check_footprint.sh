#!/usr/bin/env bash
# The release checked for what it is made of (the end-to-end tests run it): a
# GUI program of at most 160 KiB (the i686 release) with its icons, started
# at its own entry without the C runtime's start-up code (no thread-local
# storage, none of that code's imports: the program has nothing for it to
# run), importing
# only DLLs that Windows loads from its own folder whatever lies beside the
# program, carrying the manifest, and asking for a random load address and
# data that never runs. The x86_64 build is checked the same way, but for its
# size, and also asks for high-entropy addresses.
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
format=$(i686-w64-mingw32-objdump -f "$exe" 2>/dev/null || x86_64-w64-mingw32-objdump -f "$exe")
if grep -q 'file format pei-i386' <<<"$format"; then objdump=i686-w64-mingw32-objdump; arch=X86; else objdump=x86_64-w64-mingw32-objdump; arch=amd64; fi
headers=$($objdump -p "$exe")
dlls=$(echo "$headers" | sed -n 's/^\s*DLL Name: //p' | tr 'a-z' 'A-Z' | sort)
echo "size: $size bytes"
echo "imports: $(echo $dlls)"

if [ "$arch" = X86 ]; then
    check "at most 160 KiB" [ "$size" -le 163840 ]
fi
# Entry 9 of the data directories: zero where there is no thread-local
# storage. MinGW's thread_local is emulated instead, with TlsAlloc and its
# thread library (36 KiB), which this start-up never readies either.
check "no TLS directory" grep -Eq '^Entry 9 0+ 0+ ' <<<"$headers"
imported=$(echo "$headers" | sed -n 's/^\s*[0-9a-f]\+\s\+[0-9]\+\s\+\([_A-Za-z0-9@]\+\)$/\1/p')
for startup in _initterm __getmainargs _onexit __dllonexit atexit _amsg_exit __set_app_type TlsAlloc; do
    check "no $startup (start-up code or thread storage this program leaves out)" bash -c "! grep -qx '$startup' <<<'$imported'"
done
check "GUI subsystem" grep -Eq '^Subsystem\s+00000002' <<<"$headers"
# Known DLLs, and comctl32 (the manifest names its version 6).
allowed="ADVAPI32.DLL COMCTL32.DLL COMDLG32.DLL GDI32.DLL KERNEL32.DLL MSVCRT.DLL SHELL32.DLL USER32.DLL WS2_32.DLL"
for dll in $dlls; do
    check "$dll is loaded from the system folder only" grep -qw "$dll" <<<"$allowed"
done
characteristics=$((0x$(sed -n 's/^DllCharacteristics\s*//p' <<<"$headers")))
check "random load address (dynamic base)" [ $((characteristics & 0x40)) -ne 0 ]
check "data never executable (NX compatible)" [ $((characteristics & 0x100)) -ne 0 ]
check "relocations kept" grep -Eq '^\s*[0-9]+ \.reloc ' <<<"$($objdump -h "$exe")"
# The line after a section's name holds its flags.
check "read-only data in a section of its own, read-only" \
    bash -c 'grep -EA1 "^\s*[0-9]+ \.rdata " | grep -q READONLY' <<<"$($objdump -h "$exe")"
if [ "$arch" = amd64 ]; then
    check "high-entropy addresses" [ $((characteristics & 0x20)) -ne 0 ]
fi
check "no C++ runtime or thread library DLL" bash -c "! grep -Eqi 'libstdc|libgcc|winpthread' <<<'$dlls'"
check "manifest for $arch" grep -q "processorArchitecture=\"$arch\"" "$manifest"
# The manifest is stored as it stands in the resource section.
check "manifest embedded" grep -q 'Microsoft.Windows.Common-Controls' "$exe"
icons=$(($(stat -c %s "$(dirname "$0")/../../res/icons/broken.ico") + $(stat -c %s "$(dirname "$0")/../../res/icons/connected.ico")))
rsrc=$((0x$($objdump -h "$exe" | awk '$2 == ".rsrc" {print $3}')))
check "resources hold both icon files ($rsrc >= $icons bytes)" [ "$rsrc" -ge "$icons" ]
exit $((failures > 0))
