#!/usr/bin/env bash
# Measures Lintora and writes docs/benchmarks.md: footprint, detection latency
# (with a histogram), the verdicts on a network shaped like a PC's, soak, idle
# cost and fuzzing. Needs root; the live parts run side by side, and take
# about an hour with the defaults:
#   bash bench/run_benchmarks.sh [CHANGES_EACH_WAY=50] [IDLE_SECONDS=600] [FUZZ_RUNS=10000000] [LOSSY_PROBES=200]
set -uo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
source scripts/wine_env.sh
CHANGES=${1:-50}
IDLE=${2:-600}
FUZZ_RUNS=${3:-10000000}
LOSSY_PROBES=${4:-200}
OUT=$root/build/bench
rm -rf "$OUT"
mkdir -p "$OUT"

bash scripts/install_deps.sh
choose_program_under_test
e2e_in() { [ "$LINTORA_TREE" = "$1" ] && echo ON || echo OFF; }
cmake -S . -B build/win32 -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-i686.cmake -DLINTORA_RUN_WINDOWS_TESTS="$(e2e_in win32)" \
    -DLINTORA_E2E="$(e2e_in win32)" >/dev/null && cmake --build build/win32 -j2 >/dev/null || exit 1
cmake -S . -B build/win64 -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-x86_64.cmake -DLINTORA_E2E="$(e2e_in win64)" >/dev/null &&
    cmake --build build/win64 -j2 >/dev/null || exit 1
CC=clang CXX=clang++ cmake -S . -B build/fuzz -DLINTORA_FUZZ=ON -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null &&
    cmake --build build/fuzz -j2 >/dev/null || exit 1
boot_prefix "$root/build/wine/template"
export LINTORA_WINE_TEMPLATE="$root/build/wine/template"

# Fuzzing, natively with the sanitizers.
for target in echo_reply echo_reply6 log_reader quality_reader setting_values wave_format web_answer; do
    max_len=400
    [ "$target" = web_answer ] && max_len=3000  # past the reader's 2 KiB
    build/fuzz/tests/fuzz/${target}_fuzz -runs="$FUZZ_RUNS" -seed=1 -max_len=$max_len -print_final_stats=1 \
        tests/fuzz/corpus/$target >"$OUT/fuzz-$target.log" 2>&1
    echo "$?" >"$OUT/fuzz-$target.status"
done

# The History window opened on a full log, under Wine.
(
    export WINEPREFIX="$OUT/history-prefix"
    cp -a "$LINTORA_WINE_TEMPLATE" "$WINEPREFIX" && start_xvfb >/dev/null &&
        "$LINTORA_WINE" "build/$LINTORA_TREE/tests/win/history_open_bench.exe" 20 2>/dev/null | tr -d '\r' \
            >"$OUT/history-open.txt"
    timeout 20 wineserver -k 2>/dev/null
    kill "$XVFB_PID" 2>/dev/null
)

# The live parts, each in namespaces, a prefix and a display of its own.
part() { bash bench/network_benchmarks.sh "$OUT" "$1" "$2" >"$OUT/$1.log" 2>&1 || echo "part $1 failed: $OUT/$1.log"; }
bash bench/live_benchmarks.sh "$OUT" "$CHANGES" "${MIN_PROBES:-1000}" "$IDLE" >"$OUT/live.log" 2>&1 &
(part cable "$CHANGES"; part outage "$CHANGES") &
(part resume "$CHANGES"; part dropped 600) &
part lossy-30 "$LOSSY_PROBES" &
part lossy-50 "$LOSSY_PROBES" &
(part router-use "$CHANGES"; part stall "$CHANGES") &
(part router-idle "$CHANGES"; part switch "$CHANGES") &
(part router-call "$CHANGES"; part router-chatter "$CHANGES") &
(part router-names "$CHANGES"; part router-again "$CHANGES") &
part quiet "$IDLE" &
part causes 20 &  # rounds of four causes each: about 50 minutes
(part proxy 20; part ipv6 20) &
wait

python3 bench/histogram.py docs/latency-histogram.png <(tr '\t' ' ' <"$OUT/latency.tsv")
python3 bench/report.py "$OUT" "$CHANGES" "$IDLE" "$FUZZ_RUNS" "$LOSSY_PROBES" >docs/benchmarks.md
echo "wrote docs/benchmarks.md"
