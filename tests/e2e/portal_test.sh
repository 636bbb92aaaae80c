#!/usr/bin/env bash
# A network shaped like a hotel's before sign-in: every name resolves to the
# portal's address, which answers echo, completes handshakes on 443 and
# redirects every web request to its login page. Lintora must show Broken
# there, and Connected soon after signing in. Also: a network that blocks
# port 80 but carries echo stays Connected, and the right status with the
# wrong body is a sign-in page too, and so is a portal that lets only names
# and port 80 through. What was shown is read from the log and the menu.
# Answers in chunks and a server's errors are no sign-in page, and a portal
# slow to answer once does not let Connected through.
source "$(dirname "$0")/harness.sh"
LINTORA_EXE=$1
PEEK_EXE=$2
e2e_init portal
e2e_far_network
e2e_start_display
install_lintora $'[config]\nuse_dialog_message=no'
LOG="$APP_DIR/connection-log.csv"
PORTAL=${FAR_ADDRESSES[0]}
{
    echo "127.0.0.1 localhost"
    for name in $PROBE_HOSTS www.msftconnecttest.com; do echo "$PORTAL $name"; done
} >"/etc/netns/$E2E_NS/hosts"
start_bg ip netns exec "$E2E_FAR_NS" python3 "$E2E_DIR/icmp_tool.py" listen "$E2E_WORK/https.log"
https_server=$LAST_PID
MODE="$E2E_WORK/mode"
WEB_LOG="$E2E_WORK/web.log"
echo portal >"$MODE"
start_bg ip netns exec "$E2E_FAR_NS" python3 "$E2E_DIR/tcp_tool.py" web "$MODE" "$WEB_LOG"
web_server=$LAST_PID
# run_once NAME: a run of its own; its first state, once logged, in $FIRST.
run_once() {
    rm -f "$LOG"
    start_lintora "$1"
    wait_until 30 bash -c '[ "$(tr -d "\r" <"$1" 2>/dev/null | wc -l)" -ge 2 ]' _ "$LOG" || true
    FIRST=$(states)
}
exit_run() {
    peek command 107 >/dev/null
    wait_until 20 exited_with "$1" 0
}

# Behind the sign-in page: Broken, and the menu offers the page.
broken=0
for n in 1 2 3; do
    run_once "portal$n"
    [ "$FIRST" = Broken ] && broken=$((broken + 1))
    [ $n -lt 3 ] && exit_run "portal$n"
done
expect_eq "behind a sign-in page: Broken in every run" "3" "$broken"
expect_eq "the log says where the break is" "Broken sign-in page" "$(last_row)"
check "the page was asked for with one short request" grep -Eq '^/connecttest.txt [0-9]+$' "$WEB_LOG"
e2e_log "web check request: $(head -n 1 "$WEB_LOG") bytes"
open_menu
expect_eq "the menu offers Open Sign-in Page at its top" "lines=9 marks=0,0,0,0,0,0,0,0,0 grayed=0,0,0,0,0,0,0,0,0" \
    "$(marks_of_open_menu)"
keys Escape

# The portal slow to answer once: no opinion, and the page stays in the way.
requests=$(wc -l <"$WEB_LOG")
echo stall >"$MODE"
check "a web check meets the stalled portal" wait_until 30 bash -c '[ "$(wc -l <"$1")" -gt "$2" ]' _ "$WEB_LOG" "$requests"
echo portal >"$MODE"
sleep 10
expect_eq "a stalled portal lets no Connected through" "Broken sign-in page" "$(states) $(last_row | cut -d' ' -f2-)"

# Signed in: Connected within about one Broken retry.
echo open >"$MODE"
signed_in=$SECONDS
check "signed in: Connected soon" wait_until 20 states_are "Broken Connected"
e2e_log "Connected $((SECONDS - signed_in)) s after signing in"
expect_eq "with no cause" "Connected" "$(last_row)"
open_menu
expect_eq "and the menu no longer offers the page" "lines=8 marks=0,0,0,0,0,0,0,0 grayed=0,0,0,0,0,0,0,0" \
    "$(marks_of_open_menu)"
keys Escape
exit_run portal3

# The right status with another body is a sign-in page too.
echo wrongbody >"$MODE"
run_once wrongbody
expect_eq "status 200 with the wrong body: Broken" "Broken" "$FIRST"
exit_run wrongbody

# A working network whose web answers come in chunks (a proxy's, a scanner's),
# or as a server's errors: the check has no quarrel with it.
for mode in chunked notfound unavailable; do
    echo "$mode" >"$MODE"
    run_once "$mode"
    expect_eq "web answers $mode on a working network: Connected" "Connected" "$FIRST"
    exit_run "$mode"
done

# A portal that lets only names and port 80 through: no echo is answered,
# the router's included, and no handshake. Found by the web check at Broken.
echo portal >"$MODE"
in_far sysctl -q -w net.ipv4.icmp_echo_ignore_all=1
kill "$https_server"
run_once webonly
expect_eq "names and port 80 only: the sign-in page" "Broken sign-in page" "$(last_row)"
open_menu
expect_eq "and the menu offers it" "lines=9 marks=0,0,0,0,0,0,0,0,0 grayed=0,0,0,0,0,0,0,0,0" "$(marks_of_open_menu)"
keys Escape
exit_run webonly
in_far sysctl -q -w net.ipv4.icmp_echo_ignore_all=0

# Port 80 blocked (nothing answers there), echo carried: the check has no opinion.
kill "$web_server"
wait "$web_server" 2>/dev/null || true
run_once blocked
expect_eq "port 80 blocked, echo answered: Connected" "Connected" "$FIRST"
exit_run blocked
e2e_finish
