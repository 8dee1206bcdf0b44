# Shared by scripts/run and scripts/test: install what a fresh Debian 12 machine lacks, then
# configure and build one CMake preset.

VELKAN_ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)

# Everything the build, the tests, the simulated keyboard and the Debian package need.
VELKAN_PACKAGES=(
    g++ clang cmake ninja-build pkg-config
    googletest libgtest-dev libgmock-dev libbenchmark-dev
    libclang-rt-14-dev
    qt6-base-dev xvfb xauth
    desktop-file-utils appstream dpkg-dev
)

# The Windows cross build: MinGW-w64, GoogleTest's sources to build with it, and Wine to run
# what it builds.
VELKAN_WINDOWS_PACKAGES=(
    cmake ninja-build googletest
    g++-mingw-w64-x86-64-posix wine64 wine
)

# velkan_install_missing [PACKAGE...]: the packages named, VELKAN_PACKAGES when none are.
velkan_install_missing() {
    local wanted=("$@")
    if [ ${#wanted[@]} -eq 0 ]; then
        wanted=("${VELKAN_PACKAGES[@]}")
    fi
    local missing=()
    for pkg in "${wanted[@]}"; do
        if ! dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null | grep -q "install ok installed"; then
            missing+=("$pkg")
        fi
    done
    if [ ${#missing[@]} -eq 0 ]; then
        return 0
    fi
    echo "Installing: ${missing[*]}"
    local sudo=()
    if [ "$(id -u)" -ne 0 ]; then
        sudo=(sudo)
    fi
    "${sudo[@]}" apt-get update -qq
    DEBIAN_FRONTEND=noninteractive "${sudo[@]}" apt-get install -y -qq --no-install-recommends \
        "${missing[@]}"
}

# velkan_build PRESET [TARGET...]
velkan_build() {
    local preset=$1
    shift
    cmake --preset "$preset" -S "$VELKAN_ROOT" >/dev/null
    local targets=()
    for target in "$@"; do
        targets+=(--target "$target")
    done
    cmake --build "$VELKAN_ROOT/build/$preset" -j "$(nproc)" "${targets[@]}"
}
