#!/usr/bin/env bash
# Builds and runs every test: plain, then under AddressSanitizer and
# UndefinedBehaviorSanitizer, then the fuzz target for about a minute.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh

jobs=$(nproc 2>/dev/null || echo 2)

cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build build -j"$jobs"
ctest --test-dir build --output-on-failure

cmake -S . -B build-asan -DCMAKE_BUILD_TYPE=Debug -DVANDREL_SANITIZE=ON -DVANDREL_BUILD_BENCH=OFF
cmake --build build-asan -j"$jobs"
ctest --test-dir build-asan --output-on-failure

fuzz/run-fuzz.sh build-fuzz "${VANDREL_FUZZ_SECONDS:-60}"
