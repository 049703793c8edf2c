#!/usr/bin/env bash
# Installs what the build needs, builds the plug-in and the host tools, and runs the main job:
# a host loads build/vst/Ostrel3.so and prints what it sees.
set -euo pipefail
cd "$(dirname "$0")/.."
bash tools/setup-deps.sh
cmake -S . -B build -G Ninja
cmake --build build -j2 --target Ostrel3 ostrel-host
./build/tools/ostrel-host --process 1 "$@"
