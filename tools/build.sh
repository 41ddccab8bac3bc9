#!/usr/bin/env bash
# Configures and builds Rigwarden. Used by run-app.sh and run-tests.sh.
#   RW_SANITIZE=1   build with AddressSanitizer and UndefinedBehaviorSanitizer
#                   (in build-asan/ instead of build/)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
# Everything but the build folder goes to stderr, so that callers can take
# the folder from stdout and the operator still sees the build and its errors.
"$root/tools/install-deps.sh" >&2

build="$root/build"
options=()
if [ "${RW_SANITIZE:-0}" = 1 ]; then
  build="$root/build-asan"
  options+=(-DRW_SANITIZE=ON -DCMAKE_BUILD_TYPE=Debug)
fi
cmake -S "$root" -B "$build" -G Ninja "${options[@]}" >/dev/null
cmake --build "$build" -- -j"$(nproc)" >&2
echo "$build"
