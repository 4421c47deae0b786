#!/usr/bin/env bash
# Builds the release programs (32-bit, as shipped) and their installer:
#   bash scripts/package.sh -DORVO_RSA_MODULUS=<hex> -DORVO_RSA_EXPONENT=<hex> [-DSETTING=VALUE ...]
#   bash scripts/package.sh --test-key [-DSETTING=VALUE ...]
# Arguments other than --test-key go to CMake. The deployment's request key
# is required: a package keyed otherwise decodes no link of the real web
# system, so the built-in placeholder and the tests' key are refused.
# --test-key builds a test package on purpose, with the tests' key
# (build/test-key.env) where there is one, else the placeholder, and says so
# in its file name.
# Signing (Authenticode, SHA-256; installer/sign.sh) when ORVO_SIGN_PFX names
# a PKCS#12 file; ORVO_SIGN_PASS_FILE names a file holding its password, and
# ORVO_SIGN_TIMESTAMP_URL a time-stamp server. Both programs, the uninstaller
# and the installer are signed.
# Leaves dist/orvo-setup-<version>.exe and dist/orvo-<version>.msi (the MSI
# signed too); the version is the CMake project's.
set -eu
repo="$(cd "$(dirname "$0")/.." && pwd)"
cd "$repo"
jobs="${ORVO_JOBS:-$(nproc)}"
build=build/release

say() { echo "[package] $*"; }
fail() { echo "[package] $*" >&2; exit 1; }

test_key=0
cmake_args=()
for arg in "$@"; do
    if [ "$arg" = --test-key ]; then test_key=1; else cmake_args+=("$arg"); fi
done

# The key this build will get: from the arguments, else from the release
# tree's cache, else CMake's built-in default.
key_setting() {  # key_setting NAME
    local arg value=""
    for arg in "${cmake_args[@]}"; do
        case "$arg" in -D"$1"=* | -D"$1":*=*) value="${arg#*=}" ;; esac
    done
    [ -n "$value" ] || [ ! -f "$build/CMakeCache.txt" ] || value="$(sed -n "s/^$1:[A-Z]*=//p" "$build/CMakeCache.txt")"
    [ -n "$value" ] || value="$(sed -n "s/^set($1 *\"\([0-9A-Fa-f]*\)\".*/\1/p" CMakeLists.txt)"
    echo "$value"
}
builtin_modulus="$(sed -n 's/^set(ORVO_RSA_MODULUS *"\([0-9A-Fa-f]*\)".*/\1/p' CMakeLists.txt)"
builtin_exponent="$(sed -n 's/^set(ORVO_RSA_EXPONENT *"\([0-9A-Fa-f]*\)".*/\1/p' CMakeLists.txt)"
tests_modulus=""
[ -s build/test-key.env ] && tests_modulus="$(sed -n 's/^ORVO_RSA_MODULUS=//p' build/test-key.env)"

if [ "$test_key" = 1 ]; then
    for arg in "${cmake_args[@]}"; do
        case "$arg" in -DORVO_RSA_*) fail "--test-key takes no key of its own ($arg)" ;; esac
    done
    if [ -n "$tests_modulus" ]; then
        . build/test-key.env
        cmake_args+=(-DORVO_RSA_MODULUS="$ORVO_RSA_MODULUS" -DORVO_RSA_EXPONENT="$ORVO_RSA_EXPONENT")
    else
        cmake_args+=(-DORVO_RSA_MODULUS="$builtin_modulus" -DORVO_RSA_EXPONENT="$builtin_exponent")
    fi
else
    modulus="$(key_setting ORVO_RSA_MODULUS)"
    exponent="$(key_setting ORVO_RSA_EXPONENT)"
    if [ "${modulus^^}" = "${builtin_modulus^^}" ] || [ "${exponent^^}" = "${builtin_exponent^^}" ]; then
        fail "no request key: an installer with the built-in placeholder key decodes no link of the web system." \
             "Pass the deployment's key (-DORVO_RSA_MODULUS=<hex> -DORVO_RSA_EXPONENT=<hex>), or --test-key for a test package."
    fi
    if [ -n "$tests_modulus" ] && [ "${modulus^^}" = "${tests_modulus^^}" ]; then
        fail "that is the tests' key (build/test-key.env): its installer decodes test links only." \
             "Pass the deployment's key, or --test-key for a test package."
    fi
fi

signing=0
if [ -n "${ORVO_SIGN_PFX:-}" ]; then
    command -v osslsigncode >/dev/null || fail "osslsigncode not found: apt-get install osslsigncode"
    [ -r "$ORVO_SIGN_PFX" ] || fail "cannot read the certificate ORVO_SIGN_PFX=$ORVO_SIGN_PFX"
    [ -z "${ORVO_SIGN_PASS_FILE:-}" ] || [ -r "$ORVO_SIGN_PASS_FILE" ] ||
        fail "cannot read the password file ORVO_SIGN_PASS_FILE=$ORVO_SIGN_PASS_FILE"
    signing=1
    # installer/sign.sh reads them when the installer is built.
    export ORVO_SIGN_PFX="$(realpath "$ORVO_SIGN_PFX")"
    [ -z "${ORVO_SIGN_PASS_FILE:-}" ] || export ORVO_SIGN_PASS_FILE="$(realpath "$ORVO_SIGN_PASS_FILE")"
fi

command -v makensis >/dev/null || fail "makensis not found: apt-get install nsis"
mkdir -p build
command -v wixl >/dev/null && command -v msibuild >/dev/null ||
    fail "wixl/msibuild not found: apt-get install wixl msitools"
gen=()
command -v ninja >/dev/null && [ ! -f "$build/Makefile" ] && gen=(-G Ninja)
launcher=()
command -v ccache >/dev/null && launcher=(-DCMAKE_C_COMPILER_LAUNCHER=ccache -DCMAKE_CXX_COMPILER_LAUNCHER=ccache)

# No tests or test fakes in the release tree: only what ships.
cmake -S . -B "$build" "${gen[@]}" "${launcher[@]}" -DCMAKE_BUILD_TYPE=Release \
      -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-i686.cmake -DORVO_TESTS=OFF "${cmake_args[@]}" >"$build-configure.log" 2>&1 || {
    cat "$build-configure.log" >&2
    exit 1
}
cache() { sed -n "s/^$1:[A-Z]*=//p" "$build/CMakeCache.txt"; }
version="$(cache CMAKE_PROJECT_VERSION)"
setup="$build/installer/orvo-setup-$version.exe"
# Whether it is signed depends on the environment, which the build does not
# track: make the installer afresh every time.
rm -f "$setup"
cmake --build "$build" --target installer -j "$jobs"

name="orvo-setup-$version.exe"
[ "$test_key" = 0 ] || name="orvo-setup-$version-testkey.exe"
mkdir -p dist
cp "$setup" "dist/$name"

# The MSI package, for deployment by Group Policy, Intune and the like.
msi_name="orvo-$version.msi"
[ "$test_key" = 0 ] || msi_name="orvo-$version-testkey.msi"
cmake --build "$build" --target msi_package -j "$jobs"
cp "$build/installer/msi/orvo-$version.msi" "dist/$msi_name"
bash installer/sign.sh "dist/$msi_name"

state="unsigned (no certificate: set ORVO_SIGN_PFX to sign)"
[ "$signing" = 0 ] || state="signed with $ORVO_SIGN_PFX"
[ "$test_key" = 0 ] || state="$state; TEST KEY: decodes test links only"
say "dist/$name, dist/$msi_name: $state"
