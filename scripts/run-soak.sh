#!/usr/bin/env bash
# Builds and runs the long soak test: 2000 page turns of the real viewer on
# the demo course (set TAMBERLYN_SOAK_PAGES for another length, and
# TAMBERLYN_SOAK_SEED to repeat a run). Takes the better part of an hour.
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
"$here/build.sh" dev

cd "$here/.."
export TAMBERLYN_SOAK_PAGES="${TAMBERLYN_SOAK_PAGES:-2000}"
# The browser engine's sandbox cannot run as root.
if [ "$(id -u)" -eq 0 ]; then
    export QTWEBENGINE_DISABLE_SANDBOX=1
fi

# Run directly rather than through ctest, whose time limit is set for the
# short default run; the test sizes QtTest's own watchdog to its length and
# starts its own X server.
exec build/dev/bin/tst_soak_e2e
