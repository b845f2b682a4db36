#!/usr/bin/env bash
# Renders the PNG sizes of the icon from vandrel.svg, with Debian's
# librsvg2-bin. The PNGs are kept in the tree, so neither the build nor the
# window needs an SVG renderer; run this again after changing the SVG.
set -euo pipefail
cd "$(dirname "$0")"
for size in 16 24 32 48 64 128 256; do
    mkdir -p "${size}x${size}"
    rsvg-convert --width "$size" --height "$size" vandrel.svg --output "${size}x${size}/vandrel.png"
done
