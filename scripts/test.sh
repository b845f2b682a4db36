#!/usr/bin/env bash
# Builds and runs every test three times: with Qt 6, with Qt 5 (the package
# check, the desktop entry and the bash completion among them), and with
# Qt 6 under AddressSanitizer and UndefinedBehaviorSanitizer (clang), whose
# build also holds the fuzz target, run for about a minute at the end.
# Compiler warnings fail every build. Prints the time of each phase.
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

# build_and_test DIR OPTION...: configures, builds and runs the tests. A
# folder set up by another generator or compiler is made anew, as CMake
# cannot switch either in place.
build_and_test() {
    local build=$1 compiler='(c|g)\+\+'
    shift
    [[ " $* " == *" -DCMAKE_CXX_COMPILER=clang++ "* ]] && compiler='clang\+\+'
    phase "$build: configure and build"
    if [ -f "$build/CMakeCache.txt" ] && { ! grep -qx 'CMAKE_GENERATOR:INTERNAL=Ninja' "$build/CMakeCache.txt" ||
        ! grep -qEx "CMAKE_CXX_COMPILER:[A-Z]*=(.*/)?$compiler" "$build/CMakeCache.txt"; }; then
        rm -rf "$build"
    fi
    cmake -S . -B "$build" "${common[@]}" "$@" >/dev/null
    cmake --build "$build" -j"$jobs"
    phase "$build: tests"
    ctest --test-dir "$build" --output-on-failure -j"$jobs"
}

# build/ also serves scripts/run.sh and the benchmarks.
build_and_test build -DVANDREL_QT_MAJOR=6 -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVANDREL_BUILD_BENCH=ON

# Qt 5 is built to compile fast (no debug information, light optimisation)
# while the tests that convert 100 MiB still run at speed.
build_and_test build-qt5 -DVANDREL_QT_MAJOR=5 -DCMAKE_BUILD_TYPE=Release -DCMAKE_CXX_FLAGS_RELEASE="-O1 -DNDEBUG" \
    -DVANDREL_BUILD_BENCH=OFF

# Optimised, as the program ships: the sanitizers see the same code, and the
# tests that convert 100 MiB run several times faster than unoptimised.
build_and_test build-asan -DCMAKE_CXX_COMPILER=clang++ -DVANDREL_QT_MAJOR=6 -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DVANDREL_SANITIZE=ON -DVANDREL_FUZZ=ON -DVANDREL_BUILD_BENCH=OFF

phase "fuzz target for ${VANDREL_FUZZ_SECONDS:-60} s"
fuzz/run-fuzz.sh build-asan "${VANDREL_FUZZ_SECONDS:-60}"
print_phases "every test passed"
