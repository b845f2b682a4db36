#!/usr/bin/env bash
# Builds the fuzz target with clang into BUILD_DIR and runs it for SECONDS
# from the committed seed corpus. Fails on a crash, a sanitizer report, a
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
cmake --build "$build" --target inspection_fuzzer -j2

# New inputs go to a scratch corpus; the committed seeds are only read.
scratch="$build/fuzz-corpus"
mkdir -p "$scratch"
export ASAN_OPTIONS="detect_leaks=1:abort_on_error=1"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
export LSAN_OPTIONS="suppressions=$root/tests/lsan.supp:print_suppressions=0"
"$build/fuzz/inspection_fuzzer" \
    -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -max_len=65536 \
    -print_final_stats=1 -artifact_prefix="$build/" \
    "$scratch" "$here/corpus"
echo "fuzz: no crash in $seconds s"
