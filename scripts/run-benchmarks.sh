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

# The index tool beside the one before the HTML5 parser and the learner word
# rules (commit f20983b, or TAMBERLYN_BASELINE_REF), built from that tree in
# build/baseline: build time and memory at
# the table limit, the reader and the check at the cap. Then the Search on a real book
# (the Debian Reference, English and French, split into course pages) held
# against an independent reference. The baseline's build folder sits as deep
# below its sources as build/release does, so ccache serves the files the
# two trees share.
root="$(cd "$here/.." && pwd)"
baseline="$root/build/baseline"
rm -rf "$baseline" && mkdir -p "$baseline"
git -C "$root" archive "${TAMBERLYN_BASELINE_REF:-f20983b}" | tar -x -C "$baseline"
cmake -S "$baseline" -B "$baseline/build/release" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTAMBERLYN_SCOPE=unit
cmake --build "$baseline/build/release" --target tamberlyn-index
python3 "$root/bench/index/bench_index.py" --tool "$root/build/release/bin/tamberlyn-index" \
    --baseline "$baseline/build/release/bin/tamberlyn-index"
# A Search that misses its goal on the book fails the run at the end, after
# the start-up benchmark has had its turn too.
goals_met=true
book="$(mktemp -d)"
trap 'rm -rf "$book"' EXIT
for language in en fr; do
    python3 "$root/bench/index/split_book.py" /usr/share/debian-reference "$book/$language" --glob "ch*.$language.html"
    "$root/build/release/bin/tamberlyn-index" build "$book/$language" "$book/$language-index"
    /usr/bin/python3 "$root/bench/index/eval_search.py" --tool "$root/build/release/bin/tamberlyn-index" \
        --course "$book/$language" --index "$book/$language-index" || goals_met=false
    # What the Search offers when a learner's query finds nothing.
    /usr/bin/python3 "$root/bench/suggestions/eval_suggestions.py" --answer "$root/build/release/bin/suggest_queries" \
        --course "$book/$language" --index "$book/$language-index"
done
python3 "$here/../bench/startup/bench_startup.py" --build-dir "$here/../build/release" "$@"
if [ "$goals_met" != true ]; then
    echo "The Search on the Debian Reference missed its goal (see above)." >&2
    exit 1
fi
