#!/usr/bin/env bash
# The log's local times and offsets in time zones east and west of UTC, on
# half and quarter hours, on both sides of this year's daylight-saving
# changes, for moments with a part finer than a millisecond: what the program
# writes under Wine must be what Linux says of the same moment in that zone.
# Usage: time_zone_test.sh LOCAL_TIME_CHECK_EXE   (LINTORA_WINE: the loader)
set -uo pipefail
exe=$1
wine=${LINTORA_WINE:-/usr/lib/wine/wine}
year=$(date +%Y)
failures=0
checked=0

# The moments of this year's changes in a zone, and a second before each
# (the system's rules for a zone are this year's).
changes_of() {
    zdump -v -c "$year,$((year + 1))" "$1" | awk '$NF ~ /^gmtoff=/ && $0 !~ /NULL/ {print $3, $4, $5, $6}' |
        while read -r when; do date -u -d "$when UTC" +%s; done
}

# agree WHAT EXPECTED GOT: one check, the differences shown where it fails.
agree() {
    if [ "$3" = "$2" ]; then
        echo "ok: $1"
    else
        echo "FAIL: $1"
        diff <(echo "$2") <(echo "$3") | sed 's/^/    /'
        failures=$((failures + 1))
    fi
}

check_zone() {  # check_zone ZONE MOMENT... (Unix seconds, with +UNITS for a fraction)
    local zone=$1
    shift
    checked=$((checked + $#))
    agree "$zone ($# moments)" \
        "$(for moment in "$@"; do TZ=$zone date -d "@${moment%%+*}" +%Y-%m-%dT%H:%M:%S%:z; done)" \
        "$(TZ=$zone "$wine" "$exe" "$@" 2>/dev/null | tr -d '\r')"
}

now=$(date +%s)
# A clock value one unit short of the next millisecond and one just past a second.
moments=("$now+9999" "$now+1" "$((now + 1))+9999999" "$((now + 86400 * 45))+5000")
for zone in UTC Asia/Kolkata Asia/Kathmandu Europe/Berlin America/New_York America/St_Johns Pacific/Chatham; do
    check_zone "$zone" "${moments[@]}"
done
for zone in Europe/Berlin America/New_York Australia/Adelaide; do
    changes=()
    for at in $(changes_of "$zone"); do changes+=("$((at - 1))+9999999" "$at+1234"); done
    [ ${#changes[@]} -ge 4 ] || { echo "FAIL: no daylight-saving changes found for $zone in $year"; failures=$((failures + 1)); continue; }
    check_zone "$zone" "${changes[@]}"
done
# The History's days begin at local midnight: the days around each change are 23 or 25 hours long.
for zone in Europe/Berlin America/New_York Australia/Adelaide; do
    days=()
    for at in $(changes_of "$zone"); do
        day=$(TZ=$zone date -d "@$at" +%F)
        days+=("$(TZ=$zone date -d "$day -1 day" +%F)" "$day" "$(TZ=$zone date -d "$day +1 day" +%F)")
    done
    checked=$((checked + ${#days[@]}))
    agree "$zone local midnights around the changes" \
        "$(for day in "${days[@]}"; do TZ=$zone date -d "$day 00:00" +%s; done)" \
        "$(TZ=$zone "$wine" "$exe" "${days[@]}" 2>/dev/null | tr -d '\r')"
done
echo "$checked moments in $((7 + 3)) zones"
exit $((failures > 0))
