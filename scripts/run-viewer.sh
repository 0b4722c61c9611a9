#!/usr/bin/env bash
# Installs what is missing, builds the viewer and starts it on the demo course that the
# build lays beside it. Where there is no display, it runs under a virtual one.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh

cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build --target viewer -j"$(nproc)" -- --no-print-directory >/dev/null

viewer=build/viewer/viewer
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
  echo "No display found: running the viewer under a virtual display (xvfb-run)."
  echo "Nothing will be visible; stop it with Ctrl+C."
  exec xvfb-run -a -s "-screen 0 1280x1024x24" "$viewer"
fi
exec "$viewer"
