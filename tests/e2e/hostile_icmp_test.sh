#!/usr/bin/env bash
# Forged ICMP while the probe hosts are silent: the namespace's kernel answers
# no echo request (net.ipv4.icmp_echo_ignore_all), so no real reply can come,
# while a forger in the same namespace floods the loopback with datagrams that
# look like answers but are not. The program must neither crash nor show
# Connected; once echo is answered again it must show Connected.
source "$(dirname "$0")/harness.sh"
LINTORA_EXE=$1
PEEK_EXE=$2
e2e_init hostile
e2e_start_display
install_lintora $'[config]\nping_time_interval=1'
in_ns sysctl -q -w net.ipv4.icmp_echo_ignore_all=1
loopback up

start_lintora first
check "Broken while the hosts are silent" wait_until 30 tray_shows broken
start_bg in_ns python3 "$E2E_DIR/icmp_tool.py" capture "$E2E_WORK/wire.hex"
start_bg bash -c 'ip netns exec "$1" python3 "$2" forge 60 >"$3"' _ "$E2E_NS" "$E2E_DIR/icmp_tool.py" "$E2E_WORK/forged.count"
forger=$LAST_PID

false_connected=0
samples=0
while kill -0 "$forger" 2>/dev/null; do
    tray_shows broken || false_connected=$((false_connected + 1))
    samples=$((samples + 1))
    sleep 2
done
e2e_log "forged datagrams sent: $(cat "$E2E_WORK/forged.count"), tray samples: $samples"
check "the forger ran" [ "$(cat "$E2E_WORK/forged.count")" -gt 1000 ]
expect_eq "no sample showed anything but Broken" 0 "$false_connected"
check "the program is still running" [ "$(peek main)" = "found=1 visible=0 class=Lintora? title=Lintora?" ]
probes=$(python3 "$E2E_DIR/icmp_tool.py" requests "$E2E_WORK/wire.hex" | awk '$4 == "ok" && $5 == "ok"' | wc -l)
e2e_log "requests of ours seen during the flood: $probes"
check "it kept probing through the flood" [ "$probes" -ge 8 ]

in_ns sysctl -q -w net.ipv4.icmp_echo_ignore_all=0
check "echo answered again: Connected" wait_until 40 tray_shows connected
e2e_finish
