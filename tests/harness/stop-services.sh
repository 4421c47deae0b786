#!/usr/bin/env bash
# Stops the services start-services.sh started (CUPS is left to the system).
set -u
here="$(cd "$(dirname "$0")" && pwd)"
. "$here/env.sh"
wineserver -k >/dev/null 2>&1 || true
# The extra prefixes of make-prefix.sh, each by its own server.
for prefix in "$ORVO_TEST_ROOT"/prefix-*; do
    [ -f "$prefix/system.reg" ] && WINEPREFIX="$prefix" wineserver -k >/dev/null 2>&1 || true
done
[ -f "$ORVO_TEST_ROOT/web.pid" ] && kill "$(cat "$ORVO_TEST_ROOT/web.pid")" 2>/dev/null
rm -f "$ORVO_TEST_ROOT/web.pid"
pkill -f "Xvfb $DISPLAY" 2>/dev/null || true
# The test CA leaves the host's store with the services.
if [ -f "$ORVO_CA_INSTALLED" ]; then
    rm -f "$ORVO_CA_INSTALLED"
    flock /tmp/orvo-ca-store.lock update-ca-certificates >/dev/null 2>&1 || true
fi
exit 0
