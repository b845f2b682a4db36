#!/usr/bin/env bash
# Builds a static libcrypto (OpenSSL) for 64-bit Windows from Debian's own
# openssl source package, with the MinGW-w64 cross compiler (POSIX threads
# variant), and installs it into a cache folder that later runs reuse, as
# scripts/windows-qt.sh does for Qt. Progress goes to stderr; stdout gets
# only the folder (include/openssl/, lib/libcrypto.a).
#
#   VANDREL_WINDOWS_OPENSSL=DIR   install there instead of ~/.cache/vandrel/...
#   VANDREL_JOBS=N                parallel compile jobs (default 2)
#
# The first run takes about three minutes on two cores; later runs return at once.
set -euo pipefail

readonly name=windows-openssl
readonly source_package=openssl
readonly pinned_version=3.0.20-1~deb12u2
# Any 3.0 release has the same interface; a newer one replaces it in the archive.
readonly upstream_version=3.0.
readonly cache_root=${XDG_CACHE_HOME:-$HOME/.cache}/vandrel
readonly prefix=${VANDREL_WINDOWS_OPENSSL:-$cache_root/openssl-3.0-windows-x64-static}
readonly host=x86_64-w64-mingw32

# Only libcrypto is used: no TLS, no loadable modules or engines, no programs.
configure_options=(
    mingw64 --cross-compile-prefix=$host- no-shared no-module no-engine no-tests no-ui-console
    no-ssl no-tls no-dtls
)
description="$source_package $pinned_version ${configure_options[*]}"
source "$(dirname "$0")/windows-source-build.sh"
begin_cached_build

step "install the cross compiler and the source tools"
"$(dirname "$0")/install-deps.sh" --only gcc-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64 make perl \
    dpkg-dev xz-utils

step "add Debian source entries (deb-src)"
ensure_source_index

step "fetch $source_package $pinned_version"
fetch_debian_source

step "prepare $prefix"
prepare_prefix VANDREL_WINDOWS_OPENSSL

step "configure (log: $work/configure.log)"
cd "$srcdir"
step_log=$work/configure.log
# The plain cross compiler name may be the win32 threads variant.
./Configure "${configure_options[@]}" --prefix="$prefix" --libdir=lib CC=gcc-posix >"$step_log" 2>&1

step "build libcrypto with $jobs jobs (log: $work/build.log)"
step_log=$work/build.log
make -j"$jobs" build_generated >"$step_log" 2>&1
make -j"$jobs" libcrypto.a >>"$step_log" 2>&1

step "install into $prefix"
step_log=""
mkdir -p "$prefix/include" "$prefix/lib"
cp -R include/openssl "$prefix/include/"
cp libcrypto.a "$prefix/lib/"
[ -f "$prefix/lib/libcrypto.a" ] && [ -f "$prefix/include/openssl/evp.h" ] && [ -f "$prefix/include/openssl/opensslv.h" ]

finish_cached_build
