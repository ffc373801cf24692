#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test. With --sanitize the build
# uses AddressSanitizer and UndefinedBehaviorSanitizer (in build-asan/).
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
build=build
flags=()
if [ "${1:-}" = "--sanitize" ]; then
  build=build-asan
  flags=(-DZELVORIN_SANITIZE=ON -DZELVORIN_BENCH=OFF -DCMAKE_BUILD_TYPE=Debug)
fi
cmake -S . -B "$build" -G Ninja "${flags[@]}" > /dev/null
cmake --build "$build" -j "$(nproc)"
export QT_QPA_PLATFORM=offscreen
export ASAN_OPTIONS=detect_leaks=0
cd "$build"
ctest --output-on-failure -j "$(nproc)"
