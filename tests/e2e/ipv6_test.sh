#!/usr/bin/env bash
# An IPv6-only network, as mobile carriers and newer offices run them: NAT64
# and DNS64, the names answered with 64:ff9b:: addresses alone, no IPv4
# address or route. Lintora must show Connected there, no network when the
# cable is pulled and Connected when it is back, and Broken for an outage
# past the router. Then a dual-stack network whose IPv4 goes nowhere:
# Connected. Wine has no ICMPv6, so the hosts are reached by the 443
# handshake here, and the web check over IPv6.
source "$(dirname "$0")/harness.sh"
LINTORA_EXE=$1
PEEK_EXE=$2
e2e_init ipv6
e2e_far_network
e2e_ipv6_network
e2e_start_display
install_lintora $'[config]\nping_time_interval=5'
echo open >"$E2E_WORK/mode"
start_bg in_far python3 "$E2E_DIR/icmp_tool.py" listen "$E2E_WORK/https.log"
start_bg in_far python3 "$E2E_DIR/tcp_tool.py" web "$E2E_WORK/mode" "$E2E_WORK/web.log"
first_row() { wait_until 40 bash -c '[ "$(tr -d "\r" <"$1" 2>/dev/null | wc -l)" -ge 2 ]' _ "$APP_DIR/connection-log.csv"; }

start_lintora ipv6
check "a first state" first_row
expect_eq "IPv6 only: Connected" "Connected" "$(last_row)"
check "the hosts were reached over IPv6" grep -q 'connections=[1-9]' "$E2E_WORK/https.log"
check "the web check asked for its page over IPv6" grep -q '^/connecttest.txt ' "$E2E_WORK/web.log"
expect_next Broken 10 "cable pulled" cable6 pulled
expect_eq "no network" "Broken no network" "$(last_row)"
expect_next Connected 20 "cable back" cable6 back
expect_next Broken 25 "outage past the router" upstream6 lost
e2e_log "the cause named: $(last_row)"
expect_next Connected 20 "the outage over" upstream6 back
peek command 107 >/dev/null
check "Exit" wait_until 20 exited_with ipv6 0

# Dual stack, IPv4 broken past the router: IPv6 carries the internet.
ipv4_dead
rm -f "$APP_DIR/connection-log.csv"
start_lintora dual
check "dual stack: a first state" first_row
expect_eq "dual stack with IPv4 going nowhere: Connected" "Connected" "$(last_row)"
peek command 107 >/dev/null
check "Exit" wait_until 20 exited_with dual 0
e2e_finish
