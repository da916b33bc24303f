#!/usr/bin/env bash
# The index pair switch seen from readers, run long: tamberlyn-index rebuilds
# an index again and again while the Search window's own loading and the
# tool's search command read it; not one reading may mix the old pair with
# the new. The test suite runs the same test for a few seconds.
#
#   scripts/run-index-race.sh [SECONDS]   (default 600)
set -euo pipefail
seconds="${1:-600}"
[[ "$seconds" =~ ^[1-9][0-9]*$ ]] || { echo "usage: $0 [SECONDS]" >&2; exit 2; }
cd "$(dirname "$0")/.."
"scripts/install-deps.sh"
configure=(cmake --preset dev)
if command -v ccache >/dev/null; then
    configure+=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
fi
"${configure[@]}" >/dev/null
cmake --build --preset dev --target tst_indextool_race
# QtTest ends a test function after 5 minutes unless told otherwise.
QTEST_FUNCTION_TIMEOUT=$(( (seconds + 300) * 1000 )) TAMBERLYN_RACE_SECONDS="$seconds" build/dev/bin/tst_indextool_race
