#!/usr/bin/env bash
# Runs a Windows program under Wine in a private prefix, made once on first use: ctest's
# emulator for the cross builds (CMAKE_CROSSCOMPILING_EMULATOR), so the same tests run unchanged.
# Usage: tools/wine_run.sh win64|win32 PREFIX_DIR PROGRAM [ARGUMENTS...]
#        tools/wine_run.sh win64|win32 --check   (succeeds when this machine can run that loader)
set -euo pipefail
arch=$1 prefix=$2
shift 2
case "$arch" in
    # Debian puts the 64-bit loader off the PATH; the 32-bit one (wine32:i386) sits beside it.
    win64) loader=/usr/lib/wine/wine64 ;;
    win32) loader=/usr/lib/wine/wine ;;
    *) echo "usage: $0 win64|win32 PREFIX_DIR PROGRAM [ARGUMENTS...]" >&2; exit 2 ;;
esac
[ -x "$loader" ] || { echo "$0: no Wine loader at $loader (bash tools/deps.sh installs it)" >&2; exit 2; }
if [ "$prefix" = --check ]; then
    # The 32-bit loader is an i386 program: kernels without 32-bit support cannot start it.
    "$loader" --version >/dev/null 2>&1
    exit
fi
export WINEPREFIX=$prefix WINEARCH=$arch WINELOADER=$loader WINEDEBUG=${WINEDEBUG:--all}
# No desktop integration or mono/gecko prompts while the prefix is made; a crash ends the
# program at once instead of starting Wine's debugger on it.
export WINEDLLOVERRIDES=${WINEDLLOVERRIDES:-mscoree,mshtml,winemenubuilder.exe,winedbg.exe=}
if [ ! -f "$prefix/.tkv_ready" ]; then
    mkdir -p "$prefix"
    # Tests start in parallel; the first makes the prefix while the others wait for it.
    exec 9>"$prefix.lock"
    flock 9
    if [ ! -f "$prefix/.tkv_ready" ]; then
        "$loader" wineboot -i >/dev/null 2>&1
        touch "$prefix/.tkv_ready"
    fi
    exec 9>&-
fi
# Now and then Wine fails to start a program before any of its code runs: one that starts while
# the prefix's wineserver is ending (it stays a few seconds after its last program) is told "a
# wine server seems to be running, but I cannot connect to it"; under load a first request to
# the server can also be cut off ("wine client error:0: ...", thread 0: no thread of the
# program has started). Such a program is started again; its standard error is passed on when
# it ends.
errors=$(mktemp)
trap 'rm -f "$errors"' EXIT
for attempt in 1 2 3 4 5; do
    status=0
    "$loader" "$@" 2>"$errors" || status=$?
    if [ "$status" -eq 0 ] || [ "$attempt" -eq 5 ] || ! grep -q -e "cannot connect to it" -e "^wine client error:0:" "$errors"; then
        cat "$errors" >&2
        exit "$status"
    fi
    sleep 1
done
