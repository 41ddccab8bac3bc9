#!/usr/bin/env bash
# Builds the fuzz targets with clang's libFuzzer, AddressSanitizer and
# UndefinedBehaviorSanitizer, writes the seed corpus and runs the targets in
# turn, sharing the time given. Fails on any crash, sanitizer report or slow
# input.
#
# Usage: run_fuzzers.sh SOURCE_DIR BUILD_DIR SECONDS TARGET...
set -euo pipefail
src=$1
out=$2
seconds=$3
shift 3
targets=("$@")
each=$((seconds / ${#targets[@]}))

cmake -S "$src" -B "$out" -G Ninja -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ \
  -DCMAKE_BUILD_TYPE=RelWithDebInfo -DRW_FUZZ=ON >/dev/null
cmake --build "$out" --target fuzz_seeds "${targets[@]/#/fuzz_}" -- -j2

export ASAN_OPTIONS=detect_leaks=1:allocator_may_return_null=1
export UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1
export QT_QPA_PLATFORM=offscreen
"$out/tests/fuzz/fuzz_seeds" "$out/corpus"
for target in "${targets[@]}"; do
  work="$out/work/$target"
  findings="$out/findings/$target"
  mkdir -p "$work" "$findings"
  echo "Fuzzing $target for $each s"
  "$out/tests/fuzz/fuzz_$target" -max_total_time="$each" -timeout=10 -rss_limit_mb=2048 \
    -print_final_stats=1 -artifact_prefix="$findings/" "$work" "$out/corpus/$target"
done
