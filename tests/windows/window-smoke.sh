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

work=$(mktemp -d)
pid=
cleanup() {
    [ -n "$pid" ] && kill "$pid" 2>/dev/null || true
    rm -rf "$work"
}
trap cleanup EXIT
cp -R "$examples"/. "$work"/
rm -f "$work"/out/*.bin "$work"/out/*.s19
cd "$work"

fail() { echo "window-smoke: $*" >&2; exit 1; }
press_pause=0.5 press_delay=50
source "$support/window-driving.sh"
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
    box=$(find_window '^(提示|警告)$') || true
    [ -n "$box" ] || fail "profile $profile: no message box after 转换"
    title=$(xdotool getwindowname "$box")
    press "$box" space
    [ "$title" = "提示" ] || fail "profile $profile: 转换 showed \"$title\" instead of \"提示\""
    for _ in $(seq 100); do
        xdotool search --onlyvisible --name '^提示$' >/dev/null 2>&1 || break
        sleep 0.1
    done
    name=${outputs[$profile]}
    "$linux_cli" inspect "out/$name.bin" --s19 "out/$name.s19" --address 08000000 >/dev/null \
        || fail "profile $profile: out/$name.bin or its S-record file does not pass inspect"
    echo "    profile $profile: out/$name.bin and out/$name.s19 pass inspect"
done

# Focus is on "转换": one Tab reaches "退出".
press "$window" Tab space
for _ in $(seq 300); do
    kill -0 "$pid" 2>/dev/null || break
    sleep 0.1
done
kill -0 "$pid" 2>/dev/null && fail "the program still runs after 退出"
status=0
wait "$pid" || status=$?
pid=
[ "$status" -eq 0 ] || fail "exit status $status"
echo "window-smoke: passed"
