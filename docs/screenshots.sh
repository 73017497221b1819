#!/usr/bin/env bash
# Retakes the screenshots in docs/ from the program running on the demo directory under
# Xvfb. Needs xvfb, imagemagick and xdotool; run from the top folder after a build:
#   xvfb-run -a -s "-screen 0 1280x1024x24" docs/screenshots.sh build/release/kalvix
set -euo pipefail
program="$(realpath "${1:-build/release/kalvix}")"
out="$(dirname "$(realpath "$0")")"
export KALVIX_CLIENT="$PWD/data/demo/kalvix-client.json"
export XDG_CONFIG_HOME="$(mktemp -d)"
trap 'kill $pid 2>/dev/null; rm -rf "$XDG_CONFIG_HOME"' EXIT

"$program" & pid=$!
sleep 2
shot() { import -window root -crop 745x736+294+108 +repage "$out/$1.png"; }
click() { xdotool mousemove "$1" "$2" click 1; sleep "${3:-0.5}"; }

click 382 121                                     # Select Trees
click 560 181; xdotool key Return; sleep 1        # Tree #1: the first tree
click 560 321; xdotool key Down Return; sleep 1   # Tree #2: the second tree
shot select-trees
click 484 121; click 400 250; shot schema-tree
click 713 121; click 560 346; shot quick-check
click 448 147; click 400 185 2; shot kalvix
click 836 121; click 448 147; click 400 185 2; shot compare-attributes
