#!/usr/bin/env bash
# How fast and how true the running program's verdicts are on a network
# shaped like a PC's: a veth "cable" and a default route into a second
# namespace that holds the probe hosts (called by run_benchmarks.sh; one part
# per call, so that the parts can run side by side):
#   network_benchmarks.sh OUTDIR PART COUNT
#   cable     COUNT pulls and returns of the cable, default interval (60 s)
#   outage    COUNT times the hosts stop and start answering echo, interval 1 s
#   dropped   ICMP dropped and port 443 accepting, for COUNT seconds, interval 1 s
#   resume    COUNT resumes with the network back after 10 to 25 s
#   lossy-P   P % of the echo requests dropped at random, until COUNT probes
#   router-use   COUNT outages past the router while the computer is in use
#                (TCP traffic to a host), and their ends; default interval
#   router-idle  COUNT outages past the router while idle, and their ends;
#                interval 10 s
#   router-call     the same as router-use during a call: datagrams only
#   router-chatter  the same beside a local program's loopback TCP chatter
#   router-names    the same with the names from a name server past the
#                   router that goes with the uplink
#   router-again    COUNT outages each 8 s after the end of another, in use
#   switch    COUNT moves of the default route to a second link that leads
#             nowhere, and back; default interval, idle
#   stall     COUNT stalls of everything for 5 s while in use
#   causes    COUNT rounds, in use, names from a name server past the router:
#             the cable pulled, the router gone, the provider gone, the name
#             server gone; each until its cause is shown, and back; default
#             interval. Also the echo requests the router gets
#   quiet     Connected and idle for COUNT seconds at the default interval: the
#             echo requests and TCP segments the computer sends, and the
#             router's echo requests over the whole run
#   networks-silent    COUNT outages past a router that never answers echo
#                      sent to itself, until "The internet does not answer";
#                      in use, default interval (as the two below)
#   networks-tunnel    the same behind a default route with no next hop
#   networks-lossy     the same past a router that loses every other echo
#                      request, until "The router answers; …"
#   networks-webonly   COUNT times a sign-in page that lets only names and
#                      port 80 through comes in the way, until "Sign-in page
#                      in the way"; interval 5 s
#   networks-midprobe  COUNT cables pulled 1 s into a probe of hosts that
#                      stopped answering, until "No network connection"; and
#                      the rows with another cause logged before it
#   proxy      an office where only the proxy goes out (the hosts silent, the
#              user's proxy, Debian's tinyproxy, on the router's side): COUNT
#              losses of the proxy's own way out (it answers 500) and their
#              ends; default interval, idle
#   sleepy     COUNT runs behind a router that drops the first echo requests
#              it gets (1 or 3, in turn), each with an outage past it: the
#              cause shown, which must be the provider's; interval 10 s, idle
#   ipv6       an IPv6-only network (NAT64, DNS64): COUNT pulls and returns of
#              the cable, then COUNT outages past the router and their ends;
#              interval 10 s, idle
#   idle-cost  Connected and idle for COUNT seconds at the default interval,
#              nothing watching the window: the CPU time of the program and of
#              Wine's device process, and how often the last-known moment was
#              rewritten (connection-log.running, its changes seen each second)
# Writes OUTDIR/PART.tsv.
source "$(dirname "$0")/bench_harness.sh"
OUT=$1
PART=$2
COUNT=$3
mkdir -p "$OUT"
e2e_init "bench-$PART"
e2e_far_network
e2e_start_display
TSV=$OUT/$PART.tsv
: >"$TSV"
random_between() { awk -v r=$RANDOM -v a="$1" -v b="$2" 'BEGIN { printf "%.2f", a + r / 32767 * (b - a) }'; }
echo_answered() { in_far sysctl -q -w net.ipv4.icmp_echo_ignore_all="$([ "$1" = yes ] && echo 0 || echo 1)"; }
log_rows() { tr -d '\r' <"$APP_DIR/connection-log.csv" 2>/dev/null | tail -n +2 | grep -c ",$1," || true; }
# The hosts are web servers too, as real ones are; one serves the traffic of a computer in use.
serve_web() {
    start_bg in_far python3 "$E2E_DIR/icmp_tool.py" listen "$E2E_WORK/https.log"
    start_bg in_far python3 "$E2E_DIR/tcp_tool.py" serve 8080
}
in_use_for() { start_bg in_ns python3 "$E2E_DIR/tcp_tool.py" chatter "${FAR_ADDRESSES[0]}" 8080 "$1" >/dev/null; }
# in_call_for SECONDS: datagrams only, 50 a second each way.
in_call_for() {
    start_bg in_far python3 "$E2E_DIR/tcp_tool.py" echo-datagrams 5004
    start_bg in_ns python3 "$E2E_DIR/tcp_tool.py" call "${FAR_ADDRESSES[0]}" 5004 "$1" >/dev/null
}
# with_loopback_chatter_for SECONDS: a local program talking to itself over TCP.
with_loopback_chatter_for() {
    start_bg in_ns python3 "$E2E_DIR/tcp_tool.py" serve 9090
    start_bg in_ns python3 "$E2E_DIR/tcp_tool.py" chatter 127.0.0.1 9090 "$1" >/dev/null
}
lose_upstream() { upstream lost; [ -z "${NAMES_FAR:-}" ] || name_server lost; }
restore_upstream() { upstream back; [ -z "${NAMES_FAR:-}" ] || name_server back; }
start_measured() {  # start_measured CONFIG_LINES: started, Connected, watched
    install_lintora $'[config]\nuse_dialog_message=yes\nmessage_hide_time=0'"${1:+$'\n'$1}"
    start_lintora bench
    wait_until 60 tray_shows connected || { echo "Lintora did not come up"; exit 1; }
    watch_status
}

