# Shared settings of the Wine test environment; sourced by the harness scripts.
# Everything lives under one root so a run can be thrown away whole.
export ORVO_TEST_ROOT="${ORVO_TEST_ROOT:-/tmp/orvo-test}"
export WINEPREFIX="${WINEPREFIX_OVERRIDE:-$ORVO_TEST_ROOT/wineprefix}"
export WINEARCH=win64
export WINEDEBUG="${WINEDEBUG:--all}"
# No Mono or Gecko installers in the test prefix.
export WINEDLLOVERRIDES="${WINEDLLOVERRIDES:-mscoree,mshtml=}"
export DISPLAY="${ORVO_DISPLAY:-:97}"
export LANG=zh_CN.UTF-8
export LC_ALL=zh_CN.UTF-8
export ORVO_WEB_PORT="${ORVO_WEB_PORT:-18080}"
mkdir -p "$ORVO_TEST_ROOT"
