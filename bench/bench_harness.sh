# What the live benchmarks share, on top of the end-to-end harness: the
# program under test, and its status window watched from outside.
source "$(dirname "${BASH_SOURCE[0]}")/../tests/e2e/harness.sh"

# The i686 release where 32-bit Wine runs, or the copy LINTORA_BENCH_EXE names
# (one build measured while the tree is rebuilt).
choose_program_under_test >/dev/null
LINTORA_EXE=${LINTORA_BENCH_EXE:-$SOURCE_DIR/build/$LINTORA_TREE/Lintora.exe}
PEEK_EXE=$SOURCE_DIR/build/$LINTORA_TREE/tests/e2e/lintora_peek.exe

BROKEN_TEXT="Internet connection is broken."
ESTABLISHED_TEXT="Internet connection is established."

now_ms() { date +%s%3N; }

# watch_status: a helper in the prefix polls the window every 10 ms and writes
# "UNIX_MS shown|hidden TEXT" at each change to $E2E_WORK/watch.log.
watch_status() {
    start_bg bash -c 'ip netns exec "$1" "$2" "$3" watch >"$4"' _ "$E2E_NS" "$LINTORA_WINE" "$PEEK_EXE" \
        "$E2E_WORK/watch.log"
}

# seconds_until_shown T0_MS TEXT LIMIT_SECONDS: how long after T0 the window
# showed a text that begins with TEXT (waiting for it up to the limit), or
# "missed". A line break in the window's text is written \n.
seconds_until_shown() {
    local seen="" deadline=$((SECONDS + $3))
    while [ -z "$seen" ] && [ $SECONDS -lt $deadline ]; do
        seen=$(TEXT=$2 awk -v t0="$1" '{ sub(/\r$/, "") }
            $1 >= t0 && index(substr($0, index($0, " ") + 1), "shown " ENVIRON["TEXT"]) == 1 { print $1; exit }' \
            "$E2E_WORK/watch.log")
        [ -z "$seen" ] && sleep 0.05
    done
    if [ -z "$seen" ]; then echo missed; else awk -v a="$seen" -v b="$1" 'BEGIN { printf "%.3f", (a - b) / 1000 }'; fi
}
