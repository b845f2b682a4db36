#!/usr/bin/env bash
# Builds and runs every test twice: with Qt 5 and g++ (the package check, the
# desktop entry and the bash completion among them), and with Qt 6 and clang
# under AddressSanitizer and UndefinedBehaviorSanitizer, whose build also
# holds the fuzz target, run for a minute beside the tests. Compiler warnings
# fail every build. Prints the time of each phase.
#
# Compiles go through ccache (cache in ~/.cache/ccache unless CCACHE_DIR
# says otherwise), so a second run recompiles only what changed.
# VANDREL_JOBS=N sets the compile and test jobs (default: the processors).
set -euo pipefail
cd "$(dirname "$0")/.."

phase_prefix=test
source scripts/phases.sh

phase "install packages"
scripts/install-deps.sh

jobs=${VANDREL_JOBS:-$(nproc 2>/dev/null || echo 2)}
export CCACHE_DIR=${CCACHE_DIR:-$HOME/.cache/ccache}
# Hits across clones and folders; precompiled headers are cached too.
export CCACHE_BASEDIR=$PWD CCACHE_SLOPPINESS=pch_defines,time_macros
common=(-G Ninja -DCMAKE_CXX_COMPILER_LAUNCHER=ccache -DCMAKE_COMPILE_WARNING_AS_ERROR=ON -DVANDREL_BUILD_TESTS=ON)

# build_and_test DIR OPTION... [-- COMMAND]: configures, builds and runs the
# tests; COMMAND runs between the build and the tests. A folder set up by
# another generator or compiler is made anew, as CMake cannot switch either
# in place.
build_and_test() {
    local build=$1 compiler='(c|g)\+\+' options=() before_tests=
    shift
    while [ $# -gt 0 ]; do
        [ "$1" = -- ] && { before_tests=$2; break; }
        options+=("$1")
        shift
    done
    [[ " ${options[*]} " == *" -DCMAKE_CXX_COMPILER=clang++ "* ]] && compiler='clang\+\+'
    phase "$build: configure and build"
    if [ -f "$build/CMakeCache.txt" ] && { ! grep -qx 'CMAKE_GENERATOR:INTERNAL=Ninja' "$build/CMakeCache.txt" ||
        ! grep -qEx "CMAKE_CXX_COMPILER:[A-Z]*=(.*/)?$compiler" "$build/CMakeCache.txt"; }; then
        rm -rf "$build"
    fi
    cmake -S . -B "$build" "${common[@]}" "${options[@]}" >/dev/null
    cmake --build "$build" -j"$jobs"
    [ -z "$before_tests" ] || "$before_tests"
    phase "$build: tests"
    ctest --test-dir "$build" --output-on-failure -j"$jobs"
}

# The fuzz target runs in the background for its minute (a crash, a sanitizer
# report, a leak or a timeout fails the command at the end).
fuzz_pid=
start_fuzz_minute() {
    fuzz/run-fuzz.sh build-asan "${VANDREL_FUZZ_SECONDS:-60}" >build-asan/fuzz.log 2>&1 &
    fuzz_pid=$!
}
stop_fuzzing() {
    [ -z "$fuzz_pid" ] || { pkill -P "$fuzz_pid" 2>/dev/null; kill "$fuzz_pid" 2>/dev/null; } || true
}
trap stop_fuzzing EXIT

# Qt 6 under the sanitizers first: its build holds the fuzz target, whose
# minute then runs beside the tests, on what they leave of the processors.
# Optimised, as the program ships: the sanitizers see the same code, and the
# tests that convert 100 MiB run several times faster than unoptimised. The
# common headers are precompiled here; the Qt 5 leg, without, checks that
# every file names the headers it uses.
build_and_test build-asan -DCMAKE_CXX_COMPILER=clang++ -DVANDREL_QT_MAJOR=6 -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DVANDREL_SANITIZE=ON -DVANDREL_FUZZ=ON -DVANDREL_BUILD_BENCH=OFF -DVANDREL_PRECOMPILE_HEADERS=ON \
    -- start_fuzz_minute

# Qt 5 is built to compile fast (no debug information, light optimisation)
# while the tests that convert 100 MiB still run at speed. The benchmarks are
# built here, so that they keep compiling; scripts/test-windows.sh takes its
# Linux vandrel-cli from this folder.
build_and_test build-qt5 -DVANDREL_QT_MAJOR=5 -DCMAKE_BUILD_TYPE=Release -DCMAKE_CXX_FLAGS_RELEASE="-O1 -DNDEBUG" \
    -DVANDREL_BUILD_BENCH=ON

phase "the rest of the fuzz minute"
fuzzed=0
wait "$fuzz_pid" || fuzzed=$?
fuzz_pid=
[ "$fuzzed" = 0 ] || { echo "test: the fuzz target failed; its log: build-asan/fuzz.log" >&2; tail -40 build-asan/fuzz.log >&2; false; }
tail -2 build-asan/fuzz.log
print_phases "every test passed"
