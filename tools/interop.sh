#!/usr/bin/env bash
# One side of the demo agent pair as the Windows build under Wine, the other as the Linux build,
# over loopback: the listener prints its port, the connector exchanges requests with it, and both
# must end cleanly with every answer whole and in order.
# Usage: tools/interop.sh windows-listens|windows-connects LINUX_DEMO WINDOWS_DEMO WINE_ARCH PREFIX
#   WINE_ARCH and PREFIX are those of tools/wine_run.sh (win64 or win32, the Wine prefix folder).
set -euo pipefail
direction=$1 linux=$2 windows=$3 arch=$4 prefix=$5
here=$(cd "$(dirname "$0")" && pwd)
count=${TKV_INTEROP_COUNT:-2000}
work=$(mktemp -d)
trap 'kill $(jobs -p) 2>/dev/null || true; rm -rf "$work"' EXIT

wine_demo() { "$here/wine_run.sh" "$arch" "$prefix" "$windows" "$@"; }
case "$direction" in
    windows-listens) listen=(wine_demo) connect=("$linux") ;;
    windows-connects) listen=("$linux") connect=(wine_demo) ;;
    *) echo "usage: $0 windows-listens|windows-connects LINUX_DEMO WINDOWS_DEMO WINE_ARCH PREFIX" >&2
       exit 2 ;;
esac

"${listen[@]}" --role listen --host 127.0.0.1 --port 0 --log off >"$work/listener" 2>&1 &
listener=$!
# A new Wine prefix takes some seconds to make before the program even starts.
port=""
for _ in $(seq 1 600); do
    port=$(sed -n 's/^listening: .* port \([0-9]*\).*/\1/p' "$work/listener")
    [ -n "$port" ] && break
    kill -0 "$listener" 2>/dev/null || break
    sleep 0.1
done
if [ -z "$port" ]; then
    echo "interop: the listener did not start"; cat "$work/listener"; exit 1
fi
status=0
"${connect[@]}" --role connect --host 127.0.0.1 --port "$port" --count "$count" --size 200 \
    --log off >"$work/connector" 2>&1 || status=$?
# The listener ends by itself once its connection has closed.
for _ in $(seq 1 300); do
    kill -0 "$listener" 2>/dev/null || break
    sleep 0.1
done
if kill -0 "$listener" 2>/dev/null; then
    echo "interop: the listener did not end after its connection closed"
    kill "$listener"
    status=1
fi
wait "$listener" || status=$?
echo "--- listener ($direction)"; cat "$work/listener"
echo "--- connector"; cat "$work/connector"
grep -q "^result: *every answer arrived whole and in order" "$work/connector" || status=1
grep -q "^answered: *$count requests on 1 connection" "$work/listener" || status=1
exit $status
