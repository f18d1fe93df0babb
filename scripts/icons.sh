#!/usr/bin/env bash
# Renders the PNG icons of dist/icons/hicolor from their SVG drawings. Run it
# after changing an SVG and commit both; the build itself needs no renderer.
set -euo pipefail
cd "$(dirname "$0")/../dist/icons/hicolor"
command -v rsvg-convert >/dev/null || { echo "korl: rsvg-convert not found (Debian: librsvg2-bin)" >&2; exit 1; }
for svg in scalable/*/*.svg; do
  kind=$(basename "$(dirname "$svg")")
  name=$(basename "$svg" .svg)
  for size in 16 22 24 32 48 64 128 256; do
    mkdir -p "${size}x${size}/$kind"
    rsvg-convert -w "$size" -h "$size" "$svg" -o "${size}x${size}/$kind/$name.png"
  done
done
echo "korl: icons rendered"
