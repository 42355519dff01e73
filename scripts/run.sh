#!/usr/bin/env bash
# Starts the window when a display is there; otherwise says so and builds the sample
# installation with tarnwick-build instead.
set -euo pipefail
build=$(cd "${1:-build}" && pwd)
root=$(cd "$(dirname "$0")/.." && pwd)

# A display that can be reached: a local X server's socket, a remote X display as named, or a
# Wayland socket.
display_available() {
  if [ -n "${WAYLAND_DISPLAY:-}" ]; then
    case $WAYLAND_DISPLAY in
      /*) [ -S "$WAYLAND_DISPLAY" ] && return 0 ;;
      *) [ -n "${XDG_RUNTIME_DIR:-}" ] && [ -S "$XDG_RUNTIME_DIR/$WAYLAND_DISPLAY" ] && return 0 ;;
    esac
  fi
  if [ -n "${DISPLAY:-}" ]; then
    case $DISPLAY in
      :*) local n=${DISPLAY#:}; n=${n%%.*}; [ -S "/tmp/.X11-unix/X$n" ] && return 0 ;;
      *) return 0 ;;
    esac
  fi
  return 1
}

if [ -x "$build/bin/tarnwick" ] && display_available; then
  echo "Starting Tarnwick; a build writes its update set to $PWD/Upload."
  exec "$build/bin/tarnwick"
fi

if [ -x "$build/bin/tarnwick" ]; then
  echo "No display available: building the sample installation with tarnwick-build instead of opening the window."
else
  echo "The window was not built (TARNWICK_BUILD_GUI=OFF): building the sample installation with tarnwick-build."
fi
if [ ! -x "$build/bin/tarnwick-build" ] || [ ! -d "$root/examples/sample-client" ]; then
  echo "tarnwick-build or examples/sample-client is missing in $build." >&2
  exit 1
fi
mkdir -p "$build/sample-run"
cd "$build/sample-run"
echo "Update set: $build/sample-run/Upload"
exec "$build/bin/tarnwick-build" "$root/examples/sample-client"