# change NAME COMMAND TEXT [LIMIT]: makes the change and records how long the
# status window took to show TEXT (60 s at most unless told).
change() {
    local t0
    t0=$(now_ms)
    $2
    printf '%s\t%s\n' "$1" "$(seconds_until_shown "$t0" "$3" "${4:-60}")" >>"$TSV"
}

case $PART in
cable)
    start_measured ""
    pull() { cable pulled; }
    plug() { cable back; }
    for _ in $(seq "$COUNT"); do
        sleep "$(random_between 2 12)"  # a random moment of the pause
        change pulled pull "$BROKEN_TEXT"
        sleep "$(random_between 2 12)"
        change back plug "$ESTABLISHED_TEXT"
    done
    ;;
outage)
    start_measured "ping_time_interval=1"
    stop_echo() { echo_answered no; }
    start_echo() { echo_answered yes; }
    for _ in $(seq "$COUNT"); do
        sleep "$(random_between 0 2)"
        change lost stop_echo "$BROKEN_TEXT"
        sleep "$(random_between 0 2)"
        change restored start_echo "$ESTABLISHED_TEXT"
    done
    ;;
dropped)
    echo_answered no
    start_bg in_far python3 "$E2E_DIR/icmp_tool.py" listen "$E2E_WORK/https.log"
    start_measured "ping_time_interval=1"
    sleep "$COUNT"
    printf 'seconds\t%s\nhandshakes\t%s\nfalse_broken\t%s\n' "$COUNT" \
        "$(sed -n 's/connections=\([0-9]*\).*/\1/p' "$E2E_WORK/https.log")" \
        "$(grep -c " shown $BROKEN_TEXT" "$E2E_WORK/watch.log")" >>"$TSV"
    ;;
