# Driving a program's window with xdotool; sourced by the window smoke tests.
# The caller sets pid to the program's process before find_window.

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
