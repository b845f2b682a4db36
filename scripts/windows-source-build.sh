# Shared steps of the scripts that build a static Windows library from one of
# Debian's source packages into a cache folder that later runs reuse
# (windows-qt.sh, windows-openssl.sh). Sourced, not run. The sourcing script
# sets, before it calls anything here:
#   name             its short name in messages ("windows-qt")
#   source_package   the Debian source package
#   pinned_version   the Debian version built and tested here
#   upstream_version that version's upstream release; another Debian revision
#                    of it is taken when the pinned one has left the archive
#   prefix           the cache folder to install into
#   description      what the folder is built from; a folder with another
#                    description is rebuilt
# and calls begin_cached_build first. stdout belongs to the folder's name
# (descriptor 3); everything else goes to stderr.

readonly jobs=${VANDREL_JOBS:-2}
readonly work=$prefix.build
readonly done_mark=$prefix/vandrel-${name#windows-}-complete
readonly partial_mark=$prefix/vandrel-${name#windows-}-partial
start=$SECONDS
step_name=""
step_log=""

step() {
    step_name=$1
    echo "==> $name: $step_name"
}

on_failure() {
    echo "$name: FAILED at step: $step_name" >&2
    if [ -n "$step_log" ] && [ -f "$step_log" ]; then
        echo "---- last lines of $step_log ----" >&2
        tail -n 30 "$step_log" >&2
    fi
}

# Returns at once, naming the folder, when it is already built as described.
begin_cached_build() {
    exec 3>&1 1>&2
    set -E
    trap on_failure ERR
    if [ -f "$done_mark" ] && [ "$(cat "$done_mark")" = "$description" ]; then
        echo "$name: reusing $prefix"
        echo "$prefix" >&3
        exit 0
    fi
}

# Debian source entries (deb-src) beside the binary ones, added once.
ensure_source_index() {
    local sudo=""
    [ "$(id -u)" -ne 0 ] && sudo="sudo"
    apt-get indextargets --format '$(CREATED_BY)' 2>/dev/null | grep -qx Sources && return 0
    if [ -f /etc/apt/sources.list.d/debian.sources ]; then
        sed -E 's/^Types:.*/Types: deb-src/' /etc/apt/sources.list.d/debian.sources \
            | $sudo tee /etc/apt/sources.list.d/vandrel-deb-src.sources >/dev/null
    elif grep -qE '^[[:space:]]*deb[[:space:]]' /etc/apt/sources.list 2>/dev/null; then
        sed -nE 's/^[[:space:]]*deb([[:space:]])/deb-src\1/p' /etc/apt/sources.list \
            | $sudo tee /etc/apt/sources.list.d/vandrel-deb-src.list >/dev/null
    else
        echo "$name: no Debian entry found in /etc/apt/sources.list.d/debian.sources or /etc/apt/sources.list" >&2
        return 1
    fi
    $sudo apt-get update -qq
}

# Unpacks the source package into $work and sets srcdir. The versions tried:
# the pinned one, then the archive's revisions of the same upstream release,
# newest first (a mirror may list a version whose files it lacks).
fetch_debian_source() {
    rm -rf "$work"
    mkdir -p "$work"
    cd "$work"
    local listed version candidates=()
    listed=$(apt-cache showsrc "$source_package" | sed -n 's/^Version: //p' | sort -Vr)
    if grep -qFx "$pinned_version" <<<"$listed"; then
        candidates+=("$pinned_version")
    fi
    for version in $listed; do
        if [[ $version == "$upstream_version"* && $version != "$pinned_version" ]]; then
            candidates+=("$version")
        fi
    done
    [ ${#candidates[@]} -gt 0 ] || { echo "$name: the archive has no $source_package $upstream_version" >&2; return 1; }
    # As root, apt would hand the download to its _apt user, who cannot write here.
    local sandbox=()
    [ "$(id -u)" -eq 0 ] && sandbox=(-o APT::Sandbox::User=root)
    for version in "${candidates[@]}"; do
        [ "$version" = "$pinned_version" ] || echo "$name: taking $version instead of $pinned_version"
        if apt-get source -qq "${sandbox[@]}" "$source_package=$version" >"$work/fetch.log" 2>&1; then
            srcdir=$(find "$work" -mindepth 1 -maxdepth 1 -type d -name "$source_package-*" | head -n 1)
            [ -d "$srcdir" ] && return 0
        fi
        echo "$name: could not fetch $source_package $version: $(tail -n 1 "$work/fetch.log")"
        rm -rf "${work:?}"/*
    done
    return 1
}

# Empties the cache folder, but only one this script made.
prepare_prefix() {
    local variable=$1
    if [ -d "$prefix" ] && [ -n "$(ls -A "$prefix")" ] && [ ! -f "$done_mark" ] && [ ! -f "$partial_mark" ]; then
        echo "$name: $prefix exists and was not made by this script; choose another $variable" >&2
        return 1
    fi
    rm -rf "$prefix"
    mkdir -p "$prefix"
    touch "$partial_mark"
}

# Marks the folder built, removes the work folder and names the folder.
finish_cached_build() {
    step "clean up"
    cd /
    rm -rf "$work"
    printf '%s' "$description" >"$done_mark"
    rm -f "$partial_mark"
    echo "$name: done in $(( SECONDS - start )) s, installed in $prefix ($(du -sh "$prefix" | cut -f1))"
    echo "$prefix" >&3
}
