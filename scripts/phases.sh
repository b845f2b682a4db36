# Named phases with their times, for the test scripts. Source it after
# setting phase_prefix; `phase NAME` starts a phase, `phase ""` ends the last,
# `print_phases WHAT` says how long everything took and each phase.
start=$SECONDS
timings=()
phase_name=""
phase_start=$SECONDS
phase() {
    [ -n "$phase_name" ] && timings+=("$(printf '%5ds  %s' $((SECONDS - phase_start)) "$phase_name")")
    phase_name=$1
    phase_start=$SECONDS
    [ -n "$phase_name" ] && echo "==> $phase_prefix: $phase_name"
    return 0
}
print_phases() {
    phase ""
    echo
    echo "$phase_prefix: $1 in $(( (SECONDS - start) / 60 )) min $(( (SECONDS - start) % 60 )) s"
    printf '%s\n' "${timings[@]}"
}
trap 'echo "$phase_prefix: FAILED at: $phase_name" >&2' ERR
