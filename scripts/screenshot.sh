#!/usr/bin/env bash
# Makes docs/window.png, the README's picture of the window: the program on
# the example project under Xvfb, captured with ImageMagick's import (Debian
# imagemagick, installed here with the CJK font).
#   scripts/screenshot.sh [PROGRAM]      (default: build/app/vandrel)
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh imagemagick
program=$(realpath "${1:-build/app/vandrel}")
output=$PWD/docs/window.png

if [ -z "${VANDREL_SCREENSHOT_DISPLAY:-}" ]; then
    exec env VANDREL_SCREENSHOT_DISPLAY=1 xvfb-run -a -s "-screen 0 1024x768x24" "$0" "$program"
fi

project=$(mktemp -d)
trap 'kill "$pid" 2>/dev/null || true; rm -rf "$project"' EXIT
cp -R examples/. "$project"/
unset QT_QPA_PLATFORM
"$program" "$project" &
pid=$!
window=$(xdotool search --sync --onlyvisible --name '^Vandrel$' | head -n 1)
sleep 1
import -window "$window" "$output"
echo "screenshot: $output"
