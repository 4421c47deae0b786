#!/usr/bin/env bash
# Starts what the Windows tests need: Xvfb, a fresh Wine prefix with a warm
# wineserver inside the X session, CUPS with two cups-pdf printers, and the
# test web server. Safe to run again: running services are kept.
set -eu
here="$(cd "$(dirname "$0")" && pwd)"
repo="$(cd "$here/../.." && pwd)"
. "$here/env.sh"

log() { printf '[services] %s\n' "$*"; }

start_xvfb() {
    local n="${DISPLAY#:}"
    if [ -e "/tmp/.X11-unix/X$n" ] && xdpyinfo -display "$DISPLAY" >/dev/null 2>&1; then return; fi
    rm -f "/tmp/.X$n-lock" "/tmp/.X11-unix/X$n"
    Xvfb "$DISPLAY" -screen 0 1280x800x24 -nolisten tcp >"$ORVO_TEST_ROOT/xvfb.log" 2>&1 &
    for _ in $(seq 50); do xdpyinfo -display "$DISPLAY" >/dev/null 2>&1 && return; sleep 0.1; done
    log "Xvfb did not start"; exit 1
}

start_cups() {
    # cups-filters types any job named *.doc as a Word file by its name and
    # then refuses it; Wine sends PostScript, so let the content decide.
    local types=/etc/cups/orvo-test.types
    if [ ! -f "$types" ]; then
        printf 'application/postscript\tstring(0,%%!) priority(150)\n' >"$types"
        pkill -HUP -x cupsd && sleep 1
    fi
    if ! LC_ALL=C lpstat -r 2>/dev/null | grep -q 'is running'; then
        mkdir -p /run/cups
        (cupsd >"$ORVO_TEST_ROOT/cupsd.log" 2>&1 || true)
        for _ in $(seq 50); do LC_ALL=C lpstat -r 2>/dev/null | grep -q 'is running' && break; sleep 0.1; done
    fi
    local ppd=lsb/usr/cups-pdf/CUPS-PDF_opt.ppd
    lpinfo -m 2>/dev/null | grep -q CUPS-PDF_opt || ppd=lsb/usr/cups-pdf/CUPS-PDF_noopt.ppd
    for p in Printer_A Printer_B; do
        lpstat -p "$p" >/dev/null 2>&1 || lpadmin -p "$p" -v cups-pdf:/ -m "$ppd" -E
    done
    lpadmin -d Printer_A
}

# A prefix made before wine32 was installed has no 32-bit system folder, and
# every 32-bit program then fails with "could not load kernel32.dll".
prefix_runs_32bit() {
    ! orvo_runs_32bit || [ -f "$WINEPREFIX/drive_c/windows/syswow64/kernel32.dll" ]
}

start_wine() {
    if [ -f "$WINEPREFIX/system.reg" ] && ! prefix_runs_32bit; then
        log "Wine prefix $WINEPREFIX cannot run 32-bit programs; making a new one"
        wineserver -k >/dev/null 2>&1 || true
        rm -rf "$WINEPREFIX"
    fi
    if [ ! -f "$WINEPREFIX/system.reg" ]; then
        log "creating Wine prefix $WINEPREFIX"
        wineserver -k >/dev/null 2>&1 || true
        wineboot -i >"$ORVO_TEST_ROOT/wineboot.log" 2>&1 || true
    fi
    # Persistent server, started inside the X session.
    wineserver -p >/dev/null 2>&1 || true
    wine cmd /c exit >"$ORVO_TEST_ROOT/warmup.log" 2>&1 || true
    prefix_runs_32bit || { log "Wine prefix $WINEPREFIX has no 32-bit system (is wine32 installed?)"; exit 1; }
    # A crash must end the test at once, not wait behind winedbg's dialog.
    wine reg add 'HKCU\Software\Wine\WineDbg' /v ShowCrashDialog /t REG_DWORD /d 0 /f \
        >>"$ORVO_TEST_ROOT/warmup.log" 2>&1 || true
}

