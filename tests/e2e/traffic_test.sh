#!/usr/bin/env bash
# Outages past the router seen from the traffic of a real PC, at the default
# 60 s interval: during a call (datagrams only), during a download beside a
# local program's chatter over loopback, and with the names served by the
# provider's name server, which goes with the uplink. Each outage starts just
# after a probe, so the interval's own probe would come only some 55 s later.
# What was shown is read from the log.
source "$(dirname "$0")/harness.sh"
LINTORA_EXE=$1
PEEK_EXE=$2
e2e_init traffic
e2e_far_network
e2e_start_display
install_lintora $'[config]\nuse_dialog_message=no'
SERVER=${FAR_ADDRESSES[0]}
e2e_far_name_server
# The hosts are web servers too; one also serves a download's and a call's traffic.
start_bg in_far python3 "$E2E_DIR/icmp_tool.py" listen "$E2E_WORK/https.log"
start_bg in_far python3 "$E2E_DIR/tcp_tool.py" serve 8080
start_bg in_far python3 "$E2E_DIR/tcp_tool.py" echo-datagrams 5004
# A local program that talks to itself over loopback TCP all the while.
start_bg in_ns python3 "$E2E_DIR/tcp_tool.py" serve 9090

# outage lost|back: the provider gone, its name server with it.
outage() {
    upstream "$1"
    name_server "$1"
}
# while_in_use WHAT COMMAND...: the PC busy with the command in the background;
# an outage past the router begins just after a probe, and ends.
while_in_use() {
    local what=$1
    shift
    start_bg in_ns "$@"
    sleep 4
    expect_next Broken 20 "an outage past the router $what" outage lost
    expect_next Connected 15 "its end, $what" outage back
    sleep 2  # the probe that saw it back has ended
}

start_lintora first
check "Connected first, with names from the far name server" wait_until 30 states_are "Connected"
sleep 2

while_in_use "during a call (datagrams only)" python3 "$E2E_DIR/tcp_tool.py" call "$SERVER" 5004 40
while_in_use "during a download beside loopback chatter" \
    bash -c 'python3 "$1/tcp_tool.py" chatter 127.0.0.1 9090 40 & python3 "$1/tcp_tool.py" chatter "$2" 8080 40' \
    _ "$E2E_DIR" "$SERVER"

peek command 107 >/dev/null
check "Exit" wait_until 20 exited_with first 0
e2e_finish
