#!/usr/bin/env bash
# Proxies, real and not: an office where only the proxy goes out (the
# firewall drops echo and every connection to the hosts; the user's proxy,
# set in the registry as Windows stores it, is Debian's tinyproxy on the
# router's side, with its own way out to the web). Lintora must show
# Connected "through the proxy"; Broken with the proxy's cause when the
# proxy cannot reach the site (tinyproxy says 500 "Unable to connect"), and
# Connected when it can again; "The proxy asks you to sign in" where the
# proxy wants a password (407), never Connected; a sign-in page where the
# proxy redirects everything to its own; with the proxy named by a
# configuration script, the same; with the proxy gone, the cause the probe
# finds. A proxy on the computer itself (127.0.0.1) names no cause, and hears
# nothing while the hosts answer. What was shown is read from the log and the
# status window; what reached a proxy, from its own log.
source "$(dirname "$0")/harness.sh"
LINTORA_EXE=$1
PEEK_EXE=$2
e2e_init proxy
e2e_far_network
e2e_start_display
install_lintora $'[config]\nping_time_interval=5\nuse_dialog_message=yes\nmessage_hide_time=0'
proxy_office

status_text() { peek status | sed -n 's/.* text=//p'; }
first_row() { wait_until 40 bash -c 2>/dev/null '[ "$(tr -d "\r" <"$1" 2>/dev/null | wc -l)" -ge 2 ]' _ "$APP_DIR/connection-log.csv"; }
exit_run() {
    peek command 107 >/dev/null
    wait_until 20 exited_with "$1" 0
}
last_row_is() { [ "$(last_row)" = "$1" ]; }

# Where the hosts answer directly, the proxy hears nothing, through probes
# every 5 s and a web check.
start_lintora direct
check "direct: a first state" first_row
check "direct: Connected" wait_until 20 states_are Connected
expect_eq "without the proxy" "Connected" "$(last_row)"
sleep 20
expect_eq "nothing reached the proxy while the hosts answered" "0" "$(proxy_requests 3128)"
exit_run direct

# Only the proxy goes out.
upstream lost
rm -f "$APP_DIR/connection-log.csv"
start_lintora office
check "office: a first state" first_row
expect_eq "office: Connected through the proxy" "Connected through proxy" "$(last_row)"
check "the proxy was asked for the check page" \
    grep -Eq 'Request.*GET http://www.msftconnecttest.com(:80)?/connecttest.txt' "$E2E_WORK/tinyproxy-3128.log"

# The proxy cannot reach the site: tinyproxy answers 500.
expect_next Broken 30 "the proxy's site gone" ip -n "$E2E_FAR_NS" addr del "$UPLINK/32" dev lo
expect_eq "the proxy's cause" "Broken proxy" "$(last_row)"
expect_eq "the status window says so" 'Internet connection is broken.\nThe proxy does not reach the internet' \
    "$(status_text)"
expect_next Connected 30 "the proxy's site back" ip -n "$E2E_FAR_NS" addr add "$UPLINK/32" dev lo
expect_eq "through the proxy again" "Connected through proxy" "$(last_row)"
expect_eq "the status window says how" 'Internet connection is established.\nthrough the proxy' "$(status_text)"

# The proxy asks for a password: no Windows sign-in meets Basic.
rows=$(states)
stop_tinyproxy
start_tinyproxy "$E2E_FAR_NS" 192.0.2.254 3128 "BasicAuth office secret"
check "a password asked: the proxy's sign-in" wait_until 40 last_row_is "Broken proxy sign-in"
expect_eq "and the status window says so" 'Internet connection is broken.\nThe proxy asks you to sign in' \
    "$(status_text)"
sleep 15
expect_eq "never Connected meanwhile" "$rows Broken" "$(states)"

# A proxy that sends everything to its own sign-in page (302).
stop_tinyproxy
start_bg ip netns exec "$E2E_FAR_NS" python3 "$E2E_DIR/proxy_tool.py" 192.0.2.254 3128 "$UPLINK" "$E2E_WORK/redirect.log" redirect
REDIRECT=$LAST_PID
check "redirected: a sign-in page" wait_until 40 last_row_is "Broken sign-in page"
kill "$REDIRECT"
wait "$REDIRECT" 2>/dev/null || true

# The same real proxy, named by an automatic configuration script instead.
start_tinyproxy "$E2E_FAR_NS" 192.0.2.254 3128
mkdir -p "$E2E_WORK/pac"
echo 'function FindProxyForURL(url, host) { return "PROXY 192.0.2.254:3128"; }' >"$E2E_WORK/pac/proxy.pac"
start_bg in_far python3 -m http.server --bind 192.0.2.254 --directory "$E2E_WORK/pac" 8080 >"$E2E_WORK/pac.log" 2>&1
set_user_proxy_script http://192.0.2.254:8080/proxy.pac
check "the script is read" wait_until 30 grep -q 'GET /proxy.pac' "$E2E_WORK/pac.log"
check "Connected through the proxy the script names" wait_until 30 last_row_is "Connected through proxy"

# The proxy itself gone (its port refuses): the hosts are probed directly,
# and the cause is theirs: the router answers, the internet past it does not.
expect_next Broken 25 "the proxy gone" stop_tinyproxy
expect_eq "the cause the probe finds" "Broken provider" "$(last_row)"
exit_run office

# A proxy on this computer (a debugging proxy, a security agent), with the
# direct road open: it hears nothing while the hosts answer, and its errors
# (it cannot even find the site's name) name no cause.
upstream back
set_user_proxy 127.0.0.1:8888
start_tinyproxy "$E2E_NS" 127.0.0.1 8888
rm -f "$APP_DIR/connection-log.csv"
start_lintora local
check "local: Connected" wait_until 30 states_are Connected
sleep 15
expect_eq "local: nothing reached it while the hosts answered" "0" "$(proxy_requests 8888)"
expect_next Broken 30 "local: an outage past the router" upstream lost
check "local: the provider's, not the proxy's" wait_until 20 last_row_is "Broken provider"
check "local: the proxy was asked" [ "$(proxy_requests 8888)" -gt 0 ]
expect_next Connected 30 "local: the outage's end" upstream back
expect_eq "local: no proxy in the window" 'Internet connection is established.' "$(status_text)"
expect_eq "local: nor in the log" "Connected" "$(last_row)"
asked=$(proxy_requests 8888)
sleep 15
expect_eq "local: nothing more reached it since" "$asked" "$(proxy_requests 8888)"
exit_run local
e2e_finish
