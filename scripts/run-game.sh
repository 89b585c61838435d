#!/usr/bin/env bash
# Starts the game from a build tree, explaining what to do when no display is available.
build=${1:-build}
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ] && [ -z "${SDL_VIDEODRIVER:-}" ]; then
    echo "No display found. To run without a screen, use one of:" >&2
    echo "    SDL_VIDEODRIVER=offscreen $build/zorvex" >&2
    echo "    xvfb-run -s '-screen 0 1280x720x24' $build/zorvex" >&2
fi
exec "$build/zorvex"
