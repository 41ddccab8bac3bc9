#!/usr/bin/env bash
# Prints the size of the test suite against the code: non-blank C++ lines
# (.cpp and .h) of tests/ over those of src/, tools/ and bench/.
#   tools/test-ratio.sh [ROOT]
set -euo pipefail
root=${1:-$(cd "$(dirname "$0")/.." && pwd)}
lines() {
  (cd "$root" && find "$@" -type f \( -name '*.cpp' -o -name '*.h' \) -print0 |
    xargs -0 cat | grep -cv '^[[:space:]]*$') || true
}
tests=$(lines tests)
code=$(lines src tools bench)
awk -v t="$tests" -v c="$code" 'BEGIN { printf "tests %d / code %d = %.3f\n", t, c, t / c }'
