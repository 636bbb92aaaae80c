#!/usr/bin/env bash
# Where the break is on networks unlike a plain home router's: a router that
# never answers echo sent to itself, one whose echoes are lost one in two, a
# default route with no next hop, a cable pulled in the middle of a probe,
# a network gone as the computer goes to sleep, and a run that ends unseen.
# Read from the log: every row's cause in order, and the echo requests the
# router had for its own address.
source "$(dirname "$0")/harness.sh"
LINTORA_EXE=$1
PEEK_EXE=$2
e2e_init routers
e2e_far_network
e2e_start_display
install_lintora $'[config]\nping_time_interval=5\nuse_dialog_message=no'
LOG="$APP_DIR/connection-log.csv"
HOSTS=("${FAR_ADDRESSES[@]}")
# The far namespace's kernel answers no echo: a responder of the test's own
# answers, as each part says, and the probe hosts accept handshakes on 443.
in_far sysctl -q -w net.ipv4.icmp_echo_ignore_all=1
start_bg ip netns exec "$E2E_FAR_NS" python3 "$E2E_DIR/icmp_tool.py" listen "$E2E_WORK/https.log"
LISTENER=$LAST_PID
start_bg in_far python3 "$E2E_DIR/icmp_tool.py" capture "$E2E_WORK/far-icmp.log"
# gateway_echoes: echo requests the router has had for its own address
# (192.0.2.254 is c00002fe; each line is an IP datagram in hex).
gateway_echoes() { awk 'substr($0, 33, 8) == "c00002fe" && substr($0, 41, 2) == "08"' "$E2E_WORK/far-icmp.log" | wc -l; }
RESPONDER=""
responder() {  # responder LOSS [ADDRESS...]: the echo answers from now on
    if [ -n "$RESPONDER" ]; then kill "$RESPONDER"; wait "$RESPONDER" 2>/dev/null || true; fi
    start_bg ip netns exec "$E2E_FAR_NS" python3 "$E2E_DIR/icmp_tool.py" respond "$1" 0 "$E2E_WORK/answers.log" "${@:2}"
    RESPONDER=$LAST_PID
}
causes_are() { [ "$(causes)" = "$1" ]; }
last_state_is() { [ "$(last_row | cut -d' ' -f1)" = "$1" ]; }
# run NAME: a run of its own, with a log of its own, Connected first.
run() {
    rm -f "$LOG"
    start_lintora "$1"
    check "$1: Connected first" wait_until 30 states_are Connected
}
exit_run() {
    peek command 107 >/dev/null
    check "$1: Exit" wait_until 20 exited_with "$1" 0
}
# outage_holds NAME CAUSE: an outage past the router shows that cause, and
# nothing else in the 30 s that follow; it ends in Connected.
outage_holds() {
    local from=$SECONDS
    upstream lost
    if wait_until 25 causes_are "- $2"; then
        e2e_log "ok: $1: \"$2\" in $((SECONDS - from)) s"
    else
        e2e_fail "$1: not \"$2\" within 25 s: $(causes)"
    fi
    sleep 30
    expect_eq "$1: it holds still" "- $2" "$(causes)"
    upstream back
    check "$1: its end" wait_until 25 causes_are "- $2 -"
}

# A router that never answers echo: learned with three requests, asked
# once at each Broken verdict after that, and the outage is the internet's,
# never the router's.
responder 0 "${HOSTS[@]}"
run silent
sleep 12
expect_eq "silent: three echoes to learn the router, while Connected" 3 "$(gateway_echoes)"
outage_holds silent internet
asked=$(($(gateway_echoes) - 3))
check "silent: then one echo for each Broken verdict ($asked in about 50 s)" \
    bash -c '[ "$1" -ge 2 ] && [ "$1" -le 6 ]' _ "$asked"
exit_run silent

