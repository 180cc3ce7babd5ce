#!/usr/bin/env bash
# Installs the built library into a scratch prefix, then builds and runs a small agent against
# it twice: once with find_package(tkvagent), once with pkg-config.
set -euo pipefail
build=$1 work=$2 src=$3
rm -rf "$work" && mkdir -p "$work"
cmake --install "$build" --prefix "$work/prefix" >/dev/null
cmake -S "$src" -B "$work/cmake-build" -G Ninja -DCMAKE_PREFIX_PATH="$work/prefix" >/dev/null
cmake --build "$work/cmake-build" >/dev/null
LD_LIBRARY_PATH="$work/prefix/lib" "$work/cmake-build/consumer"
pc_dir=$(dirname "$(find "$work/prefix" -name tkvagent.pc | head -n 1)")
flags=$(PKG_CONFIG_PATH="$pc_dir" pkg-config --cflags --libs tkvagent)
# shellcheck disable=SC2086
c++ -std=c++17 "$src/main.cpp" -o "$work/consumer-pc" $flags
LD_LIBRARY_PATH="$work/prefix/lib" "$work/consumer-pc"
