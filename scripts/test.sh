#!/usr/bin/env bash
# Builds everything and runs every test: the native unit tests (sanitizers),
# the Windows tests under Wine (both builds where both run), the end-to-end
# tests in network namespaces on the i686 release (on the x86_64 build where
# 32-bit programs cannot run), and the checks of the release. Needs root.
# Ends with one line "tests: N passed, N failed".
set -uo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
source scripts/wine_env.sh

bash scripts/install_deps.sh || exit 1
# Screenshots for the README, when asked for: LINTORA_SHOTS=docs.
[ -n "${LINTORA_SHOTS:-}" ] && export LINTORA_SHOTS=$(cd "$LINTORA_SHOTS" && pwd)

build() {  # build DIR [cmake options...]
    local dir=$1
    shift
    cmake -S . -B "build/$dir" "$@" >"build/$dir.configure.log" 2>&1 || { cat "build/$dir.configure.log"; return 1; }
    cmake --build "build/$dir" -j"$(nproc)" || return 1
}
choose_program_under_test
on_if() { [ "$1" = "$2" ] && echo ON || echo OFF; }
runs32=$(on_if "$LINTORA_TREE" win32)
mkdir -p build
build native -DCMAKE_BUILD_TYPE=Debug -DLINTORA_TESTS=ON || exit 1
build win64 -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-x86_64.cmake -DLINTORA_TESTS=ON \
    -DLINTORA_E2E="$(on_if "$LINTORA_TREE" win64)" || exit 1
build win32 -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-i686.cmake -DLINTORA_TESTS=ON \
    -DLINTORA_RUN_WINDOWS_TESTS="$runs32" -DLINTORA_E2E="$runs32" || exit 1
CC=clang CXX=clang++ build fuzz -DCMAKE_BUILD_TYPE=RelWithDebInfo -DLINTORA_TESTS=ON -DLINTORA_FUZZ=ON || exit 1

XVFB_PID=""
cleanup() {
    [ -n "${WINEPREFIX:-}" ] && timeout 20 wineserver -k 2>/dev/null
    [ -n "$XVFB_PID" ] && kill "$XVFB_PID" 2>/dev/null
}
trap cleanup EXIT

# One prefix for the Windows tests, and a booted template that each
# end-to-end test copies for its own namespace.
boot_prefix "$root/build/wine/template"
export LINTORA_WINE_TEMPLATE="$root/build/wine/template"
[ -f "$root/build/wine/tests/system.reg" ] || cp -a "$LINTORA_WINE_TEMPLATE" "$root/build/wine/tests"
export WINEPREFIX="$root/build/wine/tests"
start_xvfb || exit 1
# A warm wineserver, and Wine's services started now: ctest waits for every
# process that holds a test's output, and these would hold the first test's.
wineserver -p
"$WINE64" cmd /c exit </dev/null >/dev/null 2>&1

passed=0
failed=0
run_ctest() {  # run_ctest DIR [ctest options]
    local dir=$1
    shift
    local log="build/$dir.ctest.log"
    (cd "build/$dir" && ctest --output-on-failure --timeout 600 "$@") 2>&1 | tee "$log"
    local line
    line=$(grep -E '[0-9]+% tests passed, [0-9]+ tests? failed out of [0-9]+' "$log" | tail -n 1)
    if [ -z "$line" ]; then
        echo "no test summary from build/$dir"
        failed=$((failed + 1))
        return
    fi
    local bad total
    bad=$(echo "$line" | sed -E 's/.* ([0-9]+) tests? failed out of ([0-9]+).*/\1/')
    total=$(echo "$line" | sed -E 's/.* out of ([0-9]+).*/\1/')
    passed=$((passed + total - bad))
    failed=$((failed + bad))
}
run_ctest native
run_ctest fuzz -R '^fuzz\.'
run_ctest win32
run_ctest win64

echo
echo "tests: $passed passed, $failed failed"
[ "$failed" -eq 0 ]
