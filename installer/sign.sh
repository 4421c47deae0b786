#!/usr/bin/env bash
# Signs one Windows executable in place with Authenticode (SHA-256), when the
# environment names a certificate; without one it leaves the file as it is.
#   ORVO_SIGN_PFX            the PKCS#12 file: certificate, chain and key
#   ORVO_SIGN_PASS_FILE      a file holding its password (never an argument,
#                            which every user of the machine could read)
#   ORVO_SIGN_TIMESTAMP_URL  an RFC 3161 time-stamp server, if there is one
# The installer build calls it for both programs, the uninstaller (NSIS's
# !uninstfinalize) and the installer (!finalize).
#   bash installer/sign.sh FILE
set -eu
file="$1"
[ -n "${ORVO_SIGN_PFX:-}" ] || exit 0
command -v osslsigncode >/dev/null || { echo "sign: osslsigncode not found: apt-get install osslsigncode" >&2; exit 1; }
[ -r "$ORVO_SIGN_PFX" ] || { echo "sign: cannot read ORVO_SIGN_PFX ($ORVO_SIGN_PFX)" >&2; exit 1; }
args=(sign -pkcs12 "$ORVO_SIGN_PFX" -h sha256 -n orvo_Printer)
if [ -n "${ORVO_SIGN_PASS_FILE:-}" ]; then
    [ -r "$ORVO_SIGN_PASS_FILE" ] || { echo "sign: cannot read ORVO_SIGN_PASS_FILE ($ORVO_SIGN_PASS_FILE)" >&2; exit 1; }
    args+=(-readpass "$ORVO_SIGN_PASS_FILE")
fi
[ -n "${ORVO_SIGN_TIMESTAMP_URL:-}" ] && args+=(-ts "$ORVO_SIGN_TIMESTAMP_URL")
signed="$file.signed"
log="$(mktemp)"
trap 'rm -f "$log" "$signed"' EXIT
if ! osslsigncode "${args[@]}" -in "$file" -out "$signed" >"$log" 2>&1; then
    echo "sign: could not sign $file:" >&2
    cat "$log" >&2
    exit 1
fi
mv -f "$signed" "$file"
