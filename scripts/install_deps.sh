#!/usr/bin/env bash
# Installs the Debian packages that building, running and testing Lintora
# need, when any of them is missing; and, where this machine runs 32-bit
# programs, the 32-bit Wine loader that runs the release itself. Needs root.
#
# A package mirror may be mid-sync: `apt-get update` then fails for one index
# while every package already listed still installs. So the update is tried
# a few times and its failure stops nothing; only a needed package that
# cannot be installed stops the run, with its name. The 32-bit loader is not
# needed: without it the x86_64 build is run instead (scripts/wine_env.sh
# says so in one line).
set -uo pipefail
source "$(dirname "$0")/wine_env.sh"
APT_GET=${LINTORA_APT_GET:-apt-get}
packages=(
    cmake g++ clang libclang-rt-14-dev googletest libgtest-dev python3 python3-pefile iproute2 procps
    g++-mingw-w64-i686 g++-mingw-w64-x86-64
    wine wine64 xvfb xdotool imagemagick
    tinyproxy-bin
)
optional=()
runs_32bit_programs && optional+=(wine32:i386)

installed() {
    dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q 'install ok installed'
}

missing_of() {
    local package
    for package in "$@"; do installed "$package" || echo "$package"; done
}

log=$(mktemp /tmp/lintora-apt.XXXXXX)
trap 'rm -f "$log"' EXIT

# Up to three tries, a little apart; what the lists hold afterwards is used either way.
update_package_lists() {
    local try
    for try in 1 2 3; do
        "$APT_GET" update -q >>"$log" 2>&1 && return 0
        [ "$try" -lt 3 ] && sleep $((try * 5))
    done
    echo "apt-get update failed 3 times (a mirror mid-sync?); going on with the package lists as they are"
}

apt_install() {
    DEBIAN_FRONTEND=noninteractive "$APT_GET" install -y -q --no-install-recommends "$@" >>"$log" 2>&1
}

mapfile -t missing < <(missing_of "${packages[@]}")
mapfile -t missing_optional < <(missing_of "${optional[@]}")
[ ${#missing[@]} -eq 0 ] && [ ${#missing_optional[@]} -eq 0 ] && exit 0

if [ ${#missing_optional[@]} -gt 0 ] && ! dpkg --print-foreign-architectures | grep -qx i386; then
    dpkg --add-architecture i386
fi
wanted=("${missing[@]}" "${missing_optional[@]}")
echo "installing: ${wanted[*]}"
update_package_lists

if [ ${#missing[@]} -gt 0 ] && ! apt_install "${missing[@]}"; then
    # One at a time, to name the one that stops the run.
    for package in "${missing[@]}"; do
        installed "$package" || apt_install "$package" || {
            tail -n 5 "$log"
            echo "cannot install the needed package $package"
            exit 1
        }
    done
fi
# Only the 32-bit loader is optional: its failure leaves the x86_64 build to test and run.
[ ${#missing_optional[@]} -eq 0 ] || apt_install "${missing_optional[@]}" || true
exit 0
