#!/usr/bin/env bash
# Configures and builds one tree: scripts/build.sh DIR [SANITIZER]
# SANITIZER is empty, "address" (ASan+UBSan) or "thread" (TSan).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
dir=${1:-$root/build}
sanitizer=${2:-}
cmake -S "$root" -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DMODEM_SANITIZE="$sanitizer" >/dev/null
cmake --build "$dir" -j "$(nproc)"
