# The end-to-end harness, sourced by the tests in this folder.
#
# Each test gets a network namespace of its own whose /etc/hosts sends the
# probe hosts to 127.0.0.1 (so "the internet" is the namespace's loopback, which
# the test turns up and down), a Wine prefix of its own whose wineserver runs
# inside that namespace, and, when it asks, an Xvfb display with a Wine
# desktop. Everything it starts is stopped, and the namespace removed, when the
# test ends, however it ends. No traffic leaves the namespace's loopback.
#
# Environment: LINTORA_WINE_TEMPLATE, a booted prefix to copy (made once by
# the test runner; made here when missing).

set -euo pipefail

E2E_DIR=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
SOURCE_DIR=$(cd "$E2E_DIR/../.." && pwd)
source "$SOURCE_DIR/scripts/wine_env.sh"
# The loader of the program under test (ctest passes it): 32-bit Wine for the release.
LINTORA_WINE=${LINTORA_WINE:-$WINE64}
PROBE_HOSTS=$(sed -n 's/^ *"\([a-z0-9.-]*\)",$/\1/p' "$SOURCE_DIR/probe/probe_hosts.cpp")

E2E_NS=""
E2E_FAR_NS=""
E2E_DEAD_NS=""
E2E_WORK=""
E2E_XVFB_PID=""
E2E_PIDS=()
E2E_FAILURES=0

e2e_log() { printf '[%s] %s\n' "$(date +%T)" "$*"; }

e2e_fail() {
    e2e_log "FAIL: $*"
    E2E_FAILURES=$((E2E_FAILURES + 1))
}

# check DESCRIPTION COMMAND...: a named assertion.
check() {
    local what=$1
    shift
    if "$@"; then e2e_log "ok: $what"; else e2e_fail "$what"; fi
}

# expect_eq DESCRIPTION EXPECTED ACTUAL: an equality, with what was seen when it fails.
expect_eq() {
    if [ "$2" = "$3" ]; then e2e_log "ok: $1"; else e2e_fail "$1: expected '$2', saw '$3'"; fi
}

e2e_cleanup() {
    local status=$?
    set +e
    for pid in "${E2E_PIDS[@]}"; do kill "$pid" 2>/dev/null; done
    if [ -n "$E2E_WORK" ] && [ -d "$E2E_WORK/prefix" ]; then
        WINEPREFIX="$E2E_WORK/prefix" timeout 20 wineserver -k 2>/dev/null
    fi
    [ -n "$E2E_XVFB_PID" ] && kill "$E2E_XVFB_PID" 2>/dev/null
    for pid in "${E2E_PIDS[@]}"; do wait "$pid" 2>/dev/null; done
    if [ -n "$E2E_DEAD_NS" ]; then
        ip netns del "$E2E_DEAD_NS" 2>/dev/null
    fi
    if [ -n "$E2E_FAR_NS" ]; then
        for pid in $(ip netns pids "$E2E_FAR_NS" 2>/dev/null); do kill -9 "$pid" 2>/dev/null; done
        ip netns del "$E2E_FAR_NS" 2>/dev/null
        rm -rf "/etc/netns/$E2E_FAR_NS"
    fi
    if [ -n "$E2E_NS" ]; then
        # Anything still running in the namespace goes with it.
        for pid in $(ip netns pids "$E2E_NS" 2>/dev/null); do kill -9 "$pid" 2>/dev/null; done
        ip netns del "$E2E_NS" 2>/dev/null
        rm -rf "/etc/netns/$E2E_NS"
    fi
    # A test may have left a file or a folder immutable (to make it read-only for root).
    [ -n "$E2E_WORK" ] && find "$E2E_WORK" -path "$E2E_WORK/prefix" -prune -o -exec chattr -i {} + 2>/dev/null
    [ -n "$E2E_WORK" ] && [ -z "${E2E_KEEP:-}" ] && rm -rf "$E2E_WORK"
    exit "$status"
}

