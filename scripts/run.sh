#!/usr/bin/env bash
# Sets up, builds and starts the modem test console.
# Without a display it starts under Xvfb and says so.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/setup.sh"
"$root/scripts/build.sh" "$root/build"
exe="$root/build/console/talven-console"
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ] && [ -z "${QT_QPA_PLATFORM:-}" ]; then
  echo "No display found: starting under Xvfb (xvfb-run). Connect with a VNC viewer or"
  echo "take a screenshot with: $exe --screenshot window.png (QT_QPA_PLATFORM=offscreen)."
  exec xvfb-run -a "$exe" "$@"
fi
exec "$exe" "$@"
