#!/usr/bin/env bash
# The demo: builds both programs, installs them into a folder of the test
# Wine prefix, registers the orvo: scheme there, serves a sample report from
# the test web server and opens an enciphered orvo: link through the shell,
# under Wine + Xvfb. It then acts as a user would and reports what happened;
# "sign" and "edit" show the seal strip and the edit mode instead of printing;
# screenshots land in build/demo/.
#   bash scripts/demo.sh [print|login]
set -eu
repo="$(cd "$(dirname "$0")/.." && pwd)"
cd "$repo"
bash scripts/install-deps.sh
bash scripts/configure.sh
bash tests/harness/start-services.sh
. tests/harness/env.sh
bash tests/harness/register-fakes.sh "$ORVO_WIN_BUILD"
export ORVO_BUILD_DIR="${ORVO_BUILD_DIR:-$repo/$ORVO_WIN_BUILD}"
exec /usr/bin/python3 scripts/demo.py "$@"
