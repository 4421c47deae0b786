#!/usr/bin/env bash
# Configures and builds both trees: build/host (Linux: portable core, tests
# under sanitizers, the link builder) and build/win (mingw: the programs,
# their tests, the test fakes). The Windows test build is keyed with a pair
# the link builder generates, kept in build/test-key.env.
set -eu
repo="$(cd "$(dirname "$0")/.." && pwd)"
cd "$repo"
jobs="${ORVO_JOBS:-$(nproc)}"
gen() { command -v ninja >/dev/null && echo "-G Ninja" || true; }

cmake -S . -B build/host $(gen) -DCMAKE_BUILD_TYPE=Debug >build/host-configure.log 2>&1 || { mkdir -p build; cmake -S . -B build/host $(gen) -DCMAKE_BUILD_TYPE=Debug; }
cmake --build build/host -j "$jobs"

key=build/test-key.env
if [ ! -s "$key" ] && [ -x build/host/tools/orvo-link ]; then
    build/host/tools/orvo-link keygen --selector 0 --format env >"$key"
fi
keyargs=()
if [ -s "$key" ]; then
    . "$key"
    keyargs=(-DORVO_RSA_MODULUS="$ORVO_RSA_MODULUS" -DORVO_RSA_EXPONENT="$ORVO_RSA_EXPONENT")
fi
cmake -S . -B build/win $(gen) -DCMAKE_BUILD_TYPE=Release \
    -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake "${keyargs[@]}" >/dev/null
cmake --build build/win -j "$jobs"
