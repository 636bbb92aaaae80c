#!/usr/bin/env bash
# The running program measured in a namespace (called by run_benchmarks.sh):
#   live_benchmarks.sh OUTDIR CHANGES_EACH_WAY MIN_PROBES IDLE_SECONDS
# Detection latency of every change of the loopback ("the internet") as the
# status window shows it, the threads, handles and GUI objects of the process
# every 100 probes, and its CPU time while idle behind a router. Writes OUTDIR/*.tsv.
source "$(dirname "$0")/bench_harness.sh"
OUT=$1
CHANGES=$2
MIN_PROBES=$3
IDLE_SECONDS=$4
mkdir -p "$OUT"
e2e_init bench
e2e_start_display

# Part 1: latency and soak, interval 1 s, the status window on and never hidden.
install_lintora $'[config]\nping_time_interval=1\nuse_dialog_message=yes\nmessage_hide_time=0'
loopback up
start_bg in_ns python3 "$E2E_DIR/icmp_tool.py" capture "$E2E_WORK/wire.hex"
start_lintora soak
wait_until 30 tray_shows connected || { echo "Lintora did not come up"; exit 1; }
watch_status

probes() { python3 "$E2E_DIR/icmp_tool.py" requests "$E2E_WORK/wire.hex" | awk '$5 == "ok"' | wc -l | awk '{print int($1 / 4)}'; }
next_sample=0
changes_done=0
sample() {
    local p
    p=$(probes)
    if [ "$p" -ge "$next_sample" ]; then
        local pid
        pid=$(lintora_pids | head -n 1)
        # What Wine reports of the process, and what Linux sees of it.
        printf '%s\t%s\t%s fds=%s rss_kib=%s\n' "$p" "$changes_done" "$(peek resources)" \
            "$(ls "/proc/$pid/fd" | wc -l)" "$(awk '/VmRSS/ {print $2}' "/proc/$pid/status")" >>"$OUT/soak.tsv"
        next_sample=$(( (p / 100 + 1) * 100 ))
    fi
}
: >"$OUT/latency.tsv"
: >"$OUT/soak.tsv"
missed=0
sample
for i in $(seq 1 $((2 * CHANGES))); do
    if [ $((i % 2)) = 1 ]; then direction=down; text=$BROKEN_TEXT; else direction=up; text=$ESTABLISHED_TEXT; fi
    sleep "$(awk -v r=$RANDOM 'BEGIN { printf "%.2f", r / 32767 * 4 }')"  # a random moment of the probe cycle
    t0=$(now_ms)
    [ $direction = down ] && loopback down || loopback up
    latency=$(seconds_until_shown "$t0" "$text" 60)
    if [ "$latency" = missed ]; then
        missed=$((missed + 1))
        echo "missed $direction change $i"
    else
        printf '%s\t%s\n' "$direction" "$latency" >>"$OUT/latency.tsv"
    fi
    changes_done=$i
    sample
done
# More probes while Connected, until the soak has its count.
[ "$direction" = up ] || { loopback up; wait_until 40 tray_shows connected; }
while [ "$(probes)" -lt "$MIN_PROBES" ]; do sleep 10; sample; done
sample
shown_lines=$(grep -c ' shown Internet' "$E2E_WORK/watch.log" || true)
printf 'missed\t%s\nstatus_changes_seen\t%s\nchanges_made\t%s\nprobes\t%s\n' \
    "$missed" "$shown_lines" "$((2 * CHANGES))" "$(probes)" >"$OUT/counts.tsv"
peek command 107 >/dev/null
wait_until 20 exited_with soak 0

# Part 2: idle cost, default interval (60 s), Connected, on a network shaped
# like a PC's: the interface that carries the internet is a veth whose
# counters are read.
e2e_far_network
rm -f "$APP_DIR/config.ini"
start_lintora idle
wait_until 30 tray_shows connected
pid=$(lintora_pids | head -n 1)
ticks() { awk '{print $14 + $15}' "/proc/$pid/stat"; }
# Wine serves the interface counters and routes from its device process (nsiproxy): its time counts too.
device_ticks() {
    local p
    for p in $(ip netns pids "$E2E_NS"); do
        if [ "$(cat "/proc/$p/comm" 2>/dev/null)" = winedevice.exe ]; then awk '{print $14 + $15}' "/proc/$p/stat"; fi
    done | awk '{s += $1} END {print s + 0}'
}
d0=$(device_ticks)
t0=$(ticks)
w0=$(date +%s.%N)
sleep "$IDLE_SECONDS"
t1=$(ticks)
d1=$(device_ticks)
w1=$(date +%s.%N)
printf 'seconds\t%s\ncpu_ticks\t%s\nclk_tck\t%s\ndevice_ticks\t%s\n' \
    "$(awk -v a="$w0" -v b="$w1" 'BEGIN { printf "%.1f", b - a }')" "$((t1 - t0))" "$(getconf CLK_TCK)" \
    "$((d1 - d0))" >"$OUT/idle.tsv"
peek command 107 >/dev/null
wait_until 20 exited_with idle 0
e2e_finish
