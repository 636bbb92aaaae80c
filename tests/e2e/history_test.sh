#!/usr/bin/env bash
# The connection's history through real changes: the rows of a run in
# connection-log.csv, a log held open by other programs or read-only (rows
# kept and written later), its rotation at 1 MiB, and "Start with Windows" in
# the user's Run key.
source "$(dirname "$0")/harness.sh"
LINTORA_EXE=$1
PEEK_EXE=$2
e2e_init history
e2e_start_display
install_lintora $'[config]\nping_time_interval=1'
LOG="$APP_DIR/connection-log.csv"
HEADER="time,state,seconds_in_previous_state,cause"
rows() { tr -d '\r' <"$LOG" | tail -n +2; }
row_count() { rows | wc -l; }
has_rows() { [ -f "$LOG" ] && [ "$(row_count)" -ge "$1" ]; }
ROW='^[0-9]{4}-[0-9]{2}-[0-9]{2}T[0-9]{2}:[0-9]{2}:[0-9]{2}[+-][0-9]{2}:[0-9]{2},(Connected,[0-9]*,|Broken,[0-9]*,(no network|router|provider|names|sign-in page))$'

# A run: the first state, then two changes.
loopback down
start_lintora first
check "the first state found is logged" wait_until 30 has_rows 1
sleep 3
loopback up
check "the change to Connected is logged" wait_until 30 has_rows 2
loopback down
check "the change to Broken is logged" wait_until 40 has_rows 3
e2e_log "log: $(tr -d '\r' <"$LOG" | tr '\n' '|')"
expect_eq "a new log starts with its header, CR LF ended" "$HEADER"$'\r' "$(head -n 1 "$LOG")"
check "every row has a local time with its offset, a state, whole seconds and a cause for Broken" \
    bash -c '! tr -d "\r" <"$1" | tail -n +2 | grep -Evq "$2"' _ "$LOG" "$ROW"
expect_eq "the states in order" "Broken Connected Broken" "$(rows | cut -d, -f2 | tr '\n' ' ' | sed 's/ $//')"
expect_eq "the first row of the run has no previous state" "" "$(rows | head -n 1 | cut -d, -f3)"
broken_for=$(rows | sed -n 2p | cut -d, -f3)
connected_for=$(rows | sed -n 3p | cut -d, -f3)
first_at=$(date -d "$(rows | sed -n 1p | cut -d, -f1)" +%s)
second_at=$(date -d "$(rows | sed -n 2p | cut -d, -f1)" +%s)
within() { (($1 >= $2 && $1 <= $3)); }  # within N LOW HIGH
check "the seconds of the first Broken match the times of the rows ($broken_for s)" \
    within $((second_at - first_at - broken_for)) -1 1
check "Broken lasted at least the 3 s the test waited" within "$broken_for" 3 60
check "Connected lasted a plausible time ($connected_for s)" within "$connected_for" 1 60

# hold_log readers|nobody SECONDS: another program keeps the log open, in the background.
hold_log() {
    rm -f "$E2E_WORK/holder.out"
    start_bg bash -c 'ip netns exec "$1" "$2" "$3" hold-file "$4" "$5" "$6" >"$7"' _ \
        "$E2E_NS" "$LINTORA_WINE" "$PEEK_EXE" "$LOG" "$1" "$2" "$E2E_WORK/holder.out"
    HOLDER=$LAST_PID
    wait_until 10 grep -qs held=1 "$E2E_WORK/holder.out"
}

# A spreadsheet showing the log lets readers and writers in: rows still come.
check "a spreadsheet holds the log open" hold_log readers 20
loopback up
check "a log held open for reading still gets its rows" wait_until 30 has_rows 4
wait "$HOLDER" 2>/dev/null

# A spreadsheet that lets others read but not write holds the log for a
# minute, across a loss and a restore: both rows are kept, and written once
# the file is free, in order, with the times they were shown.
check "a spreadsheet holds the log, letting others only read" hold_log spreadsheet 60
before=$(cat "$LOG")
loopback down
check "while the log is held the icon still changes" wait_until 40 tray_shows broken
loopback up
check "and changes back" wait_until 30 tray_shows connected
expect_eq "nothing reaches the held log" "$before" "$(cat "$LOG")"
wait "$HOLDER" 2>/dev/null
released_at=$(date +%s)
check "once free, the kept rows are written within a minute" wait_until 75 has_rows 6
expect_eq "in order" "Connected Broken Connected" "$(rows | tail -n 3 | cut -d, -f2 | tr '\n' ' ' | sed 's/ $//')"
for n in 5 6; do
    shown_at=$(date -d "$(rows | sed -n ${n}p | cut -d, -f1)" +%s)
    check "row $n has the time it was shown, not the time it was written" [ "$shown_at" -lt "$released_at" ]
done

# A read-only log is left alone, and the program runs on. (Tests run as root,
# whom missing write permission does not stop: the file is made immutable.)
chattr +i "$LOG"
before=$(cat "$LOG")
loopback down
check "with a read-only log the icon still changes" wait_until 40 tray_shows broken
sleep 1
check "the program runs on" peek_matches 'found=1*' main
expect_eq "a read-only log is not written" "$before" "$(cat "$LOG")"
chattr -i "$LOG"