resume)
    UP_SOUND="$E2E_WORK/up.wav"
    DOWN_SOUND="$E2E_WORK/down.wav"
    make_sound "$UP_SOUND" 1
    make_sound "$DOWN_SOUND" 2
    listen_to_sounds
    start_measured ""
    peek command 104 >/dev/null
    choose_in_dialog "$UP_SOUND" || true
    peek command 106 >/dev/null
    choose_in_dialog "$DOWN_SOUND" || true
    # Each is played once when chosen.
    wait_until 10 heard "$DOWN_SOUND" 1 && heard "$UP_SOUND" 1 || { echo "the sounds were not chosen"; exit 1; }
    for _ in $(seq "$COUNT"); do
        resumed=$SECONDS
        peek resume >/dev/null
        cable pulled
        sleep "$(random_between 10 25)"
        cable back
        sleep $((resumed + 36 - SECONDS))  # past the 30 s given after a resume
    done
    printf 'resumes\t%s\nwindows\t%s\nsounds\t%s\nbroken_rows\t%s\n' "$COUNT" \
        "$(grep -c ' shown ' "$E2E_WORK/watch.log")" \
        "$(($(times_heard "$UP_SOUND") + $(times_heard "$DOWN_SOUND") - 2))" "$(log_rows Broken)" >>"$TSV"
    # The control: the same loss without a resume is shown and heard.
    change control_window "cable pulled" "$BROKEN_TEXT"
    wait_until 10 heard "$DOWN_SOUND" 2 || true
    printf 'control_sounds\t%s\n' "$(($(times_heard "$DOWN_SOUND") - 1))" >>"$TSV"
    ;;
lossy-*)
    echo_answered no
    start_bg in_far python3 "$E2E_DIR/icmp_tool.py" respond "${PART#lossy-}" 0 "$E2E_WORK/answers.log"
    start_measured "ping_time_interval=1"
    requests() { wc -l <"$E2E_WORK/answers.log"; }
    while [ $(($(requests) / 4)) -lt "$COUNT" ]; do sleep 10; done
    printf 'probes\t%s\nrequests\t%s\ndropped\t%s\nbroken_rows\t%s\n' "$(($(requests) / 4))" "$(requests)" \
        "$(grep -c dropped "$E2E_WORK/answers.log")" "$(log_rows Broken)" >>"$TSV"
    ;;
router-use | router-idle | router-call | router-chatter | router-names)
    serve_web
    busy=$((COUNT * 40 + 60))
    if [ "$PART" = router-names ]; then
        e2e_far_name_server
        NAMES_FAR=yes
    fi
    if [ "$PART" = router-idle ]; then
        start_measured "ping_time_interval=10"
    else
        start_measured ""
    fi
    case $PART in
    router-use | router-names) in_use_for "$busy" ;;
    router-call) in_call_for "$busy" ;;
    router-chatter)
        with_loopback_chatter_for "$busy"
        in_use_for "$busy"
        ;;
    esac
    for _ in $(seq "$COUNT"); do
        sleep "$(random_between 10 20)"  # past the spacing of probes the traffic starts
        change lost lose_upstream "$BROKEN_TEXT"
        sleep "$(random_between 2 5)"
        change restored restore_upstream "$ESTABLISHED_TEXT"
    done
    ;;
router-again)
    serve_web
    start_measured ""
    in_use_for $((COUNT * 50 + 60))
    for _ in $(seq "$COUNT"); do
        sleep "$(random_between 10 20)"
        change first_lost lose_upstream "$BROKEN_TEXT"
        sleep "$(random_between 2 5)"
        change first_restored restore_upstream "$ESTABLISHED_TEXT"
        sleep 8  # after the return was shown
        change lost lose_upstream "$BROKEN_TEXT"
        sleep "$(random_between 2 5)"
        change restored restore_upstream "$ESTABLISHED_TEXT"
    done
    ;;
switch)
    serve_web
    start_measured ""
    e2e_dead_link
    to_dead() { default_route dead; }
    to_router() { default_route router; }
    for _ in $(seq "$COUNT"); do
        sleep "$(random_between 3 12)"
        change switched to_dead "$BROKEN_TEXT"
        sleep "$(random_between 2 5)"
        change back to_router "$ESTABLISHED_TEXT"
    done
    ;;
stall)
    serve_web
    start_measured ""
    in_use_for $((COUNT * 40 + 60))
    for _ in $(seq "$COUNT"); do
        sleep "$(random_between 10 20)"
        upstream lost
        sleep 5
        upstream back
    done
    sleep 15
    printf 'stalls\t%s\nfalse_broken\t%s\n' "$COUNT" "$(grep -c " shown $BROKEN_TEXT" "$E2E_WORK/watch.log")" >>"$TSV"
    ;;
