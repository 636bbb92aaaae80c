#!/usr/bin/env bash
# An office where only the proxy goes out: the firewall drops echo and every
# connection to the hosts, and the user's proxy (set in the registry as
# Windows stores it, then named by a configuration script) sits on the
# router's side, with its own way out to the web. Lintora must show
# Connected "through the proxy", Broken with the proxy's cause when the
# proxy's way out fails (it answers 502), Connected again when it returns,
# and with the proxy gone, Broken with the cause the probe finds. Where the
# hosts answer directly, nothing is sent to the proxy. What was shown is
# read from the log and the status window; what reached the proxy, from its
# own log.
source "$(dirname "$0")/harness.sh"
LINTORA_EXE=$1
PEEK_EXE=$2
e2e_init proxy
e2e_far_network
e2e_start_display
install_lintora $'[config]\nping_time_interval=5\nuse_dialog_message=yes\nmessage_hide_time=0'
UPLINK=198.51.100.80
PROXY_LOG="$E2E_WORK/proxy.log"
: >"$PROXY_LOG"
echo open >"$E2E_WORK/mode"
ip -n "$E2E_FAR_NS" addr add "$UPLINK/32" dev lo
start_bg in_far python3 "$E2E_DIR/tcp_tool.py" web "$E2E_WORK/mode" "$E2E_WORK/web.log"
start_bg in_far python3 "$E2E_DIR/proxy_tool.py" 192.0.2.254 3128 "$UPLINK" "$PROXY_LOG"

set_user_proxy 192.0.2.254:3128
status_text() { peek status | sed -n 's/.* text=//p'; }
first_row() { wait_until 40 bash -c 2>/dev/null '[ "$(tr -d "\r" <"$1" 2>/dev/null | wc -l)" -ge 2 ]' _ "$APP_DIR/connection-log.csv"; }
exit_run() {
    peek command 107 >/dev/null
    wait_until 20 exited_with "$1" 0
}

# Where the hosts answer directly, the proxy hears nothing, through probes
# every 5 s and a web check.
start_lintora direct
check "direct: a first state" first_row
check "direct: Connected" wait_until 20 states_are Connected
expect_eq "without the proxy" "Connected" "$(last_row)"
sleep 20
expect_eq "nothing reached the proxy while the hosts answered" "0" "$(wc -l <"$PROXY_LOG")"
exit_run direct

# Only the proxy goes out.
upstream lost
rm -f "$APP_DIR/connection-log.csv"
start_lintora office
check "office: a first state" first_row
expect_eq "office: Connected through the proxy" "Connected through proxy" "$(last_row)"
check "the proxy was asked for the check page" grep -Eq '^GET http://www.msftconnecttest.com(:80)?/connecttest.txt$' "$PROXY_LOG"
asked=$(wc -l <"$PROXY_LOG")

# The proxy's way out fails: it answers 502.
expect_next Broken 25 "the proxy's way out lost" ip -n "$E2E_FAR_NS" addr del "$UPLINK/32" dev lo
expect_eq "the proxy's cause" "Broken proxy" "$(last_row)"
expect_eq "the status window says so" 'Internet connection is broken.\nThe proxy does not reach the internet' \
    "$(status_text)"
expect_next Connected 20 "the proxy's way out back" ip -n "$E2E_FAR_NS" addr add "$UPLINK/32" dev lo
expect_eq "through the proxy again" "Connected through proxy" "$(last_row)"
expect_eq "the status window says how" 'Internet connection is established.\nthrough the proxy' "$(status_text)"
e2e_log "requests through the proxy: $(($(wc -l <"$PROXY_LOG") - asked)) after the first"

# The same proxy named by an automatic configuration script instead.
mkdir -p "$E2E_WORK/pac"
echo 'function FindProxyForURL(url, host) { return "PROXY 192.0.2.254:3128"; }' >"$E2E_WORK/pac/proxy.pac"
start_bg in_far python3 -m http.server --bind 192.0.2.254 --directory "$E2E_WORK/pac" 8080 >"$E2E_WORK/pac.log" 2>&1
set_user_proxy_script http://192.0.2.254:8080/proxy.pac
asked=$(wc -l <"$PROXY_LOG")
check "the script is read" wait_until 20 grep -q 'GET /proxy.pac' "$E2E_WORK/pac.log"
check "and the proxy it names asked" wait_until 10 bash -c '[ "$(wc -l <"$1")" -gt "$2" ]' _ "$PROXY_LOG" "$asked"
expect_eq "still Connected through the proxy" "Connected through proxy" "$(last_row)"

# The proxy itself gone (its port refuses): the hosts are probed directly,
# and the cause is theirs: the router answers, the internet past it does not.
expect_next Broken 25 "the proxy gone" pkill -f "proxy_tool.py .*$PROXY_LOG"
expect_eq "the cause the probe finds" "Broken provider" "$(last_row)"
exit_run office
e2e_finish
