#!/usr/bin/env bash
# Retakes the screenshots in docs/ from the program running on the demo directory: Tree #1
# chosen online, Tree #2 a schema file loaded as a dropped one is, both full comparisons in
# colour, and the quick check with its counts, the names the full run found differing
# marked, and its find bar. The window grabs its own pages (tests/gui/tools/
# window_screenshots.cpp), so neither a display nor input tools are needed. Run from the
# top folder after building kalvix-cli and window_screenshots:
#   docs/screenshots.sh build/release
set -euo pipefail
build="$(realpath "${1:-build/release}")"
out="$(dirname "$(realpath "$0")")"
export KALVIX_CLIENT="$PWD/data/demo/kalvix-client.json"
export XDG_CONFIG_HOME="$(mktemp -d)"
trap 'rm -rf "$XDG_CONFIG_HOME"' EXIT

# The file Tree #2 loads: GLOBEX's schema, saved as "Save to File" would.
schema="$XDG_CONFIG_HOME/globex.txt"
"$build/src/cli/kalvix-cli" save --quiet tree:GLOBEX "$schema"

QT_QPA_PLATFORM="${QT_QPA_PLATFORM:-offscreen}" \
  "$build/tests/window_screenshots" "$out" "$schema"