causes)
    serve_web
    e2e_far_name_server
    start_bg in_far python3 "$E2E_DIR/icmp_tool.py" capture "$E2E_WORK/far-icmp.hex"
    start_measured ""
    in_use_for $((COUNT * 200 + 60))
    gateway_echoes() { awk 'substr($0, 33, 8) == "c00002fe" && substr($0, 41, 2) == "08"' "$E2E_WORK/far-icmp.hex" | wc -l; }
    pull() { cable pulled; }
    plug() { cable back; }
    router_gone() { ip -n "$E2E_FAR_NS" addr del 192.0.2.254/24 dev lrt; }
    router_back() { ip -n "$E2E_FAR_NS" addr add 192.0.2.254/24 dev lrt; }
    names_gone() { name_server lost; }
    names_back() { name_server back; }
    for _ in $(seq "$COUNT"); do
        sleep "$(random_between 5 10)"
        change no_network pull "$BROKEN_TEXT\nNo network connection"
        change no_network_back plug "$ESTABLISHED_TEXT"
        sleep "$(random_between 5 10)"
        change router router_gone "$BROKEN_TEXT\nThe router does not answer"
        change router_back router_back "$ESTABLISHED_TEXT"
        sleep "$(random_between 5 10)"
        echoes=$(gateway_echoes)
        t0=$(now_ms)
        change provider lose_upstream "$BROKEN_TEXT\nThe router answers; the internet beyond it does not"
        sleep "$(random_between 5 20)"
        change provider_back restore_upstream "$ESTABLISHED_TEXT"
        # The echo requests the router got while the provider was gone, and for how long it was Broken.
        printf 'provider_gateway_echoes\t%s\t%s\n' "$(($(gateway_echoes) - echoes))" \
            "$(awk -v a="$(now_ms)" -v b="$t0" 'BEGIN { printf "%.1f", (a - b) / 1000 }')" >>"$TSV"
        sleep "$(random_between 5 10)"
        change names names_gone "$BROKEN_TEXT\nNames are not being answered (DNS)" 120
        change names_back names_back "$ESTABLISHED_TEXT"
    done
    ;;
