#!/usr/bin/env bash
# The real vandrel.exe under Wine on an X display (Xvfb): in a
# copy of examples/, converts each example profile through "转换", closes
# each "提示" box, leaves through "退出" and expects exit status 0. The Linux
# vandrel-cli then checks every image and S-record file it wrote.
# Usage: window-smoke.sh VANDREL_EXE EXAMPLES_DIR LINUX_CLI
set -euo pipefail

support=$(cd "$(dirname "$0")/../support" && pwd)
program=$1
examples=$2
linux_cli=$3
[ -n "${DISPLAY:-}" ] || { echo "window-smoke: no DISPLAY; run it on an X display such as Xvfb" >&2; exit 1; }

smoke_name=window-smoke
press_pause=0.5 press_delay=50
source "$support/window-driving.sh"
make_work
cp -R "$examples"/. "$work"/
rm -f "$work"/out/*.bin "$work"/out/*.s19
cd "$work"
tabs() { printf 'Tab %.0s' $(seq "$1"); }

wine "$program" &
pid=$!
window=$(find_window '^Vandrel$') || true
[ -n "$window" ] || fail 'no window titled "Vandrel"'

outputs=(main_board_app motor_driver_app display_panel_app)
for profile in 0 1 2; do
    if [ "$profile" -eq 0 ]; then
        # Focus starts on the device selector: nine Tabs reach "转换".
        # shellcheck disable=SC2046
        press "$window" $(tabs 9) space
    else
        # From "转换" back to the selector, the next profile, and on to "转换".
        # shellcheck disable=SC2046
        press "$window" $(printf 'shift+Tab %.0s' $(seq 9)) Down $(tabs 9) space
    fi
    close_conversion_box "profile $profile: "
    for _ in $(seq 100); do
        xdotool search --onlyvisible --name '^提示$' >/dev/null 2>&1 || break
        sleep 0.1
    done
    name=${outputs[$profile]}
    "$linux_cli" inspect "out/$name.bin" --s19 "out/$name.s19" --address 08000000 >/dev/null \
        || fail "profile $profile: out/$name.bin or its S-record file does not pass inspect"
    echo "    profile $profile: out/$name.bin and out/$name.s19 pass inspect"
done

leave_through_exit "$window"
echo "window-smoke: passed"
