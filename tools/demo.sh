#!/usr/bin/env bash
# Builds the library and runs the example program.
set -euo pipefail
cd "$(dirname "$0")/.."
source tools/deps.sh
tkv_install_missing
cmake -S . -B build -G Ninja -DTKV_BUILD_TESTS=OFF >/dev/null
cmake --build build -j "$(tkv_jobs)" --target tkv_hello
./build/examples/tkv_hello "$@"
