#!/usr/bin/env bash
# The real program in a Wine desktop inside a namespace whose loopback is
# "the internet": its icon follows the connection, one copy runs at a time,
# the icon survives a new task bar, and no window is ever shown.
source "$(dirname "$0")/harness.sh"
LINTORA_EXE=$1
PEEK_EXE=$2
e2e_init program
e2e_start_display
install_lintora $'[config]\nping_time_interval=1'

# Started with the network down: the Broken icon alone.
start_lintora first
check "the Broken icon appears alone while the network is down" wait_until 30 tray_shows broken
check "the hidden main window exists with its class and title" \
    [ "$(peek main)" = "found=1 visible=0 class=Lintora? title=Lintora?" ]
[ -n "${LINTORA_SHOTS:-}" ] && convert "$(screenshot)" -crop 200x40+824+728 +repage "$LINTORA_SHOTS/tray-broken.png"

loopback up
check "loopback up: the Connected icon replaces it" wait_until 30 tray_shows connected
loopback down
check "loopback down: Broken again" wait_until 40 tray_shows broken
loopback up
check "loopback up again: Connected again" wait_until 30 tray_shows connected
[ -n "${LINTORA_SHOTS:-}" ] && convert "$(screenshot)" -crop 200x40+824+728 +repage "$LINTORA_SHOTS/tray-connected.png"

# The task bar re-created: the shell forgot the icon; the program adds it again.
check "the icon can be taken away" [ "$(peek remove-icon 1)" = "removed=1" ]
check "no icon while the task bar is new" wait_until 10 tray_shows none
peek taskbar-created >/dev/null
check "after TaskbarCreated the icon of the current state is back" wait_until 10 tray_shows connected

# A second copy is refused with a message box and ends with 0.
start_lintora second
check "the second copy shows one 'Already running' box" wait_until 20 peek_matches 'count=1*' boxes "Already running"
check "with the exact text" \
    [ "$(peek boxes 'Already running')" = 'count=1 text=Another instance of "Lintora?" application is already running.' ]
screenshot already-running >/dev/null
peek dismiss "Already running" >/dev/null
check "after OK the second copy exits with 0" wait_until 20 exited_with second 0
check "the first runs on, unchanged" [ "$(peek main)" = "found=1 visible=0 class=Lintora? title=Lintora?" ]
check "its icon is still there" tray_shows connected

# Exit from the menu's command: no icon left, exit code 0.
peek command 107 >/dev/null
check "Exit ends the program with 0" wait_until 20 exited_with first 0
check "and leaves no icon" wait_until 10 tray_shows none

# Twenty copies at once: exactly one keeps running, the others are refused.
for i in $(seq 1 20); do start_lintora "many$i"; done
refused() {
    peek dismiss "Already running" >/dev/null
    local n=0
    for i in $(seq 1 20); do exited_with "many$i" 0 && n=$((n + 1)); done
    [ "$n" = 19 ]
}
check "of twenty copies started at once nineteen are refused and exit with 0" wait_until 120 refused
check "exactly one keeps running" [ "$(lintora_processes)" = 1 ]
check "and shows its icon" wait_until 30 tray_shows connected
peek command 107 >/dev/null
wait_until 20 tray_shows none || true

# A maximise or minimise show command shows no window.
for mode in max min; do
    start_lintora "show-$mode" start /wait "/$mode" /unix
    check "started with $mode: the icon appears" wait_until 30 tray_shows connected
    check "started with $mode: no window is shown" wait_until 5 peek_matches "found=1 visible=0 class=Lintora? title=Lintora?" main
    e2e_log "main window: $(peek main)"
    peek command 107 >/dev/null
    check "started with $mode: exits with 0" wait_until 20 exited_with "show-$mode" 0
done

e2e_finish
