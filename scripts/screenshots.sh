#!/usr/bin/env bash
# Draws the README's pictures (docs/*.png) with Korl itself, offscreen, on the
# bundled examples: the main window stopped at a breakpoint, the Design
# Browser after Elaborate, and a wave window. Run it after a change that
# shows, look at the pictures, and commit them.
#
#   scripts/screenshots.sh [BUILD_DIR]     (default: build)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$root/build}
korl=$build/app/korl
[ -x "$korl" ] || { echo "korl: build korl first ($build)" >&2; exit 1; }

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
# Own settings: the pictures show the default layout, not the user's.
export XDG_CONFIG_HOME=$work/config QT_QPA_PLATFORM=offscreen
cp -r "$root/examples/counter" "$root/examples/pipeline" "$work/"
mkdir -p "$root/docs"

"$korl" --screenshot debug "$work/counter/counter.k1" --break counter.cpp:9 \
    --watch value --watch wraps --watch count -o "$root/docs/debugging.png"
"$korl" --screenshot design "$work/pipeline/pipeline.k1" -o "$root/docs/design-browser.png"

# The wave window shows the dump the simulation writes (Debug > Run).
"$korl" --screenshot wave "$work/counter/counter.k1" -o "$root/docs/wave-window.png"

# Fewer colours, same picture: keeps the repository small.
if command -v pngquant >/dev/null; then
  for png in "$root"/docs/*.png; do pngquant --force --skip-if-larger --output "$png" -- "$png" || true; done
fi
ls -l "$root"/docs/*.png
