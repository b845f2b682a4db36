#!/usr/bin/env bash
# Builds the fuzz targets with clang into BUILD_DIR and runs them for SECONDS
# in all (the readers of images and record files for two thirds, the release
# manifest reader for one third), each from its committed seed corpus. Fails on a crash, a sanitizer report, a
# leak or a timeout; the input that caused it is left in BUILD_DIR.
#   fuzz/run-fuzz.sh [BUILD_DIR [SECONDS]]     (defaults: build-fuzz 60)
set -euo pipefail

here="$(cd "$(dirname "$0")" && pwd)"
root="$(dirname "$here")"
build="${1:-$root/build-fuzz}"
seconds="${2:-60}"

# A folder already set up with the fuzz target (the test command's sanitizer
# build) is used as it is.
if ! grep -qx 'VANDREL_FUZZ:BOOL=ON' "$build/CMakeCache.txt" 2>/dev/null; then
    cmake -S "$root" -B "$build" \
        -DCMAKE_CXX_COMPILER=clang++ \
        -DCMAKE_BUILD_TYPE=RelWithDebInfo \
        -DVANDREL_FUZZ=ON -DVANDREL_BUILD_GUI=OFF -DVANDREL_BUILD_TESTS=OFF -DVANDREL_BUILD_BENCH=OFF
fi
cmake --build "$build" --target inspection_fuzzer manifest_fuzzer -j2

export ASAN_OPTIONS="detect_leaks=1:abort_on_error=1"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
export LSAN_OPTIONS="suppressions=$root/tests/lsan.supp:print_suppressions=0"
# fuzz TARGET SEEDS SECONDS MAX_LEN. New inputs go to a scratch corpus; the
# committed seeds are only read.
fuzz() {
    local scratch="$build/fuzz-corpus-$1"
    mkdir -p "$scratch"
    "$build/fuzz/$1" \
        -max_total_time="$3" -timeout=10 -rss_limit_mb=2048 -max_len="$4" \
        -print_final_stats=1 -artifact_prefix="$build/$1-" \
        "$scratch" "$2"
}
manifest_seconds=$(( seconds / 3 > 0 ? seconds / 3 : 1 ))
fuzz inspection_fuzzer "$here/corpus" $(( seconds - manifest_seconds > 0 ? seconds - manifest_seconds : 1 )) 65536
fuzz manifest_fuzzer "$here/manifest-corpus" "$manifest_seconds" 65536
echo "fuzz: no crash in $seconds s"
