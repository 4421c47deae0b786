#!/usr/bin/env bash
# Installs every build and test dependency from Debian packages (as root, or
# through sudo) and generates the zh_CN.UTF-8 locale. Quick when all is there.
#   bash scripts/install-deps.sh [--demo]
# --demo leaves out what only the tests and the packaging need: clang for
# fuzzing, the toolchain of the Windows build the demo does not run, NSIS,
# the signing tools, the PDF tools.
set -eu
sudo_() { if [ "$(id -u)" = 0 ]; then "$@"; else sudo "$@"; fi; }

# The shipped program is 32-bit: Wine runs it through Debian's wine32. That
# needs a kernel that runs 32-bit code; some virtual machines boot without
# it, and there wine32's loader cannot start, which breaks 64-bit Wine too.
kernel_runs_32bit() {
  local dir rc
  dir=$(mktemp -d)
  printf '.globl _start\n_start:\n movl $1, %%eax\n xorl %%ebx, %%ebx\n int $0x80\n' >"$dir/t.s"
  as --32 -o "$dir/t.o" "$dir/t.s" 2>/dev/null && ld -m elf_i386 -o "$dir/t" "$dir/t.o" 2>/dev/null && "$dir/t" 2>/dev/null
  rc=$?
  rm -rf "$dir"
  return $rc
}

mingw32=(g++-mingw-w64-i686-posix gcc-mingw-w64-i686-posix binutils-mingw-w64-i686)
mingw64=(g++-mingw-w64-x86-64-posix gcc-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64)
packages=(
  cmake ninja-build g++
  libgcrypt-mingw-w64-dev libgpg-error-mingw-w64-dev libgcrypt20-dev libgpg-error-dev libz-mingw-w64-dev
  nlohmann-json3-dev googletest libgtest-dev
  wine wine64 xvfb xauth x11-utils xdotool imagemagick
  locales fonts-wqy-microhei
  cups cups-client cups-bsd printer-driver-cups-pdf
  python3 curl ccache openssl ca-certificates
)
# binutils' "as" and "ld" tell whether the kernel runs 32-bit code.
if ! command -v as >/dev/null; then
  sudo_ apt-get update -qq
  sudo_ env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq binutils >/dev/null
fi
runs_32bit=0
kernel_runs_32bit && runs_32bit=1
if [ "${1:-}" = --demo ]; then
  # Only the toolchain of the Windows build the demo runs.
  if [ "$runs_32bit" = 1 ]; then packages+=("${mingw32[@]}"); else packages+=("${mingw64[@]}"); fi
else
  packages+=("${mingw32[@]}" "${mingw64[@]}" clang libclang-rt-14-dev nsis osslsigncode msitools wixl poppler-utils)
fi
# wine32 comes in the same download as the rest: one package list update
# and one installation.
if [ "$runs_32bit" = 1 ]; then
  packages+=(wine32:i386)
  dpkg --print-foreign-architectures | grep -qx i386 || sudo_ dpkg --add-architecture i386
fi

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
if [ "${#missing[@]}" -gt 0 ]; then
  echo "[deps] installing: ${missing[*]}"
  sudo_ apt-get update -qq
  sudo_ env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq "${missing[@]}" >/dev/null
fi

wine32_installed() { dpkg-query -W -f='${Status}' wine32:i386 2>/dev/null | grep -q 'install ok installed'; }
if [ "$runs_32bit" = 0 ]; then
  echo "[deps] this kernel does not run 32-bit programs: Windows tests use the 64-bit build"
  if wine32_installed; then
    echo "[deps] removing wine32, whose loader cannot start here"
    sudo_ env DEBIAN_FRONTEND=noninteractive apt-get remove -y -qq wine32:i386 libwine:i386 >/dev/null
  fi
fi

if ! locale -a 2>/dev/null | grep -qi '^zh_CN\.utf8$'; then
  sudo_ sed -i 's/^# *zh_CN.UTF-8 UTF-8/zh_CN.UTF-8 UTF-8/' /etc/locale.gen
  grep -q '^zh_CN.UTF-8 UTF-8' /etc/locale.gen || echo 'zh_CN.UTF-8 UTF-8' | sudo_ tee -a /etc/locale.gen >/dev/null
  sudo_ locale-gen >/dev/null
fi
echo "[deps] ready"
