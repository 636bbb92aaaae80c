#!/usr/bin/env bash
# How good the line is, not only whether it is up: the far side answers echo
# through a responder of the test's own (the far kernel's echo off), first
# at once and losing nothing, then 150 ms late and losing one in ten. The
# tip's round trip, the hour's row of connection-quality.csv, and its strip
# in the History: no poor hour on the good line; amber on the bad one.
source "$(dirname "$0")/harness.sh"
LINTORA_EXE=$1
PEEK_EXE=$2
e2e_init quality
e2e_far_network
e2e_start_display
install_lintora $'[config]\nping_time_interval=1'
RECORD="$APP_DIR/connection-quality.csv"
in_far sysctl -q -w net.ipv4.icmp_echo_ignore_all=1
start_bg ip netns exec "$E2E_FAR_NS" python3 "$E2E_DIR/icmp_tool.py" listen "$E2E_WORK/https.log"
RESPONDER=""
responder() {  # responder LOSS DELAY_MS: the hosts' echo answers from now on
    if [ -n "$RESPONDER" ]; then kill "$RESPONDER"; wait "$RESPONDER" 2>/dev/null || true; fi
    start_bg ip netns exec "$E2E_FAR_NS" python3 "$E2E_DIR/icmp_tool.py" respond "$1" "$2" "$E2E_WORK/answers.log" \
        "${FAR_ADDRESSES[@]}"
    RESPONDER=$LAST_PID
}
# The tip of the icon, read while the pointer rests on it.
tip() {
    local x y
    read -r x y < <(python3 "$E2E_DIR/tray_icons.py" "$(screenshot)" --where)
    xdotool mousemove "$x" "$y"
    sleep 2
    peek tooltips | grep 'Internet connection' | head -n 1
    xdotool mousemove 300 300
}
# run NAME SECONDS: a run of that long, Connected, ended by Exit (which writes the hour's row).
run() {
    start_lintora "$1"
    check "$1: Connected" wait_until 30 bash -c '[ "$(tr -d "\r" <"$1" | tail -n 1 | cut -d, -f2)" = Connected ]' _ \
        "$APP_DIR/connection-log.csv"
    sleep "$2"
}
exit_run() {
    peek command 107 >/dev/null
    check "$1: Exit" wait_until 20 exited_with "$1" 0
}
# The hour's row: "requests answered lost median p95 max" of the record's last row.
last_hour() { tr -d '\r' <"$RECORD" | tail -n 1 | cut -d, -f2- | tr ',' ' '; }
history_has_poor_hour() {
    peek command 120 >/dev/null
    wait_until 10 peek_matches 'found=1 visible=1*' history || return 2
    sleep 2
    local x y w h strips
    read -r x y w h < <(peek history | LC_ALL=C sed 's/.* x=\([0-9-]*\) y=\([0-9-]*\) w=\([0-9]*\) h=\([0-9]*\) .*/\1 \2 \3 \4/')
    strips=$(python3 "$E2E_DIR/history_strips.py" "$(screenshot history)" "$x" "$y" "$w" "$h")
    e2e_log "today's strip: $(echo "$strips" | tail -n 1)"
    keys Escape
    echo "$strips" | tail -n 1 | grep -q 'poor@'
}

# A good line: at once, nothing lost.
responder 0 0
run good 40
e2e_log "the tip: $(tip)"
exit_run good
read -r requests answered lost median p95 max < <(last_hour)
e2e_log "good hour: $requests requests, $answered answered, $lost % lost, median $median ms, p95 $p95, max $max"
expect_eq "good: nothing lost" "0.0" "$lost"
check "good: the median a few ms" bash -c '(($1 < 40))' _ "$median"
run good-again 5
no_poor_hour() { ! history_has_poor_hour; }
check "good: no poor hour in the History" no_poor_hour
exit_run good-again

# A bad line: 150 ms late, one in ten lost. A new record, so that the hour is this line's alone.
rm -f "$RECORD" "$APP_DIR/connection-log.csv"
responder 10 150
run bad 60
told=$(tip)
e2e_log "the tip: $told"
shown=$(sed -n 's/.* \xc2\xb7 \([0-9]*\) ms$/\1/p' <<<"$told")
check "the tip's round trip within 40 ms of 150 ($shown)" bash -c '[ -n "$1" ] && (($1 >= 110 && $1 <= 190))' _ "$shown"
exit_run bad
read -r requests answered lost median p95 max < <(last_hour)
e2e_log "bad hour: $requests requests, $answered answered, $lost % lost, median $median ms, p95 $p95, max $max"
check "bad: between 4 and 20 % lost ($lost)" bash -c '[ -n "$1" ] && awk -v l="$1" "BEGIN { exit !(l >= 4 && l <= 20) }"' _ "$lost"
check "bad: the median within 40 ms of 150 ($median)" bash -c '(($1 >= 110 && $1 <= 190))' _ "$median"
expect_eq "the record's header" "hour,requests,answered,lost_percent,median_ms,p95_ms,max_ms" "$(head -n 1 "$RECORD" | tr -d '\r')"
run bad-again 5
check "bad: the hour is amber in the History" history_has_poor_hour
[ -n "${LINTORA_SHOTS:-}" ] && peek command 120 >/dev/null && sleep 2 && cp "$(screenshot)" "$LINTORA_SHOTS/history-amber-full.png"
exit_run bad-again
e2e_finish
