#!/usr/bin/env bash
# Builds and runs the whole test suite: a normal build, AddressSanitizer with
# UndefinedBehaviorSanitizer, ThreadSanitizer over the suites that exercise threads, a normal
# build with clang (whose warnings differ from g++'s); compiles everything above platform/
# against the Windows headers (tools/windows_check.sh); builds the Windows DLL, 64 and 32 bits,
# with mingw-w64, checks that it exports the Linux library's interface, and runs the same
# suite under Wine (one unsanitised run each, where this kernel can start the loader), with the demo
# pair across the two platforms both ways; then runs the XML fuzz target for a bounded time
# (TKV_FUZZ_SECONDS, 30) on the seed corpus.
# Usage: tools/test.sh [normal|asan|tsan|clang|windows|win64|win32|fuzz ...]   (default: all)
set -euo pipefail
cd "$(dirname "$0")/.."
source tools/deps.sh
tkv_install_missing "${tkv_test_packages[@]}"

variants=("$@")
[ ${#variants[@]} -eq 0 ] && variants=(normal asan tsan clang windows win64 win32 fuzz)

run_fuzz() {
    echo "=== fuzz build"
    CXX=clang++-14 cmake -S . -B build-fuzz -G Ninja -DTKV_SANITIZE=fuzzer -DTKV_BUILD_FUZZ=ON \
        -DTKV_BUILD_TESTS=OFF -DTKV_BUILD_EXAMPLES=OFF -DTKV_BUILD_BENCH=OFF >/dev/null
    cmake --build build-fuzz -j "$(tkv_jobs)" --target xml_fuzz
    echo "=== fuzz run"
    local work
    work=$(mktemp -d)
    # New inputs go to a scratch corpus; the seeds in the repository stay as they are.
    ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
        build-fuzz/fuzz/xml_fuzz -max_total_time="${TKV_FUZZ_SECONDS:-30}" -rss_limit_mb=2048 \
        -max_len=8192 -artifact_prefix="$work/" "$work" fuzz/corpus
    rm -rf "$work"
}

# The Windows build of one width: the library, the examples and the tests under Wine (ctest runs
# them through tools/wine_run.sh), then the demo pair with this platform's demo, both ways.
run_windows() {
    local name=$1 arch dir
    case "$name" in
        win64) arch=x86_64 dir=build-win64 ;;
        win32) arch=i686 dir=build-win32 ;;
    esac
    echo "=== $name build"
    TKV_WINDOWS_TESTS=ON bash tools/windows_build.sh "$arch"
    # This platform's library and demo: the exports to compare with, the interop's other side.
    cmake -S . -B build -G Ninja -DTKV_BUILD_EXAMPLES=ON >/dev/null
    cmake --build build -j "$(tkv_jobs)" --target tkvagent tkv_demo
    echo "=== $name exports"
    bash tools/windows_exports.sh build/libtkvagent.so "$dir/bin/tkvagent.dll"
    if ! bash tools/wine_run.sh "$name" --check; then
        echo "=== $name tests NOT RUN: this machine cannot start Wine's $name loader" \
            "(a kernel without 32-bit programs); built only"
        return 0
    fi
    echo "=== $name tests under Wine"
    ctest --test-dir "$dir" --output-on-failure --no-tests=error -j "$(tkv_jobs)"
    echo "=== $name interop with the Linux demo"
    for direction in windows-listens windows-connects; do
        bash tools/interop.sh "$direction" build/examples/tkv_demo "$dir/bin/tkv_demo.exe" "$name" \
            "$PWD/$dir/wineprefix"
    done
}

run_variant() {
    local name=$1 dir sanitize labels=() compiler=()
    case "$name" in
        fuzz) run_fuzz; return ;;
        normal) dir=build sanitize="" ;;
        asan) dir=build-asan sanitize=address ;;
        tsan) dir=build-tsan sanitize=thread labels=(-L threaded) ;;
        clang) dir=build-clang sanitize="" compiler=(-DCMAKE_CXX_COMPILER=clang++-14 -DCMAKE_C_COMPILER=clang-14) ;;
        windows) echo "=== windows syntax check"; bash tools/windows_check.sh; return ;;
        win64 | win32) run_windows "$name"; return ;;
        *) echo "unknown variant: $name" >&2; return 2 ;;
    esac
    echo "=== $name build"
    cmake -S . -B "$dir" -G Ninja "${compiler[@]}" -DTKV_SANITIZE="$sanitize" -DTKV_BUILD_TESTS=ON \
        -DTKV_BUILD_EXAMPLES=ON -DTKV_BUILD_BENCH=OFF >/dev/null
    cmake --build "$dir" -j "$(tkv_jobs)"
    echo "=== $name tests"
    ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 \
    UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
    TSAN_OPTIONS=halt_on_error=1:second_deadlock_stack=1 \
        ctest --test-dir "$dir" --output-on-failure --no-tests=error -j "$(tkv_jobs)" "${labels[@]}"
}

for v in "${variants[@]}"; do
    run_variant "$v"
done
