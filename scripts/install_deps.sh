#!/usr/bin/env bash
# Installs the Debian packages that building, running and testing Lintora
# need, when any of them is missing; and, where this machine runs 32-bit
# programs, the 32-bit Wine loader that runs the release itself. Needs root.
set -euo pipefail
source "$(dirname "$0")/wine_env.sh"
packages=(
    cmake g++ clang libclang-rt-14-dev googletest libgtest-dev python3 python3-pefile iproute2 procps
    g++-mingw-w64-i686 g++-mingw-w64-x86-64
    wine wine64 xvfb xdotool imagemagick
)
if runs_32bit_programs; then
    dpkg --print-foreign-architectures | grep -qx i386 || { dpkg --add-architecture i386 && apt-get update -q; }
    packages+=(wine32:i386)
fi
missing=()
for package in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'install ok installed' || missing+=("$package")
done
[ ${#missing[@]} -eq 0 ] && exit 0
echo "installing: ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
apt-get update -q
apt-get install -y -q --no-install-recommends "${missing[@]}"
