#!/usr/bin/env bash
# scripts/install_deps.sh against a package system of the test's own (fake
# apt-get, dpkg and dpkg-query first on PATH): an index that keeps failing
# to download stops nothing; the 32-bit loader that cannot be installed
# stops nothing; a needed package that cannot be installed stops the run,
# named. And the fallback to the x86_64 build is said in one line.
set -uo pipefail
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../.." && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0
check() {
    local what=$1
    shift
    if "$@"; then echo "ok: $what"; else echo "FAIL: $what"; failures=$((failures + 1)); fi
}

mkdir "$work/bin"
# MISSING: packages not installed yet; BROKEN: those that cannot be installed;
# UPDATE_FAILS: how many updates fail. Installed ones are noted in $work/installed.
cat >"$work/bin/dpkg-query" <<'FAKE'
#!/usr/bin/env bash
package=${!#}
if grep -qxF "$package" <(tr ' ' '\n' <<<"$MISSING") && ! grep -qxF "$package" "$STATE/installed" 2>/dev/null; then
    exit 1
fi
printf 'install ok installed'
FAKE
cat >"$work/bin/apt-get" <<'FAKE'
#!/usr/bin/env bash
echo "apt-get $*" >>"$STATE/calls"
if [ "$1" = update ]; then
    [ "$(grep -c '^apt-get update' "$STATE/calls")" -gt "$UPDATE_FAILS" ] || { echo "E: Some index files failed to download."; exit 100; }
    exit 0
fi
for package in "$@"; do
    case $package in -*|install) continue ;; esac
    grep -qxF "$package" <(tr ' ' '\n' <<<"$BROKEN") && { echo "E: Unable to install $package"; exit 100; }
done
for package in "$@"; do echo "$package" >>"$STATE/installed"; done
FAKE
printf '#!/bin/sh\n[ "$1" = --print-foreign-architectures ] && echo i386\nexit 0\n' >"$work/bin/dpkg"
printf '#!/bin/sh\nexit 0\n' >"$work/bin/sleep"
chmod +x "$work/bin/"*

# install MISSING BROKEN UPDATE_FAILS: runs the script; its output in $work/out.
install() {
    rm -f "$work/calls" "$work/installed"
    MISSING=$1 BROKEN=$2 UPDATE_FAILS=$3 STATE=$work PATH="$work/bin:$PATH" \
        bash "$root/scripts/install_deps.sh" >"$work/out" 2>&1
}

install "cmake wine32:i386" "" 3
status=$?
check "an index that fails three times: the run goes on (status $status)" [ "$status" = 0 ]
check "tried three times" [ "$(grep -c '^apt-get update' "$work/calls")" = 3 ]
check "and said so" grep -q 'apt-get update failed 3 times' "$work/out"
check "what is needed was installed" grep -qx cmake "$work/installed"

install "cmake wine32:i386" "wine32:i386" 0
status=$?
check "the 32-bit loader that cannot be installed stops nothing (status $status)" [ "$status" = 0 ]
check "the rest was installed" grep -qx cmake "$work/installed"

install "cmake xdotool" "xdotool" 1
status=$?
check "a needed package that cannot be installed stops the run (status $status)" [ "$status" = 1 ]
check "named" grep -qx 'cannot install the needed package xdotool' "$work/out"

install "" "" 0
check "nothing missing: nothing asked of apt-get" [ ! -e "$work/calls" ]

# Without the 32-bit loader, the x86_64 build is chosen, in one line.
said=$(source "$root/scripts/wine_env.sh"; WINE32=/nonexistent/wine; choose_program_under_test; echo "tree=$LINTORA_TREE")
check "the x86_64 build chosen" grep -qx 'tree=win64' <<<"$said"
check "said in one line ($(head -n 1 <<<"$said"))" \
    bash -c '[ "$(grep -c "x86_64 build instead of the i686 release" <<<"$1")" = 1 ] && [ "$(wc -l <<<"$1")" = 2 ]' _ "$said"

echo "install checks failed: $failures"
[ "$failures" = 0 ]
