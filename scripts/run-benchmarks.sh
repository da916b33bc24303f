#!/usr/bin/env bash
# Builds the optimised preset and runs every benchmark, each against its
# baseline in the same run. Extra arguments go to the start-up benchmark
# (for instance --runs 20).
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
"$here/install-deps.sh"
"$here/build.sh" release
"$here/../build/release/bin/bench_pageturn" 500
"$here/../build/release/bin/bench_finders" 15
python3 "$here/../bench/startup/bench_startup.py" --build-dir "$here/../build/release" "$@"
