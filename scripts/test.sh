#!/usr/bin/env bash
# Sets up, builds and runs the whole test suite three times: the normal
# build, AddressSanitizer+UBSan, and ThreadSanitizer (all but the Qt tests,
# whose library is not instrumented).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/setup.sh"
export QT_QPA_PLATFORM=offscreen
export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
export TSAN_OPTIONS=halt_on_error=1:second_deadlock_stack=1

run() {
  local dir=$1 sanitizer=$2; shift 2
  echo "=== build ${sanitizer:-normal} ($dir)"
  "$root/scripts/build.sh" "$dir" "$sanitizer"
  echo "=== test ${sanitizer:-normal}"
  (cd "$dir" && ctest --output-on-failure --timeout 300 -j 2 "$@")
}

run "$root/build" ""
run "$root/build-asan" address
run "$root/build-tsan" thread -LE qt
