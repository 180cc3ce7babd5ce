# Sourced by the tools: installs the Debian packages the build needs when any is missing.
tkv_packages=(cmake ninja-build g++ clang-14 libclang-rt-14-dev pkg-config libgtest-dev libgmock-dev
    libbenchmark-dev libxml2-dev libssl-dev g++-mingw-w64-x86-64-posix g++-mingw-w64-i686-posix
    googletest wine64 wine32:i386)

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
