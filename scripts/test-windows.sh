#!/usr/bin/env bash
# Builds vandrel.exe and vandrel-cli.exe for 64-bit Windows with MinGW-w64
# against a static Qt, and tests them under Wine:
#   1. the test suite (under Xvfb, for the window tests);
#   2. a cross check: the Windows build's files for a table of inputs equal
#      the Linux build's, byte for byte;
#   3. console text through pipes and a console under code pages 1252 and 936,
#      and a settings file in GBK;
#   4. the real vandrel.exe under Xvfb: converts the examples, leaves through "退出".
# Leaves build-windows/vandrel-VERSION-windows-x64.zip: both programs (static,
# no DLLs), the examples and a short README.
#
# The first run builds Qt (scripts/windows-qt.sh, about 25 minutes on two
# cores) and OpenSSL's libcrypto (scripts/windows-openssl.sh, about three
# minutes); later runs reuse them. VANDREL_JOBS=N sets the compile jobs (default 2).
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
build=$root/build-windows
jobs=${VANDREL_JOBS:-2}
# Wine reads command lines and file names in the Linux locale's encoding.
export LC_ALL=C.UTF-8

phase_prefix=test-windows
source scripts/phases.sh

phase "install packages"
scripts/install-deps.sh wine wine64 g++-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64 locales

phase "static Qt for Windows"
qt=$(scripts/windows-qt.sh)

phase "static libcrypto (OpenSSL) for Windows"
openssl=$(scripts/windows-openssl.sh)

phase "cross-build vandrel.exe, vandrel-cli.exe and the tests"
export CCACHE_DIR=${CCACHE_DIR:-$HOME/.cache/ccache}
export CCACHE_BASEDIR=$root CCACHE_SLOPPINESS=pch_defines,time_macros
# CMake cannot switch the generator of a folder in place.
if [ -f "$build/CMakeCache.txt" ] && ! grep -qx 'CMAKE_GENERATOR:INTERNAL=Ninja' "$build/CMakeCache.txt"; then
    rm -rf "$build"
fi
cmake -S . -B "$build" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$root/cmake/x86_64-w64-mingw32.cmake" \
    -DCMAKE_CXX_COMPILER_LAUNCHER=ccache -DVANDREL_WINDOWS_QT="$qt" -DVANDREL_WINDOWS_OPENSSL="$openssl" -DCMAKE_BUILD_TYPE=Release -DVANDREL_BUILD_TESTS=ON >/dev/null
cmake --build "$build" -j"$jobs"
cli_exe=$build/cli/vandrel-cli.exe
window_exe=$build/app/vandrel.exe
# Static: no DLL of the C++ runtime, of winpthread or of Qt beside the programs.
for exe in "$cli_exe" "$window_exe"; do
    foreign=$(x86_64-w64-mingw32-objdump -p "$exe" | sed -n 's/^\s*DLL Name: //p' | grep -iE '^(lib|qt)' || true)
    [ -z "$foreign" ] || { echo "test-windows: $exe needs $foreign" >&2; false; }
done

phase "Linux vandrel-cli for the cross check"
# The one in build-qt5/ that scripts/test.sh built and tested; brought up to
# date (or configured there as the test command does, when this script runs
# alone).
[ -f build-qt5/CMakeCache.txt ] || cmake -S . -B build-qt5 -G Ninja -DCMAKE_CXX_COMPILER_LAUNCHER=ccache \
    -DVANDREL_QT_MAJOR=5 -DCMAKE_BUILD_TYPE=Release -DCMAKE_CXX_FLAGS_RELEASE="-O1 -DNDEBUG" >/dev/null
cmake --build build-qt5 -j"$jobs" --target vandrel-cli
linux_cli=$root/build-qt5/cli/vandrel-cli

phase "Wine on an X display of its own"
# One Xvfb for every Wine program: Wine's desktop process starts once and
# keeps the display it found, so the windows of all later programs go there.
xvfb_pid=
wine_started=
cleanup() {
    [ -n "$wine_started" ] && wineserver -k 2>/dev/null
    [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null
    return 0
}
trap cleanup EXIT
for display in $(seq 99 199); do
    [ -e "/tmp/.X$display-lock" ] || [ -e "/tmp/.X11-unix/X$display" ] && continue
    Xvfb ":$display" -screen 0 1280x1024x24 -nolisten tcp >/dev/null 2>&1 &
    xvfb_pid=$!
    export DISPLAY=:$display
    for _ in $(seq 50); do
        xdotool getdisplaygeometry >/dev/null 2>&1 && break
        sleep 0.1
    done
    kill -0 "$xvfb_pid" 2>/dev/null && break # else another took the number first
    xvfb_pid=
done
[ -n "$xvfb_pid" ] || { echo "test-windows: no Xvfb display could be started" >&2; false; }

# A prefix of our own; no Mono or Gecko installer dialogs.
export WINEPREFIX=$build/wine WINEARCH=win64 WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
mkdir -p "$WINEPREFIX"
# A persistent server, started first: no program waits for a new server, and
# Wine's own processes start here, once, rather than with the first test,
# whose output they would hold open (CTest would wait for them).
wineserver -p
wine_started=1
wineboot -i >/dev/null 2>&1

phase "test suite under Wine"
ctest --test-dir "$build" --output-on-failure -j1 --timeout 600

phase "cross check against the Linux build"
tests/windows/cross-check.sh "$linux_cli" "$cli_exe"

phase "console text and code pages"
tests/windows/console-check.sh "$linux_cli" "$cli_exe" "$root/examples"

phase "the window under Wine"
tests/windows/window-smoke.sh "$window_exe" "$root/examples" "$linux_cli"

phase "zip for users"
wine "$cli_exe" --version >"$build/version.txt"
version=$(sed -n 's/^vandrel-cli //p' "$build/version.txt")
[ -n "$version" ] || { echo "test-windows: vandrel-cli.exe --version printed no version" >&2; false; }
name=vandrel-$version-windows-x64
stage=$build/zip/$name
rm -rf "$build/zip" "$build/$name.zip"
mkdir -p "$stage/examples/firmware" "$stage/examples/out"
x86_64-w64-mingw32-strip -o "$stage/vandrel.exe" "$window_exe"
x86_64-w64-mingw32-strip -o "$stage/vandrel-cli.exe" "$cli_exe"
wine "$stage/vandrel-cli.exe" --version >"$build/version-stripped.txt"
cmp -s "$build/version.txt" "$build/version-stripped.txt" || { echo "test-windows: the stripped vandrel-cli.exe does not run" >&2; false; }
cp examples/VandrelSet.ini "$stage/examples/"
cp examples/firmware/*.bin "$stage/examples/firmware/"
sed "s/@VERSION@/$version/" scripts/windows-readme.txt | sed 's/$/\r/' >"$stage/README.txt"
(cd "$build/zip" && /usr/bin/python3 -m zipfile -c "$build/$name.zip" "$name")
print_phases "every check passed"
echo "test-windows: $build/$name.zip ($(du -h "$build/$name.zip" | cut -f1))"
