#!/usr/bin/env bash
# Compiles every source file above platform/ and every public header against the real Windows
# headers (mingw-w64, 64 and 32 bits) in syntax-only mode, with the platform/ headers switched
# to their Windows side, so that nothing above the seam depends on this platform.
# Usage: tools/windows_check.sh   (from the checkout's root)
set -euo pipefail
cd "$(dirname "$0")/.."
flags=(-std=c++17 -fsyntax-only -Wall -Wextra -Werror -DUNICODE -D_UNICODE -Iinclude -I.)
sources=$(git ls-files '*.cpp' | grep -v '^platform/\|^tests/\|^bench/\|^examples/\|^fuzz/')
headers=$(git ls-files 'include/tkv/*.h' | grep -v '^include/tkv/posix/')
failed=0
for cxx in x86_64-w64-mingw32-g++-posix i686-w64-mingw32-g++-posix; do
    for f in $sources; do
        "$cxx" "${flags[@]}" -DTKV_BUILDING_LIBRARY "$f" || { echo "FAIL ($cxx): $f"; failed=1; }
    done
    for h in $headers; do
        echo "#include \"${h#include/}\"" | "$cxx" "${flags[@]}" -x c++ - ||
            { echo "FAIL ($cxx): $h"; failed=1; }
    done
    echo "$cxx: $(echo "$sources" | wc -l) sources, $(echo "$headers" | wc -l) headers"
done
exit $failed
