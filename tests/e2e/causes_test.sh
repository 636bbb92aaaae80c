#!/usr/bin/env bash
# Where the break is, on a network shaped like a PC's behind a router, with
# the names from a name server past the router: the cable pulled, the router
# gone, the provider gone past it, and the name server gone while everything
# still answers echo. Each is read from the status window and the log's last
# row, and each ends in Connected with no cause. While Connected the gateway
# gets one echo request, to learn whether it answers echo; then only at a
# Broken verdict, one while it answers.
source "$(dirname "$0")/harness.sh"
LINTORA_EXE=$1
PEEK_EXE=$2
e2e_init causes
e2e_far_network
e2e_far_name_server
e2e_start_display
install_lintora $'[config]\nping_time_interval=5\nuse_dialog_message=yes\nmessage_hide_time=0'
BROKEN='Internet connection is broken.'
GATEWAY=192.0.2.254
# The status window's text, its line break as \n.
status_text() { peek status | sed -n 's/.* text=//p'; }
# shows TEXT [CAUSE]: the window's text and the log's last row.
shows() { [ "$(status_text)" = "$1" ] && [ "$(last_row)" = "$2" ]; }
# gateway_echoes: echo requests the router has had for its own address
# (192.0.2.254 is c00002fe; each line is an IP datagram in hex).
start_bg in_far python3 "$E2E_DIR/icmp_tool.py" capture "$E2E_WORK/far-icmp.log"
gateway_echoes() { awk 'substr($0, 33, 8) == "c00002fe" && substr($0, 41, 2) == "08"' "$E2E_WORK/far-icmp.log" | wc -l; }
router() {  # router gone|back: its address on the link
    if [ "$1" = gone ]; then
        ip -n "$E2E_FAR_NS" addr del "$GATEWAY/24" dev lrt
    else
        ip -n "$E2E_FAR_NS" addr add "$GATEWAY/24" dev lrt
    fi
}
# expect_cause WHAT LIMIT TEXT ROW: both shown within the limit.
expect_cause() {
    local from=$SECONDS
    if wait_until "$2" shows "$3" "$4"; then
        e2e_log "ok: $1: \"$4\" in $((SECONDS - from)) s"
    else
        e2e_fail "$1: not \"$4\" within $2 s (window: $(status_text); row: $(last_row))"
    fi
}
back_to_connected() {
    expect_cause "$1 ended" 25 'Internet connection is established.' Connected
}

start_lintora causes
check "Connected first" wait_until 30 states_are Connected
sleep 12
expect_eq "one echo to the router while Connected, to learn it" 1 "$(gateway_echoes)"

cable pulled
expect_cause "cable pulled" 10 "$BROKEN\\nNo network connection" "Broken no network"
cable back
back_to_connected "the cable pulled"

router gone
expect_cause "router gone" 25 "$BROKEN\\nThe router does not answer" "Broken router"
router back
back_to_connected "the router gone"

before=$(gateway_echoes)
upstream lost
expect_cause "provider gone" 25 "$BROKEN\\nThe router answers; the internet beyond it does not" "Broken provider"
[ -n "${LINTORA_SHOTS:-}" ] && read -r sx sy < <(peek status | sed 's/.* x=\([0-9-]*\) y=\([0-9-]*\) .*/\1 \2/') &&
    convert "$(screenshot)" -crop 380x160+$((sx - 10))+$((sy - 10)) +repage "$LINTORA_SHOTS/status-window-cause.png"
sleep 30  # a probe of silent hosts takes 7 s, the pause 5: two or three more
echoes=$(($(gateway_echoes) - before))
check "one echo to the answering router for each Broken probe ($echoes in about 45 s)" \
    bash -c '[ "$1" -ge 2 ] && [ "$1" -le 5 ]' _ "$echoes"
upstream back
back_to_connected "the provider gone"

name_server lost
expect_cause "name server gone" 40 "$BROKEN\\nNames are not being answered (DNS)" "Broken names"
name_server back
back_to_connected "the name server gone"

# A probe that spans a change may place the break on its way back (the
# router back, the hosts not yet answered): a row of its own, never a repeat.
repeats=$(tr -d '\r' <"$APP_DIR/connection-log.csv" | tail -n +2 | cut -d, -f2,4 | uniq -d | wc -l)
expect_eq "no row repeats the one before ($(causes))" 0 "$repeats"
peek command 107 >/dev/null
check "Exit" wait_until 20 exited_with causes 0
e2e_finish
