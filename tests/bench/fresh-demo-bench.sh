#!/usr/bin/env bash
# First-demo benchmark (not a test): how long `bash scripts/demo.sh` takes on
# a fresh Debian 12 machine, package installation included. It makes one
# with debootstrap in a folder (a bookworm system with what a new
# development machine comes with: g++, cmake, GoogleTest, git, Python), clones
# this repository's HEAD into it, times the demo there from the command to
# its last line, then ends what the demo left running and removes the folder.
# Needs root and the Debian mirror; the system's own CUPS and the test
# services must be stopped first, since the demo's use the same ports.
#   tests/bench/fresh-demo-bench.sh [print|view|login|sign|edit]
set -eu
repo="$(cd "$(dirname "$0")/../.." && pwd)"
[ "$(id -u)" = 0 ] || { echo "run as root: it builds a Debian system in a folder" >&2; exit 1; }
if ss -ltn | grep -Eq ':(631|18080|18443) '; then
    echo "CUPS or the test web server is running here; stop them first:" >&2
    echo "  bash tests/harness/stop-services.sh; pkill -x cupsd" >&2
    exit 1
fi
command -v debootstrap >/dev/null || {
    apt-get update -qq && DEBIAN_FRONTEND=noninteractive apt-get install -y -qq debootstrap >/dev/null
}

work=$(mktemp -d /var/tmp/orvo-fresh-demo.XXXXXX)
root="$work/root"
mounted=()
finish() {
    # What the demo left running inside, then the mounts, then the folder.
    for p in /proc/[0-9]*; do
        [ "$(readlink "$p/root" 2>/dev/null)" = "$root" ] && kill -9 "${p#/proc/}" 2>/dev/null
    done
    sleep 1
    for ((i = ${#mounted[@]} - 1; i >= 0; i--)); do umount "${mounted[$i]}" 2>/dev/null || true; done
    rm -rf "$work"
}
trap finish EXIT

echo "[bench] making a fresh Debian 12 system in $root (not timed)"
debootstrap --include=ca-certificates,git,python3,curl bookworm "$root" http://deb.debian.org/debian >"$work/debootstrap.log"
cp /etc/apt/sources.list.d/*.sources "$root/etc/apt/sources.list.d/" 2>/dev/null && rm -f "$root/etc/apt/sources.list"
for d in proc sys dev dev/pts dev/shm; do
    mount --bind "/$d" "$root/$d"
    mounted+=("$root/$d")
done
inside() { chroot "$root" /usr/bin/env -i HOME=/root PATH=/usr/sbin:/usr/bin:/sbin:/bin TERM=xterm LANG=C.UTF-8 "$@"; }
inside bash -c "apt-get update -qq && DEBIAN_FRONTEND=noninteractive apt-get install -y -qq \
    g++ cmake googletest libgtest-dev libgmock-dev libbenchmark-dev >/dev/null"
git clone -q "$repo" "$root/root/repo"

echo "[bench] timing: bash scripts/demo.sh $*"
start=$(date +%s.%N)
status=0
inside bash -c 'cd /root/repo && bash scripts/demo.sh "$@"' demo "$@" >"$work/demo.log" 2>&1 || status=$?
end=$(date +%s.%N)
tail -n 3 "$work/demo.log"
[ "$status" = 0 ] || { cat "$work/demo.log" >&2; echo "[bench] the demo failed" >&2; exit 1; }
echo "[bench] first demo on a fresh machine, package installation included: $(
    awk -v s="$start" -v e="$end" 'BEGIN { t = e - s; printf "%d min %02d s", t / 60, t % 60 }')"
