#!/usr/bin/env bash
# Retakes docs/report.png: the demo trees' HTML report in headless Chromium, 1280 px wide.
# Run from the top folder after a build:  docs/report-screenshot.sh build/src/cli/kalvix-cli
set -euo pipefail
cli="$(realpath "${1:-build/src/cli/kalvix-cli}")"
out="$(dirname "$(realpath "$0")")"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
KALVIX_CLIENT="$PWD/data/demo/kalvix-client.json" \
  "$cli" compare --quiet --format html tree:ACME-CORP tree:GLOBEX >"$work/report.html" || [ $? -eq 1 ]
chromium --headless --no-sandbox --disable-gpu --disable-quic --no-first-run \
  --disable-background-networking --disable-component-update --disable-sync \
  --user-data-dir="$work/profile" --screenshot="$out/report.png" --window-size=1280,1600 \
  "file://$work/report.html" 2>/dev/null
