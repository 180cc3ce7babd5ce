# Sourced by the tools: installs the Debian packages the build needs when any is missing.
# What the library, its tests and the demo build with; tools/test.sh adds the rest.
tkv_packages=(cmake ninja-build g++ pkg-config libxml2-dev libgtest-dev libgmock-dev)
# The test command's further variants: clang and its sanitizer runtimes (fuzzing), the
# benchmarks' comparison libraries, the Windows cross toolchains, GoogleTest's sources for them
# and Wine to run them.
tkv_test_packages=(clang-14 libclang-rt-14-dev libbenchmark-dev libssl-dev
    g++-mingw-w64-x86-64-posix g++-mingw-w64-i686-posix googletest wine64 wine32:i386)

tkv_install_missing() {
    local missing=()
    for p in "${tkv_packages[@]}" "$@"; do
        dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' ||
            missing+=("$p")
    done
    [ ${#missing[@]} -eq 0 ] && return 0
    local sudo=""
    [ "$(id -u)" -ne 0 ] && sudo="sudo"
    echo "installing: ${missing[*]}"
    # The 32-bit Wine loader comes from the i386 architecture, which a fresh amd64 system lacks.
    if [[ " ${missing[*]} " == *":i386 "* ]] && ! dpkg --print-foreign-architectures | grep -qx i386
    then
        $sudo dpkg --add-architecture i386
    fi
    $sudo apt-get update -qq
    DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq "${missing[@]}"
}

tkv_jobs() { nproc 2>/dev/null || echo 2; }
