#!/usr/bin/env bash
# Builds the library and runs the demo agent pair: a listening and a connecting agent that
# exchange 10000 requests and answers over loopback through the library, then print a summary.
# Arguments go to the demo (tkv_demo --help lists them); the trace log goes to build/.
set -euo pipefail
cd "$(dirname "$0")/.."
source tools/deps.sh
tkv_install_missing
cmake -S . -B build -G Ninja >/dev/null
cmake --build build -j "$(tkv_jobs)" --target tkv_demo
./build/examples/tkv_demo --log-file build/tkv_demo.log "$@"