networks-*)
    # The far kernel answers no echo; a responder of our own answers as each
    # network does, and the hosts take handshakes on 443 and serve the web.
    echo_answered no
    start_bg in_far python3 "$E2E_DIR/icmp_tool.py" capture "$E2E_WORK/far-icmp.hex"
    MODE="$E2E_WORK/mode"
    echo open >"$MODE"
    start_bg in_far python3 "$E2E_DIR/tcp_tool.py" web "$MODE" "$E2E_WORK/web.log"
    RESPONDER=""
    responder() {  # responder LOSS [ADDRESS...]
        if [ -n "$RESPONDER" ]; then kill "$RESPONDER"; wait "$RESPONDER" 2>/dev/null || true; fi
        start_bg ip netns exec "$E2E_FAR_NS" python3 "$E2E_DIR/icmp_tool.py" respond "$1" 0 "$E2E_WORK/answers.log" "${@:2}"
        RESPONDER=$LAST_PID
    }
    LISTENER=""
    handshakes() {  # handshakes on|off
        if [ -n "$LISTENER" ]; then kill "$LISTENER"; wait "$LISTENER" 2>/dev/null || true; fi
        LISTENER=""
        [ "$1" = off ] && return
        start_bg ip netns exec "$E2E_FAR_NS" python3 "$E2E_DIR/icmp_tool.py" listen "$E2E_WORK/https.log"
        LISTENER=$LAST_PID
    }
    handshakes on
    # The web check's name resolves, as it does once it has been asked: at
    # an outage its connection is waited for.
    echo "${FAR_ADDRESSES[0]} www.msftconnecttest.com" >>"/etc/netns/$E2E_NS/hosts"
    case $PART in
    networks-silent) responder 0 "${FAR_ADDRESSES[@]}" ;;
    networks-tunnel)
        responder 0
        ip -n "$E2E_NS" route replace default dev lpc
        ;;
    networks-lossy) responder alternate ;;
    networks-webonly | networks-midprobe)
        responder 0
        {
            echo "127.0.0.1 localhost"
            for name in $PROBE_HOSTS www.msftconnecttest.com; do echo "${FAR_ADDRESSES[0]} $name"; done
        } >"/etc/netns/$E2E_NS/hosts"
        ;;
    esac
    if [ "$PART" = networks-webonly ]; then
        start_measured "ping_time_interval=5"  # a portal is found by a probe: no traffic calls for one
    else
        start_measured ""
    fi
    case $PART in
    networks-silent | networks-tunnel | networks-lossy)
        start_bg in_far python3 "$E2E_DIR/tcp_tool.py" serve 8080
        in_use_for $((COUNT * 40 + 60))
        ;;
    esac
    INTERNET="$BROKEN_TEXT\nThe internet does not answer"
    PROVIDER="$BROKEN_TEXT\nThe router answers; the internet beyond it does not"
    portal_on() { responder 0 192.0.2.254; handshakes off; echo portal >"$MODE"; }
    portal_off() { responder 0; handshakes on; echo open >"$MODE"; }
    host_echoes() { awk 'substr($0, 33, 6) == "cb0071" && substr($0, 41, 2) == "08"' "$E2E_WORK/far-icmp.hex" | wc -l; }
    more_host_echoes_than() { [ "$(host_echoes)" -gt "$1" ]; }
    pull() { cable pulled; }
    plug() { cable back; }
    for _ in $(seq "$COUNT"); do
        sleep "$(random_between 5 10)"
        case $PART in
        networks-silent | networks-tunnel)
            change lost "upstream lost" "$INTERNET"
            change restored "upstream back" "$ESTABLISHED_TEXT"
            ;;
        networks-lossy)
            change lost "upstream lost" "$PROVIDER"
            change restored "upstream back" "$ESTABLISHED_TEXT"
            ;;
        networks-webonly)
            change portal portal_on "$BROKEN_TEXT\nSign-in page in the way"
            change signed_in portal_off "$ESTABLISHED_TEXT"
            ;;
        networks-midprobe)
            # The hosts stop answering; 1 s into the probe that finds it, the cable goes.
            responder 0 192.0.2.254
            handshakes off
            before=$(host_echoes)
            wait_until 90 more_host_echoes_than "$before" || true
            sleep 1
            rows=$(tr -d '\r' <"$APP_DIR/connection-log.csv" | wc -l)
            change pulled pull "$BROKEN_TEXT\nNo network connection"
            printf 'rows_before_no_network\t%s\n' "$(tr -d '\r' <"$APP_DIR/connection-log.csv" | tail -n +$((rows + 1)) |
                grep -vc ',no network$' || true)" >>"$TSV"
            responder 0
            handshakes on
            change back plug "$ESTABLISHED_TEXT"
            ;;
        esac
    done
    ;;
quiet)
    serve_web
    start_bg in_far python3 "$E2E_DIR/icmp_tool.py" capture "$E2E_WORK/idle.hex"
    start_measured ""
    segments() { in_ns awk '/^Tcp: [0-9]/ {print $12 + $13}' /proc/net/snmp; }  # OutSegs + RetransSegs
    echo_requests() { python3 "$E2E_DIR/icmp_tool.py" requests "$E2E_WORK/idle.hex" | wc -l; }
    sleep 5
    before=$(segments)
    requests_before=$(echo_requests)
    sleep "$COUNT"
    gateway_echoes() { awk 'substr($0, 33, 8) == "c00002fe" && substr($0, 41, 2) == "08"' "$E2E_WORK/idle.hex" | wc -l; }
    printf 'seconds\t%s\nrequests\t%s\ntcp_segments\t%s\ninterval_probes\t%s\ngateway_echoes\t%s\n' "$COUNT" \
        "$(($(echo_requests) - requests_before))" "$(($(segments) - before))" "$((COUNT / 60))" \
        "$(gateway_echoes)" >>"$TSV"
    ;;
proxy)
    proxy_office
    upstream lost
    start_measured ""
    cut() { ip -n "$E2E_FAR_NS" addr del "$UPLINK/32" dev lo; }
    mend() { ip -n "$E2E_FAR_NS" addr add "$UPLINK/32" dev lo; }
    for _ in $(seq "$COUNT"); do
        sleep "$(random_between 2 12)"
        change lost cut "$BROKEN_TEXT" 120
        sleep "$(random_between 2 5)"
        change restored mend "$ESTABLISHED_TEXT"
    done
    ;;
