#!/usr/bin/env bash
# Renders the application icon's PNG sizes from packaging/icons/vexa.svg with
# rsvg-convert (Debian's librsvg2-bin). The PNGs are committed, so the build
# needs no SVG renderer; run this after changing the drawing.
set -euo pipefail
cd "$(dirname "$0")/../packaging/icons"
command -v rsvg-convert > /dev/null || apt-get install -y --no-install-recommends librsvg2-bin
for size in 16 32 48 64 128 256; do
  rsvg-convert -w "$size" -h "$size" vexa.svg -o "vexa-$size.png"
done
