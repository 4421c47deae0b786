#!/usr/bin/env bash
# Installs every build and test dependency from Debian packages (as root, or
# through sudo) and generates the zh_CN.UTF-8 locale. Quick when all is there.
set -eu
packages=(
  cmake ninja-build g++ clang libclang-rt-14-dev
  g++-mingw-w64-i686-posix gcc-mingw-w64-i686-posix binutils-mingw-w64-i686
  g++-mingw-w64-x86-64-posix gcc-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64
  libgcrypt-mingw-w64-dev libgpg-error-mingw-w64-dev libgcrypt20-dev libgpg-error-dev libz-mingw-w64-dev
  nlohmann-json3-dev googletest libgtest-dev
  wine wine64 wine32:i386 xvfb xauth x11-utils xdotool imagemagick
  locales fonts-wqy-microhei
  cups cups-client cups-bsd printer-driver-cups-pdf
  python3 curl poppler-utils ccache
)
sudo_() { if [ "$(id -u)" = 0 ]; then "$@"; else sudo "$@"; fi; }

# The shipped program is 32-bit: Wine runs it through Debian's wine32.
if ! dpkg --print-foreign-architectures | grep -qx i386; then
  sudo_ dpkg --add-architecture i386
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

if ! locale -a 2>/dev/null | grep -qi '^zh_CN\.utf8$'; then
  sudo_ sed -i 's/^# *zh_CN.UTF-8 UTF-8/zh_CN.UTF-8 UTF-8/' /etc/locale.gen
  grep -q '^zh_CN.UTF-8 UTF-8' /etc/locale.gen || echo 'zh_CN.UTF-8 UTF-8' | sudo_ tee -a /etc/locale.gen >/dev/null
  sudo_ locale-gen >/dev/null
fi
echo "[deps] ready"
