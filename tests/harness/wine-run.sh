#!/usr/bin/env bash
# Runs a Windows executable under the warm test wineserver (ctest's emulator).
# Output goes through a file: a pipe can hang on Wine's background processes.
#
# Wine's heap checks itself (warn+heap), as the sanitizers check the host
# build: a double free or a write past a block's end makes the run fail even
# when the test itself passed. ORVO_WINE_HEAP_CHECK=0 turns that off.
set -u
here="$(cd "$(dirname "$0")" && pwd)"
. "$here/env.sh"
heap_check="${ORVO_WINE_HEAP_CHECK:-1}"
if [ "$heap_check" = 1 ]; then
    # Only the heap channel: other warnings stay off, as everywhere else.
    export WINEDEBUG="-all,warn+heap"
fi
out="$(mktemp "$ORVO_TEST_ROOT/wine-out.XXXXXX")"
wine "$@" >"$out" 2>&1 </dev/null
rc=$?
cat "$out"
if [ "$heap_check" = 1 ] && grep -q -E '(^|:)(err|warn|fixme):heap:' "$out"; then
    echo "wine-run.sh: Wine reported heap damage (above); failing the run" >&2
    [ "$rc" = 0 ] && rc=1
fi
rm -f "$out"
exit $rc
