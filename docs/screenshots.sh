#!/usr/bin/env bash
# Retakes the screenshots in docs/ from the program running on the demo directory under
# Xvfb: Tree #1 chosen online, Tree #2 a schema file dropped on the window, the quick
# check with its find bar, both full comparisons in colour. Needs xvfb, imagemagick and
# xdotool; run from the top folder after building kalvix, kalvix-cli and drag_source:
#   xvfb-run -a -s "-screen 0 1280x1024x24" docs/screenshots.sh build/release
set -euo pipefail
build="$(realpath "${1:-build/release}")"
out="$(dirname "$(realpath "$0")")"
export KALVIX_CLIENT="$PWD/data/demo/kalvix-client.json"
export XDG_CONFIG_HOME="$(mktemp -d)"
pids=()
trap 'kill "${pids[@]}" 2>/dev/null; rm -rf "$XDG_CONFIG_HOME"' EXIT

# The file to drop: GLOBEX's schema, saved as "Save to File" would.
schema="$XDG_CONFIG_HOME/globex.txt"
"$build/src/cli/kalvix-cli" save --quiet tree:GLOBEX "$schema"

"$build/src/app/kalvix" & pids+=($!)
"$build/tests/drag_source" "$schema" & pids+=($!)   # a small window at the top left
sleep 2
shot() { import -window root -crop 745x736+294+108 +repage "$out/$1.png"; }
click() { xdotool mousemove "$1" "$2" click 1; sleep "${3:-0.5}"; }
drag_to() {
  xdotool mousemove 100 40 mousedown 1; sleep 0.3
  xdotool mousemove 300 300; sleep 0.3
  xdotool mousemove "$1" "$2"; sleep 0.3
  xdotool mousemove "$(($1 + 5))" "$2"; sleep 0.3
  xdotool mouseup 1; sleep 1.5
}

click 382 121                                     # Select Trees
click 560 181; xdotool key Return; sleep 1        # Tree #1: the first tree, online
drag_to 700 500                                   # Tree #2: the file, dropped on its half
xdotool mousemove 1000 900; sleep 0.3
shot select-trees
click 484 121; click 400 250; shot schema-tree
click 713 121; click 560 346                      # a common class
xdotool key ctrl+f; sleep 0.3; xdotool type --delay 80 "or"; sleep 0.5
shot quick-check
xdotool key Escape
click 448 147; click 400 185 2; shot kalvix
click 836 121; click 448 147; click 400 185 2; shot compare-attributes
