#!/usr/bin/env bash
# Connected through a real proxy (Debian's tinyproxy) at the default
# interval: the proxy is asked every 15 s, so that its site gone shows
# within 30 s; nothing is sent to the hosts directly meanwhile, but once the
# 10 minutes since the last direct probe are over; then, the firewall open
# again, the direct road takes over, with nothing about the proxy shown.
source "$(dirname "$0")/harness.sh"
LINTORA_EXE=$1
PEEK_EXE=$2
e2e_init proxy-return
e2e_far_network
e2e_start_display
install_lintora $'[config]\nuse_dialog_message=yes\nmessage_hide_time=0'
proxy_office
start_bg in_far python3 "$E2E_DIR/icmp_tool.py" capture "$E2E_WORK/far-icmp.log"
# echo requests to the probe hosts (203.0.113.x: cb0071..)
host_echoes() { awk 'substr($0, 33, 6) == "cb0071" && substr($0, 41, 2) == "08"' "$E2E_WORK/far-icmp.log" | wc -l; }
status_text() { peek status | sed -n 's/.* text=//p'; }
last_row_is() { [ "$(last_row)" = "$1" ]; }

upstream lost
started=$SECONDS
start_lintora office
check "Connected through the proxy" wait_until 40 last_row_is "Connected through proxy"
asked=$(proxy_requests 3128)
sleep 31
e2e_log "requests through the proxy in 31 s: $(($(proxy_requests 3128) - asked))"
check "the proxy asked every 15 s (2 or 3 times in 31 s)" \
    bash -c '[ "$1" -ge 2 ] && [ "$1" -le 3 ]' _ "$(($(proxy_requests 3128) - asked))"
expect_next Broken 30 "the proxy's site gone, at the default interval" ip -n "$E2E_FAR_NS" addr del "$UPLINK/32" dev lo
expect_eq "the proxy's cause" "Broken proxy" "$(last_row)"
expect_next Connected 30 "the proxy's site back" ip -n "$E2E_FAR_NS" addr add "$UPLINK/32" dev lo

# The firewall opens: still through the proxy until the direct probe is due.
echoes=$(host_echoes)
upstream back
sleep $((520 - (SECONDS - started)))
expect_eq "nothing sent to the hosts directly before the 10 minutes" "$echoes" "$(host_echoes)"
expect_eq "still through the proxy" "Connected through proxy" "$(last_row)"
check "the direct road back within the 10 minutes and a check" wait_until $((640 - (SECONDS - started))) \
    last_row_is Connected
e2e_log "direct again $((SECONDS - started)) s after the start"
expect_eq "nothing about the proxy in the window" 'Internet connection is established.' "$(status_text)"
peek command 107 >/dev/null
check "Exit" wait_until 20 exited_with office 0
e2e_finish