# A router that drops the first three echo requests it gets (rate-limited,
# or asleep on Wi-Fi) and answers from then on: learned as silent, it is
# asked at the Broken verdict all the same, and its answer places the break
# past it.
responder first3
run sleepy
sleep 12
outage_holds sleepy provider
exit_run sleepy

# A router that loses every other echo request: asked twice, 0.5 s apart,
# it is the provider's break every time, never the router's.
responder alternate
before=$(gateway_echoes)
run lossy
outage_holds lossy provider
e2e_log "lossy: $(($(gateway_echoes) - before)) echo requests to the router"

# A default route with no next hop, as tunnels and PPP have: no router is
# asked, and the break is the internet's.
ip -n "$E2E_NS" route replace default dev lpc
sleep 8
before=$(gateway_echoes)
upstream lost
check "no next hop: Broken" wait_until 25 last_state_is Broken
expect_eq "no next hop: the internet" "Broken internet" "$(last_row)"
expect_eq "no next hop: no router asked" "$before" "$(gateway_echoes)"
upstream back
ip -n "$E2E_NS" route replace default via 192.0.2.254
check "no next hop: its end" wait_until 25 last_state_is Connected
exit_run lossy

# The cable pulled while a probe waits for silent hosts: the cause is read
# from the route as it stands at the verdict, so no provider row comes first.
responder 0 192.0.2.254
run midprobe
# echo requests to the probe hosts (203.0.113.x: cb0071..)
host_echoes() { awk 'substr($0, 33, 6) == "cb0071" && substr($0, 41, 2) == "08"' "$E2E_WORK/far-icmp.log" | wc -l; }
more_host_echoes_than() { [ "$(host_echoes)" -gt "$1" ]; }
sleep 3
kill "$LISTENER"  # the hosts now refuse handshakes: every probe says Broken
before=$(host_echoes)
check "midprobe: a probe begins" wait_until 20 more_host_echoes_than "$before"
sleep 1
cable pulled
check "midprobe: Broken" wait_until 15 last_state_is Broken
sleep 8
expect_eq "midprobe: no network, nothing before it" "- no network" "$(causes)"
cable back
start_bg ip netns exec "$E2E_FAR_NS" python3 "$E2E_DIR/icmp_tool.py" listen "$E2E_WORK/https.log"
check "midprobe: Connected again" wait_until 25 last_state_is Connected

# Going to sleep: the network goes before the program is frozen, and nothing
# is shown or logged for it but the row that says nothing is watched; after
# the resume the network is back, and the state found then has its row.
rows=$(causes)
peek suspend >/dev/null
check "asleep: the log says nothing is watched" wait_until 10 causes_are "$rows sleep"
expect_eq "asleep: as its state" "Not watching" "$(last_row | cut -d' ' -f1,2)"
sleep 1
cable pulled
sleep 12
expect_eq "asleep: no row for the network gone at sleep" "$rows sleep" "$(causes)"
cable back
peek resume >/dev/null
check "awake: the state found is logged again" wait_until 15 causes_are "$rows sleep -"
sleep 8
expect_eq "awake: and nothing else" "$rows sleep -" "$(causes)"
exit_run midprobe
expect_eq "Exit: the last row says so" "Not watching exit" "$(last_row)"

# A run that ends without a word (killed, as by a power cut): the next start
# writes the Not watching row for the moment it was last known to run.
start_lintora killed
check "killed: Connected again" wait_until 30 last_state_is Connected
in_ns "$LINTORA_WINE" taskkill /f /im Lintora.exe >/dev/null 2>&1 || true
check "killed: gone" wait_until 20 test -f "$E2E_WORK/killed.exit"
start_lintora again
check "again: the run that ended unseen, then the state" wait_until 30 bash -c \
    'tr -d "\r" <"$1" | tail -n 2 | cut -d, -f2,4 | tr "\n" " " | grep -qx "Not watching,unknown Connected, "' _ "$LOG"
e2e_log "the last rows: $(tr -d '\r' <"$LOG" | tail -n 3 | tr '\n' '|')"
exit_run again
e2e_finish
