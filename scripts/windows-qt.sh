#!/usr/bin/env bash
# Builds a static Qt 5 for 64-bit Windows (Core, Gui, Widgets, Test and the
# qwindows plugin) from Debian's own qtbase source package, with the MinGW-w64
# cross compiler (POSIX threads variant), and installs it into a cache folder
# that later runs reuse. Progress goes to stderr; stdout gets only the folder.
#
#   VANDREL_WINDOWS_QT=DIR   install there instead of ~/.cache/vandrel/...
#   VANDREL_JOBS=N           parallel compile jobs (default 2)
#
# The first run takes about 25 minutes on two cores; later runs find the
# finished folder and return at once.
set -euo pipefail
exec 3>&1 1>&2

readonly source_package=qtbase-opensource-src
readonly pinned_version=5.15.8+dfsg-11+deb12u3
readonly upstream_version=5.15.8
readonly cache_root=${XDG_CACHE_HOME:-$HOME/.cache}/vandrel
readonly prefix=${VANDREL_WINDOWS_QT:-$cache_root/qt-$upstream_version-windows-x64-static}
readonly work=$prefix.build
readonly jobs=${VANDREL_JOBS:-2}
readonly done_mark=$prefix/vandrel-qt-complete
readonly partial_mark=$prefix/vandrel-qt-partial
start=$SECONDS

configure_options=(
    -opensource -confirm-license
    -xplatform win32-g++
    -static -static-runtime -release
    -no-opengl -no-dbus -no-icu
    -qt-zlib -qt-pcre -qt-libpng -qt-freetype -qt-harfbuzz
    # Debian's source lacks the wintab headers that tablet events need.
    -no-feature-tabletevent -no-feature-direct2d
    -no-feature-sql -no-feature-network -no-feature-xml
    -nomake examples -nomake tests
)

step_name=""
step_log=""
step() {
    step_name=$1
    echo "==> windows-qt: $step_name"
}
on_failure() {
    echo "windows-qt: FAILED at step: $step_name" >&2
    if [ -n "$step_log" ] && [ -f "$step_log" ]; then
        echo "---- last lines of $step_log ----" >&2
        tail -n 30 "$step_log" >&2
    fi
}
trap on_failure ERR

# What the folder was built from; a folder with another description is rebuilt.
description="$source_package $pinned_version ${configure_options[*]}"
if [ -f "$done_mark" ] && [ "$(cat "$done_mark")" = "$description" ]; then
    echo "windows-qt: reusing $prefix"
    echo "$prefix" >&3
    exit 0
fi

sudo=""
[ "$(id -u)" -ne 0 ] && sudo="sudo"

step "install the cross compiler and the source tools"
"$(dirname "$0")/install-deps.sh" --only g++-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64 g++ make perl \
    dpkg-dev xz-utils

step "add Debian source entries (deb-src) beside the binary ones"
has_source_index() {
    apt-get indextargets --format '$(CREATED_BY)' 2>/dev/null | grep -qx Sources
}
if ! has_source_index; then
    # A twin of the machine's own Debian entries with the type changed, so
    # the sources come from the same archive as the installed packages.
    if [ -f /etc/apt/sources.list.d/debian.sources ]; then
        sed -E 's/^Types:.*/Types: deb-src/' /etc/apt/sources.list.d/debian.sources \
            | $sudo tee /etc/apt/sources.list.d/vandrel-deb-src.sources >/dev/null
    elif grep -qE '^[[:space:]]*deb[[:space:]]' /etc/apt/sources.list 2>/dev/null; then
        sed -nE 's/^[[:space:]]*deb([[:space:]])/deb-src\1/p' /etc/apt/sources.list \
            | $sudo tee /etc/apt/sources.list.d/vandrel-deb-src.list >/dev/null
    else
        echo "windows-qt: no Debian entry found in /etc/apt/sources.list.d/debian.sources or /etc/apt/sources.list" >&2
        false
    fi
    $sudo apt-get update -qq
fi

step "fetch $source_package $pinned_version"
rm -rf "$work"
mkdir -p "$work"
cd "$work"
version=$pinned_version
if ! apt-cache showsrc "$source_package" | grep -qx "Version: $pinned_version"; then
    # The archive keeps only the newest revision; any Debian revision of the
    # same Qt release carries the same sources and build.
    version=$(apt-cache showsrc "$source_package" | sed -n 's/^Version: //p' \
        | grep -F "$upstream_version+" | sort -V | tail -n 1)
    [ -n "$version" ] || { echo "windows-qt: the archive has no $source_package $upstream_version" >&2; false; }
    echo "windows-qt: $pinned_version is gone from the archive, taking $version"
fi
# As root, apt would hand the download to its _apt user, who cannot write here.
sandbox=()
[ "$(id -u)" -eq 0 ] && sandbox=(-o APT::Sandbox::User=root)
apt-get source -qq "${sandbox[@]}" "$source_package=$version"
srcdir=$(find "$work" -mindepth 1 -maxdepth 1 -type d -name "$source_package-*" | head -n 1)
[ -d "$srcdir" ] || { echo "windows-qt: no unpacked source folder in $work" >&2; false; }

step "prepare $prefix"
# Only a folder this script made is ever emptied.
if [ -d "$prefix" ] && [ -n "$(ls -A "$prefix")" ] && [ ! -f "$done_mark" ] && [ ! -f "$partial_mark" ]; then
    echo "windows-qt: $prefix exists and was not made by this script; choose another VANDREL_WINDOWS_QT" >&2
    false
fi
rm -rf "$prefix"
mkdir -p "$prefix"
touch "$partial_mark"

step "point the cross tools at the POSIX threads compiler"
# win32-g++ calls \$CROSS_COMPILE{gcc,g++,ar,...}. Debian's plain
# x86_64-w64-mingw32-g++ may be the win32-threads variant, so a folder inside
# the installed Qt names the -posix compilers explicitly.
tools=$prefix/mingw-posix
mkdir -p "$tools"
for tool in gcc g++; do
    ln -s "/usr/bin/x86_64-w64-mingw32-$tool-posix" "$tools/x86_64-w64-mingw32-$tool"
done
for tool in ar ranlib nm objcopy objdump strip windres ld as dlltool; do
    ln -s "/usr/bin/x86_64-w64-mingw32-$tool" "$tools/x86_64-w64-mingw32-$tool"
done

step "configure (log: $work/configure.log)"
mkdir -p "$work/build"
cd "$work/build"
step_log=$work/configure.log
MAKEFLAGS=-j"$jobs" "$srcdir/configure" -prefix "$prefix" -device-option "CROSS_COMPILE=$tools/x86_64-w64-mingw32-" \
    "${configure_options[@]}" >"$step_log" 2>&1

step "build with $jobs jobs (log: $work/build.log)"
step_log=$work/build.log
# One line per Qt module or tool as make enters it.
make -j"$jobs" 2>&1 | tee "$step_log" | awk '
    /^cd [^ ]+\/ && \( test -e Makefile/ { dir = $2; sub(/\/$/, "", dir);
        if (!(dir in seen)) { seen[dir] = 1; printf "    building %s\n", dir; fflush() } }'

step "install into $prefix (log: $work/install.log)"
step_log=$work/install.log
make install >"$step_log" 2>&1
step_log=""

step "clean up"
cd /
rm -rf "$work"
printf '%s' "$description" >"$done_mark"
rm -f "$partial_mark"
echo "windows-qt: done in $(( (SECONDS - start) / 60 )) min, installed in $prefix ($(du -sh "$prefix" | cut -f1))"
echo "$prefix" >&3
