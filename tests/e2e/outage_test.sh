#!/usr/bin/env bash
# Outages that are not the cable, at the default 60 s interval, on a network
# shaped like a PC's: the provider gone past the router while the computer is
# in use (seen from the traffic, nothing extra sent) and while it is idle, a
# stall of 5 s that must not alarm, and a move of the default route to a
# second link that leads nowhere while the first keeps its address. What was
# shown is read from the log.
source "$(dirname "$0")/harness.sh"
LINTORA_EXE=$1
PEEK_EXE=$2
e2e_init outage
e2e_far_network
e2e_start_display
install_lintora $'[config]\nuse_dialog_message=no'
SERVER=${FAR_ADDRESSES[0]}
# The hosts are web servers too, as real ones are; one serves the traffic of a computer in use.
start_bg in_far python3 "$E2E_DIR/icmp_tool.py" listen "$E2E_WORK/https.log"
start_bg in_far python3 "$E2E_DIR/tcp_tool.py" serve 8080
# use_for SECONDS: the computer in use, in the background.
use_for() { start_bg in_ns python3 "$E2E_DIR/tcp_tool.py" chatter "$SERVER" 8080 "$1" >/dev/null; }

start_lintora first
check "Connected first" wait_until 30 states_are "Connected"
sleep 2  # the first probe's pause has begun

# In use: the answers stop, the traffic says so long before the interval ends.
use_for 40
sleep 4
expect_next Broken 25 "an outage past the router while in use" upstream lost
expect_next Connected 10 "its end" upstream back

# A stall of everything for 5 s, in use: no alarm.
sleep 12  # past the spacing of probes that the traffic starts
before=$(states)
upstream lost
sleep 5
upstream back
sleep 15
expect_eq "a 5 s stall shows nothing" "$before" "$(states)"

# Idle: nothing goes out, so only the interval's probe finds the outage.
sleep 30  # the chatter has ended
expect_next Broken 80 "an outage while idle, within the interval and one probe" upstream lost
expect_next Connected 20 "its end" upstream back

# Another network joined: the default route moves to a second link that leads
# nowhere (its packets vanish), while the first link keeps its address.
e2e_dead_link
sleep 3
expect_next Broken 15 "a switch to a dead network while idle" default_route dead
expect_next Connected 15 "and back" default_route router

peek command 107 >/dev/null
check "Exit" wait_until 20 exited_with first 0
e2e_finish
