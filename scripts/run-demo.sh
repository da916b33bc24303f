#!/usr/bin/env bash
# Installs what is missing, builds what the demo needs (the viewer, the
# course server, the demo course and its word index; not the tests), starts
# the course server on the demo course, runs the viewer against it, and stops
# the server when the viewer ends.
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
"$here/install-deps.sh"
"$here/build.sh" release demo

build="$here/../build/release"
log="$(mktemp -t tamberlyn-course-server.XXXXXX.log)"
"$build/bin/tamberlyn-course-server" --root "$build/course/demo/site" --port 0 >"$log" 2>&1 &
server=$!
trap 'kill "$server" 2>/dev/null || true; wait "$server" 2>/dev/null || true; rm -f "$log"' EXIT

host="" fingerprint=""
for _ in $(seq 100); do
    fingerprint="$(sed -n 's/^certificate SHA-256 fingerprint: //p' "$log")"
    host="$(sed -n 's#^listening on https://\([^/]*\)/$#\1#p' "$log")"
    [ -n "$host" ] && break
    if ! kill -0 "$server" 2>/dev/null; then
        cat "$log" >&2
        exit 1
    fi
    sleep 0.1
done
if [ -z "$host" ]; then
    echo "The course server did not start:" >&2
    cat "$log" >&2
    exit 1
fi
echo "Course server on https://$host/ (certificate $fingerprint)"

if [ "$(id -u)" -eq 0 ]; then
    export QTWEBENGINE_DISABLE_SANDBOX=1
fi
TAMBERLYN_COURSE_HOST="$host" TAMBERLYN_COURSE_PIN="$fingerprint" "$build/bin/tamberlyn"
