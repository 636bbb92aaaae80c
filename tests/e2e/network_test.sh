#!/usr/bin/env bash
# One probe at a time (probe_check.exe) on a network shaped like a real PC's:
# the program's namespace reaches the probe hosts through a veth "cable" and
# a default route into a second namespace. Echo answered; ICMP dropped with
# and without a web server on port 443; the hosts gone upstream; the cable
# pulled. The echo requests on the wire are the same in every case.
source "$(dirname "$0")/harness.sh"
PROBE=$1
e2e_init network
e2e_far_network

HOST=$(echo "$PROBE_HOSTS" | head -n 1)
# The result and the counters; the milliseconds it took to decide, from
# inside the program, in $E2E_WORK/probe.ms.
probe() {
    local out
    out=$(in_ns "$LINTORA_WINE" "$PROBE" "$HOST" "$@" | tr -d '\r')
    echo "${out##* ms=}" >"$E2E_WORK/probe.ms"
    echo "${out% ms=*}"
}
start_bg in_far python3 "$E2E_DIR/icmp_tool.py" capture "$E2E_WORK/wire.hex"
requests_seen() { python3 "$E2E_DIR/icmp_tool.py" requests "$E2E_WORK/wire.hex"; }
sleep 0.5

out=$(probe)
expect_eq "echo answered across the router: Connected" "result=Connected first=1 next=5" "$out"

# ICMP dropped upstream, a web server on 443: one handshake, no data, Connected.
in_far sysctl -q -w net.ipv4.icmp_echo_ignore_all=1
start_bg ip netns exec "$E2E_FAR_NS" python3 "$E2E_DIR/icmp_tool.py" listen "$E2E_WORK/https.log"
sleep 0.5
out=$(probe)
# The handshake starts once two requests are unanswered, while the third is out; its success decides.
expect_eq "ICMP dropped, 443 accepts: Connected by the handshake, after three requests" "result=Connected first=1 next=4" "$out"
check "exactly one handshake, and no data sent" wait_until 15 grep -qx "connections=1 bytes=0" "$E2E_WORK/https.log"
kill "$LAST_PID" 2>/dev/null
wait "$LAST_PID" 2>/dev/null || true

# ICMP dropped, nothing listens on 443: the refusal means Broken.
out=$(probe)
expect_eq "ICMP dropped, 443 refused: Broken" "result=Broken first=1 next=5" "$out"

sleep 0.5
expect_eq "on the wire, each probe's same 45-byte requests, numbered from 1, valid, with our payload" \
    "$(printf '45 %d %d ok ok\n' 1 1 2 2 3 3 4 4 1 1 2 2 3 3 1 1 2 2 3 3 4 4)" "$(requests_seen)"

# Through the system's ICMP service too, a handshake's success is reported at
# once, with the requests still out left to finish on their own.
in_far sysctl -q -w net.ipv4.icmp_echo_ignore_all=1
start_bg ip netns exec "$E2E_FAR_NS" python3 "$E2E_DIR/icmp_tool.py" listen "$E2E_WORK/https-service.log"
sleep 0.5
out=$(probe --icmp-service)
elapsed_ms=$(cat "$E2E_WORK/probe.ms")
e2e_log "ICMP service, ICMP dropped, 443 accepts: $out in $elapsed_ms ms"
check "ICMP service: Connected by the handshake, before the requests out run out their 5 s ($elapsed_ms ms)" \
    bash -c '[ "${1%% *}" = result=Connected ] && (($2 < 4500))' _ "$out" "$elapsed_ms"
kill "$LAST_PID" 2>/dev/null
wait "$LAST_PID" 2>/dev/null || true

# The hosts gone upstream: echo and handshake both go unanswered.
for address in "${FAR_ADDRESSES[@]}"; do ip -n "$E2E_FAR_NS" addr del "$address/32" dev lo; done
in_far sysctl -q -w net.ipv4.icmp_echo_ignore_all=0
out=$(probe)
expect_eq "upstream outage: Broken" "result=Broken first=1 next=5" "$out"
# Through the system's ICMP service too, the requests go a second apart and the verdict comes within 7 s.
out=$(probe --icmp-service)
elapsed_ms=$(cat "$E2E_WORK/probe.ms")
e2e_log "ICMP service, upstream outage: $out in $elapsed_ms ms"
check "ICMP service, upstream outage: Broken within 7 s, not after four 5 s waits ($elapsed_ms ms)" \
    bash -c '[ "${1%% *}" = result=Broken ] && (($2 < 12000))' _ "$out" "$elapsed_ms"

# The cable pulled: nothing can be sent, so nothing is waited for.
cable pulled
started=$(date +%s%N)
out=$(probe)
elapsed_ms=$((($(date +%s%N) - started) / 1000000))
e2e_log "probe with the cable pulled: $out in $elapsed_ms ms"
check "cable pulled: Broken, no request counted as sent in vain" [ "${out%% *}" = "result=Broken" ]
check "cable pulled: the probe ends at once, not after four 5 s waits ($elapsed_ms ms)" [ "$elapsed_ms" -lt 5000 ]
cable back
for address in "${FAR_ADDRESSES[@]}"; do ip -n "$E2E_FAR_NS" addr add "$address/32" dev lo; done
out=$(probe)
check "cable back: Connected" [ "${out%% *}" = "result=Connected" ]

# The router asked as at a Broken verdict: over IPv4 it answers; over IPv6,
# which has no ICMP here (Wine), the ask ends at once instead of spinning
# through its 1.5 s.
ask() { in_ns "$LINTORA_WINE" "$PROBE" --echo "$1" | tr -d '\r'; }
expect_eq "the router's echo over IPv4" "answered=1" "$(ask 192.0.2.254 | cut -d' ' -f1)"
ip -n "$E2E_NS" addr add 2001:db8:1::1/64 dev lpc nodad
ip -n "$E2E_FAR_NS" addr add 2001:db8:1::fe/64 dev lrt nodad
out=$(ask 2001:db8:1::fe)
e2e_log "the router asked over IPv6: $out"
check "no ICMPv6 to be had: no answer, at once ($out)" \
    bash -c '[ "${1%% *}" = answered=0 ] && ((${1##*ms=} < 400))' _ "$out"

e2e_finish