# e2e_init NAME: namespace, hosts file, work folder and Wine prefix.
e2e_init() {
    local name=$1
    [ "$(id -u)" = 0 ] || { echo "the end-to-end tests need root (network namespaces)"; exit 1; }
    trap e2e_cleanup EXIT
    trap 'exit 130' INT TERM
    # A command that stops the script outside a check says where it stopped.
    trap 'e2e_log "stopped by line $LINENO ($?): $BASH_COMMAND"' ERR
    E2E_NS="lintora-$name-$$"
    E2E_WORK=$(mktemp -d "/tmp/lintora-e2e-$name.XXXXXX")
    mkdir -p "/etc/netns/$E2E_NS"
    {
        echo "127.0.0.1 localhost"
        for host in $PROBE_HOSTS; do echo "127.0.0.1 $host"; done
    } >"/etc/netns/$E2E_NS/hosts"
    echo "nameserver 127.0.0.1" >"/etc/netns/$E2E_NS/resolv.conf"
    ip netns add "$E2E_NS"

    local template=${LINTORA_WINE_TEMPLATE:-}
    if [ -z "$template" ] || [ ! -f "$template/system.reg" ]; then
        template="$E2E_WORK/template"
        boot_prefix "$template"
    fi
    cp -a "$template" "$E2E_WORK/prefix"
    export WINEPREFIX="$E2E_WORK/prefix"
    # The first Wine process of the prefix starts its wineserver: in the namespace.
    in_ns wineserver -p
}

# e2e_far_network: the test's namespace becomes a PC behind a router: a veth
# pair ("the cable", lpc on the PC's side) and a default route lead to a
# second namespace, the internet, which holds the probe hosts' addresses
# (203.0.113.10, .11, ...) on its loopback; the PC's hosts file names them.
# No traffic leaves the two namespaces.
FAR_ADDRESSES=()
e2e_far_network() {
    E2E_FAR_NS="$E2E_NS-far"
    ip netns add "$E2E_FAR_NS"
    ip link add lpc netns "$E2E_NS" type veth peer name lrt netns "$E2E_FAR_NS"
    ip -n "$E2E_NS" addr add 192.0.2.1/24 dev lpc
    ip -n "$E2E_FAR_NS" addr add 192.0.2.254/24 dev lrt
    for link in lo lpc; do ip -n "$E2E_NS" link set "$link" up; done
    for link in lo lrt; do ip -n "$E2E_FAR_NS" link set "$link" up; done
    ip -n "$E2E_NS" route add default via 192.0.2.254
    echo "127.0.0.1 localhost" >"/etc/netns/$E2E_NS/hosts"
    local n=10 host
    for host in $PROBE_HOSTS; do
        FAR_ADDRESSES+=("203.0.113.$n")
        ip -n "$E2E_FAR_NS" addr add "203.0.113.$n/32" dev lo
        echo "203.0.113.$n $host" >>"/etc/netns/$E2E_NS/hosts"
        n=$((n + 1))
    done
}

in_far() { ip netns exec "$E2E_FAR_NS" "$@"; }

# e2e_far_name_server: the probe hosts' names come from a name server past the
# router (on the far namespace's loopback), as a provider's do; the PC's hosts
# file holds none of them. name_server lost|back takes it away and back.
NAME_SERVER=203.0.113.53
e2e_far_name_server() {
    local i=0 host
    for host in $PROBE_HOSTS; do echo "${FAR_ADDRESSES[$i]} $host"; i=$((i + 1)); done >"$E2E_WORK/names"
    echo "127.0.0.1 localhost" >"/etc/netns/$E2E_NS/hosts"
    echo "nameserver $NAME_SERVER" >"/etc/netns/$E2E_NS/resolv.conf"
    name_server back
    start_bg in_far python3 "$E2E_DIR/name_server.py" "$NAME_SERVER" "$E2E_WORK/names"
}
name_server() {
    if [ "$1" = lost ]; then
        ip -n "$E2E_FAR_NS" addr del "$NAME_SERVER/32" dev lo
    else
        ip -n "$E2E_FAR_NS" addr add "$NAME_SERVER/32" dev lo
    fi
}

