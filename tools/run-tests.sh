#!/usr/bin/env bash
# Builds Rigwarden and runs the whole test suite headless.
#   RW_SANITIZE=1 tools/run-tests.sh   runs it under ASan and UBSan
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=$("$root/tools/build.sh" | tail -n 1)
export QT_QPA_PLATFORM=offscreen
if [ "${RW_SANITIZE:-0}" = 1 ]; then
  export ASAN_OPTIONS=detect_leaks=1:abort_on_error=0
  export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
  export LSAN_OPTIONS=suppressions="$root/tools/lsan.supp"
fi
cd "$build"
ctest --output-on-failure -j"$(nproc)" "$@"
