#!/usr/bin/env bash
# Builds a static libsodium for 64-bit Windows from Debian's own libsodium
# source package, with the MinGW-w64 cross compiler (POSIX threads variant),
# and installs it into a cache folder that later runs reuse, as
# scripts/windows-qt.sh does for Qt. Progress goes to stderr; stdout gets
# only the folder (include/sodium.h, lib/libsodium.a).
#
#   VANDREL_WINDOWS_SODIUM=DIR   install there instead of ~/.cache/vandrel/...
#   VANDREL_JOBS=N               parallel compile jobs (default 2)
#
# The first run takes a few minutes on two cores; later runs return at once.
set -euo pipefail
exec 3>&1 1>&2

readonly source_package=libsodium
readonly pinned_version=1.0.18-1+deb12u1
readonly upstream_version=1.0.18
readonly cache_root=${XDG_CACHE_HOME:-$HOME/.cache}/vandrel
readonly prefix=${VANDREL_WINDOWS_SODIUM:-$cache_root/libsodium-$upstream_version-windows-x64-static}
readonly work=$prefix.build
readonly jobs=${VANDREL_JOBS:-2}
readonly done_mark=$prefix/vandrel-sodium-complete
readonly partial_mark=$prefix/vandrel-sodium-partial
readonly host=x86_64-w64-mingw32
start=$SECONDS

configure_options=(
    --host=$host --disable-shared --enable-static --disable-dependency-tracking
    --with-pic=no
)

step_name=""
step_log=""
step() {
    step_name=$1
    echo "==> windows-sodium: $step_name"
}
on_failure() {
    echo "windows-sodium: FAILED at step: $step_name" >&2
    if [ -n "$step_log" ] && [ -f "$step_log" ]; then
        echo "---- last lines of $step_log ----" >&2
        tail -n 30 "$step_log" >&2
    fi
}
trap on_failure ERR

# What the folder was built from; a folder with another description is rebuilt.
description="$source_package $pinned_version ${configure_options[*]}"
if [ -f "$done_mark" ] && [ "$(cat "$done_mark")" = "$description" ]; then
    echo "windows-sodium: reusing $prefix"
    echo "$prefix" >&3
    exit 0
fi

step "install the cross compiler and the source tools"
"$(dirname "$0")/install-deps.sh" --only gcc-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64 make dpkg-dev xz-utils \
    autoconf automake libtool

step "fetch $source_package $pinned_version"
if ! apt-get indextargets --format '$(CREATED_BY)' 2>/dev/null | grep -qx Sources; then
    echo "windows-sodium: no Debian source entries (deb-src); scripts/windows-qt.sh adds them" >&2
    false
fi
rm -rf "$work"
mkdir -p "$work"
cd "$work"
version=$pinned_version
if ! apt-cache showsrc "$source_package" | grep -qx "Version: $pinned_version"; then
    # Any Debian revision of the same release carries the same library.
    version=$(apt-cache showsrc "$source_package" | sed -n 's/^Version: //p' \
        | grep -F "$upstream_version-" | sort -V | tail -n 1)
    [ -n "$version" ] || { echo "windows-sodium: the archive has no $source_package $upstream_version" >&2; false; }
    echo "windows-sodium: $pinned_version is gone from the archive, taking $version"
fi
# As root, apt would hand the download to its _apt user, who cannot write here.
sandbox=()
[ "$(id -u)" -eq 0 ] && sandbox=(-o APT::Sandbox::User=root)
apt-get source -qq "${sandbox[@]}" "$source_package=$version"
srcdir=$(find "$work" -mindepth 1 -maxdepth 1 -type d -name "$source_package-*" | head -n 1)
[ -d "$srcdir" ] || { echo "windows-sodium: no unpacked source folder in $work" >&2; false; }

step "prepare $prefix"
# Only a folder this script made is ever emptied.
if [ -d "$prefix" ] && [ -n "$(ls -A "$prefix")" ] && [ ! -f "$done_mark" ] && [ ! -f "$partial_mark" ]; then
    echo "windows-sodium: $prefix exists and was not made by this script; choose another VANDREL_WINDOWS_SODIUM" >&2
    false
fi
rm -rf "$prefix"
mkdir -p "$prefix"
touch "$partial_mark"

step "configure (log: $work/configure.log)"
cd "$srcdir"
step_log=$work/configure.log
# Debian's source carries configure.ac, not the generated script.
[ -x configure ] || autoreconf -fi >"$step_log" 2>&1
# The plain cross compiler name may be the win32 threads variant.
CC=$host-gcc-posix AR=$host-ar RANLIB=$host-ranlib ./configure --prefix="$prefix" "${configure_options[@]}" \
    >>"$step_log" 2>&1

step "build with $jobs jobs (log: $work/build.log)"
step_log=$work/build.log
make -j"$jobs" >"$step_log" 2>&1

step "install into $prefix (log: $work/install.log)"
step_log=$work/install.log
make install >"$step_log" 2>&1
step_log=""
[ -f "$prefix/lib/libsodium.a" ] && [ -f "$prefix/include/sodium.h" ]

step "clean up"
cd /
rm -rf "$work"
printf '%s' "$description" >"$done_mark"
rm -f "$partial_mark"
echo "windows-sodium: done in $(( SECONDS - start )) s, installed in $prefix ($(du -sh "$prefix" | cut -f1))"
echo "$prefix" >&3
