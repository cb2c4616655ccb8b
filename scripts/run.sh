#!/usr/bin/env bash
# Sets up, builds and starts the modem test console.
# Without a display it starts under Xvfb and says so.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/setup.sh"
"$root/scripts/build.sh" "$root/build" "" talven-console virtual_modem
exe="$root/build/console/talven-console"
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ] && [ -z "${QT_QPA_PLATFORM:-}" ]; then
  echo "No display found: starting on a virtual display (xvfb-run). To look at the window,"
  echo "take a screenshot instead: QT_QPA_PLATFORM=offscreen $exe --screenshot window.png"
  exec xvfb-run -a "$exe" "$@"
fi
exec "$exe" "$@"
