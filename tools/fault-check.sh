#!/usr/bin/env bash
# Runs the test suite against deliberate faults, one at a time, and prints for
# each whether a test caught it. The faults (tools/faults.txt) are sed edits
# applied to a scratch clone of the repository; the working tree is never
# touched. The clone and its build folder are kept between runs, so only what
# a fault changes is rebuilt (with ccache, cheaply).
#
# Usage: tools/fault-check.sh [REV] [FAULT...]
#   REV     the commit to check (default HEAD); FAULT limits the run to names
#   RW_FAULT_DIR  scratch folder (default ${TMPDIR:-/tmp}/rw-fault-check)
#
# Each fault first runs the tests its line names as likely catchers (only
# those are built); if none fails, everything is built and the rest of the
# suite runs with --stop-on-failure. The fuzz test is left out. A fault that
# no test catches is MISSED; one that does not build, BUILD FAILED.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
list="$root/tools/faults.txt"
rev=${1:-HEAD}
shift || true
scratch=${RW_FAULT_DIR:-${TMPDIR:-/tmp}/rw-fault-check}
tree="$scratch/tree"
build="$scratch/tree/build"
commit=$(git -C "$root" rev-parse --verify "$rev^{commit}")

mkdir -p "$scratch"
if [ ! -d "$tree/.git" ]; then
  git clone --quiet --no-checkout "$root" "$tree"
fi
git -C "$tree" fetch --quiet "$root" "+refs/heads/*:refs/remotes/source/*"
# Checking out changes only the files that differ, so their times alone move.
git -C "$tree" checkout --quiet --force --detach "$commit"
git -C "$tree" clean --quiet -fdx -e build

export QT_QPA_PLATFORM=offscreen
cmake -S "$tree" -B "$build" -G Ninja -DRW_BUILD_BENCH=OFF >/dev/null

results="$scratch/results-$(git -C "$tree" rev-parse --short HEAD).txt"
: >"$results"
echo "Fault check of $(git -C "$tree" log -1 --format='%h %s')" | tee -a "$results"

# Runs ctest with the given arguments; prints the failed tests (and the first
# failing test function) or nothing.
failed_tests() {
  local log="$scratch/ctest.log"
  (cd "$build" && nice ctest --output-on-failure --stop-on-failure -LE fuzz "$@" >"$log" 2>&1) && return 0
  local names
  names=$(sed -n 's/^[0-9]*:\(.*\)$/\1/p' "$build/Testing/Temporary/LastTestsFailed.log" | paste -sd, -)
  local function
  function=$(grep -m1 -o 'FAIL!  : [A-Za-z_:]*' "$log" | sed 's/FAIL!  : //') || true
  echo "$names${function:+ ($function)}"
}

# Fields are separated by " | " (a "||" inside an edit is no separator).
fields() {
  awk -F' [|] ' '!/^[[:space:]]*(#|$)/ {
    for (i = 1; i <= NF; ++i) { gsub(/^[[:space:]]+|[[:space:]]+$/, "", $i) }
    print $1 "\037" $2 "\037" $3 "\037" $4 "\037" $5 }' "$list"
}

while IFS=$'\x1f' read -r -u 3 name file edit hint what; do
  if [ $# -gt 0 ] && ! printf '%s\n' "$@" | grep -qx "$name"; then
    continue
  fi
  sed -i -e "$edit" "$tree/$file"
  if git -C "$tree" diff --quiet -- "$file"; then
    echo "$name: NOT APPLIED (the edit matches nothing in $file)" | tee -a "$results"
    continue
  fi
  verdict=""
  if ! nice cmake --build "$build" --target ${hint//,/ } -- -j2 >"$scratch/build.log" 2>&1; then
    verdict="BUILD FAILED"
  else
    caught=$(failed_tests -R "^(${hint//,/|})\$")
    if [ -z "$caught" ]; then
      if nice cmake --build "$build" -- -j2 >"$scratch/build.log" 2>&1; then
        caught=$(failed_tests -E "^(${hint//,/|})\$")
      else
        verdict="BUILD FAILED"
      fi
    fi
    [ -z "$verdict" ] && verdict=${caught:+caught by $caught}
    verdict=${verdict:-MISSED}
  fi
  git -C "$tree" checkout --quiet -- "$file"
  echo "$name: $verdict   [$what]" | tee -a "$results"
done 3< <(fields)
echo "Results in $results"
