#!/usr/bin/env bash
# The demo: builds both programs, installs them into a folder of the test
# Wine prefix, registers the orvo: scheme there, serves a sample report from
# the test web server and opens an enciphered orvo: link through the shell,
# under Wine + Xvfb. It then acts as a user would and reports what happened;
# "sign" and "edit" show the seal strip and the edit mode instead of printing;
# screenshots land in build/demo/.
#   bash scripts/demo.sh [print|view|login|sign|edit]
# It builds only what it runs: the Windows build this machine can run and,
# of that, the programs and the test machinery, no tests (scripts/test.sh
# builds and runs everything). The test services start while it builds.
# They keep running afterwards: bash tests/harness/stop-services.sh ends them.
set -eu
repo="$(cd "$(dirname "$0")/.." && pwd)"
cd "$repo"
bash scripts/install-deps.sh --demo
. tests/harness/env.sh
mkdir -p build
services_log=build/demo-services.log
bash tests/harness/start-services.sh >"$services_log" 2>&1 &
services=$!
bash scripts/configure.sh --demo
if ! wait "$services"; then
    cat "$services_log" >&2
    exit 1
fi
bash tests/harness/register-fakes.sh "$ORVO_WIN_BUILD"
export ORVO_BUILD_DIR="${ORVO_BUILD_DIR:-$repo/$ORVO_WIN_BUILD}"
exec /usr/bin/python3 scripts/demo.py "$@"
