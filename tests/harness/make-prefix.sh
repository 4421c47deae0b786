#!/usr/bin/env bash
# Makes an extra Wine prefix under the test root, for tests that need another
# kind of PC, and starts its wineserver inside the X session as
# start-services.sh does for the main prefix. Safe to run again: an existing
# prefix is kept and the Office substitute registered anew. Prints the
# prefix's path on its last line.
#   make-prefix.sh wps  [BUILD_DIR]   the substitute under WPS Office's names only
#   make-prefix.sh none [BUILD_DIR]   no office suite at all
set -eu
here="$(cd "$(dirname "$0")" && pwd)"
repo="$(cd "$here/../.." && pwd)"
kind="${1:?usage: make-prefix.sh wps|none [BUILD_DIR]}"
case "$kind" in wps|none) ;; *) echo "make-prefix.sh: unknown kind: $kind" >&2; exit 2 ;; esac
export WINEPREFIX_OVERRIDE="${ORVO_TEST_ROOT:-/tmp/orvo-test}/prefix-$kind"
. "$here/env.sh"
build="${2:-$repo/$ORVO_WIN_BUILD}"
log="$ORVO_TEST_ROOT/prefix-$kind.log"

if [ ! -f "$WINEPREFIX/system.reg" ]; then
    wineboot -i >"$log" 2>&1 || true
fi
wineserver -p >/dev/null 2>&1 || true
wine cmd /c exit >>"$log" 2>&1 || true
[ -f "$WINEPREFIX/drive_c/windows/syswow64/kernel32.dll" ] || ! orvo_runs_32bit || {
    echo "make-prefix.sh: $WINEPREFIX cannot run 32-bit programs (see $log)" >&2
    exit 1
}
wine reg add 'HKCU\Software\Wine\WineDbg' /v ShowCrashDialog /t REG_DWORD /d 0 /f >>"$log" 2>&1 || true
bash "$here/trust-web.sh"
if [ "$kind" = wps ]; then
    dll="$(find "$build" -maxdepth 4 -iname 'orvo_fake_office*.dll' | head -n 1)"
    [ -n "$dll" ] || { echo "make-prefix.sh: no Office substitute under $build" >&2; exit 1; }
    bash "$repo/tests/fakes/office/register.sh" "$dll" wps >>"$log"
fi
echo "$WINEPREFIX"
