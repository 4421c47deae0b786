#!/usr/bin/env bash
# Registers the Office substitute DLL in the test Wine prefix (the one
# tests/harness/env.sh names), under Word's and Excel's class ids, with the
# .doc/.docx/.xls/.xlsx extensions mapped to them; with "wps", under WPS
# Office's class names only, as on a PC with WPS and no Microsoft Office.
# Safe to run again: the entries are rewritten to point at the given DLL.
#   register.sh path/to/orvo_fake_office.dll [wps]
set -eu
here="$(cd "$(dirname "$0")" && pwd)"
. "$here/../../harness/env.sh"
dll="${1:?usage: register.sh path/to/orvo_fake_office.dll}"
[ -f "$dll" ] || { echo "register.sh: no such file: $dll" >&2; exit 1; }
dll="$(cd "$(dirname "$dll")" && pwd)/$(basename "$dll")"
log="$ORVO_TEST_ROOT/register-fake-office.log"
suite="${2:-microsoft}"
winpath="$(winepath -w "$dll" 2>/dev/null)"
options=()
[ "$suite" = wps ] && options=(/n /i:wps)
if ! wine regsvr32 /s "${options[@]}" "$winpath" >"$log" 2>&1; then
    echo "register.sh: regsvr32 failed for $winpath (see $log)" >&2
    exit 1
fi
# A 32-bit server registers in the 32-bit view of the registry, where a
# 32-bit program looks for it; a 64-bit one in the 64-bit view.
view=64
[ "$(od -An -tx2 -j "$(( $(od -An -tu4 -j 60 -N 4 "$dll") + 4 ))" -N 2 "$dll" | tr -d ' ')" = 014c ] && view=32
key='HKCR\CLSID\{000209FF-0000-0000-C000-000000000046}\InprocServer32'
[ "$suite" = wps ] && key='HKCR\CLSID\{000209FF-0000-4B30-A977-D214852036FF}\InprocServer32'
wine reg query "$key" /ve /reg:$view >"$log.query" 2>&1 || true
if ! tr -d '\r' <"$log.query" | grep -qiF "$winpath"; then
    echo "register.sh: $key does not name $winpath after registering" >&2
    exit 1
fi
echo "registered $winpath"
