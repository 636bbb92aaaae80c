#!/usr/bin/env bash
# The running program on a network shaped like a PC's, at the default 60 s
# interval: a pulled cable and its return are seen at once through the local
# network's changes, also when the cable goes while a probe runs; after a
# resume from sleep (told by the system, or seen in the clock) the network is
# given 30 s to come back before Broken is shown. What was shown is read from
# the log.
source "$(dirname "$0")/harness.sh"
LINTORA_EXE=$1
PEEK_EXE=$2
e2e_init changes
e2e_far_network
e2e_start_display
install_lintora $'[config]\nuse_dialog_message=yes'

# Slow hosts (3 s to answer) make the first probe long; the cable is pulled
# after its first answer: the probe still finds Connected, and the change
# during it must cut the following 60 s pause short.
in_far sysctl -q -w net.ipv4.icmp_echo_ignore_all=1
start_bg in_far python3 "$E2E_DIR/icmp_tool.py" respond 0 3000 "$E2E_WORK/answers.log"
responder=$LAST_PID
start_lintora first
check "the first request reaches the slow hosts" wait_until 30 test -s "$E2E_WORK/answers.log"
sleep 3.5
cable pulled
check "a cable pulled during a probe that was answered: Broken within seconds" \
    wait_until 20 states_are "Connected Broken"
kill "$responder"
in_far sysctl -q -w net.ipv4.icmp_echo_ignore_all=0
cable back
check "Connected across the router" wait_until 10 tray_shows connected

# Mid-interval, the cable goes and comes back: both are seen within seconds.
sleep 5
cable pulled
check "a pulled cable shows Broken long before the 60 s interval ends" wait_until 10 tray_shows broken
cable back
check "its return shows Connected" wait_until 10 tray_shows connected
expect_eq "both changes are in the log" "Connected Broken Connected Broken Connected" "$(states)"

# Resume with the network gone for 15 s: nothing is shown.
peek dismiss "Lintora?" >/dev/null
check "the status window dismissed" wait_until 5 peek_matches 'found=1 visible=0*' status
peek resume >/dev/null
cable pulled
sleep 15
cable back
sleep 12
expect_eq "after a resume, a network back within 15 s shows no change" "Connected Broken Connected Broken Connected" "$(states)"
check "and no status window comes up" peek_matches 'found=1 visible=0*' status
check "Connected still" tray_shows connected

# A sleep whose resume message comes late: the program, frozen while the
# network goes, sees the gap in its clock and gives the network its 30 s.
kill -STOP $(lintora_pids)
cable pulled
sleep 15
kill -CONT $(lintora_pids)
sleep 8
expect_eq "after a 15 s freeze, the missing network is not shown at once" \
    "Connected Broken Connected Broken Connected" "$(states)"
cable back
sleep 5
check "and no status window comes up" peek_matches 'found=1 visible=0*' status

# Resume with the network gone for good: Broken once the 30 s have passed.
peek resume >/dev/null
resumed=$SECONDS
cable pulled
sleep 20
expect_eq "20 s after a resume with no network, Broken is not shown yet" \
    "Connected Broken Connected Broken Connected" "$(states)"
check "Broken is shown once 30 s have passed" wait_until 30 states_are "Connected Broken Connected Broken Connected Broken"
e2e_log "Broken shown $((SECONDS - resumed)) s after the resume"
check "with the status window" peek_matches '*visible=1*text=Internet connection is broken.\\nNo network connection' status
cable back
check "and Connected again on the cable's return" wait_until 10 tray_shows connected

e2e_finish