# A test CA and the certificates the TLS port serves: localhost.pem (signed
# by the CA), selfsigned.pem and otherhost.pem (signed by the CA, for another
# name). The program checks revocation (a certificate whose status cannot be
# learnt fails under Wine), so the CA's certificates name its revocation list
# (empty), which the test web server serves on its plain port (/_tls/ca.crl).
# Made once per test root and web port; the CA goes into the host's store.
make_certificates() {
    local d="$ORVO_TLS_DIR"
    local crl="http://127.0.0.1:$ORVO_WEB_PORT/_tls/ca.crl"
    if [ ! -s "$d/ca.crl" ] || [ "$(cat "$d/crl-url" 2>/dev/null)" != "$crl" ]; then
        log "making the test CA and certificates in $d"
        rm -rf "$d" && mkdir -p "$d"
        (
            cd "$d"
            ossl() { openssl "$@" >>openssl.log 2>&1; }
            ossl req -x509 -newkey rsa:2048 -nodes -keyout ca.key -out ca.crt -days 365 \
                -subj "/CN=orvo test CA $(basename "$ORVO_CA_INSTALLED" .crt)" \
                -addext basicConstraints=critical,CA:TRUE -addext keyUsage=critical,keyCertSign,cRLSign
            printf '[ca]\ndefault_ca=test\n[test]\ndatabase=index.txt\ncrlnumber=crlnumber\ndefault_md=sha256\ndefault_crl_days=365\ncertificate=ca.crt\nprivate_key=ca.key\n' >ca.cnf
            : >index.txt
            echo 01 >crlnumber
            leaf() {  # leaf NAME HOST: NAME.pem for HOST, signed by the CA
                ossl req -newkey rsa:2048 -nodes -keyout "$1.key" -out "$1.csr" -subj "/CN=$2"
                printf 'subjectAltName=DNS:%s\nextendedKeyUsage=serverAuth\nbasicConstraints=CA:FALSE\ncrlDistributionPoints=URI:%s\n' \
                    "$2" "$crl" >"$1.ext"
                ossl x509 -req -in "$1.csr" -CA ca.crt -CAkey ca.key -CAcreateserial -days 365 -sha256 \
                    -extfile "$1.ext" -out "$1.crt"
                cat "$1.crt" "$1.key" >"$1.pem"
            }
            leaf localhost localhost
            leaf otherhost other.example
            ossl ca -config ca.cnf -gencrl -out ca.crl.pem
            ossl crl -in ca.crl.pem -outform DER -out ca.crl
            ossl req -x509 -newkey rsa:2048 -nodes -keyout selfsigned.key -out selfsigned.crt -days 365 \
                -subj "/CN=localhost" -addext subjectAltName=DNS:localhost
            cat selfsigned.crt selfsigned.key >selfsigned.pem
            echo "$crl" >crl-url
        ) || { log "openssl failed: see $d/openssl.log"; exit 1; }
    fi
    if ! cmp -s "$d/ca.crt" "$ORVO_CA_INSTALLED"; then
        cp "$d/ca.crt" "$ORVO_CA_INSTALLED"
        # Other test roots update the store too: one at a time.
        flock /tmp/orvo-ca-store.lock update-ca-certificates >"$ORVO_TEST_ROOT/update-ca.log" 2>&1 ||
            { log "update-ca-certificates failed: see $ORVO_TEST_ROOT/update-ca.log"; exit 1; }
    fi
}

web_answers() {
    curl -s -o /dev/null "http://127.0.0.1:$ORVO_WEB_PORT/_ping" 2>/dev/null
}

tls_answers() {
    curl -s -o /dev/null --cacert "$ORVO_TLS_DIR/ca.crt" "https://localhost:$ORVO_WEB_TLS_PORT/_ping" 2>/dev/null
}

start_web() {
    local server="$repo/tests/server/server.py"
    [ -f "$server" ] || return 0
    if web_answers; then
        # Ours only if it serves this run's folder; another run's server
        # would answer every test with files from elsewhere.
        if [ -f "$ORVO_TEST_ROOT/web.pid" ] && kill -0 "$(cat "$ORVO_TEST_ROOT/web.pid")" 2>/dev/null; then
            tls_answers && return
            # Started before it had a TLS port: start it again with one.
            kill "$(cat "$ORVO_TEST_ROOT/web.pid")"
            for _ in $(seq 50); do web_answers || break; sleep 0.1; done
        else
            log "port $ORVO_WEB_PORT is taken by another test web server; stop it or set ORVO_WEB_PORT"; exit 1
        fi
    fi
    /usr/bin/python3 "$server" --port "$ORVO_WEB_PORT" --root "$ORVO_TEST_ROOT/web" \
        --tls-port "$ORVO_WEB_TLS_PORT" --tls-dir "$ORVO_TLS_DIR" >"$ORVO_TEST_ROOT/web.log" 2>&1 &
    echo $! >"$ORVO_TEST_ROOT/web.pid"
    for _ in $(seq 50); do web_answers && tls_answers && return; sleep 0.1; done
    log "test web server did not start on ports $ORVO_WEB_PORT and $ORVO_WEB_TLS_PORT (see $ORVO_TEST_ROOT/web.log)"; exit 1
}

start_xvfb
start_cups
make_certificates
start_wine
bash "$here/trust-web.sh"
start_web
log "ready (DISPLAY=$DISPLAY WINEPREFIX=$WINEPREFIX)"
