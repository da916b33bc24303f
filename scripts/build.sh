#!/usr/bin/env bash
# Configures and builds one CMake preset (default: dev); further arguments
# name the targets to build, everything when there are none.
set -euo pipefail
preset="${1:-dev}"
shift || true
cd "$(dirname "$0")/.."
cmake --preset "$preset" >/dev/null
if [ $# -gt 0 ]; then
    cmake --build --preset "$preset" -j "$(nproc)" --target "$@"
else
    cmake --build --preset "$preset" -j "$(nproc)"
fi
