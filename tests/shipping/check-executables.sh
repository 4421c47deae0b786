#!/usr/bin/env bash
# Checks built Windows executables without running them, so the shipped
# 32-bit build is checked on machines that cannot run 32-bit code:
#   check-executables.sh x86|amd64 OBJDUMP EXE...
# Each executable is of the given architecture and imports only libraries
# that Wine ships as system libraries (static linking: nothing of ours or of
# the compiler beside it); orvo_Printer's manifest names the same architecture.
set -u
export LC_ALL=C  # objdump speaks the locale's language otherwise
arch="$1"; objdump="$2"; shift 2
case "$arch" in
  x86) format=pei-i386 ;;
  amd64) format=pei-x86-64 ;;
  *) echo "unknown architecture $arch"; exit 2 ;;
esac
# The system libraries are named alike on both architectures; Wine's 64-bit
# set is there on every machine that runs the tests.
system=/usr/lib/x86_64-linux-gnu/wine/x86_64-windows
failed=0
fail() { echo "FAIL: $*"; failed=1; }
for exe in "$@"; do
  "$objdump" -f "$exe" | grep -q "file format $format" || fail "$exe is not $format"
  imports=$("$objdump" -p "$exe" | sed -n 's/^\s*DLL Name: //p' | tr -d '\r')
  [ -n "$imports" ] || fail "$exe: no imports read"
  for dll in $imports; do
    [ -f "$system/${dll,,}" ] || fail "$exe imports $dll, which is not a system library"
  done
  case "$(basename "$exe")" in
    orvo_Printer.exe)
      grep -aq "processorArchitecture=\"$arch\"" "$exe" || fail "$exe: manifest does not name $arch" ;;
  esac
done
[ $failed = 0 ] && echo "ok: $* ($arch)"
exit $failed
