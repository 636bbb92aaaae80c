#!/usr/bin/env bash
# The History window's summary and the month's report, on a seeded month: a
# provider's outage every evening of the last ten days, the cable pulled
# some mornings, one outage over midnight. Copy Summary gives the split
# figures and every outage; Ctrl+S, a name typed into the Save As dialog,
# and the file holds every outage with its side; a folder that cannot be
# written gets the message, and no file.
source "$(dirname "$0")/harness.sh"
LINTORA_EXE=$1
PEEK_EXE=$2
e2e_init report
e2e_start_display
install_lintora $'[config]\nping_time_interval=60'
LOG="$APP_DIR/connection-log.csv"
loopback up
# The seeded month, as an earlier run wrote it; prints the outages it holds
# within the report's 30 days, a line each: "START SIDE".
python3 - "$LOG" >"$E2E_WORK/seeded" <<'PY'
import sys, time
path = sys.argv[1]
midnight = int(time.mktime(time.strptime(time.strftime("%Y-%m-%d"), "%Y-%m-%d")))
def moment(t):
    stamp = time.strftime("%Y-%m-%dT%H:%M:%S%z", time.localtime(t))
    return stamp[:-2] + ":" + stamp[-2:]
rows = [(-40 * 24, "Connected", "")]
for day in range(-10, 0):
    rows += [(day * 24 + 20, "Broken", "provider"), (day * 24 + 20.5, "Connected", "")]
for day in (-25, -18, -12):
    rows += [(day * 24 + 8, "Broken", "no network"), (day * 24 + 8.25, "Connected", "")]
rows += [(-15 * 24 + 23.5, "Broken", "internet"), (-14 * 24 + 0.5, "Connected", ""), (-1, "Not watching", "exit")]
rows.sort()
with open(path, "w", newline="") as log:
    log.write("time,state,seconds_in_previous_state,cause\r\n")
    before = None
    for hours, state, cause in rows:
        at = midnight + round(hours * 3600)
        log.write(f"{moment(at)},{state},{'' if before is None else at - before},{cause}\r\n")
        before = at
        if state == "Broken" and hours >= -29 * 24:
            print(time.strftime("%Y-%m-%d %H:%M:%S", time.localtime(at)),
                  "beyond the router" if cause in ("provider", "internet") else "this side")
PY
start_lintora report
check "Connected" wait_until 30 bash -c '[ "$(tr -d "\r" <"$1" | tail -n 1 | cut -d, -f2)" = Connected ]' _ "$LOG"
peek command 120 >/dev/null
check "the History window opens" wait_until 10 peek_matches 'found=1 visible=1*' history
sleep 1

keys ctrl+c
summary=$(peek clipboard | tr -d '\r')
check "the summary splits each day's figures by side" \
    grep -q "  uptime 97.9 %  outages 1  down 0:30:00  longest 0:30:00  beyond the router: outages 1  down 0:30:00" <<<"$summary"
listed=$(sed -n '/^Outages$/,$p' <<<"$summary" | tail -n +2)
e2e_log "the summary's outages: $(echo "$listed" | wc -l)"
check "and lists the week's outages with their sides" \
    bash -c '[ "$(grep -c "  beyond the router  The router answers; the internet beyond it does not$" <<<"$1")" = 6 ]' _ "$listed"

mkdir -p "$E2E_WORK/saved" "$E2E_WORK/locked"
save_as() {  # save_as UNIX_PATH: Ctrl+S and a name typed into the Save As dialog
    peek command 120 >/dev/null  # the History to the front (the browser may have taken it)
    sleep 1
    keys ctrl+s
    wait_until 10 peek_matches visible=1 window "Save Report" || return 1
    peek choose-file "Save Report" "Z:${1//\//\\}" >/dev/null
}
check "Ctrl+S opens the Save As dialog" save_as "$E2E_WORK/saved/month.html"
check "the report is written" wait_until 15 test -s "$E2E_WORK/saved/month.html"
report="$E2E_WORK/saved/month.html"
rows_ok=0
while read -r date clock side; do
    grep -q "<tr><td>$date $clock</td>.*<td class=\"text\">$side</td>" "$report" && rows_ok=$((rows_ok + 1))
done <"$E2E_WORK/seeded"
expect_eq "every outage of the month, with its side" "$(wc -l <"$E2E_WORK/seeded")" "$rows_ok"
check "nothing from outside the page" bash -c '! grep -Eq "<script|https?://" "$1"' _ "$report"
check "its note, the days and the hour profile" grep -q "Down time beyond the router by hour of the day" "$report"
# Where a browser is installed: the page never scrolls sideways in a window
# 640 or 500 pixels wide (200 % zoom of a window 1280 or 1000 wide), nor at
# the width left on A4 by its margins (688) with the page's own print rules.
page_fits() {  # page_fits WIDTH [CSS]: the page's width against the window's
    sed "s#</style>#${2:-}</style>#; s#</body>#<script>document.title = document.documentElement.scrollWidth + ' ' + document.documentElement.clientWidth</script></body>#" \
        "$report" >"$E2E_WORK/fits.html"
    local sizes
    sizes=$(timeout 120 "$browser" --headless --no-sandbox --disable-gpu --hide-scrollbars --window-size="$1,900" \
        --dump-dom "file://$E2E_WORK/fits.html" 2>/dev/null | sed -n 's#.*<title>\([0-9]*\) \([0-9]*\)</title>.*#\1 \2#p')
    e2e_log "at $1 pixels: the page ${sizes% *} wide, the window ${sizes#* }"
    [ -n "$sizes" ] && [ "${sizes% *}" -le "${sizes#* }" ]
}
browser=$(command -v chromium || command -v chromium-browser || true)
if [ -n "$browser" ]; then
    check "the page fits a window 640 wide" page_fits 640
    check "and 500 wide" page_fits 500
    check "and A4 printed" page_fits 688 "$(sed -n 's/^@media print{\(.*\)}$/\1/p' "$report")"
fi
# For the README: the page as a headless browser shows it where one is
# installed; else the day strips, drawn by ImageMagick from the page's SVG.
render_report() {
    local shot=$LINTORA_SHOTS/report.png
    if [ -n "$browser" ]; then
        timeout 120 "$browser" --headless --no-sandbox --disable-gpu --hide-scrollbars --window-size=820,1400 \
            --screenshot="$shot" "file://$1" >/dev/null 2>&1
    else
        python3 - "$1" >"$E2E_WORK/strips.svg" <<'PY'
import re, sys
days = re.findall(r'<svg class="strip".*?</svg>', open(sys.argv[1], encoding="utf-8").read(), re.S)
print(f'<svg xmlns="http://www.w3.org/2000/svg" width="800" height="{len(days) * 16}">')
for n, day in enumerate(days):
    print(day.replace('<svg ', f'<svg x="0" y="{n * 16}" width="800" height="10" ', 1))
print("</svg>")
PY
        convert "$E2E_WORK/strips.svg" "$shot"
    fi
}
[ -z "${LINTORA_SHOTS:-}" ] || render_report "$report"

chattr +i "$E2E_WORK/locked"
check "a folder that cannot be written: the dialog" save_as "$E2E_WORK/locked/month.html"
check "gets the message" wait_until 15 peek_matches 'count=1*' boxes "Report not saved"
peek dismiss "Report not saved" >/dev/null
expect_eq "and holds no file" "" "$(ls -A "$E2E_WORK/locked")"
chattr -i "$E2E_WORK/locked"

keys Escape
peek command 107 >/dev/null
check "Exit" wait_until 20 exited_with report 0
e2e_finish
