#!/usr/bin/env bash
# The learner record's long crash-safety run: its writer killed with SIGKILL
# at random instants, 1000 times (TAMBERLYN_LEARNER_CRASH_ROUNDS sets the
# number, TAMBERLYN_CRASH_SEED repeats a run), tens of thousands of visits and
# bookmark edits in all; after every kill SQLite's integrity check must pass
# and every committed write must be there. Takes ten minutes or so.
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
"$here/build.sh" dev tst_learnercrash learnerwriter

cd "$here/.."
export TAMBERLYN_LEARNER_CRASH_ROUNDS="${TAMBERLYN_LEARNER_CRASH_ROUNDS:-1000}"
# QtTest's own watchdog would end the run after five minutes.
export QTEST_FUNCTION_TIMEOUT="${QTEST_FUNCTION_TIMEOUT:-7200000}"
exec build/dev/bin/tst_learnercrash
