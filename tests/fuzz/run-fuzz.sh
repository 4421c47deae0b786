#!/usr/bin/env bash
# Builds the request fuzzer in build/fuzz (clang, libFuzzer, ASan, UBSan) and
# runs it for SECONDS seconds from the seed corpus. Exits non-zero when the
# fuzzer finds a crash, a leak, undefined behaviour, a broken invariant or a
# time-out; the input that did it is left in build/fuzz/artifacts/.
# Further arguments go to libFuzzer (for example -runs=N or -jobs=2).
set -eu
seconds="${1:-60}"
shift || true
repo="$(cd "$(dirname "$0")/../.." && pwd)"
build="$repo/build/fuzz"
mkdir -p "$build"

gen=()
command -v ninja >/dev/null && gen=(-G Ninja)
if ! cmake -S "$repo" -B "$build" "${gen[@]}" -DORVO_FUZZ=ON -DCMAKE_BUILD_TYPE=RelWithDebInfo \
        -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ >"$build/configure.log" 2>&1; then
    cat "$build/configure.log" >&2
    exit 1
fi
cmake --build "$build" --target fuzz_request -j "${ORVO_JOBS:-2}" >"$build/build.log" 2>&1 || {
    tail -50 "$build/build.log" >&2
    exit 1
}

# New inputs go to the working corpus; the seeds in the repository stay as they are.
# libFuzzer reports every new input: that goes to a log, and only its summary
# (or, on a finding, the end of the log) is printed.
mkdir -p "$build/corpus" "$build/artifacts"
log="$build/fuzz.log"
if "$build/fuzz/fuzz_request" -max_total_time="$seconds" -max_len=4096 -timeout=10 -rss_limit_mb=2048 \
    -print_final_stats=1 -artifact_prefix="$build/artifacts/" "$@" \
    "$build/corpus" "$repo/tests/fuzz/corpus" >"$log" 2>&1; then
    grep -E '^(Done|stat::number_of_executed_units|stat::peak_rss_mb)|INFO: seed corpus' "$log" || true
else
    rc=$?
    tail -60 "$log" >&2
    echo "fuzzing found a problem; full log: $log" >&2
    exit "$rc"
fi
