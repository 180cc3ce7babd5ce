#!/usr/bin/env bash
# Builds and runs the whole test suite: a normal build, AddressSanitizer with
# UndefinedBehaviorSanitizer, ThreadSanitizer over the suites that exercise threads, a normal
# build with clang (whose warnings differ from g++'s), then compiles everything above platform/
# against the Windows headers (tools/windows_check.sh).
# Usage: tools/test.sh [normal|asan|tsan|clang|windows ...]   (default: all of them)
set -euo pipefail
cd "$(dirname "$0")/.."
source tools/deps.sh
tkv_install_missing

variants=("$@")
[ ${#variants[@]} -eq 0 ] && variants=(normal asan tsan clang windows)

run_variant() {
    local name=$1 dir sanitize labels=() compiler=()
    case "$name" in
        normal) dir=build sanitize="" ;;
        asan) dir=build-asan sanitize=address ;;
        tsan) dir=build-tsan sanitize=thread labels=(-L threaded) ;;
        clang) dir=build-clang sanitize="" compiler=(-DCMAKE_CXX_COMPILER=clang++-14 -DCMAKE_C_COMPILER=clang-14) ;;
        windows) echo "=== windows syntax check"; bash tools/windows_check.sh; return ;;
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
