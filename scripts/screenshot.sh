#!/usr/bin/env bash
# Makes docs/window.png, the README's picture of the window: the program on
# the example project under Xvfb, captured with ImageMagick's import (Debian
# imagemagick, installed here with the CJK font); then docs/window-converting.png,
# the window during a long run (a 300 MiB source) with its progress dialog.
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
# The window remembers the project it opened: in here, not in the user's settings.
export XDG_CONFIG_HOME="$project/.config"
trap 'kill "$pid" 2>/dev/null || true; rm -rf "$project"' EXIT
cp -R examples/. "$project"/
unset QT_QPA_PLATFORM
"$program" "$project" &
pid=$!
window=$(xdotool search --sync --onlyvisible --name '^Vandrel$' | head -n 1)
sleep 1
import -window "$window" "$output"
echo "screenshot: $output"

# The long run: nine Tabs from the selector reach "转换". There is no window
# manager, so the dialog is moved beside the window's buttons before the
# screen is cut to the two.
head -c 300M /dev/zero > "$project/firmware/main_board.bin"
xdotool windowfocus "$window"
sleep 0.3
xdotool key --delay 12 Tab Tab Tab Tab Tab Tab Tab Tab Tab space
dialog=$(xdotool search --sync --onlyvisible --name '^转换$' | head -n 1)
eval "$(xdotool getwindowgeometry --shell "$window")"
xdotool windowmove "$dialog" $((X + WIDTH / 3)) $((Y + HEIGHT / 2))
sleep 0.4
right=$((X + WIDTH)) bottom=$((Y + HEIGHT))
eval "$(xdotool getwindowgeometry --shell "$dialog")"
right=$((right > X + WIDTH ? right : X + WIDTH)) bottom=$((bottom > Y + HEIGHT ? bottom : Y + HEIGHT))
import -window root -crop "${right}x${bottom}+0+0" +repage "$PWD/docs/window-converting.png"
xdotool key Escape
echo "screenshot: $PWD/docs/window-converting.png"
