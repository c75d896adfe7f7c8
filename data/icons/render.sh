#!/usr/bin/env bash
# Renders the PNG sizes of the icon from its SVG (rsvg-convert, Debian package librsvg2-bin). The PNGs are kept in
# the repository so that building needs no image tools; run this after changing the SVG.
set -euo pipefail
cd "$(dirname "$0")"
for size in 16 24 32 48 64 128 256; do
  rsvg-convert -w "$size" -h "$size" org.lekto.Lekto.svg -o "org.lekto.Lekto-$size.png"
done
