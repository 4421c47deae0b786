#!/usr/bin/env bash
# Download benchmark (not a test): a 50 MB generated report from the test web
# server, fetched by our HTTP client and by a plain WinHttpReadData loop in
# the same Wine (dropping the bytes, and keeping them in memory as the client
# must), three rounds each. Then the upload of a file of the same size: the
# upload worker's steps (hash, then the multipart POST) against a plain
# WinHTTP POST of the file's bytes. Prints throughput and peak working set.
# The download is measured over https too (the TLS port, certificate from
# the test CA), with the plain loops on the client's TLS settings, and the
# client's mean throughput as a share of the plain store loop's.
#   tests/bench/http-bench.sh [BYTES] [ROUNDS]
set -eu
repo="$(cd "$(dirname "$0")/../.." && pwd)"
cd "$repo"
bytes="${1:-52428800}"
rounds="${2:-3}"
. tests/harness/env.sh
build="${ORVO_BUILD_DIR:-$ORVO_WIN_BUILD}"
[ -f "$build/CMakeCache.txt" ] || bash scripts/configure.sh
cmake --build "$build" --target http_bench upload_bench -j2 >/dev/null
bash tests/harness/start-services.sh >/dev/null
. tests/harness/env.sh
out="$(mktemp "$ORVO_TEST_ROOT/bench.XXXXXX")"
results="$(mktemp "$ORVO_TEST_ROOT/bench.XXXXXX")"
for url in "http://127.0.0.1:$ORVO_WEB_PORT/gen/$bytes/report.doc" \
           "https://localhost:$ORVO_WEB_TLS_PORT/gen/$bytes/report.doc"; do
    echo "report: $bytes bytes ($url)"
    : >"$results"
    for round in $(seq "$rounds"); do
        # Every other round in reverse: on a busy machine the load drifts.
        modes="plain plain-store client"
        [ $((round % 2)) = 0 ] && modes="client plain-store plain"
        for mode in $modes; do
            wine "$build/tests/http_bench.exe" "$mode" "$url" >"$out" 2>&1 </dev/null || { cat "$out"; exit 1; }
            tr -d '\r' <"$out" | tee -a "$results"
        done
    done
    awk '$1 == "plain-store" { p += $8; np++ } $1 == "client" { c += $8; nc++ }
         END { if (np && nc) printf "client / plain-store: %.1f / %.1f MB/s = %.2f x\n", c / nc, p / np, (c / nc) / (p / np) }' "$results"
done
rm -f "$results"
document="$ORVO_TEST_ROOT/bench-upload.doc"
head -c "$bytes" /dev/urandom >"$document"
echo "upload: $bytes bytes ($document)"
for round in $(seq "$rounds"); do
    for mode in plain worker; do
        wine "$build/tests/upload_bench.exe" "$mode" "Z:$document" "http://127.0.0.1:$ORVO_WEB_PORT/upload/ok0" \
            >"$out" 2>&1 </dev/null || { cat "$out"; exit 1; }
        tr -d '\r' <"$out"
    done
done
rm -f "$out" "$document"
