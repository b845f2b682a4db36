#!/usr/bin/env bash
# Builds the programs and opens the window on the example profiles. Without
# a display, runs the example conversion on the command line instead.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh

jobs=$(nproc 2>/dev/null || echo 2)
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build build -j"$jobs" --target vandrel vandrel-cli

# The settings file is looked up in the working directory.
cd examples
if [ -n "${DISPLAY:-}" ] || [ -n "${WAYLAND_DISPLAY:-}" ]; then
    exec ../build/app/vandrel
fi

echo "No display found: running the example conversion with vandrel-cli instead of the window."
../build/cli/vandrel-cli convert --profile 0
../build/cli/vandrel-cli inspect "$(../build/cli/vandrel-cli profiles --image-path 0)" \
    --s19 "$(../build/cli/vandrel-cli profiles --s19-path 0)"
