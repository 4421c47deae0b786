#!/usr/bin/env bash
# Runs a Windows executable under the warm test wineserver (ctest's emulator).
# Output goes through a file: a pipe can hang on Wine's background processes.
set -u
here="$(cd "$(dirname "$0")" && pwd)"
. "$here/env.sh"
out="$(mktemp "$ORVO_TEST_ROOT/wine-out.XXXXXX")"
wine "$@" >"$out" 2>&1 </dev/null
rc=$?
cat "$out"
rm -f "$out"
exit $rc
