#!/usr/bin/env bash
# Starts the window when a display is there; otherwise builds the sample installation headless.
set -euo pipefail
build=${1:-build}
if [ -x "$build/bin/tarnwick" ] && { [ -n "${DISPLAY:-}" ] || [ -n "${WAYLAND_DISPLAY:-}" ]; }; then
  exec "$build/bin/tarnwick"
fi
if [ -x "$build/bin/tarnwick-build" ] && [ -d examples/sample-client ]; then
  echo "No display: building the sample installation with tarnwick-build instead of opening the window."
  mkdir -p "$build/sample-run"
  cd "$build/sample-run"
  exec ../bin/tarnwick-build ../../examples/sample-client
fi
echo "Tarnwick is built in $build/bin; the window (build/bin/tarnwick) comes with a later change."
