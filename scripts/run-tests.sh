#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test: the whole suite on
# the debug build (inside a virtual X server when there is no display), the
# unit tests again under AddressSanitizer and UndefinedBehaviorSanitizer, and
# a short run of every fuzz target.
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
"$here/install-deps.sh"
"$here/build.sh" dev
"$here/build.sh" asan

cd "$here/.."
# The browser engine's sandbox cannot run as root (CI runs as root).
if [ "$(id -u)" -eq 0 ]; then
    export QTWEBENGINE_DISABLE_SANDBOX=1
fi

ctest_command=(ctest --preset dev -j 2)
if [ -z "${DISPLAY:-}" ]; then
    xvfb-run -a -s "-screen 0 1280x1024x24 -nolisten tcp" "${ctest_command[@]}"
else
    "${ctest_command[@]}"
fi

echo "== Unit tests under AddressSanitizer + UndefinedBehaviorSanitizer"
ctest --preset asan -j 2

echo "== Every fuzz target for 30 seconds (clang, ASan + UBSan)"
"$here/run-fuzz.sh" 30

echo "== The Debian package: build, install, run on the demo course, purge"
"$here/build-deb.sh"
"$here/../tests/package/test-deb.sh"
