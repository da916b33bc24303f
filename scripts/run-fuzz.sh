#!/usr/bin/env bash
# Builds the libFuzzer targets (preset 'fuzz': clang, ASan + UBSan) and runs
# each for a while, or replays the corpora once.
#
#   scripts/run-fuzz.sh [SECONDS]   fuzz every target SECONDS seconds (default 30)
#   scripts/run-fuzz.sh --replay    run every corpus input once, no fuzzing
#
# Fuzzing starts from a copy of tests/fuzz/corpus/<target>/ in
# build/fuzz/fuzz-corpus/<target>/, which keeps what earlier runs found, so
# the seeds in the repository stay as they are. Exits non-zero when any target
# crashed, leaked, broke a check, ran out of memory or took too long on one
# input, and prints where the input that did it was written.
set -euo pipefail

usage() {
    echo "usage: $0 [SECONDS | --replay]" >&2
    exit 2
}

mode=fuzz
seconds=30
case "${1:-}" in
    "") ;;
    --replay) mode=replay ;;
    -h|--help) usage ;;
    *)
        [[ "$1" =~ ^[1-9][0-9]*$ ]] || usage
        seconds="$1"
        ;;
esac
[ $# -le 1 ] || usage

cd "$(dirname "$0")/.."
root="$(pwd)"
build="$root/build/fuzz"
seeds="$root/tests/fuzz/corpus"

if ! command -v clang++ >/dev/null; then
    echo "run-fuzz: clang++ is missing (Debian: apt-get install clang libclang-rt-14-dev)" >&2
    exit 2
fi

configure=(cmake --preset fuzz)
# ccache only where there is one: CI has none.
if command -v ccache >/dev/null; then
    configure+=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
fi
"${configure[@]}" >/dev/null
cmake --build --preset fuzz -j "$(nproc)"

# Sanitizer reports end the run with a stack trace; leaks in system
# libraries the unit tests already know about are not ours.
export ASAN_OPTIONS="${ASAN_OPTIONS:-detect_leaks=1:strict_string_checks=1:check_initialization_order=1}"
export UBSAN_OPTIONS="${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}"
export LSAN_OPTIONS="${LSAN_OPTIONS:-suppressions=$root/tests/sanitizers/lsan.supp:print_suppressions=0}"

targets=()
for binary in "$build"/bin/fuzz_*; do
    [ -x "$binary" ] && targets+=("${binary##*/fuzz_}")
done
if [ ${#targets[@]} -eq 0 ]; then
    echo "run-fuzz: no fuzz targets in $build/bin" >&2
    exit 1
fi

failed=()
for target in "${targets[@]}"; do
    binary="$build/bin/fuzz_$target"
    if [ ! -d "$seeds/$target" ]; then
        echo "run-fuzz: fuzz_$target has no seed corpus in $seeds/$target" >&2
        failed+=("$target")
        continue
    fi
    corpus="$build/fuzz-corpus/$target"
    artifacts="$build/fuzz-artifacts/$target"
    log="$build/fuzz-logs/$target.log"
    mkdir -p "$corpus" "$artifacts" "$(dirname "$log")"
    options=(-timeout=10 -rss_limit_mb=2048 -artifact_prefix="$artifacts/")
    dict="$root/tests/fuzz/$target.dict"
    if [ -f "$dict" ]; then
        options+=(-dict="$dict")
    fi

    if [ "$mode" = replay ]; then
        echo "== $target: replaying the corpus"
        # -runs=0: every input of the given folders once, then stop.
        dirs=("$seeds/$target")
        if [ -n "$(ls -A "$corpus")" ]; then
            dirs+=("$corpus")
        fi
        command=("$binary" "${options[@]}" -runs=0 "${dirs[@]}")
    else
        echo "== $target: fuzzing for $seconds s"
        cp -n "$seeds/$target"/* "$corpus"/ 2>/dev/null || true
        command=("$binary" "${options[@]}" -max_total_time="$seconds" -print_final_stats=1 "$corpus")
    fi

    if "${command[@]}" >"$log" 2>&1; then
        # The last status line: executions, coverage, corpus size.
        grep -E '^#[0-9]+' "$log" | tail -n 1 || true
    else
        echo "run-fuzz: $target FAILED (log: $log)" >&2
        grep -E 'ERROR:|FUZZ CHECK FAILED|runtime error:|SUMMARY:' "$log" | head -n 5 >&2 || true
        grep -E 'Test unit written to|^artifact_prefix' "$log" >&2 || true
        echo "run-fuzz: reproduce with: $binary <input written above>" >&2
        failed+=("$target")
    fi
done

if [ ${#failed[@]} -gt 0 ]; then
    echo "run-fuzz: findings in: ${failed[*]}" >&2
    exit 1
fi
echo "run-fuzz: ${#targets[@]} targets, no findings ($mode)"
