# Shared settings of the Wine test environment; sourced by the harness scripts.
# Everything lives under one root so a run can be thrown away whole.
export ORVO_TEST_ROOT="${ORVO_TEST_ROOT:-/tmp/orvo-test}"
export WINEPREFIX="${WINEPREFIX_OVERRIDE:-$ORVO_TEST_ROOT/wineprefix}"
export WINEARCH=win64
export WINEDEBUG="${WINEDEBUG:--all}"
# No Mono or Gecko installers in the test prefix.
export WINEDLLOVERRIDES="${WINEDLLOVERRIDES:-mscoree,mshtml=}"
export DISPLAY="${ORVO_DISPLAY:-:97}"
# A shell that started before install-deps.sh generated the locale cannot
# switch to it (glibc reads its locale archive once) and would warn; the
# programs it starts can, and only they need it.
export LANG=zh_CN.UTF-8 2>/dev/null
export LC_ALL=zh_CN.UTF-8 2>/dev/null
export ORVO_WEB_PORT="${ORVO_WEB_PORT:-18080}"
export ORVO_WEB_TLS_PORT="${ORVO_WEB_TLS_PORT:-18443}"
# The test CA and the TLS port's certificates, made by start-services.sh.
ORVO_TLS_DIR="$ORVO_TEST_ROOT/tls"
# The test CA in the host's store (Wine's WinHTTP trusts that store), named
# after this test root: several roots may be in use on one machine at once.
ORVO_CA_INSTALLED="/usr/local/share/ca-certificates/orvo-test-$(printf '%s' "$ORVO_TEST_ROOT" | md5sum | cut -c1-12).crt"
mkdir -p "$ORVO_TEST_ROOT"

# Whether this machine runs 32-bit programs under Wine: that needs wine32 and
# a kernel that executes 32-bit code (some virtual machines boot without it).
orvo_runs_32bit() {
    [ -x /usr/lib/wine/wine ] && /usr/lib/wine/wine --version >/dev/null 2>&1
}
# The Windows build the tests run: the shipped 32-bit one (build/win) where
# it can run, else the 64-bit build of the same sources (build/win64).
if [ -z "${ORVO_WIN_BUILD:-}" ]; then
    if orvo_runs_32bit; then ORVO_WIN_BUILD=build/win; else ORVO_WIN_BUILD=build/win64; fi
fi
export ORVO_WIN_BUILD