# e2e_dead_link: a second link for the PC (ldead, 203.0.113.129/25, beside the
# hosts' addresses; the program asks its route look about 198.51.100.1) into a
# third namespace that forwards nothing: packets sent there vanish without an
# answer, as on a network joined that leads nowhere.
e2e_dead_link() {
    E2E_DEAD_NS="$E2E_NS-dead"
    ip netns add "$E2E_DEAD_NS"
    ip link add ldead netns "$E2E_NS" type veth peer name lnowhere netns "$E2E_DEAD_NS"
    ip -n "$E2E_NS" addr add 203.0.113.129/25 dev ldead
    ip -n "$E2E_DEAD_NS" addr add 203.0.113.254/25 dev lnowhere
    ip -n "$E2E_NS" link set ldead up
    ip -n "$E2E_DEAD_NS" link set lnowhere up
}
# default_route dead|router: where the PC's default route leads.
default_route() {
    if [ "$1" = dead ]; then
        ip -n "$E2E_NS" route replace default via 203.0.113.254
    else
        ip -n "$E2E_NS" route replace default via 192.0.2.254
    fi
}
cable() {  # cable pulled|back
    if [ "$1" = pulled ]; then
        ip -n "$E2E_NS" link set lpc down
    else
        ip -n "$E2E_NS" link set lpc up
        ip -n "$E2E_NS" route replace default via 192.0.2.254
    fi
}

# upstream lost|back: an outage past the router. Packets to the hosts vanish
# in the far namespace (forwarding on, their addresses gone, a blackhole
# route): no ICMP error and no reset, while the PC's cable and route stay up.
upstream() {
    local address
    if [ "$1" = lost ]; then
        in_far sysctl -q -w net.ipv4.ip_forward=1
        for address in "${FAR_ADDRESSES[@]}"; do ip -n "$E2E_FAR_NS" addr del "$address/32" dev lo; done
        ip -n "$E2E_FAR_NS" route add blackhole 203.0.113.0/24
    else
        ip -n "$E2E_FAR_NS" route del blackhole 203.0.113.0/24
        for address in "${FAR_ADDRESSES[@]}"; do ip -n "$E2E_FAR_NS" addr add "$address/32" dev lo; done
        in_far sysctl -q -w net.ipv4.ip_forward=0
    fi
}

