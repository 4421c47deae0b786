#!/usr/bin/env bash
# Preview benchmark (not a test): the peak working set of a ".doc" preview of
# a large report, as a multiple of the report's size above the program's base.
#   tests/bench/view-bench.sh [BYTES]     (default 20 MiB)
set -eu
repo="$(cd "$(dirname "$0")/../.." && pwd)"
cd "$repo"
. tests/harness/env.sh
build="${ORVO_BUILD_DIR:-$ORVO_WIN_BUILD}"
[ -f "$build/CMakeCache.txt" ] || bash scripts/configure.sh
cmake --build "$build" --target orvo_Printer fake_office_docgen orvo_fake_office uidriver -j2 >/dev/null
bash tests/harness/start-services.sh >/dev/null
. tests/harness/env.sh
bash tests/harness/register-fakes.sh "$build" >/dev/null
export ORVO_BUILD_DIR="$repo/$build"
exec /usr/bin/python3 tests/bench/view_bench.py "$@"
