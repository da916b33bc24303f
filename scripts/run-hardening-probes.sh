#!/usr/bin/env bash
# Beside run-benchmarks.sh: what hostile clients and a power cut cost, each
# against what it was before, in one run.
#   - bench_historylog: putting each history record on the disk, per page
#     turn (written only as before, flushed inline, and the viewer's flush
#     off the page turn);
#   - bench/server/probe_course_server.py: idle and slow-head connections at
#     the cap, a client pipelining a million HEADs and reading nothing, a
#     TLS close_notify; the course server, the one before it (commit
#     c5fa0d2, or TAMBERLYN_PROBE_BASELINE_REF) and nginx with the
#     documented configuration.
# The index tool's hostile pages and the History list at the cap are part of
# bench/index/bench_index.py (run-benchmarks.sh). Extra arguments go to the
# server probe (for instance --probes idle,pipeline).
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
root="$(cd "$here/.." && pwd)"
"$here/install-deps.sh"
cmake --preset release >/dev/null
cmake --build --preset release --target tamberlyn-course-server bench_historylog

baseline="$root/build/probe-baseline"
rm -rf "$baseline" && mkdir -p "$baseline"
git -C "$root" archive "${TAMBERLYN_PROBE_BASELINE_REF:-c5fa0d2}" | tar -x -C "$baseline"
cmake -S "$baseline" -B "$baseline/build/release" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$baseline/build/release" --target tamberlyn-course-server

"$root/build/release/bin/bench_historylog" 1000
echo
python3 "$root/bench/server/probe_course_server.py" --server "$root/build/release/bin/tamberlyn-course-server" \
    --baseline "$baseline/build/release/bin/tamberlyn-course-server" "$@"
