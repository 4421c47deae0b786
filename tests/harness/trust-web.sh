#!/usr/bin/env bash
# Trusts the test web server's origins in the machine list of $WINEPREFIX, as
# an administrator would: the program asks before it contacts any other server.
set -eu
here="$(cd "$(dirname "$0")" && pwd)"
. "$here/env.sh"
key='HKLM\Software\Policies\orvo\TrustedServers'
for origin in "http://127.0.0.1:$ORVO_WEB_PORT" "http://localhost:$ORVO_WEB_PORT" "https://localhost:$ORVO_WEB_TLS_PORT"; do
    wine reg add "$key" /v "$origin" /t REG_SZ /d "" /f >>"$ORVO_TEST_ROOT/warmup.log" 2>&1 ||
        { echo "could not trust the test web server in $WINEPREFIX" >&2; exit 1; }
done
