#!/usr/bin/env bash
# Writes PNG pictures of the dialogs (start, n = 3 with K, a marked cell with
# its tooltip, a long value shortened with its tooltip, n = 4 with M, the
# About box, a 4 x 4 report, the Modes window of a shear building and of a
# plane frame with two directions, n = 6 with M and its report) into DIR
# (default: shots/). Headless: on a large virtual screen where xvfb-run is
# there, so that the Modes window shows whole, else offscreen. At another scale:
# QT_SCALE_FACTOR=1.5 scripts/screenshots.sh DIR
set -euo pipefail
cd "$(dirname "$0")/.."
dir=${1:-shots}
build=${BUILD:-build}
cmake --build "$build" --target varno-shots >/dev/null
export XDG_RUNTIME_DIR=${XDG_RUNTIME_DIR:-$(mktemp -d)}
if command -v xvfb-run >/dev/null; then
  QT_QPA_PLATFORM=xcb xvfb-run -a -s "-screen 0 2400x1800x24" "$build/bin/varno-shots" "$dir" 2>/dev/null
else
  QT_QPA_PLATFORM=offscreen "$build/bin/varno-shots" "$dir" 2>/dev/null
fi
ls "$dir"/*.png
