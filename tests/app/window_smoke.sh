#!/usr/bin/env bash
# Starts the real window program under Xvfb on a copy of examples/, given as
# its project folder from another working directory; converts the first
# example profile through "转换", leaves through "退出" and expects exit status
# 0. Then (without CLOCK) starts it on a folder that does not exist and
# expects the warning box instead of the window, and exit status 1.
# Without CLOCK it also converts a 300 MiB source twice: the progress dialog
# must show within a second, and Escape, then Space on "取消", must cancel
# the run and leave the previous pair byte for byte, with nothing beside it.
# Usage: window_smoke.sh PROGRAM EXAMPLES_DIR [CLI CLOCK]
# With CLI and CLOCK (a faketime date), the window runs with its clock set to
# CLOCK, and vandrel-cli under the same clock must write the same files.
set -euo pipefail

support=$(cd "$(dirname "$0")/../support" && pwd)
program=$1
examples=$2
cli=${3:-}
clock=${4:-}
tools="xvfb-run xdotool"
[ -n "$clock" ] && tools="$tools faketime"
for tool in $tools; do
    if ! command -v "$tool" >/dev/null; then
        echo "window_smoke: $tool is missing (scripts/install-deps.sh installs it)" >&2
        exit 1
    fi
done
if [ -z "${VANDREL_SMOKE_DISPLAY:-}" ]; then
    # -noreset: the server would otherwise reset when the window program,
    # its last client, quits, and refuse the next start for a moment.
    exec env VANDREL_SMOKE_DISPLAY=1 xvfb-run -a -s "-screen 0 1280x1024x24 -noreset" "$0" "$@"
fi

smoke_name=window_smoke
source "$support/window-driving.sh"
make_work
mkdir "$work/project" "$work/elsewhere"
cp -R "$examples"/. "$work/project"/
rm -f "$work"/project/out/*.bin "$work"/project/out/*.s19
cd "$work/elsewhere"
# The project opened is remembered in the user's settings: here, not at home.
export XDG_CONFIG_HOME="$work/config"

unset QT_QPA_PLATFORM
if [ -n "$clock" ]; then
    faketime "$clock" "$program" "$work/project" &
else
    "$program" "$work/project" &
fi
pid=$!

window=$(find_window '^Vandrel$') || true
[ -n "$window" ] || fail 'no window titled "Vandrel"'

# Focus starts on the device selector: nine Tabs reach "转换", ten "退出".
press "$window" Tab Tab Tab Tab Tab Tab Tab Tab Tab space
close_conversion_box ""
[ -s ../project/out/main_board_app.bin ] && [ -s ../project/out/main_board_app.s19 ] \
    || fail "转换 wrote no output in the project folder"

# cancel_large_run KEY: with the focus on "转换", starts a run of the large
# source, waits for the progress dialog and cancels it with KEY.
cancel_large_run() {
    local started shown dialog
    press "$window" space
    started=$(date +%s%N)
    dialog=$(find_window '^转换$') || true
    shown=$(( ($(date +%s%N) - started) / 1000000 ))
    [ -n "$dialog" ] || fail "no progress dialog during the 300 MiB run"
    echo "    progress dialog after $shown ms"
    # Half a second in the program; the rest is xdotool's polling on a busy machine.
    [ "$shown" -le 1500 ] || fail "the progress dialog took $shown ms to show"
    press "$dialog" "$1"
    close_conversion_box "cancel by $1: "
    cmp -s ../project/out/main_board_app.bin "$work/previous.bin" \
        && cmp -s ../project/out/main_board_app.s19 "$work/previous.s19" \
        || fail "cancel by $1 changed the previous pair"
    [ "$(ls -A ../project/out)" = "$previous_entries" ] \
        || fail "cancel by $1 left files beside the outputs: $(ls -A ../project/out)"
}
if [ -z "$clock" ]; then
    cp ../project/out/main_board_app.bin "$work/previous.bin"
    cp ../project/out/main_board_app.s19 "$work/previous.s19"
    previous_entries=$(ls -A ../project/out)
    head -c 300M /dev/zero > ../project/firmware/main_board.bin
    cancel_large_run Escape
    cancel_large_run space
fi

# Back on the window, focus is on "转换" again.
leave_through_exit "$window"

# A project folder that does not exist: a warning, no window.
if [ -z "$clock" ]; then
    "$program" "$work/no such project" &
    pid=$!
    box=$(find_window '^警告$') || true
    [ -n "$box" ] || fail "no warning box for a missing project folder"
    xdotool search --onlyvisible --name '^Vandrel$' >/dev/null 2>&1 \
        && fail "the window opened on a missing project folder"
    press "$box" space
    expect_exit 1
fi

if [ -n "$clock" ]; then
    cd "$work/project"
    faketime "$clock" "$cli" convert --profile 0 --image out/cli.bin --s19 out/cli.s19 2>cli.err \
        || fail "vandrel-cli under the clock $clock failed: $(cat cli.err)"
    cmp out/main_board_app.bin out/cli.bin || fail "the window and vandrel-cli wrote different images at $clock"
    cmp out/main_board_app.s19 out/cli.s19 || fail "the window and vandrel-cli wrote different S-records at $clock"
    grep -q "warning: the local clock reads" cli.err || fail "vandrel-cli did not warn of the clock: $(cat cli.err)"
    seconds=$(od -An -tu4 -j8 -N4 out/cli.bin | tr -d ' ')
    [ "$seconds" = 0 ] || fail "a clock at $clock stamped seconds $seconds, not 0"
fi
echo "window_smoke: passed"
