#!/usr/bin/env bash
# Builds and runs every test with Qt 6 and again with Qt 5 (the package
# check, the desktop entry and the bash completion among them), then under
# AddressSanitizer and UndefinedBehaviorSanitizer with Qt 6, then the fuzz
# target for about a minute. Compiler warnings fail the plain builds.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh

jobs=$(nproc 2>/dev/null || echo 2)

for qt in 6 5; do
    # build/ also serves scripts/run.sh and the benchmarks; the Qt 5 one only the tests.
    build=build bench=ON
    [ "$qt" = 6 ] || build=build-qt$qt bench=OFF
    echo "== Qt $qt: $build"
    cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVANDREL_QT_MAJOR=$qt -DVANDREL_BUILD_TESTS=ON \
        -DVANDREL_BUILD_BENCH=$bench -DCMAKE_COMPILE_WARNING_AS_ERROR=ON
    cmake --build "$build" -j"$jobs"
    ctest --test-dir "$build" --output-on-failure -j"$jobs"
done

# Optimised, as the program ships: the sanitizers see the same code, and the
# tests that convert 100 MiB run several times faster than unoptimised.
echo "== Qt 6 under ASan and UBSan: build-asan"
cmake -S . -B build-asan -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVANDREL_SANITIZE=ON -DVANDREL_BUILD_TESTS=ON -DVANDREL_BUILD_BENCH=OFF \
    -DVANDREL_QT_MAJOR=6
cmake --build build-asan -j"$jobs"
ctest --test-dir build-asan --output-on-failure -j"$jobs"

fuzz/run-fuzz.sh build-fuzz "${VANDREL_FUZZ_SECONDS:-60}"
