#!/usr/bin/env bash
# Configures and builds one tree: scripts/build.sh DIR [SANITIZER [TARGET...]]
# SANITIZER is empty, "address" (ASan+UBSan) or "thread" (TSan); without
# targets everything is built.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
dir=${1:-$root/build}
sanitizer=${2:-}
shift $(( $# > 2 ? 2 : $# ))
targets=()
for t in "$@"; do targets+=(--target "$t"); done
cmake -S "$root" -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DMODEM_SANITIZE="$sanitizer" >/dev/null
cmake --build "$dir" -j "$(nproc)" "${targets[@]}"
