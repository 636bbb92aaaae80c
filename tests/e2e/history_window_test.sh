#!/usr/bin/env bash
# What the log says of the time nothing was watched, and the History window
# that shows it: a sleep writes its Not watching row; a process killed while
# Connected gets its "unknown" row at the next start; the History drawn on a
# log with a day of every kind of period (its strips read off screenshots),
# closed with Esc, its place remembered; and the same at 150 %.
source "$(dirname "$0")/harness.sh"
LINTORA_EXE=$1
PEEK_EXE=$2
e2e_init history_window
e2e_start_display 1600x1200  # a screen Windows offers 150 % on
install_lintora $'[config]\nping_time_interval=1'
LOG="$APP_DIR/connection-log.csv"
rows() { tr -d '\r' <"$LOG" | tail -n +2; }
row_is() { [ "$(last_row)" = "$1" ]; }
within() { (($1 >= $2 && $1 <= $3)); }  # within N LOW HIGH

# Two days as an earlier run wrote them. The day before yesterday: no
# internet 15:00-15:20, a sign-in page 19:00-19:06. Yesterday: the provider
# down 08:00-08:45, asleep 12:00-14:00, the cable out 20:00-20:30, Exit at 23:00.
yesterday=$(date -d "$(date -d yesterday +%F) 00:00" +%s)
today=$(date -d "$(date +%F) 00:00" +%s)
python3 - "$LOG" "$yesterday" <<'PY'
import sys, time
path, start = sys.argv[1], int(sys.argv[2])
def moment(t):
    stamp = time.strftime("%Y-%m-%dT%H:%M:%S%z", time.localtime(t))
    return stamp[:-2] + ":" + stamp[-2:]
rows = [(-24, "Connected", ""), (-9, "Broken", "internet"), (-8 - 2 / 3, "Connected", ""),
        (-5, "Broken", "sign-in page"), (-4.9, "Connected", ""), (8, "Broken", "provider"), (8.75, "Connected", ""),
        (12, "Not watching", "sleep"), (14, "Connected", ""), (20, "Broken", "no network"), (20.5, "Connected", ""),
        (23, "Not watching", "exit")]
with open(path, "w", newline="") as log:
    log.write("time,state,seconds_in_previous_state,cause\r\n")
    before = None
    for hours, state, cause in rows:
        at = start + round(hours * 3600)
        log.write(f"{moment(at)},{state},{'' if before is None else at - before},{cause}\r\n")
        before = at
# Their hours as the quality record has them, Connected ones timed: 24 ms and
# nothing lost, but the day before yesterday 10:00, 180 ms and 8 % lost.
with open(path.replace("connection-log.csv", "connection-quality.csv"), "w", newline="") as record:
    record.write("hour,requests,answered,lost_percent,median_ms,p95_ms,max_ms\r\n")
    for hour in range(-24, 23):
        if -9 <= hour < -8 or -5 <= hour < -4 or 8 <= hour < 9 or 12 <= hour < 14 or hour == 20:
            continue
        poor = hour == -14
        record.write(f"{moment(start + hour * 3600)},60,{55 if poor else 60},{8.3 if poor else 0.0:.1f},"
                     f"{180 if poor else 24},{260 if poor else 31},{300 if poor else 45}\r\n")
PY
# The strip of a day as the colours' order and their bounds, in thousandths of the day.
expected_strip() {
    python3 - "$yesterday" "$today" <<'PY'
import sys
start, end = map(int, sys.argv[1:3])
at = lambda hours: (int(hours * 3600)) * 1000 // (end - start)
bounds = [0, 8, 8.75, 12, 14, 20, 20.5, 23]
names = ["up", "far", "up", "grey", "up", "near", "up", "grey"]
print(" ".join(f"{n}@{at(b)}" for n, b in zip(names, bounds)))
PY
}
# The strips of the History window on screen now, one line each, oldest first.
history_strips() {
    local x y w h
    read -r x y w h < <(history_rect)
    python3 "$E2E_DIR/history_strips.py" "$(screenshot history)" "$x" "$y" "$w" "$h"
}
# Whether a strip read off the screen matches the expected runs, each bound within 1 %.
strip_matches() {
    python3 - "$1" "$2" <<'PY'
import sys
seen = [(r.split("@")[0], int(r.split("@")[1].split("-")[0])) for r in sys.argv[1].split()]
want = [(r.split("@")[0], int(r.split("@")[1])) for r in sys.argv[2].split()]
sys.exit(0 if [n for n, _ in seen] == [n for n, _ in want] and
         all(abs(a - b) <= 10 for (_, a), (_, b) in zip(seen, want)) else 1)
PY
}
# The tip over the first amber hour of the strips, "" where there is none.
poor_hour_tip() {
    local x y w h px py
    read -r x y w h < <(history_rect)
    read -r px py < <(python3 "$E2E_DIR/history_strips.py" "$(screenshot)" "$x" "$y" "$w" "$h" --where poor) || return 0
    xdotool mousemove "$px" "$py"
    sleep 2
    peek tooltips | grep 'This hour' | head -n 1
}
history_shows_yesterday() {
    local strips
    strips=$(history_strips)
    e2e_log "strips: $(echo "$strips" | tr '\n' '|')"
    [ "$(echo "$strips" | wc -l)" = 7 ] && strip_matches "$(echo "$strips" | sed -n 6p)" "$(expected_strip)"
}
# The History window's place and size: "X Y W H".
history_rect() { peek history | LC_ALL=C sed 's/.* x=\([0-9-]*\) y=\([0-9-]*\) w=\([0-9]*\) h=\([0-9]*\) .*/\1 \2 \3 \4/'; }
# keep_shot NAME: the window with a margin, for the README.
keep_shot() {
    [ -n "${LINTORA_SHOTS:-}" ] || return 0
    local x y w h
    read -r x y w h < <(history_rect)
    convert "$(screenshot)" -crop "$((w + 20))x$((h + 20))+$((x - 10))+$((y - 10))" +repage "$LINTORA_SHOTS/$1.png"
}
older_days_grey() { [ "$(history_strips | head -n 4 | sort -u)" = "grey@0-1000" ]; }
# scaled_by_half W H W100 H100: within 10 % of 1.5 times.
scaled_by_half() { (($1 * 100 >= $3 * 140 && $1 * 100 <= $3 * 160 && $2 * 100 >= $4 * 140 && $2 * 100 <= $4 * 160)); }

