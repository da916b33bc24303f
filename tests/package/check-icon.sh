#!/usr/bin/env bash
# The application icon must draw: rendered at a menu's size it is square and
# mostly covered (an SVG that fails to parse, or draws nothing, is not).
set -euo pipefail
icon="$1"
out="$(mktemp -d)"
trap 'rm -rf "$out"' EXIT

rsvg-convert --width 64 --height 64 --keep-aspect-ratio "$icon" --output "$out/icon.png"
read -r width height coverage < <(convert "$out/icon.png" -alpha extract -format '%w %h %[fx:mean]\n' info:)
echo "rendered ${width}x${height}, $coverage of it covered"
[ "$width" = 64 ] && [ "$height" = 64 ] || { echo "not square: ${width}x${height}" >&2; exit 1; }
awk -v c="$coverage" 'BEGIN { exit !(c > 0.5) }' || { echo "the icon draws almost nothing" >&2; exit 1; }
