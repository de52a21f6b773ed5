#!/usr/bin/env bash
# Starts the calculator; without a display (or without the desktop program)
# it says so and runs the batch command on the shipped example instead.
set -euo pipefail
build=${1:-build}
if [[ -x "$build/bin/varno" && ( -n "${DISPLAY:-}" || -n "${WAYLAND_DISPLAY:-}" ) ]]; then
  exec "$build/bin/varno"
fi
if [[ -x "$build/bin/varno" ]]; then
  echo "varno: no display found (DISPLAY and WAYLAND_DISPLAY are unset); running the batch example instead."
fi
echo "\$ varno-cli examples/beam4.txt"
exec "$build/bin/varno-cli" examples/beam4.txt
