#!/usr/bin/env bash
# Runs the end-to-end tests against a Windows build (default: the one this
# machine can run, build/win or build/win64; see tests/harness/env.sh):
#   bash tests/e2e/run.sh [BUILD_DIR] [unittest arguments...]
# Needs tests/harness/start-services.sh to have run. Prints unittest's summary.
set -u
here="$(cd "$(dirname "$0")" && pwd)"
repo="$(cd "$here/../.." && pwd)"
if [ -z "${1:-}" ]; then . "$repo/tests/harness/env.sh"; fi
build="${1:-$ORVO_WIN_BUILD}"
[ $# -gt 0 ] && shift
case "$build" in /*) ;; *) build="$repo/$build" ;; esac
export ORVO_BUILD_DIR="$build"
cd "$here"
if [ $# -gt 0 ]; then
    exec /usr/bin/python3 -m unittest -v "$@"
fi
exec /usr/bin/python3 -m unittest discover -s "$here" -p 'test_*.py' -v
