#!/usr/bin/env bash
# Start-up benchmark (not a test): from process start to the main window
# shown, orvo_Printer opened with a print link against a bare Win32 window
# program built here, interleaved under the same warm Wine; prints both
# medians and their ratio.
#   tests/bench/startup-bench.sh [RUNS]     (default 9 each)
set -eu
repo="$(cd "$(dirname "$0")/../.." && pwd)"
cd "$repo"
. tests/harness/env.sh
build="${ORVO_BUILD_DIR:-$ORVO_WIN_BUILD}"
[ -f "$build/CMakeCache.txt" ] || bash scripts/configure.sh
cmake --build "$build" --target bare_window orvo_Printer uidriver -j2 >/dev/null
bash tests/harness/start-services.sh >/dev/null
. tests/harness/env.sh
case "$build" in /*) ;; *) build="$repo/$build" ;; esac
export ORVO_BUILD_DIR="$build"
echo "build: $build"
exec /usr/bin/python3 tests/bench/startup_bench.py "$@"
