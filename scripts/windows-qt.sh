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

readonly name=windows-qt
readonly source_package=qtbase-opensource-src
readonly pinned_version=5.15.8+dfsg-11+deb12u3
# Another Debian revision of the same release carries the same Qt.
readonly upstream_version=5.15.8+
readonly cache_root=${XDG_CACHE_HOME:-$HOME/.cache}/vandrel
readonly prefix=${VANDREL_WINDOWS_QT:-$cache_root/qt-5.15.8-windows-x64-static}

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

# What the folder was built from; a folder with another description is rebuilt.
description="$source_package $pinned_version ${configure_options[*]}"
source "$(dirname "$0")/windows-source-build.sh"
begin_cached_build

step "install the cross compiler and the source tools"
"$(dirname "$0")/install-deps.sh" --only g++-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64 g++ make perl \
    dpkg-dev xz-utils

step "add Debian source entries (deb-src) beside the binary ones"
ensure_source_index

step "fetch $source_package $pinned_version"
fetch_debian_source

step "prepare $prefix"
prepare_prefix VANDREL_WINDOWS_QT

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

finish_cached_build
