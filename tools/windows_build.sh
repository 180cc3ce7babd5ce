#!/usr/bin/env bash
# Cross-builds the library as a Windows DLL with mingw-w64, with the examples (and the tests when
# GoogleTest for the target is found), into build-win64 (x86_64) or build-win32 (i686).
# Usage: tools/windows_build.sh x86_64|i686 [cmake --build arguments, e.g. --target tkvagent]
set -euo pipefail
cd "$(dirname "$0")/.."
source tools/deps.sh
tkv_install_missing g++-mingw-w64-x86-64-posix g++-mingw-w64-i686-posix googletest

arch=${1:-x86_64}
[ $# -gt 0 ] && shift
case "$arch" in
    x86_64) dir=build-win64 ;;
    i686) dir=build-win32 ;;
    *) echo "usage: $0 x86_64|i686 [build arguments]" >&2; exit 2 ;;
esac
export CMAKE_CXX_COMPILER_LAUNCHER=${CMAKE_CXX_COMPILER_LAUNCHER-ccache}
[ -n "$CMAKE_CXX_COMPILER_LAUNCHER" ] && ! command -v "$CMAKE_CXX_COMPILER_LAUNCHER" >/dev/null &&
    unset CMAKE_CXX_COMPILER_LAUNCHER
cmake -S . -B "$dir" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$PWD/cmake/toolchains/mingw-$arch.cmake" \
    -DTKV_BUILD_TESTS="${TKV_WINDOWS_TESTS:-OFF}" -DTKV_BUILD_EXAMPLES=ON -DTKV_BUILD_BENCH=OFF \
    >/dev/null
cmake --build "$dir" -j "$(tkv_jobs)" "$@"