# "Start with Windows": the Run value written, removed, and rewritten after a move.
run_value() {
    in_ns "$LINTORA_WINE" reg query 'HKCU\Software\Microsoft\Windows\CurrentVersion\Run' /v Lintora 2>/dev/null |
        tr -d '\r' | sed -n 's/^ *Lintora *REG_SZ *//p'
}
# shellcheck disable=SC2053
run_value_matches() { [[ $(run_value) == $1 ]]; }
check "no Run value at first" [ -z "$(run_value)" ]
open_menu
expect_eq "Start with Windows unchecked, Connection Log enabled" "lines=8 marks=0,0,0,0,0,0,0,0 grayed=0,0,0,0,0,0,0,0" "$(marks_of_open_menu)"
keys Escape
peek command 118 >/dev/null
check "choosing it writes the quoted path of the program" wait_until 10 \
    run_value_matches '"Z:\\tmp\\lintora-e2e-history.*\\Lintora.exe"'
e2e_log "Run value: $(run_value)"
open_menu
expect_eq "and checks it" "lines=8 marks=0,0,0,0,0,1,0,0 grayed=0,0,0,0,0,0,0,0" "$(marks_of_open_menu)"
keys Escape
peek command 107 >/dev/null
check "Exit" wait_until 20 exited_with first 0
rows_at_exit=$(row_count)
expect_eq "the row kept while the log was read-only is written at Exit, then Exit's own" "7 Broken|Not watching,exit" \
    "$((rows_at_exit - 1)) $(rows | tail -n 2 | cut -d, -f2,4 | sed -n 1p | cut -d, -f1)|$(rows | tail -n 1 | cut -d, -f2,4)"

# The program moved to another folder: the value names the old place.
mkdir -p "$E2E_WORK/moved"
mv "$APP_DIR/Lintora.exe" "$E2E_WORK/moved/Lintora.exe"
APP_DIR="$E2E_WORK/moved"
start_lintora moved
check "the moved program starts" wait_until 30 tray_shows broken
# The starting icon is Broken too: the menu waits until the program is past
# its start, with its first state found.
check "and finds its first state" wait_until 30 grep -qs Broken "$APP_DIR/connection-log.csv"
open_menu
expect_eq "a value for another path shows unchecked" "lines=8 marks=0,0,0,0,0,0,0,0 grayed=0,0,0,0,0,0,0,0" "$(marks_of_open_menu)"
keys Escape
peek command 118 >/dev/null
expected="\"Z:${E2E_WORK//\//\\}\\moved\\Lintora.exe\""
check "choosing it rewrites the value to this path" wait_until 10 run_value_matches "$(printf '%q' "$expected")"
peek command 118 >/dev/null
check "choosing it again removes the value" wait_until 10 run_value_matches ""

# Rotation: a log that a row would take past 1 MiB is set aside whole.
peek command 107 >/dev/null
check "Exit" wait_until 20 exited_with moved 0
LOG="$APP_DIR/connection-log.csv"
python3 - "$LOG" "$APP_DIR/connection-log.1.csv" <<'PY'
import sys
row = b"2026-01-01T00:00:00+00:00,Broken,5\r\n"
body = b"time,state,seconds_in_previous_state\r\n"
body += row * ((1048576 - len(body) - 64) // len(row))
body += b"#" * (1048576 - 10 - len(body) - 2) + b"\r\n"  # 10 bytes short of 1 MiB
open(sys.argv[1], "wb").write(body)
open(sys.argv[2], "wb").write(b"an older log\r\n")
PY
full_sum=$(md5sum <"$LOG")
start_lintora rotated
log_lines_are() { [ "$(tr -d '\r' <"$LOG" | wc -l)" = "$1" ]; }
check "the first state of the run goes into a new log: its header and the row" wait_until 40 log_lines_are 2
expect_eq "the full log became connection-log.1.csv, unchanged" "$full_sum" "$(md5sum <"$APP_DIR/connection-log.1.csv")"
expect_eq "whose first line is the header, now of four columns" "$HEADER" "$(head -n 1 "$LOG" | tr -d '\r')"
check "the new log is small" [ "$(stat -c %s "$LOG")" -lt 200 ]

# A foreign file is only appended to.
peek command 107 >/dev/null
check "Exit" wait_until 20 exited_with rotated 0
printf 'not,our;file' >"$LOG"
start_lintora foreign
check "the foreign run starts" wait_until 30 tray_shows broken
check "a foreign log gets a row" wait_until 30 bash -c 'tr -d "\r" <"$1" | grep -Eq "$2"' _ "$LOG" "$ROW"
expect_eq "after its own text, which is kept" "not,our;file" "$(head -n 1 "$LOG" | tr -d '\r')"
peek command 107 >/dev/null
wait_until 20 exited_with foreign 0 || true

e2e_finish
