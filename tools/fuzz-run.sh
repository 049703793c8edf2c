#!/usr/bin/env bash
# Builds the libFuzzer targets with clang and runs each one for a fixed time.
#   tools/fuzz-run.sh [BUILD_DIR] [SECONDS]     defaults: build-fuzz, 60
# The corpus grows in BUILD_DIR/fuzz-corpus/<target>, seeded from tests/fuzz/seeds/<target>;
# a crash leaves its input in BUILD_DIR/fuzz-artifacts/ and makes the script fail.
set -euo pipefail
cd "$(dirname "$0")/.."
build="${1:-build-fuzz}"
seconds="${2:-60}"

CC=clang CXX=clang++ cmake -S . -B "$build" -G Ninja \
  -DOSTREL_FUZZ=ON -DOSTREL_TESTS=OFF -DOSTREL_BENCH=OFF >/dev/null
cmake --build "$build" -j2 --target fuzz_all

mkdir -p "$build/fuzz-artifacts"
status=0
for program in "$build"/fuzz/fuzz_*; do
  target="${program##*/fuzz_}"
  corpus="$build/fuzz-corpus/$target"
  mkdir -p "$corpus"
  extra=()
  [[ -f tests/fuzz/$target.dict ]] && extra+=("-dict=tests/fuzz/$target.dict")
  echo "== fuzz_$target for ${seconds}s"
  if ! "$build/fuzz/fuzz_$target" -max_total_time="$seconds" -print_final_stats=1 \
       -artifact_prefix="$build/fuzz-artifacts/$target-" "${extra[@]}" \
       "$corpus" $( [[ -d tests/fuzz/seeds/$target ]] && echo "tests/fuzz/seeds/$target" ); then
    echo "fuzz_$target found a failure; see $build/fuzz-artifacts/" >&2
    status=1
  fi
done
exit $status