# e2e_ipv6_network (after e2e_far_network): the far network made IPv6 only:
# the cable and the router on 2001:db8:1::/64, the probe hosts and the web
# check's name at their IPv4 addresses' NAT64 forms (64:ff9b::/96) on the
# far loopback, names answered with those alone (the PC's hosts file, as
# DNS64 would), no IPv4 address or route on the PC. upstream6 lost|back: an
# outage past the router; cable6 pulled|back; ipv4_dead: IPv4 back on the
# cable, the names giving both families, and IPv4 going nowhere.
e2e_ipv6_network() {
    ip -n "$E2E_NS" route del default
    ip -n "$E2E_NS" addr flush dev lpc
    ip -n "$E2E_NS" addr add 2001:db8:1::1/64 dev lpc nodad
    ip -n "$E2E_FAR_NS" addr add 2001:db8:1::fe/64 dev lrt nodad
    ip -n "$E2E_NS" -6 route add default via 2001:db8:1::fe
    NAT64_ADDRESSES=()
    echo "127.0.0.1 localhost" >"/etc/netns/$E2E_NS/hosts"
    local address host
    for host in $PROBE_HOSTS www.msftconnecttest.com; do
        address=${FAR_ADDRESSES[${#NAT64_ADDRESSES[@]}]:-${FAR_ADDRESSES[0]}}
        NAT64_ADDRESSES+=("64:ff9b::$(printf '%02x%02x:%02x%02x' ${address//./ })")
        echo "${NAT64_ADDRESSES[-1]} $host" >>"/etc/netns/$E2E_NS/hosts"
    done
    for address in $(printf '%s\n' "${NAT64_ADDRESSES[@]}" | sort -u); do
        ip -n "$E2E_FAR_NS" addr add "$address/128" dev lo nodad
    done
}
upstream6() {  # as upstream: packets to the hosts vanish, with no answer
    local address
    for address in $(printf '%s\n' "${NAT64_ADDRESSES[@]}" | sort -u); do
        if [ "$1" = lost ]; then
            ip -n "$E2E_FAR_NS" addr del "$address/128" dev lo
        else
            ip -n "$E2E_FAR_NS" addr add "$address/128" dev lo nodad
        fi
    done
    if [ "$1" = lost ]; then
        in_far sysctl -q -w net.ipv6.conf.all.forwarding=1
        ip -n "$E2E_FAR_NS" -6 route add blackhole 64:ff9b::/96
    else
        ip -n "$E2E_FAR_NS" -6 route del blackhole 64:ff9b::/96
        in_far sysctl -q -w net.ipv6.conf.all.forwarding=0
    fi
}
cable6() {  # cable6 pulled|back
    if [ "$1" = pulled ]; then
        ip -n "$E2E_NS" link set lpc down
    else
        ip -n "$E2E_NS" link set lpc up
        ip -n "$E2E_NS" addr replace 2001:db8:1::1/64 dev lpc nodad  # IPv6 drops its addresses with the link
        ip -n "$E2E_NS" -6 route replace default via 2001:db8:1::fe
    fi
}
ipv4_dead() {
    ip -n "$E2E_NS" addr add 192.0.2.1/24 dev lpc
    ip -n "$E2E_NS" route add default via 192.0.2.254
    upstream lost
    local i=0 host
    for host in $PROBE_HOSTS www.msftconnecttest.com; do
        echo "${FAR_ADDRESSES[$i]:-${FAR_ADDRESSES[0]}} $host" >>"/etc/netns/$E2E_NS/hosts"
        i=$((i + 1))
    done
}

# set_user_proxy HOST:PORT, set_user_proxy_script URL: the user's proxy for
# every address, or the automatic configuration script that names it, as
# Windows stores them in the registry: the flags (1 direct, 2 proxy, 4
# script), then the proxy, the bypass list (none) and the script's address.
user_proxy_setting() {
    local setting
    setting=$(python3 -c 'import struct, sys
flags, proxy, script = int(sys.argv[1]), sys.argv[2].encode(), sys.argv[3].encode()
blob = struct.pack("<III", 0x46, 1, flags)
for text in (proxy, b"", script):
    blob += struct.pack("<I", len(text)) + text
print((blob + bytes(32)).hex())' "$@")
    in_ns "$LINTORA_WINE" reg add 'HKCU\Software\Microsoft\Windows\CurrentVersion\Internet Settings\Connections' \
        /v DefaultConnectionSettings /t REG_BINARY /d "$setting" /f >/dev/null 2>&1
}
set_user_proxy() { user_proxy_setting 3 "$1" ""; }
set_user_proxy_script() { user_proxy_setting 5 "" "$1"; }

# far_names NAME=ADDRESS...: the names that programs in the far namespace
# (a proxy) look up, from its own hosts file; nothing is asked of a server.
far_names() {
    mkdir -p "/etc/netns/$E2E_FAR_NS"
    echo "nameserver 127.0.0.1" >"/etc/netns/$E2E_FAR_NS/resolv.conf"
    local pair
    for pair in "$@"; do echo "${pair#*=} ${pair%%=*}"; done >"/etc/netns/$E2E_FAR_NS/hosts"
}

# start_tinyproxy NAMESPACE ADDRESS PORT [CONFIG LINE...]: Debian's tinyproxy,
# a real proxy as offices run, listening there; it logs a "Request" line to
# $E2E_WORK/tinyproxy-PORT.log for each request it takes. TINYPROXY_PID is
# its process.
start_tinyproxy() {
    local namespace=$1 address=$2 port=$3 config="$E2E_WORK/tinyproxy-$3.conf"
    shift 3
    printf '%s\n' "Port $port" "Listen $address" "Timeout 10" "MaxClients 20" "LogLevel Connect" \
        "LogFile \"$E2E_WORK/tinyproxy-$port.log\"" "$@" >"$config"
    start_bg ip netns exec "$namespace" tinyproxy -d -c "$config"
    TINYPROXY_PID=$LAST_PID
    wait_until 10 ip netns exec "$namespace" bash -c "echo >/dev/tcp/$address/$port" 2>/dev/null
}
# proxy_office: an office where the user's proxy goes out: the web's test
# page served at UPLINK (198.51.100.80) past the router, as $E2E_WORK/mode
# says ("open"), its name answered there, and tinyproxy at 192.0.2.254:3128
# on the router's side as the user's proxy. Losing UPLINK cuts the proxy's
# own way out.
proxy_office() {
    UPLINK=198.51.100.80
    echo open >"$E2E_WORK/mode"
    ip -n "$E2E_FAR_NS" addr add "$UPLINK/32" dev lo
    start_bg in_far python3 "$E2E_DIR/tcp_tool.py" web "$E2E_WORK/mode" "$E2E_WORK/web.log"
    far_names "www.msftconnecttest.com=$UPLINK"
    start_tinyproxy "$E2E_FAR_NS" 192.0.2.254 3128
    set_user_proxy 192.0.2.254:3128
}
proxy_requests() { grep -c 'Request (file descriptor' "$E2E_WORK/tinyproxy-$1.log" 2>/dev/null || true; }
stop_tinyproxy() { kill "$TINYPROXY_PID" 2>/dev/null; wait "$TINYPROXY_PID" 2>/dev/null || true; }

# in_ns COMMAND...: runs a command inside the test's namespace.
in_ns() { ip netns exec "$E2E_NS" "$@"; }

loopback() { in_ns ip link set lo "$1"; }

# e2e_start_display [WIDTHxHEIGHT]: an Xvfb display of the test's own, and a
# Wine desktop of that size (1024x768 unless told) that every Wine program of
# the prefix opens its windows in.
e2e_start_display() {
    local size=${1:-1024x768}
    start_xvfb "$size"
    E2E_XVFB_PID=$XVFB_PID
    in_ns "$LINTORA_WINE" reg add 'HKCU\Software\Wine\Explorer' /v Desktop /d shell /f >/dev/null 2>&1
    in_ns "$LINTORA_WINE" reg add 'HKCU\Software\Wine\Explorer\Desktops' /v shell /d "$size" /f >/dev/null 2>&1
}

# start_bg COMMAND...: a background process of the test, stopped at the end.
start_bg() {
    "$@" &
    E2E_PIDS+=("$!")
    LAST_PID=$!
}

# wait_until SECONDS COMMAND...: polls a condition, twice a second.
wait_until() {
    local limit=$1
    shift
    local deadline=$((SECONDS + limit))
    while [ "$SECONDS" -lt "$deadline" ]; do
        if "$@"; then return 0; fi
        sleep 0.5
    done
    "$@"
}

e2e_finish() {
    if [ "$E2E_FAILURES" -eq 0 ]; then
        e2e_log "all checks passed"
        exit 0
    fi
    e2e_log "$E2E_FAILURES check(s) failed"
    exit 1
}

# --- Lintora itself -------------------------------------------------------

LINTORA_EXE=""   # set by the test: the program under test
PEEK_EXE=""      # set by the test: lintora_peek.exe
APP_DIR=""       # Lintora's folder, where its config.ini lives

# install_lintora [CONFIG_TEXT]: Lintora in a folder of its own, with a
# config.ini written beforehand when given (CR LF line ends added). The
# folder's name holds letters that no single-byte code page spells all of.
install_lintora() {
    APP_DIR="$E2E_WORK/Пётр Zoë 東京"
    mkdir -p "$APP_DIR"
    cp "$LINTORA_EXE" "$APP_DIR/Lintora.exe"
    if [ $# -gt 0 ]; then printf '%s' "$1" | sed 's/$/\r/' >"$APP_DIR/config.ini"; fi
}

# states: the states the connection log shows, in order (a row that only
# moves the cause of a Broken is left out); states_are TEXT.
states() {
    tr -d '\r' <"$APP_DIR/connection-log.csv" 2>/dev/null | tail -n +2 |
        awk -F, '$2 != state || $4 == cause { printf "%s%s", sep, $2; sep = " " } { state = $2; cause = $4 }'
}
states_are() { [ "$(states)" = "$1" ]; }
# last_row: the state and cause of the log's last row, "Broken router";
# causes: the causes of every row, in order, "-" for none.
last_row() { tr -d '\r' <"$APP_DIR/connection-log.csv" 2>/dev/null | tail -n 1 | awk -F, '{ print $2 " " $4 }' | sed 's/ $//'; }
causes() {
    tr -d '\r' <"$APP_DIR/connection-log.csv" 2>/dev/null | tail -n +2 |
        awk -F, '{ printf "%s%s", sep, ($4 == "" ? "-" : $4); sep = " " }'
}

# expect_next STATE LIMIT WHAT ACTION...: runs the action (the outage or its
# end), and the log's next row shows that state within the limit; says how
# long it took. The rows before are read before the action: a return can be
# logged before the action's last command has even ended.
expect_next() {
    local from=$SECONDS expected
    expected="$(states) $1"
    "${@:4}"
    if wait_until "$2" states_are "${expected# }"; then
        e2e_log "ok: $3: $1 in $((SECONDS - from)) s"
    else
        e2e_fail "$3: $1 not within $2 s; the log: $(tr -d '\r' <"$APP_DIR/connection-log.csv" 2>/dev/null | tail -n +2 | tr '\n' '|')"
    fi
}

# start_lintora NAME [wine arguments before the program]: starts a copy in the
# namespace; its exit code goes to $E2E_WORK/NAME.exit when it ends.
start_lintora() {
    local name=$1
    shift
    rm -f "$E2E_WORK/$name.exit"
    start_bg bash -c 'ip netns exec "$1" "$2" "${@:4}" "$3" >/dev/null 2>&1; echo $? >"$0"' \
        "$E2E_WORK/$name.exit" "$E2E_NS" "$LINTORA_WINE" "$APP_DIR/Lintora.exe" "$@"
}

# listen_to_sounds: what the copies started from now on play is appended,
# as raw samples, to $E2E_WORK/audio.raw (Wine's ALSA driver into ALSA's
# file device, which needs no sound card).
listen_to_sounds() {
    mkdir -p "$E2E_WORK/home"
    : >"$E2E_WORK/audio.raw"
    printf 'pcm.!default {\n type file\n slave.pcm "null"\n file "|cat >> %s"\n format "raw"\n}\n' \
        "$E2E_WORK/audio.raw" >"$E2E_WORK/home/.asoundrc"
    export HOME="$E2E_WORK/home"
    export WINEDLLOVERRIDES="winepulse.drv,wineoss.drv=d;winemenubuilder.exe=d"
}

# make_sound FILE SEED: a wave of noise of its own; times_heard FILE: how
# often it has been played; heard FILE N: exactly N times.
make_sound() { python3 "$E2E_DIR/sound_tool.py" make "$1" "$2"; }
# plant_dlls DIR: the planted DLL beside a program as winmm.dll and
# iphlpapi.dll (system DLLs that are not known DLLs), with Wine told to prefer
# such "native" DLLs to its own for programs started from now on.
plant_dlls() {
    local dll
    for dll in winmm iphlpapi; do cp "$LINTORA_PLANTED_DLL" "$1/$dll.dll"; done
    export WINEDLLOVERRIDES="$WINEDLLOVERRIDES;winmm,iphlpapi=n,b"
}
# planted_dlls_loaded DIR: the names of the planted DLLs that were loaded.
planted_dlls_loaded() { (cd "$1" && ls -- *.loaded 2>/dev/null | tr '\n' ' '); }

times_heard() { python3 "$E2E_DIR/sound_tool.py" count "$1" "$E2E_WORK/audio.raw"; }
heard() { [ "$(times_heard "$1")" = "$2" ]; }

exited_with() {  # exited_with NAME CODE
    [ -f "$E2E_WORK/$1.exit" ] && [ "$(cat "$E2E_WORK/$1.exit")" = "$2" ]
}

# peek VERB ...: the helper's answer, without CRs. A status read answers 0
# whenever the helper runs, so its failure is Wine failing to start the
# helper, as it does now and then under load: it is read once more.
peek() {
    local answer status=0
    answer=$(in_ns "$LINTORA_WINE" "$PEEK_EXE" "$@" 2>>"$E2E_WORK/peek.err") || status=$?
    if [ "$status" != 0 ] && [ "$1" = status ]; then
        e2e_log "the status read failed ($status), read again"
        status=0
        answer=$(in_ns "$LINTORA_WINE" "$PEEK_EXE" "$@" 2>>"$E2E_WORK/peek.err") || status=$?
    fi
    [ -z "$answer" ] || printf '%s\n' "${answer//$'\r'/}"
    return "$status"
}

# screenshot [NAME]: the whole desktop, kept in the work folder; prints its path.
screenshot() {
    local file="$E2E_WORK/shot-$(date +%H%M%S-%N)${1:+-$1}.png"
    import -display "$DISPLAY" -window root "$file" 2>/dev/null
    echo "$file"
}

tray() { python3 "$E2E_DIR/tray_icons.py" "$(screenshot)"; }

tray_shows() {  # tray_shows broken|connected|none: exactly that one icon
    local seen
    seen=$(tray)
    case $1 in
    broken) [[ $seen =~ broken=[1-9].*connected=0\ icons=1$ ]] ;;
    connected) [[ $seen =~ broken=0\ connected=[1-9].*icons=1$ ]] ;;
    none) [[ $seen = "broken=0 connected=0 icons=0" ]] ;;
    esac
}

# lintora_pids: the Lintora processes of this test's namespace (other tests
# or benchmarks may run copies of their own).
lintora_pids() {
    local pid
    for pid in $(ip netns pids "$E2E_NS" 2>/dev/null); do
        [ "$(cat "/proc/$pid/comm" 2>/dev/null)" = Lintora.exe ] && echo "$pid"
    done
    return 0
}

lintora_processes() { lintora_pids | wc -l; }

# --- Driving the menu as a user does ------------------------------------------

menu_open() { [ -n "$(peek menus)" ]; }

# focus_menu: X keyboard focus on the open menu's own X window, so that keys
# reach it. The window is known by its size (xdotool misreports the position
# of these windows).
focus_menu() {
    local x y w h win
    read -r x y w h < <(peek menus | tail -n 1) || return 1
    for win in $(xdotool search --onlyvisible --class lintora.exe 2>/dev/null); do
        if xdotool getwindowgeometry "$win" | grep -q "Geometry: ${w}x${h}\$"; then
            xdotool windowfocus --sync "$win"
            return 0
        fi
    done
    return 1
}

# right_click_icon / left_click_icon: a click on the notification icon.
icon_click() {
    local x y
    read -r x y < <(python3 "$E2E_DIR/tray_icons.py" "$(screenshot)" --where)
    xdotool mousemove "$x" "$y" click "$1"
}

# open_menu: right-click on the icon and wait for the menu, focused for keys.
# Once in a long while on a loaded machine the menu is gone again right after
# it was focused; that is said, and the user's second right-click follows.
open_menu() {
    open_menu_once || return 1
    sleep 0.3
    menu_open && return 0
    e2e_log "the menu closed as soon as it opened: right-clicking again"
    open_menu_once
}

open_menu_once() {
    icon_click 3
    wait_until 10 menu_open || return 1
    # Off the icon, so that its tip does not cover the menu.
    xdotool mousemove 300 300
    wait_until 5 focus_menu
}

keys() {
    xdotool key --delay 200 "$@"
    sleep 0.5
}

# menu KEYS...: opens the menu and presses the keys; Down selects the first
# item of a freshly opened menu, Right opens a submenu at its first item.
menu() {
    open_menu || return 1
    keys "$@"
}

# marks_of_open_menu [N]: check marks and grayed lines of the N-th open menu
# (1: the deepest open submenu).
marks_of_open_menu() {
    local x y w h
    read -r x y w h < <(peek menus | sed -n "${1:-1}p")
    python3 "$E2E_DIR/menu_marks.py" "$(screenshot)" "$x" "$y" "$w" "$h"
}

config_value() { tr -d '\r' <"$APP_DIR/config.ini" | sed -n "s/^$1=//p"; }
config_is() { [ "$(config_value "$1")" = "$2" ]; }

# peek_matches PATTERN ARGS...: what the helper says matches a bash pattern.
# (A function, so that check and wait_until can poll it directly.)
# shellcheck disable=SC2053
peek_matches() { [[ $(peek "${@:2}") == $1 ]]; }
config_stamp() { stat -c '%.9Y %s' "$APP_DIR/config.ini"; }

# choose_in_dialog UNIX_PATH: names a file in the open-file dialog and presses Open.
choose_in_dialog() {
    local dialog="Choose the sound you want to play"
    wait_until 10 peek_matches visible=1 window "$dialog" || return 1
    peek choose-file "$dialog" "Z:${1//\//\\}" >/dev/null
}