loopback up
start_lintora first
check "the run's first row: Connected" wait_until 30 row_is Connected

# A sleep: the row that says so, and the first row after the resume counts from it.
peek suspend >/dev/null
check "the suspend writes Not watching, sleep" wait_until 10 row_is "Not watching sleep"
sleep 3
peek resume >/dev/null
check "after the resume: Connected" wait_until 30 row_is Connected
slept=$(rows | tail -n 1 | cut -d, -f3)
check "which counts the time since the sleep row ($slept s)" within "$slept" 3 40

# The History from the menu's command, on the seeded day and this run.
peek command 120 >/dev/null
check "the History window opens" wait_until 10 peek_matches 'found=1 visible=1*' history
sleep 2
check "yesterday's strip: green, the provider's darker red, grey for the sleep, the cable's lighter red" \
    wait_until 10 history_shows_yesterday
keep_shot history-100
read -r x100 _ width100 height100 < <(history_rect)
check "the days before the log: grey" older_days_grey
tip=$(poor_hour_tip)
e2e_log "the poor hour's tip: $tip"
check "the poor hour is amber, and its tip gives its round trip and loss" \
    grep -q 'This hour: round trip 180 ms (95 % within 260 ms), lost 8.3 % (poor)' <<<"$tip"
if [ -n "${LINTORA_SHOTS:-}" ]; then
    read -r x y w h < <(history_rect)
    convert "$(screenshot)" -crop "$((w + 20))x$((h + 20))+$((x - 10))+$((y - 10))" +repage \
        "$LINTORA_SHOTS/history-poor-hour.png"
fi
xdotool mousemove 5 5
keys Escape
check "Esc closes it" wait_until 10 peek_matches 'found=0*' history
check "its place is remembered ($x100)" config_is history_h_position "$x100"

# Killed while Connected: the next start writes the moment it was last known to run.
last_known=$(date -d "$(rows | tail -n 1 | cut -d, -f1)" +%s)
for pid in $(lintora_pids); do kill -9 "$pid"; done
check "the process is gone" wait_until 20 bash -c '[ -f "$1" ]' _ "$E2E_WORK/first.exit"
start_lintora second
check "the next start writes Not watching, unknown, then its state" \
    wait_until 30 bash -c '[ "$(tr -d "\r" <"$1" | tail -n 2 | cut -d, -f2,4 | tr "\n" "|")" = "Not watching,unknown|Connected,|" ]' _ "$LOG"
unknown_at=$(date -d "$(rows | tail -n 2 | head -n 1 | cut -d, -f1)" +%s)
check "at the moment the run was last known to run" [ "$unknown_at" = "$last_known" ]
peek command 107 >/dev/null
check "Exit" wait_until 20 exited_with second 0

# At 150 %: the same window, half as large again.
timeout 20 wineserver -k 2>/dev/null
in_ns "$LINTORA_WINE" reg add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD /d 144 /f >/dev/null 2>&1
timeout 20 wineserver -w
start_lintora scaled
check "the program runs at 150 %" wait_until 30 row_is Connected
peek command 120 >/dev/null
check "the History window opens at 150 %" wait_until 10 peek_matches 'found=1 visible=1*' history
sleep 2
read -r _ _ width150 height150 < <(history_rect)
check "it is 1.5 times as large (${width150}x$height150 against ${width100}x$height100)" \
    scaled_by_half "$width150" "$height150" "$width100" "$height100"
check "and draws yesterday the same" wait_until 10 history_shows_yesterday
keep_shot history-150
peek command 107 >/dev/null
check "Exit closes the History too" wait_until 20 exited_with scaled 0

e2e_finish
