#!/usr/bin/env bash
# One probe at a time (probe_check.exe) in a namespace whose loopback is "the
# internet": the result, the request counters, and the bytes on the wire as a
# raw-socket sniffer in the same namespace sees them.
source "$(dirname "$0")/harness.sh"
PROBE=$1
e2e_init probe

# The result and the counters; the time it took is left out.
probe() { in_ns "$LINTORA_WINE" "$PROBE" "$@" | tr -d '\r' | sed 's/ ms=[0-9]*$//'; }
HOST=$(echo "$PROBE_HOSTS" | head -n 1)

loopback up
start_bg in_ns python3 "$E2E_DIR/icmp_tool.py" capture "$E2E_WORK/up.hex"
sleep 0.5
out=$(probe "$HOST")
e2e_log "loopback up: $out"
check "loopback up gives Connected after four requests" [ "$out" = "result=Connected first=1 next=5" ]
sleep 0.5
reqs=$(python3 "$E2E_DIR/icmp_tool.py" requests "$E2E_WORK/up.hex")
e2e_log "requests seen: $(echo "$reqs" | tr '\n' ';')"
check "four 45-byte requests numbered 1..4, valid checksum, payload 0x20..0x3F" \
    [ "$reqs" = "$(printf '45 %d %d ok ok\n' 1 1 2 2 3 3 4 4)" ]
check "four echo replies came back" [ "$(python3 "$E2E_DIR/icmp_tool.py" replies "$E2E_WORK/up.hex")" = 4 ]

out=$(probe "$HOST" --first 65534)
check "numbers wrap at 65536 (id/seq 65534, 65535, 0, 1)" [ "$out" = "result=Connected first=65534 next=65538" ]
sleep 0.5
check "wrapped numbers on the wire" [ "$(python3 "$E2E_DIR/icmp_tool.py" requests "$E2E_WORK/up.hex" | tail -n 4 | cut -d' ' -f2 | tr '\n' ' ')" = "65534 65535 0 1 " ]

out=$(probe "$HOST" --icmp-service)
e2e_log "system ICMP service: $out"
check "the system ICMP service route gives Connected" [ "${out%% *}" = "result=Connected" ]
sleep 0.5
svc=$(python3 "$E2E_DIR/icmp_tool.py" requests "$E2E_WORK/up.hex" | tail -n +9)
check "the service sent four 45-byte requests with our payload" \
    [ "$(echo "$svc" | awk '{print $1, $4, $5}' | sort | uniq -c | sed 's/^ *//')" = "4 45 ok ok" ]

# The ICMP service's DLL comes from the system folder, never from beside the program.
mkdir -p "$E2E_WORK/planted"
cp "$PROBE" "$E2E_WORK/planted/probe_check.exe"
(
    plant_dlls "$E2E_WORK/planted"
    in_ns "$LINTORA_WINE" "$E2E_WORK/planted/probe_check.exe" "$HOST" --icmp-service >"$E2E_WORK/planted.out"
)
check "with iphlpapi.dll planted beside it, the service route still works" grep -q '^result=Connected' "$E2E_WORK/planted.out"
expect_eq "and the planted DLL is not loaded" "" "$(planted_dlls_loaded "$E2E_WORK/planted")"

count_requests() { python3 "$E2E_DIR/icmp_tool.py" requests "$E2E_WORK/up.hex" | wc -l; }
before=$(count_requests)
out=$(probe no-such-host.invalid)
check "an unresolvable name gives Broken without a request" [ "$out" = "result=Broken first=1 next=1" ]
sleep 0.5
check "no echo request was sent for it" [ "$(count_requests)" = "$before" ]

loopback down
out=$(probe "$HOST")
e2e_log "loopback down: $out"
check "loopback down gives Broken after four unanswered requests" [ "$out" = "result=Broken first=1 next=5" ]

e2e_finish
