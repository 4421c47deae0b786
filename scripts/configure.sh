#!/usr/bin/env bash
# Configures and builds the trees: build/host (Linux: portable core, tests
# under sanitizers, the link builder), build/win (the shipped 32-bit Windows
# programs, their tests, the test fakes) and build/win64 (the same sources
# for 64-bit Windows, kept compiling; its unit tests run too). The Windows
# test builds are keyed with a pair the link builder generates, kept in
# build/test-key.env.
#   bash scripts/configure.sh [--demo]
# --demo builds only what scripts/demo.sh runs: the link builder of
# build/host, and of the one Windows build named by ORVO_WIN_BUILD the
# programs and the test machinery the demo drives (the CMake target "demo"),
# no tests. The trees are the same, so a later full run reuses that work.
set -eu
repo="$(cd "$(dirname "$0")/.." && pwd)"
cd "$repo"
jobs="${ORVO_JOBS:-$(nproc)}"
mkdir -p build
gen=()
command -v ninja >/dev/null && gen=(-G Ninja)
# ccache (when installed) makes rebuilds of unchanged sources cheap.
launcher=()
command -v ccache >/dev/null && launcher=(-DCMAKE_C_COMPILER_LAUNCHER=ccache -DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
export CCACHE_BASEDIR="$repo"
demo=0
[ "${1:-}" = --demo ] && demo=1

configure() {  # configure DIR ARGS...: quiet unless it fails
    local dir="$1"; shift
    cmake -S . -B "$dir" "${gen[@]}" "${launcher[@]}" "$@" >"$dir-configure.log" 2>&1 || {
        cat "$dir-configure.log" >&2
        return 1
    }
}

configure build/host -DCMAKE_BUILD_TYPE=Debug
if [ "$demo" = 1 ]; then
    cmake --build build/host -j "$jobs" --target orvo-link
else
    cmake --build build/host -j "$jobs"
fi

key=build/test-key.env
if [ ! -s "$key" ] && [ -x build/host/tools/orvo-link ]; then
    build/host/tools/orvo-link keygen --selector 0 --format env >"$key"
fi
keyargs=()
if [ -s "$key" ]; then
    . "$key"
    keyargs=(-DORVO_RSA_MODULUS="$ORVO_RSA_MODULUS" -DORVO_RSA_EXPONENT="$ORVO_RSA_EXPONENT")
fi
if [ "$demo" = 1 ]; then
    case "${ORVO_WIN_BUILD:?the demo names its Windows build}" in
        build/win) toolchain=cmake/mingw-w64-i686.cmake ;;
        build/win64) toolchain=cmake/mingw-w64-x86_64.cmake ;;
        *) echo "unknown Windows build $ORVO_WIN_BUILD" >&2; exit 1 ;;
    esac
    configure "$ORVO_WIN_BUILD" -DCMAKE_BUILD_TYPE=Release -DCMAKE_TOOLCHAIN_FILE="$toolchain" "${keyargs[@]}"
    cmake --build "$ORVO_WIN_BUILD" -j "$jobs" --target demo
    exit 0
fi
# ORVO_SKIP_WIN32=1 / ORVO_SKIP_WIN64=1 skip a Windows build in a quick
# development loop; the test command builds both.
if [ "${ORVO_SKIP_WIN32:-0}" != 1 ]; then
    configure build/win -DCMAKE_BUILD_TYPE=Release -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-i686.cmake "${keyargs[@]}"
    cmake --build build/win -j "$jobs"
fi
if [ "${ORVO_SKIP_WIN64:-0}" != 1 ]; then
    configure build/win64 -DCMAKE_BUILD_TYPE=Release -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake "${keyargs[@]}"
    cmake --build build/win64 -j "$jobs"
fi
