#!/usr/bin/env bash
# The real vandrel.exe under Wine on an X display (Xvfb): in a
# copy of examples/, converts each example profile through "转换", closes
# each "提示" box, leaves through "退出" and expects exit status 0. The Linux
# vandrel-cli then checks every image and S-record file it wrote. Then it
# converts a 300 MiB source twice and cancels each run in the progress
# dialog, by Escape and by Space on "取消": the previous pair must stay byte
# for byte, with nothing beside it.
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
wait_box_closed() {
    for _ in $(seq 100); do
        xdotool search --onlyvisible --name '^提示$' >/dev/null 2>&1 || break
        sleep 0.1
    done
}

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
    wait_box_closed
    name=${outputs[$profile]}
    "$linux_cli" inspect "out/$name.bin" --s19 "out/$name.s19" --address 08000000 >/dev/null \
        || fail "profile $profile: out/$name.bin or its S-record file does not pass inspect"
    echo "    profile $profile: out/$name.bin and out/$name.s19 pass inspect"
done

# cancel_large_run KEY: with the focus on "转换", starts a run of the large
# source, waits for the progress dialog and cancels it with KEY.
cancel_large_run() {
    local started dialog
    press "$window" space
    started=$(date +%s%N)
    dialog=$(find_window '^转换$') || true
    [ -n "$dialog" ] || fail "no progress dialog during the 300 MiB run"
    echo "    cancel by $1: progress dialog after $(( ($(date +%s%N) - started) / 1000000 )) ms"
    press "$dialog" "$1"
    close_conversion_box "cancel by $1: "
    wait_box_closed
    cmp -s "out/$name.bin" "$work/previous.bin" && cmp -s "out/$name.s19" "$work/previous.s19" \
        || fail "cancel by $1 changed the previous pair"
    [ "$(ls -A out)" = "$previous_entries" ] || fail "cancel by $1 left files beside the outputs: $(ls -A out)"
    echo "    cancel by $1: previous pair unchanged, nothing beside it"
}
# The last profile's pair is the previous one; its source becomes large.
cp "out/$name.bin" "$work/previous.bin"
cp "out/$name.s19" "$work/previous.s19"
previous_entries=$(ls -A out)
head -c 300M /dev/zero >firmware/display_panel.bin
cancel_large_run Escape
cancel_large_run space

leave_through_exit "$window"
echo "window-smoke: passed"
