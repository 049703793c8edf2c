#!/usr/bin/env bash
# Installs what the build needs, builds everything and runs every test.
#   OSTREL_BUILD_DIR   build folder (default: build)
#   OSTREL_CMAKE_ARGS  extra CMake options, e.g. "-DOSTREL_SANITIZE=ON"
set -euo pipefail
cd "$(dirname "$0")/.."
bash tools/setup-deps.sh
build="${OSTREL_BUILD_DIR:-build}"
# shellcheck disable=SC2086
cmake -S . -B "$build" -G Ninja ${OSTREL_CMAKE_ARGS:-}
cmake --build "$build" -j2
ctest --test-dir "$build" --output-on-failure -j2
