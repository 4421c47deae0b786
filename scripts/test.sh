#!/usr/bin/env bash
# The whole test suite on a fresh Debian machine: installs dependencies,
# builds both trees, starts the test services, then runs the host unit tests
# (sanitizers), the Windows tests under Wine, the end-to-end tests and a
# short fuzzing run. Ends with one "N passed, N failed" line.
set -u
repo="$(cd "$(dirname "$0")/.." && pwd)"
cd "$repo"
fuzz_seconds="${ORVO_FUZZ_SECONDS:-60}"

bash scripts/install-deps.sh || exit 1
ORVO_SKIP_WIN32=0 ORVO_SKIP_WIN64=0 bash scripts/configure.sh || { echo "build failed"; exit 1; }
bash tests/harness/start-services.sh || { echo "test services did not start"; exit 1; }
. tests/harness/env.sh
win="$ORVO_WIN_BUILD"  # the Windows build this machine can run (env.sh)
[ -x tests/harness/register-fakes.sh ] && bash tests/harness/register-fakes.sh "$win"

status=0
rm -f build/host/test-xml/*.xml build/win/test-xml/*.xml build/win64/test-xml/*.xml
echo "== host unit tests"
ctest --test-dir build/host --output-on-failure -j 2 || status=1
echo "== Windows tests under Wine ($win)"
ctest --test-dir "$win" --output-on-failure || status=1
if [ "$win" = build/win ]; then
  if [ -d build/win64 ]; then
    echo "== unit tests of the 64-bit Windows build"
    ctest --test-dir build/win64 -L unit --output-on-failure || status=1
  fi
else
  echo "== this machine cannot run 32-bit programs: the shipped 32-bit build is checked without running it"
  ctest --test-dir build/win -L static --output-on-failure --output-junit "$repo/build/win/test-xml/static.xml" || status=1
fi

e2e_passed=0; e2e_failed=0
if [ -x tests/e2e/run.sh ]; then
  echo "== end-to-end tests under Wine"
  log="$ORVO_TEST_ROOT/e2e.log"
  bash tests/e2e/run.sh "$win" 2>&1 | tee "$log"
  [ "${PIPESTATUS[0]}" = 0 ] || status=1
  ran=$(grep -Eo '^Ran [0-9]+ tests?' "$log" | awk '{s+=$2} END {print s+0}')
  bad=$(grep -Eo '(failures|errors)=[0-9]+' "$log" | awk -F= '{s+=$2} END {print s+0}')
  e2e_failed=$bad; e2e_passed=$((ran - bad))
fi

fuzz_passed=0; fuzz_failed=0
if [ -x tests/fuzz/run-fuzz.sh ] && [ "$fuzz_seconds" -gt 0 ]; then
  echo "== fuzzing for ${fuzz_seconds}s"
  if bash tests/fuzz/run-fuzz.sh "$fuzz_seconds"; then fuzz_passed=1; else fuzz_failed=1; status=1; fi
fi

read -r g_total g_failed < <(/usr/bin/python3 - build/host/test-xml build/win/test-xml build/win64/test-xml <<'PY'
import glob, sys, xml.etree.ElementTree as ET
total = failed = 0
for d in sys.argv[1:]:
    for f in glob.glob(d + "/*.xml"):
        try:
            root = ET.parse(f).getroot()
        except ET.ParseError:
            failed += 1
            continue
        total += int(root.get("tests", 0)) - int(root.get("disabled", 0))
        failed += int(root.get("failures", 0)) + int(root.get("errors", 0))
print(total, failed)
PY
)
passed=$((g_total - g_failed + e2e_passed + fuzz_passed))
failed=$((g_failed + e2e_failed + fuzz_failed))
if [ "$status" != 0 ] && [ "$failed" = 0 ]; then failed=1; fi
echo
echo "$passed passed, $failed failed"
exit $status
