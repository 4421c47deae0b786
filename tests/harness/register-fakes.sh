#!/usr/bin/env bash
# Registers the test stand-ins (Office substitute, ...) of a Windows build
# directory in the test Wine prefix.
set -eu
here="$(cd "$(dirname "$0")" && pwd)"
repo="$(cd "$here/../.." && pwd)"
. "$here/env.sh"
build="${1:-$repo/$ORVO_WIN_BUILD}"
office_dll="$(find "$build" -maxdepth 4 -iname 'orvo_fake_office*.dll' | head -n 1)"
if [ -n "$office_dll" ] && [ -x "$repo/tests/fakes/office/register.sh" ]; then
  bash "$repo/tests/fakes/office/register.sh" "$office_dll"
fi
exit 0
