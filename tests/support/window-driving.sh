# Driving a program's window with xdotool; sourced by the window smoke tests.
# The caller sets smoke_name (for messages) before sourcing, and pid to the
# program's process before find_window.

fail() { echo "$smoke_name: $*" >&2; exit 1; }

# make_work: a fresh folder in $work, removed on exit, when the program
# still running is also stopped.
make_work() {
    work=$(mktemp -d)
    pid=
    trap remove_work EXIT
}
remove_work() {
    [ -n "$pid" ] && kill "$pid" 2>/dev/null || true
    rm -rf "$work"
}

# find_window TITLE_REGEX: waits up to a minute, while the program runs, for a
# visible window whose title matches; prints its id.
find_window() {
    for _ in $(seq 600); do
        kill -0 "$pid" 2>/dev/null || return 1
        xdotool search --onlyvisible --name "$1" 2>/dev/null | head -n 1 | grep . && return 0
        sleep 0.1
    done
    return 1
}

# press WINDOW KEY...: focuses the window, gives it press_pause seconds to take
# the focus, then types the keys press_delay ms apart (Wine wants both longer).
press_pause=${press_pause:-0.3}
press_delay=${press_delay:-12}
press() {
    xdotool windowfocus "$1"
    sleep "$press_pause"
    shift
    xdotool key --delay "$press_delay" "$@"
}

# close_conversion_box CONTEXT: the box that "转换" opened must be "提示";
# closes it. CONTEXT starts the message of a failure.
close_conversion_box() {
    local box title
    box=$(find_window '^(提示|警告)$') || true
    [ -n "$box" ] || fail "${1}no message box after 转换"
    title=$(xdotool getwindowname "$box")
    press "$box" space
    [ "$title" = "提示" ] || fail "${1}转换 showed \"$title\" instead of \"提示\""
}

# expect_exit STATUS: waits up to half a minute for the program to end, with
# that exit status.
expect_exit() {
    for _ in $(seq 300); do
        kill -0 "$pid" 2>/dev/null || break
        sleep 0.1
    done
    kill -0 "$pid" 2>/dev/null && fail "the program still runs, exit status $1 expected"
    local status=0
    wait "$pid" || status=$?
    pid=
    [ "$status" -eq "$1" ] || fail "exit status $status, $1 expected"
}

# leave_through_exit WINDOW: with the focus on "转换", one Tab reaches "退出";
# the program must end with status 0.
leave_through_exit() {
    press "$1" Tab space
    expect_exit 0
}