sleepy)
    serve_web
    echo_answered no
    start_bg in_far python3 "$E2E_DIR/icmp_tool.py" listen "$E2E_WORK/https.log"
    PROVIDER="$BROKEN_TEXT\nThe router answers; the internet beyond it does not"
    for round in $(seq "$COUNT"); do
        dropped=$((round % 2 == 1 ? 1 : 3))
        start_bg ip netns exec "$E2E_FAR_NS" python3 "$E2E_DIR/icmp_tool.py" respond "first$dropped" 0 \
            "$E2E_WORK/answers.log" "${FAR_ADDRESSES[@]}" 192.0.2.254
        responder=$LAST_PID
        rm -f "$APP_DIR/connection-log.csv"
        start_measured "ping_time_interval=10"  # idle: the outage found by the interval's probe
        watcher=$LAST_PID
        sleep 10
        t0=$(now_ms)
        upstream lost
        shown=$(seconds_until_shown "$t0" "$BROKEN_TEXT" 30)
        sleep 1
        printf 'dropped%s\t%s\t%s\n' "$dropped" "$shown" "$(last_row | cut -d' ' -f2-)" >>"$TSV"
        upstream back
        peek command 107 >/dev/null
        wait_until 20 exited_with bench 0
        kill "$responder" "$watcher"
        wait "$responder" "$watcher" 2>/dev/null || true
    done
    ;;
ipv6)
    e2e_ipv6_network
    echo open >"$E2E_WORK/mode"
    start_bg in_far python3 "$E2E_DIR/icmp_tool.py" listen "$E2E_WORK/https.log"
    start_bg in_far python3 "$E2E_DIR/tcp_tool.py" web "$E2E_WORK/mode" "$E2E_WORK/web.log"
    start_measured "ping_time_interval=10"
    pull() { cable6 pulled; }
    plug() { cable6 back; }
    lose() { upstream6 lost; }
    restore() { upstream6 back; }
    for _ in $(seq "$COUNT"); do
        sleep "$(random_between 2 12)"
        change pulled pull "$BROKEN_TEXT"
        sleep "$(random_between 2 12)"
        change back plug "$ESTABLISHED_TEXT"
    done
    for _ in $(seq "$COUNT"); do
        sleep "$(random_between 2 12)"
        change lost lose "$BROKEN_TEXT"
        sleep "$(random_between 2 5)"
        change restored restore "$ESTABLISHED_TEXT"
    done
    ;;
idle-cost)
    install_lintora ""
    start_lintora bench
    wait_until 60 tray_shows connected || { echo "Lintora did not come up"; exit 1; }
    sleep 5
    pid=$(lintora_pids | head -n 1)
    ticks() {
        local p
        for p in "$pid" $(ip netns pids "$E2E_NS"); do
            if [ "$p" = "$pid" ] || [ "$(cat "/proc/$p/comm" 2>/dev/null)" = winedevice.exe ]; then
                awk '{print $14 + $15}' "/proc/$p/stat"
            fi
        done | awk '{s += $1} END {print s + 0}'
    }
    stamp() { stat -c %Y.%s "$APP_DIR/connection-log.running" 2>/dev/null || true; }  # none in older builds
    before=$(ticks)
    rewrites=0 last=$(stamp) end=$((SECONDS + COUNT))
    while [ $SECONDS -lt $end ]; do
        sleep 1
        now=$(stamp)
        [ "$now" != "$last" ] && rewrites=$((rewrites + 1))
        last=$now
    done
    printf 'seconds\t%s\ncpu_ticks\t%s\nclk_tck\t%s\nlast_known_rewrites\t%s\nrows\t%s\n' "$COUNT" \
        "$(($(ticks) - before))" "$(getconf CLK_TCK)" "$rewrites" "$(($(wc -l <"$APP_DIR/connection-log.csv") - 1))" >>"$TSV"
    ;;
*)
    echo "unknown part: $PART"
    exit 2
    ;;
esac
peek command 107 >/dev/null
check "Lintora exits with 0" wait_until 40 exited_with bench 0
e2e_finish
